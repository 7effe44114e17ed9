#include "platform/ErrorConvention.h"

#include "engine/BuildWindows.h"
#include "platform/CFWin32API.h"
#include "platform/ErrorLog.h"
#include "platform/UserInterface.h"
#include "platform/Win32Error.h"
#include "support/TestEnvironment.h"

#include <regex>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::readFile;
using test::sjis;
using test::TestEnvironment;
using ::testing::ElementsAre;

// Three procedures calling each other, the innermost one failing.
class Chain : public ErrorHolder {
public:
    Chain() : ErrorHolder("CFChain") {}
    void C() {
        guard("C", [] { throw RuntimeError(53, "ファイルが見つかりません。"); });
    }
    void B() {
        guard("B", [this] { C(); });
    }
    bool A(bool show) {
        return handle("A_Click", show, [this] { B(); });
    }
    int value() {
        return guard("value", [] { return 42; });
    }
    using ErrorHolder::m_strErrProcName;
};

TEST(ErrorLog, LineHasTheExactFormatInTheAnsiCodePage) {
    TestEnvironment env;
    WriteErrorLog(-2147221005, "説明 \"quoted", "fProc", "CDFileData", ErrorLevel::Error, false);
    const std::string bytes = readFile(env.home() + "/Pelorix.log");
    const std::regex shape(R"#(^"\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}", "-2147221005", ")#");
    EXPECT_TRUE(std::regex_search(bytes, shape)) << bytes;
    EXPECT_TRUE(bytes.ends_with(sjis("\", \"説明 \"quoted\", \"fProc\", \"CDFileData\"") + "\r\n"));
}

TEST(ErrorLog, ProcedureChainWritesOneLinePerLevelInnermostFirst) {
    TestEnvironment env;
    Chain chain;
    EXPECT_FALSE(chain.A(false));
    const auto lines = env.errorLogLines();
    ASSERT_EQ(lines.size(), 3u);
    const std::string tail = "\"53\", \"ファイルが見つかりません。\", \"";
    EXPECT_NE(lines[0].find(tail + "C\", \"CFChain\""), std::string::npos);
    EXPECT_NE(lines[1].find(tail + "B\", \"CFChain\""), std::string::npos);
    EXPECT_NE(lines[2].find(tail + "A_Click\", \"CFChain\""), std::string::npos);
    EXPECT_EQ(chain.ErrNumber(), 53);
    EXPECT_EQ(chain.ErrProcName(), "A_Click");
}

TEST(ErrorLog, RaisedErrorKeepsNumberAndDescriptionWithProcedureAsSource) {
    TestEnvironment env;
    Chain chain;
    try {
        chain.B();
        FAIL() << "B must raise";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 53);
        EXPECT_EQ(e.description(), "ファイルが見つかりません。");
        EXPECT_EQ(e.source(), "B");
    }
    EXPECT_EQ(chain.value(), 42);
}

TEST(ErrorLog, LogGrowsAndIsNeverTruncated) {
    TestEnvironment env;
    WriteErrorLog(1, "one", "p", "m", 2, false);
    WriteErrorLog(1, "one", "p", "m", 2, false);
    WriteErrorLog(0, "", "p", "m", 2, false);
    EXPECT_EQ(env.errorLogLines().size(), 3u);
}

TEST(ErrorLog, DescriptionIsShortenedAtItsLastCrLf) {
    EXPECT_EQ(shortenDescription("アクセスが拒否されました。\r\n"), "アクセスが拒否されました。");
    EXPECT_EQ(shortenDescription("first\r\nsecond\r\nthird"), "first second");
    EXPECT_EQ(shortenDescription("no break"), "no break");
    EXPECT_EQ(shortenDescription("lone\nLF"), "lone LF");
}

