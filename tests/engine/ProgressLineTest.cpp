// The progress line of a command-line build: what it draws as a run goes on, that it never wraps
// on Japanese names, and pelorix-cli build under a pseudo-terminal (script) against a pipe.
#include "engine/ProgressLine.h"

#include "BuildWorld.h"
#include "platform/Text.h"

#include <cstdlib>
#include <sstream>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

using namespace std::chrono_literals;

TEST(ProgressLine, RewritesOneLineAsTheRunGoesOnAndErasesItAtTheEnd) {
    std::ostringstream terminal;
    auto now = std::chrono::steady_clock::time_point{};
    ProgressLine progress(terminal, 50, [&] { return now; });
    progress.processEvents(); // before the run: nothing
    progress.runStarted(3);
    progress.projectStarted({1, 1, "アルファ", "C:\\a\\A.vbp", 2});
    progress.compileStarted(2);
    EXPECT_EQ(progress.text(), "[0/3] building アルファ in ﾊﾞｲﾅﾘ互換  0:00");
    const std::size_t drawn = terminal.str().size();
    progress.processEvents(); // the same second: not drawn again
    EXPECT_EQ(terminal.str().size(), drawn);
    now += 61s;
    progress.processEvents();
    EXPECT_TRUE(terminal.str().ends_with("\r\x1b[K[0/3] building アルファ in ﾊﾞｲﾅﾘ互換  1:01"));
    progress.compileStarted(0);
    EXPECT_EQ(progress.text(), "[0/3] rebuilding アルファ in 互換なし  1:01");
    progress.projectEnded(1);
    progress.projectStarted({3, 2, "A very long project name that will not fit", "C:\\b\\B.vbp", -1});
    now += 3600s;
    progress.processEvents();
    // Cut to 49 columns, the last one left free.
    EXPECT_TRUE(terminal.str().ends_with("\r\x1b[K[1/3] building A very long project name that will"));
    progress.clear();
    EXPECT_TRUE(terminal.str().ends_with("\r\x1b[K"));
    progress.clear(); // not shown: nothing more
    EXPECT_TRUE(terminal.str().ends_with("will\r\x1b[K"));
    progress.draw();
    progress.projectCancelled();
    progress.runEnded(4);
    EXPECT_EQ(progress.text(), "[2/3] 1:01:01");
    EXPECT_TRUE(terminal.str().ends_with("\r\x1b[K"));
    const std::size_t ended = terminal.str().size();
    progress.processEvents();
    progress.draw();
    EXPECT_EQ(terminal.str().size(), ended);

    EXPECT_EQ(displayWidth("ﾋﾞﾙﾄﾞ中 OK"), 10);
    EXPECT_EQ(cutToWidth("互換なし", 5), "互換");
    EXPECT_EQ(cutToWidth("a\xFF"
                         "b",
                         2),
              "a\xFF");
}

// A console that takes no escape sequences: the line goes back to its start and blanks cover what
// the line showed, as many as its columns (two for each wide character).
TEST(ProgressLine, WithoutEscapesBlanksCoverWhatTheLineShowed) {
    std::ostringstream console;
    auto now = std::chrono::steady_clock::time_point{};
    ProgressLine progress(
        console, 20, [&] { return now; }, ProgressLine::Erase::Blanks);
    progress.runStarted(2);
    progress.projectStarted({1, 1, "日本", "C:\\a\\A.vbp", 0});
    EXPECT_EQ(console.str(), "\r[0/2] building 日本");
    progress.clear();
    EXPECT_TRUE(console.str().ends_with("日本\r" + std::string(19, ' ') + "\r"));
    progress.draw();
    progress.projectEnded(1);
    EXPECT_TRUE(console.str().ends_with("\r" + std::string(19, ' ') + "\r[1/2] 0:00")) << console.str();
    progress.runEnded(1);
    EXPECT_TRUE(console.str().ends_with("[1/2] 0:00\r" + std::string(10, ' ') + "\r"));
    EXPECT_EQ(console.str().find('\x1b'), std::string::npos);
}

std::string quoted(const std::string& text) {
    return "'" + replaceAll(text, "'", "'\\''") + "'";
}

// pelorix-cli build on a pseudo-terminal shows and rewrites the line on it, between the build
// log's lines; with standard error piped the run prints exactly what it printed before.
TEST(ProgressLine, ShowsOnATerminalAndNowhereElse) {
    if (std::system("command -v script >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "script (util-linux) is not installed";
    BuildWorld world;
    const std::string a = world.addProject("a", "Alpha", {"CompatibleMode=\"2\"", "StandIn=sleep:1200"});
    const std::string b = world.addProject("b", "Beta", {});
    const std::string list = world.writeList({a, b});
    const std::string command = quoted(PELORIX_CLI) + " build " + quoted(world.host(list)) + " --all";

    const std::string typescript = world.env.path("typescript.txt");
    ASSERT_EQ(std::system(("SHELL=/bin/sh script -qec " + quoted(command) + " /dev/null </dev/null >" +
                           quoted(typescript))
                              .c_str()),
              0);
    const std::string shown = readFile(typescript);
    EXPECT_NE(shown.find("\r\x1b[K[0/2] building Alpha in ﾊﾞｲﾅﾘ互換  0:00"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r\x1b[K[0/2] building Alpha in ﾊﾞｲﾅﾘ互換  0:01"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r\x1b[K[1/2] building Beta  0:0"), std::string::npos) << shown;
    // The log's lines stand on lines of their own, and the line is gone before the results.
    EXPECT_NE(shown.find("\r\x1b[KOK\tﾊﾞｲﾅﾘ互換\t" + a), std::string::npos) << shown;
    EXPECT_NE(shown.find("Betaを「」でﾋﾞﾙﾄﾞ中..."), std::string::npos);

    const std::string out = world.env.path("out.txt");
    const std::string err = world.env.path("err.txt");
    ASSERT_EQ(std::system((command + " >" + quoted(out) + " 2>" + quoted(err)).c_str()), 0);
    EXPECT_EQ(readFile(err), "");
    EXPECT_EQ(readFile(out).find('\x1b'), std::string::npos);
    EXPECT_EQ(readFile(out).find('\r'), std::string::npos);
    EXPECT_NE(readFile(out).find("OK\tﾊﾞｲﾅﾘ互換\t" + a + "\nOK\t\t" + b + "\nresult=0\n"), std::string::npos);
}

} // namespace
} // namespace pelorix::test
