#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix::test {

// A hermetic world for one test: a temporary folder holding a Wine prefix ("prefix", with
// dosdevices c: -> ../drive_c and z: -> /) and a program folder ("home"). WINEPREFIX,
// PELORIX_HOME and PELORIX_CODEPAGE point at them while the object lives; the previous values
// come back and the folder is removed afterwards.
// On Windows, when the program runs with a drive C: of its own (PELORIX_TEST_OWN_DRIVE_C, set by
// the cross-build's wine-run.sh), drive C: is the test's drive: driveC() is "C:", and what the
// test adds to the drive's root is removed afterwards.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    const std::string& root() const noexcept { return m_root; }
    std::string prefix() const { return m_root + "/prefix"; }
    const std::string& driveC() const noexcept { return m_driveC; }
    std::string home() const { return m_root + "/home"; }

    // A host path inside the temporary folder (relative to root), its folder created.
    std::string path(std::string_view relative) const;
    // The Windows path of a host path through the prefix's drive map.
    static std::string windowsPath(std::string_view hostPath);

    // Maps an additional drive letter ("d") to a host folder.
    void mapDrive(char letter, const std::string& hostFolder) const;
    void setCodePage(const std::string& codePage) const;
    // Sets an environment variable for the test's life (restored when it ends).
    void setEnv(const char* name, const std::string& value);

    // Pelorix.log of the program folder as UTF-8 text, "" when there is none; and its lines
    // without their CR LF. A last line that does not end in CR LF fails the test.
    std::string errorLog() const;
    std::vector<std::string> errorLogLines() const;

private:
    struct Saved {
        std::string name;
        bool wasSet;
        std::string value;
    };

    std::string m_root;
    std::string m_driveC;
    // On the test's own drive C:, the root's entries from before the test (they stay).
    std::vector<std::string> m_driveCBefore;
    std::vector<Saved> m_saved;
};

// File helpers for tests (host paths; folders are created as needed).
void writeFile(const std::string& hostPath, std::string_view bytes);
std::string readFile(const std::string& hostPath);
bool fileExists(const std::string& hostPath);
// The names of the entries of a host folder, sorted; none when it cannot be read.
std::vector<std::string> folderEntries(const std::string& hostFolder);

// Waits, bounded, until the condition holds; false when it never did (tests never assert on
// how long it took).
bool eventually(const std::function<bool()>& condition, int ms = 10000);

// The bytes of a UTF-8 text in CP932.
std::string sjis(std::string_view utf8);

} // namespace pelorix::test
