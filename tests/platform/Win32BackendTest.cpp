// The mechanics of the Windows backend that have no Linux twin: the registry API's view and its
// change reports, the compiler's job object, the build lock and the file replacement, run under
// Wine.
#include "platform/CDRegistryData.h"
#include "platform/CFWin32API.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/HostFile.h"
#include "platform/ProgramFolderLock.h"
#include "platform/Registry.h"
#include "platform/win32/WindowsApi.h"
#include "support/TestEnvironment.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <tlhelp32.h>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::TestEnvironment;
namespace fs = std::filesystem;

// A key of HKEY_CURRENT_USER\Software made for one test and removed with its subkeys afterwards.
class ScratchKey {
public:
    explicit ScratchKey(const std::wstring& name) : m_path(L"Software\\PelorixTest\\" + name) {
        ::RegDeleteTreeW(reinterpret_cast<::HKEY>(static_cast<ULONG_PTR>(0x80000001u)), m_path.c_str());
    }
    ~ScratchKey() { ::RegDeleteTreeW(root(), L"Software\\PelorixTest"); }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    // Creates a subkey (relative path) and sets its default value and named values.
    void add(const std::wstring& sub, const std::vector<std::pair<std::wstring, std::wstring>>& values = {}) {
        ::HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(root(), (m_path + L"\\" + sub).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        for (const auto& [name, text] : values)
            ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
    }
    std::string path() const {
        std::string out;
        for (wchar_t c : m_path)
            out.push_back(static_cast<char>(c));
        return out;
    }

private:
    static ::HKEY root() { return reinterpret_cast<::HKEY>(static_cast<ULONG_PTR>(0x80000001u)); }
    std::wstring m_path;
};

TEST(Win32Registry, TheApiViewGivesNamesValuesTimesAndAnsiLengths) {
    ScratchKey scratch(L"View");
    scratch.add(L"b");
    scratch.add(L"A", {{L"", L"first"}, {L"named", L"\u65e5\u672c\u8a9e"}, {L"odd", L"x\u00e9y"}});
    scratch.add(L"c\\deeper");

    Registry& registry = Registry::process();
    HKEY key = 0;
    ASSERT_EQ(registry.RegOpenKeyEx(HKEY_CURRENT_USER, scratch.path(), KEY_READ, key), 0);
    std::vector<std::string> names;
    std::string name;
    std::uint64_t written = 0;
    for (std::uint32_t i = 0; registry.RegEnumKeyEx(key, i, 256, name, &written) == 0; ++i) {
        names.push_back(name);
        EXPECT_GT(written, 0u) << name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "c"})) << "sorted without regard to case";
    EXPECT_EQ(registry.RegEnumKeyEx(key, 3, 256, name), 259) << "past the end";
    EXPECT_EQ(registry.RegEnumKeyEx(key, 0, 1, name), 234) << "the name and its NUL need two bytes";

    HKEY child = 0;
    ASSERT_EQ(registry.RegOpenKeyEx(key, "a", KEY_READ, child), 0) << "names match without regard to case";
    std::uint32_t type = 0;
    std::string text;
    std::uint32_t size = 1024;
    ASSERT_EQ(registry.RegQueryValueEx(child, "", type, text, size), 0);
    EXPECT_EQ(text, "first");
    EXPECT_EQ(size, 6u);
    size = 1024;
    ASSERT_EQ(registry.RegQueryValueEx(child, "named", type, text, size), 0);
    EXPECT_EQ(text, "日本語");
    EXPECT_EQ(size, 7u) << "six bytes in code page 932 and the NUL";
    size = 6;
    EXPECT_EQ(registry.RegQueryValueEx(child, "named", type, text, size), 234);
    size = 1024;
    ASSERT_EQ(registry.RegQueryValueEx(child, "odd", type, text, size), 0);
    EXPECT_EQ(text, "x?y") << "a character code page 932 cannot hold reads as ?";
    size = 1024;
    EXPECT_EQ(registry.RegQueryValueEx(child, "missing", type, text, size), 2);
    std::uint64_t lastWrite = 0;
    EXPECT_EQ(registry.RegQueryInfoKey(child, lastWrite), 0);
    EXPECT_GT(lastWrite, 0u);

    HKEY none = 0;
    EXPECT_EQ(registry.RegOpenKeyEx(key, "nothing", KEY_READ, none), 2);
    EXPECT_EQ(registry.RegCloseKey(child), 0);
    EXPECT_EQ(registry.RegCloseKey(key), 0);
    EXPECT_EQ(registry.RegCloseKey(key), 6) << "a closed handle";
    EXPECT_EQ(registry.openKeyCount(), 0u);
}

