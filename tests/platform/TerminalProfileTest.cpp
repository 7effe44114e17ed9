// The settings-file functions of CFWin32API over the INI engine: which file a call reads and
// writes, and what a failed write leaves.
#include "platform/CFWin32API.h"
#include "platform/Environment.h"
#include "support/TestEnvironment.h"

#include <csignal>
#include <filesystem>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::fileExists;
using test::folderEntries;
using test::readFile;
using test::sjis;
using test::TestEnvironment;
using test::writeFile;

using namespace std::string_literals;

// ---- Settings-file access --------------------------------------------------------------------

std::string settingsFile(const TestEnvironment& env) {
    return env.home() + "/Pelorix.ini";
}
std::string logFile(const TestEnvironment& env) {
    return env.home() + "/Pelorix.log";
}

TEST(TerminalProfile, MissingFileSectionOrKeyReadsEmpty) {
    TestEnvironment env;
    CFWin32API api;
    EXPECT_EQ(api.GetTerminalProfile("Build", "Mode", ""), "");
    writeFile(settingsFile(env), "[Build]\r\nMode=1\r\nEmpty=\r\n");
    EXPECT_EQ(api.GetTerminalProfile("Build", "Mode", ""), "1");
    EXPECT_EQ(api.GetTerminalProfile("Build", "Nope", ""), "");
    EXPECT_EQ(api.GetTerminalProfile("Nope", "Mode", ""), "");
    EXPECT_EQ(api.GetTerminalProfile("Build", "Empty", ""), "");
    EXPECT_FALSE(fileExists(logFile(env)));
}

TEST(TerminalProfile, WriteCreatesTheSettingsFileBesideTheProgram) {
    TestEnvironment env;
    CFWin32API api;
    EXPECT_TRUE(api.SetTerminalProfile("Window", "Width", "11175"));
    EXPECT_TRUE(api.SetTerminalProfile("Window", "Caption", ""));
    EXPECT_TRUE(api.SetTerminalProfile("一覧", "パス", "C:\\ソース\\表.ini"));
    EXPECT_EQ(readFile(settingsFile(env)),
              sjis("[Window]\r\nWidth=11175\r\nCaption=\r\n[一覧]\r\nパス=C:\\ソース\\表.ini\r\n"));
    EXPECT_EQ(api.GetTerminalProfile("一覧", "パス"), "C:\\ソース\\表.ini");

    const std::string explicitPath = App_Path() + "\\Pelorix.ini";
    EXPECT_EQ(api.GetTerminalProfile("window", "WIDTH", explicitPath), "11175");
    EXPECT_TRUE(api.SetTerminalProfile("Window", "Width", "9000", explicitPath));
    EXPECT_EQ(api.GetTerminalProfile("Window", "Width"), "9000");
}

TEST(TerminalProfile, OtherFilesLeaveTheSettingsFileAlone) {
    TestEnvironment env;
    writeFile(settingsFile(env), "[S]\r\nk=settings\r\n");
    writeFile(env.driveC() + "/Lists/list.ini", "[S]\r\nk=list\r\n");
    CFWin32API api;
    EXPECT_EQ(api.GetTerminalProfile("S", "k", "C:\\lists\\LIST.INI"), "list");
    EXPECT_TRUE(api.SetTerminalProfile("S", "k", "changed", "C:\\Lists\\list.ini"));
    EXPECT_EQ(readFile(env.driveC() + "/Lists/list.ini"), "[S]\r\nk=changed\r\n");
    EXPECT_EQ(readFile(settingsFile(env)), "[S]\r\nk=settings\r\n");

    // A bare file name lives in the Windows folder.
    std::filesystem::create_directories(env.driveC() + "/windows");
    EXPECT_TRUE(api.SetTerminalProfile("S", "k", "win", "bare.ini"));
    EXPECT_EQ(readFile(env.driveC() + "/windows/bare.ini"), "[S]\r\nk=win\r\n");
}