TEST(ErrorLog, MessageBoxFollowsLevel) {
    TestEnvironment env;
    AnswerMessageBox box;
    setErrorLogMessageBox(&box);
    WriteErrorLog(5, "text\r\nmore", "p", "m", ErrorLevel::Error, true);
    WriteErrorLog(5, "warn", "p", "m", ErrorLevel::Warning, true);
    WriteErrorLog(5, "info", "p", "m", ErrorLevel::Information, true);
    WriteErrorLog(5, "odd", "p", "m", 7, true);
    WriteErrorLog(5, "hidden", "p", "m", ErrorLevel::Error, false);
    setErrorLogMessageBox(nullptr);
    ASSERT_EQ(box.shown().size(), 4u);
    EXPECT_EQ(box.shown()[0].text, "text");
    EXPECT_EQ(box.shown()[0].title, "Error");
    EXPECT_EQ(box.shown()[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(box.shown()[0].foreground);
    EXPECT_EQ(box.shown()[1].title, "警告");
    EXPECT_EQ(box.shown()[1].icon, MsgIcon::Exclamation);
    EXPECT_EQ(box.shown()[2].title, "Pelorix");
    EXPECT_EQ(box.shown()[2].icon, MsgIcon::Information);
    EXPECT_EQ(box.shown()[3].title, "");
    EXPECT_EQ(box.shown()[3].icon, MsgIcon::None);
}

#ifndef _WIN32 // POSIX permissions, processes and limits
TEST(ErrorLog, UnwritableLogGoesToStandardErrorAndTheErrorGoesOn) {
    TestEnvironment env;
    // A directory where the log file should be.
    ::mkdir((env.home() + "/Pelorix.log").c_str(), 0755);
    Chain chain;
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(chain.B(), RuntimeError);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("\"53\", \"ファイルが見つかりません。\", \"C\", \"CFChain\""), std::string::npos)
        << err;
    EXPECT_NE(err.find("\"B\", \"CFChain\""), std::string::npos);
}

TEST(ErrorLog, ReadOnlyProgramFolderDoesNotLoseTheError) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write into a read-only folder";
    TestEnvironment env;
    ::chmod(env.home().c_str(), 0555);
    Chain chain;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(chain.A(false));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("A_Click"), std::string::npos);
    ::chmod(env.home().c_str(), 0755);
}

#endif

TEST(ErrorConvention, StandardExceptionsBecomeRuntimeErrors) {
    TestEnvironment env;
    struct Thrower : ErrorHolder {
        Thrower() : ErrorHolder("T") {}
        void outOfRange() {
            guard("outOfRange", [] { (void)std::vector<int>{}.at(3); });
        }
    } t;
    try {
        t.outOfRange();
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 9);
        EXPECT_EQ(e.source(), "outOfRange");
    }
}

// A failed file operation raises the error the runtime's own file statements give: a file that
// another process holds is 70, access denied is 75.
TEST(ErrorConvention, Win32FileCodesBecomeTheFileStatementsErrors) {
    EXPECT_EQ(vberr::fromWin32(win32::FileNotFound).number(), 53);
    EXPECT_EQ(vberr::fromWin32(win32::PathNotFound).number(), 76);
    EXPECT_EQ(vberr::fromWin32(win32::SharingViolation).number(), 70);
    EXPECT_EQ(vberr::fromWin32(win32::AccessDenied).number(), 75);
    EXPECT_EQ(vberr::fromWin32(win32::AccessDenied).description(), "パス名が無効です。");
}

TEST(GetLastErrorMsg, SystemTextsAndUnknownCodes) {
    CFWin32API api;
    EXPECT_EQ(api.GetLastErrorMsg(0), "この操作を正しく終了しました。");
    EXPECT_EQ(api.GetLastErrorMsg(2), "指定されたファイルが見つかりません。");
    EXPECT_EQ(api.GetLastErrorMsg(193), "%1 は有効な Win32 アプリケーションではありません。");
    EXPECT_EQ(api.GetLastErrorMsg(12345), "");
    EXPECT_EQ(api.GetLastErrorMsg(-1), "");
}

} // namespace
} // namespace pelorix
