#include "support/TestEnvironment.h"

#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "support/RegistryWriter.h"
#include "support/TestOs.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace fs = std::filesystem;
namespace {

// Host paths are UTF-8 on both systems (a narrow path on Windows would be read in the ANSI
// code page, which cannot name every file of the corpus).
fs::path fromUtf8(std::string_view utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string toUtf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

TestEnvironment::TestEnvironment() {
    m_root = makeTemporaryFolder("pelorix-test-").string();
    m_driveC = m_root + "/prefix/drive_c";
#ifdef _WIN32
    if (const char* own = std::getenv("PELORIX_TEST_OWN_DRIVE_C"); own != nullptr && *own != '\0') {
        m_driveC = "C:";
        m_driveCBefore = folderEntries("C:/");
    }
#endif
    fs::create_directories(prefix() + "/dosdevices");
    fs::create_directories(driveC() + "/windows/system32");
    fs::create_directories(home());
    // The drive links of a Wine prefix; on Windows the drives are the system's own.
    std::error_code ec;
    fs::create_symlink("../drive_c", prefix() + "/dosdevices/c:", ec);
    fs::create_symlink("/", prefix() + "/dosdevices/z:", ec);
    setEnv("WINEPREFIX", prefix());
    setEnv("PELORIX_HOME", home());
    setEnv("PELORIX_CODEPAGE", "CP932");
}

TestEnvironment::~TestEnvironment() {
    RegistryWriter::undoWrites();
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->wasSet)
            setEnvironment(it->name, it->value);
        else
            unsetEnvironment(it->name);
    }
    std::error_code ec;
    // Give back write permission that a test took away, so that everything can be removed.
    for (auto it = fs::recursive_directory_iterator(m_root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code permEc;
        if (!it->is_symlink())
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, permEc);
    }
    fs::permissions(m_root, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_root, ec);
    if (!m_driveCBefore.empty()) {
        for (const std::string& name : folderEntries("C:/")) {
            if (std::binary_search(m_driveCBefore.begin(), m_driveCBefore.end(), name))
                continue;
            const fs::path entry = fs::path("C:/") / name;
            for (auto it = fs::recursive_directory_iterator(entry, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
                std::error_code permEc;
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, permEc);
            }
            fs::permissions(entry, fs::perms::owner_all, fs::perm_options::add, ec);
            fs::remove_all(entry, ec);
        }
    }
}

void TestEnvironment::setEnv(const char* name, const std::string& value) {
    const char* old = std::getenv(name);
    m_saved.push_back({name, old != nullptr, old != nullptr ? std::string(old) : std::string()});
    setEnvironment(name, value);
}

std::string TestEnvironment::path(std::string_view relative) const {
    const fs::path p = fs::path(m_root) / relative;
    fs::create_directories(p.parent_path());
    return p.string();
}

std::string TestEnvironment::windowsPath(std::string_view hostPath) {
    return DriveMap::current().toWindows(hostPath);
}

void TestEnvironment::mapDrive(char letter, const std::string& hostFolder) const {
    const std::string link = prefix() + "/dosdevices/" + std::string(1, letter) + ":";
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_symlink(hostFolder, link);
}

void TestEnvironment::setCodePage(const std::string& codePage) const {
    setEnvironment("PELORIX_CODEPAGE", codePage);
}

std::string TestEnvironment::errorLog() const {
    const std::string path = home() + "/Pelorix.log";
    return fileExists(path) ? ansiToUtf8(readFile(path)) : std::string();
}

std::vector<std::string> TestEnvironment::errorLogLines() const {
    const std::string text = errorLog();
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            ADD_FAILURE() << "the error log's last line does not end in CR LF: " << text.substr(pos);
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

void writeFile(const std::string& hostPath, std::string_view bytes) {
    fs::create_directories(fromUtf8(hostPath).parent_path());
    std::ofstream out(fromUtf8(hostPath), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + hostPath);
}

std::string readFile(const std::string& hostPath) {
    std::ifstream in(fromUtf8(hostPath), std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool fileExists(const std::string& hostPath) {
    return fs::exists(fs::symlink_status(fromUtf8(hostPath)));
}

std::vector<std::string> folderEntries(const std::string& hostFolder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(fromUtf8(hostFolder), ec), end; !ec && it != end; it.increment(ec))
        names.push_back(toUtf8(it->path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

std::string sjis(std::string_view utf8) {
    return encodeTo("CP932", utf8);
}

bool eventually(const std::function<bool()>& condition, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace pelorix::test