TEST(TerminalProfile, LongValuesReadBackAs255BytesAndNulEndsTheText) {
    TestEnvironment env;
    CFWin32API api;
    ASSERT_TRUE(api.SetTerminalProfile("S", "k", std::string(300, 'x')));
    EXPECT_EQ(api.GetTerminalProfile("S", "k"), std::string(255, 'x'));
    writeFile(settingsFile(env), "[S]\r\nk=ab\0cd\r\n"s);
    EXPECT_EQ(api.GetTerminalProfile("S", "k"), "ab");
}

#ifndef _WIN32 // POSIX permissions, processes and limits
TEST(TerminalProfile, WriteKeepsPermissionBitsAndTheLinkItWentThrough) {
    TestEnvironment env;
    const std::string real = env.path("elsewhere/real.ini");
    writeFile(real, "[S]\r\nk=1\r\n");
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink(real, settingsFile(env));
    CFWin32API api;
    ASSERT_TRUE(api.SetTerminalProfile("S", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(settingsFile(env)));
    EXPECT_EQ(readFile(real), "[S]\r\nk=2\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(TerminalProfile, FailedWritesGiveFalseAndLogNothing) {
    TestEnvironment env;
    writeFile(env.driveC() + "/file.txt", "not a folder");
    std::filesystem::create_directories(env.driveC() + "/folder.ini");
    CFWin32API api;
    EXPECT_FALSE(api.SetTerminalProfile("S", "k", "v", "C:\\file.txt\\sub.ini"));
    EXPECT_FALSE(api.SetTerminalProfile("S", "k", "v", "C:\\missing\\sub.ini"));
    EXPECT_FALSE(api.SetTerminalProfile("S", "k", "v", "C:\\folder.ini"));
    EXPECT_FALSE(api.SetTerminalProfile("S", "k", "a\r\nb", "C:\\ok.ini"));
    EXPECT_FALSE(fileExists(env.driveC() + "/ok.ini"));
    EXPECT_EQ(api.GetTerminalProfile("S", "k", "C:\\folder.ini"), "");
    if (::geteuid() != 0) {
        const std::string ro = env.driveC() + "/ro";
        std::filesystem::create_directories(ro);
        ::chmod(ro.c_str(), 0555);
        EXPECT_FALSE(api.SetTerminalProfile("S", "k", "v", "C:\\ro\\a.ini"));
        ::chmod(ro.c_str(), 0755);
    }
    EXPECT_FALSE(fileExists(logFile(env)));
}

#endif

TEST(TerminalProfile, TextsEndAtTheirFirstNulAsTheAnsiFunctionsReceiveThem) {
    TestEnvironment env;
    CFWin32API api;
    ASSERT_TRUE(api.SetTerminalProfile("S\0x"s, "k\0y"s, "abc\0def"s));
    EXPECT_EQ(readFile(settingsFile(env)), "[S]\r\nk=abc\r\n") << "no NUL is written into the file";
    EXPECT_EQ(api.GetTerminalProfile("S\0z"s, "k\0z"s, ""), "abc");
    EXPECT_FALSE(api.SetTerminalProfile("S", "k", "v", "\0C:\\x.ini"s)) << "an empty file name";
    EXPECT_EQ(api.GetTerminalProfile("S", "k", "\0"s), "");
}

#ifndef _WIN32 // POSIX permissions, processes and limits
// Limits the size of files this process may write while it lives (works for the superuser too).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int);
};

TEST(TerminalProfile, AFailedWriteLeavesTheOldFileWhole) {
    TestEnvironment env;
    const std::string old = "[S]\r\nk=1\r\n" + std::string(100, ';') + "\r\n";
    writeFile(settingsFile(env), old);
    CFWin32API api;
    {
        FileSizeLimit limit(old.size() + 20);
        EXPECT_FALSE(api.SetTerminalProfile("S", "k", std::string(200, 'v')));
    }
    EXPECT_EQ(readFile(settingsFile(env)), old);
    EXPECT_EQ(folderEntries(env.home()).size(), 1u) << "no temporary file is left beside the settings file";
}

#endif

} // namespace
} // namespace pelorix