// A build walks the registrations before every project; the walk of the classes is kept while the
// system reports no change below the machine's or the user's classes, and each such change, made
// by any process, is seen by the next walk.
TEST(Win32Registry, AKeptWalkOfTheClassesLastsUntilTheSystemReportsAChange) {
    TestEnvironment env;
    // Sets a key's default value from another process, as a compiler registering a library does.
    const auto set = [](const std::string& key, const std::string& value) {
        const bool noStop = false;
        ASSERT_TRUE(CFWin32API().CreateProcess_Execute(
            {}, "reg.exe add \"" + key + "\" /ve /f /d \"" + value + "\"", 0, 100, noStop, 60000));
    };
    const std::string lib = "HKLM\\Software\\Classes\\TypeLib\\{0D15EA5E-0000-4000-8000-000000000019}\\";
    set(lib + "1.0\\0\\win32", "C:\\a.tlb");

    CDRegistryData data;
    const auto walk = [&] { return data.registrations(HKEY_CLASSES_ROOT, "TypeLib"); };
    auto kept = walk();
    EXPECT_EQ(std::ranges::count(kept->libraryPaths, "C:\\a.tlb"), 1);
    EXPECT_EQ(walk(), kept) << "nothing changed: the kept walk";

    const std::vector<std::tuple<const char*, std::string, const char*>> steps = {
        {"a version added deep below a library", lib + "1.1\\0\\win32", "C:\\b.tlb"},
        {"a library's file changed in place", lib + "1.0\\0\\win32", "C:\\c.tlb"},
        {"a class of the user's made (merged into the classes on Windows)",
         "HKCU\\Software\\Classes\\PelorixTest", ""},
    };
    for (const auto& [change, key, library] : steps) {
        set(key, library);
        const auto walked = walk();
        EXPECT_NE(walked, kept) << change << ": walked again";
        if (*library != '\0') {
            EXPECT_EQ(std::ranges::count(walked->libraryPaths, library), 1) << change;
        }
        EXPECT_EQ(walk(), walked) << change << ": kept again once seen";
        kept = walked;
    }
    // Only the classes are watched: a walk of another tree is never kept.
    EXPECT_NE(data.registrations(HKEY_CURRENT_USER, "Software\\Classes\\PelorixTest"),
              data.registrations(HKEY_CURRENT_USER, "Software\\Classes\\PelorixTest"));
    EXPECT_EQ(env.errorLogLines(), std::vector<std::string>{});
}

// The processes of this session whose program file is named name.
int processesNamed(const std::wstring& name) {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, name.c_str()) == 0)
            ++count;
    ::CloseHandle(snapshot);
    return count;
}

std::wstring wideName(const char* name) {
    return std::wstring(name, name + std::char_traits<char>::length(name));
}

// The stand-in compiler of the build folder.
fs::path standInProgram() {
    char exe[MAX_PATH];
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    return fs::path(exe).parent_path().parent_path().parent_path() / "bin" / PELORIX_STANDIN;
}

TEST(Win32Process, TheTimeLimitEndsTheCompilerWithItsJobAndAMissingProgramIsNamed) {
    TestEnvironment env;
    const fs::path program = standInProgram();
    ASSERT_TRUE(fs::exists(program)) << program.string();
    const std::string project = env.path("hang/Hang.vbp");
    test::writeFile(project, "Type=Exe\r\nStandIn=hang\r\n");
    const int before = processesNamed(wideName(PELORIX_STANDIN));

    CFWin32API api;
    const bool cancel = false;
    ProcessWaitEnd howEnded = ProcessWaitEnd::Ended;
    const std::string line = "\"" + program.string() + "\" /make \"" + project + "\"";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(api.CreateProcess_Execute({}, line, 0, 100, cancel, 1500, nullptr, &howEnded,
                                           AbandonedProcess::EndGroup));
    EXPECT_EQ(howEnded, ProcessWaitEnd::TimeLimit);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
    EXPECT_EQ(processesNamed(wideName(PELORIX_STANDIN)), before) << "no stand-in is left running";

    // A program that finishes ends the wait with its end.
    test::writeFile(project, "Type=Exe\r\nStandIn=ok\r\n");
    EXPECT_TRUE(api.CreateProcess_Execute({}, line + " /out \"" + env.path("hang/Hang.log") + "\"", 0, 100,
                                          cancel, 60000, nullptr, &howEnded, AbandonedProcess::EndGroup));
    EXPECT_EQ(howEnded, ProcessWaitEnd::Ended);

    try {
        api.CreateProcess_Execute({}, "\"" + env.path("none/Missing.exe") + "\"", 0, 100, cancel, 1000);
        ADD_FAILURE() << "a missing program starts nothing";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), 2);
    }
}

TEST(Win32Files, TheLockIsExclusiveAndFilesAreReplacedWhole) {
    TestEnvironment env;
    {
        auto first = ProgramFolderLock::tryAcquire();
        ASSERT_TRUE(first.held());
        EXPECT_EQ(ProgramFolderLock::tryAcquire().state(), ProgramFolderLock::State::Busy);
        first.release();
        EXPECT_TRUE(ProgramFolderLock::tryAcquire().held()) << "released with its handle";
    }
    const std::string file = env.path("data/Project.vbp");
    ASSERT_EQ(writeHostFileAtomically(file, "one\r\n"), 0);
    ASSERT_EQ(writeHostFileAtomically(file, "two\r\n"), 0);
    ASSERT_EQ(appendHostFile(file, "three\r\n"), 0);
    EXPECT_EQ(readHostFile(file).value_or("?"), "two\r\nthree\r\n");
    EXPECT_EQ(test::folderEntries(env.path("data")), (std::vector<std::string>{"Project.vbp"}))
        << "no staging file is left";
    std::int32_t err = 0;
    EXPECT_FALSE(readHostFile(env.path("data"), &err));
    EXPECT_EQ(err, 5) << "a folder has no bytes";
    EXPECT_FALSE(readHostFile(env.path("data/none.txt"), &err));
    EXPECT_EQ(err, 2);

    // A long path: past MAX_PATH the wide functions still reach the file.
    const std::string deep =
        env.path(std::string(120, 'a') + "/" + std::string(120, 'b') + "/" + std::string(40, 'c') + ".ini");
    ASSERT_EQ(writeHostFileAtomically(deep, "[S]\r\nk=v\r\n"), 0);
    EXPECT_EQ(CFWin32API().GetTerminalProfile("S", "k", deep), "v");
}

// A compiler a run leaves running past its time limit keeps the lock busy until it ends: the run
// records it while it holds the lock, by its process number and start time, so that the number
// given again to another process frees the lock; the first run that finds it gone empties the
// record.
TEST(Win32Files, AStrayCompilerKeepsTheLockBusyUntilItEnds) {
    TestEnvironment env;
    const std::string lockFile = env.home() + "/Pelorix.lock";
    const std::string project = env.path("stray/Hang.vbp");
    test::writeFile(project, "Type=Exe\r\nStandIn=hang\r\n");
    {
        auto run = ProgramFolderLock::tryAcquire();
        ASSERT_TRUE(run.held());
        const bool cancel = false;
        EXPECT_FALSE(CFWin32API().CreateProcess_Execute(
            {}, "\"" + standInProgram().string() + "\" /make \"" + project + "\"", 0, 100, cancel, 300));
    }
    const auto busy = ProgramFolderLock::tryAcquire();
    ASSERT_EQ(busy.state(), ProgramFolderLock::State::Busy);
    const std::string record = test::readFile(lockFile);
    EXPECT_EQ(record,
              "stray " + std::to_string(busy.strayProcess()) + " " + record.substr(record.rfind(' ') + 1));

    test::writeFile(lockFile, "stray " + std::to_string(busy.strayProcess()) + " 12345\n");
    EXPECT_TRUE(ProgramFolderLock::acquire().held()) << "another start time is another process";
    EXPECT_EQ(test::readFile(lockFile), "") << "the record of a process that is gone is emptied";

    test::writeFile(lockFile, record);
    fs::remove(project); // the stand-in ends with its project file
    EXPECT_TRUE(ProgramFolderLock::acquire().held());
    EXPECT_EQ(test::readFile(lockFile), "");
    EXPECT_TRUE(ProgramFolderLock::recordStrayProcess(busy.strayProcess()))
        << "an ended process needs no record";
    EXPECT_EQ(test::readFile(lockFile), "");
}

TEST(Win32CodePage, TheSystemsConversionKeepsBytesAndNamesTheCodePageAsLinuxDoes) {
    test::TestEnvironment env;
    // Bytes no character starts survive both ways; the duplicates of the vendor rows are the
    // system's own business and not compared here.
    const std::string bytes = "\x93\xfa\x96\x7b\x8c\xea\x80\xa0\xfd\xfe\xff \xb1\xb2\xb3\x82";
    EXPECT_EQ(utf8ToAnsi(ansiToUtf8(bytes)), bytes);
    EXPECT_EQ(ansiToUtf8("\x93\xfa\x96\x7b\x8c\xea\xb1"), "日本語ｱ");
    EXPECT_EQ(utf8ToAnsi("日本語 ①"), "\x93\xfa\x96\x7b\x8c\xea \x87\x40");
    EXPECT_EQ(utf8ToAnsi("é€😀"), "???");
    EXPECT_EQ(decodeFrom("UTF-8", "\xe6\x97\xa5\xff"), "日\xef\x9f\xbf");
    for (const char* name : {"CP932", "932", "Shift_JIS", "windows-1252"})
        EXPECT_NO_THROW(encodeTo(name, "é")) << name;
    EXPECT_THROW(encodeTo("no-such-code-page", "é"), std::invalid_argument);
}

} // namespace
} // namespace pelorix
