// The English compiler's logs beside the Japanese one's: whole logs in both languages, the line
// parsers, the logs a load error refers to, a CP1252 log, and builds with English stand-in logs.
#include "BuildWorld.h"
#include "HostileFiles.h"
#include "engine/CompilerLog.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

const std::string ok = "Build of 'Server.exe' succeeded.";
const std::string failed = "Build of 'Server.exe' failed.";
const std::string compile = R"(Compile Error in File 'C:\src\a.bas', Line 4496 : Duplicate declaration)";
const std::string compileAt = R"(C:\src\a.bas(4496): Duplicate declaration)";
const std::string cantFind = "Can't find project or library";
const std::string bc = "The binary compatibility DLL or EXE contains ";

// A classified log in a few words: code/lines read, the first compile error, <the referred log.
std::string outcome(const std::vector<std::string>& lines) {
    const CompilerLogResult r = classifyCompilerLog(lines);
    std::string text = std::to_string(r.code) + "/" + std::to_string(r.lines.size());
    if (!r.compileErrors.empty())
        text += " " + compileErrorText(r.compileErrors.front());
    return r.referredLogs.empty() ? text : text + " <" + r.referredLogs.front().path;
}

// The cause's line decides and the failure summary after it does not; a framed success line ends
// the reading in either language, unless a line before it named a failure, which stands; the
// languages mix.
TEST(EnglishCompilerLog, WholeLogsInBothLanguages) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> logs = {
        {{ok}, "0/1"},
        {{"  " + ok + " \t"}, "0/1"},
        {{compile, failed}, "99/2 " + compileAt},
        {{R"(File not found: 'C:\src\Server.VBP')"}, "99/1"},
        {{cantFind, failed}, "5/2"},
        {{"Can\u2019t find project or library", failed}, "5/2"},
        {{bc + "an Implements type whose definition cannot be found", failed}, "2/2"},
        {{bc + "a parameter type or return type whose definition cannot be found", failed}, "2/2"},
        {{"'F' has arguments and/or a return type that is incompatible with a similar declaration in the "
          "version-compatible component",
          failed},
         "2/2"},
        {{failed}, "99/1"},
        {{"Compiling...", cantFind, failed}, "5/3"},
        {{R"(Errors during load. Refer to 'C:\src\frmMain.log' for details.)", failed},
         R"(99/2 <C:\src\frmMain.log)"},
        {{compile, ok, cantFind}, "5/3 " + compileAt},
        {{"Compile Error in File 'a.bas', Line 3 : " + ok}, "99/1 a.bas(3): " + ok},
        {{"build of 'Server.exe' succeeded."}, "99/1"},
        {{CompilerLogText::NotFound, compile}, "99/2 " + compileAt},
        {{cantFind, failed, "'A.exe' のﾋﾞﾙﾄﾞが正常に終了しました。"}, "5/3"},
        {{"Compiling...", ok, cantFind}, "0/2"},
        {{"ｺﾝﾊﾟｲﾙ ｴﾗｰ: 構文ｴﾗｰ", failed}, "99/2"},
    };
    for (const auto& [lines, expected] : logs)
        EXPECT_EQ(outcome(lines), expected) << lines.front();
}

// Compile-error lines give file, line and message; load-error lines the log they refer to.
TEST(EnglishCompilerLog, LineParsers) {
    const auto parsed = [](const std::string& line) {
        const auto location = parseCompileErrorLine(line);
        const auto referred = referredLogPath(line);
        return (location ? compileErrorText(*location) : "-") + " <" + referred.value_or("-");
    };
    const std::vector<std::pair<std::string, std::string>> lines = {
        {compile, compileAt + " <-"},
        {R"(Compile Error in File '\src\m.bas', Line 7 : Sub not defined)",
         R"(\src\m.bas(7): Sub not defined <-)"},
        {R"(Compile Error in File 'C:\O'Brien\it's.bas', Line 12 : x)", R"(C:\O'Brien\it's.bas(12): x <-)"},
        {R"(Compile Error in File 'C:\a.bas', Line 40000 : Expected: end)",
         R"(C:\a.bas(40000): Expected: end <-)"},
        {R"(Compile Error in File 'C:\a.bas', Line 2147483647: x)", R"(C:\a.bas(2147483647): x <-)"},
        {R"(Compile Error in File 'C:\a.bas', Line 2147483648 : x)", "- <-"},
        {R"(Compile Error in File 'C:\a.bas', Line 0 : x)", "- <-"},
        {R"(Compile Error in File 'C:\a.bas', Line 5 x)", "- <-"},
        {R"(Errors during load. Refer to 'C:\a'b.log' for details.)", R"(- <C:\a'b.log)"},
        {R"(errors during load.  Refer to "C:\it's\f.log" for details)", R"(- <C:\it's\f.log)"},
        {R"(Errors during load; see C:\src\frmMain.LOG.)", R"(- <C:\src\frmMain.LOG)"},
        {"Errors during load.", "- <-"},
        {R"(Refer to 'C:\src\frmMain.log' for details.)", "- <-"},
    };
    for (const auto& [line, expected] : lines)
        EXPECT_EQ(parsed(line), expected) << line;
}

// An English compiler in Western Europe writes CP1252: its accented letters read right in the
// compiler's log and in the logs it refers to, which keep undecodable bytes; a missing one and one
// that cannot be read (a pipe, a file held by another) are named, never waited for or raised.
TEST(EnglishCompilerLog, Cp1252LogsAndTheLogsTheyReferTo) {
    TestEnvironment env;
    env.setCodePage("CP1252");
    const auto logAt = [&](const std::string& name, const std::string& bytes) {
        writeFile(env.path("drive_c/src/" + name), bytes);
        return TestEnvironment::windowsPath(env.path("drive_c/src/" + name));
    };
    const std::string refer = "Errors during load. Refer to '";
    const std::string compilerLog =
        logAt("Server.log", "Compile Error in File 'C:\\L\xEDnea.bas', Line 7 : \xE9t\xE9\r\n" + refer +
                                "frmMain.log' for details.\r\n" + refer + "frmGone.log'\r\n");
    logAt("frmMain.log",
          "Line 0: The file C:\\src\\frmMain.frm could not be loaded.\r\n\r\nLine 3: L\xEDnea \x81\x8D\r\n");
    const std::string src = TestEnvironment::windowsPath(env.path("drive_c/src"));

    const CompilerLogResult result = readCompilerLog(compilerLog, {src});
    ASSERT_EQ(result.referredLogs.size(), 2u);
    EXPECT_EQ(utf8ToAnsi(result.referredLogs[0].lines.at(1)), "Line 3: L\xEDnea \x81\x8D");
    const std::vector<std::string> notes = compilerLogNotes(result);
    EXPECT_EQ(notes[0], "ｺﾝﾊﾟｲﾙｴﾗｰ: C:\\Línea.bas(7): été");
    EXPECT_EQ(notes[1], "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙ: frmMain.log (2行)");
    EXPECT_EQ(notes[2], "[frmMain.log] Line 0: The file C:\\src\\frmMain.frm could not be loaded.");
    EXPECT_EQ(notes[4], "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙがありません: frmGone.log");

    const BlockedFile blocked(env.path("drive_c/src/pipe.log"));
    CompilerLogResult withPipe;
    withPipe.referredLogs = {readReferredLog("pipe.log", {src})};
    EXPECT_TRUE(
        compilerLogNotes(withPipe)[0].starts_with("ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙを読めません: pipe.log ("))
        << compilerLogNotes(withPipe)[0];
    EXPECT_TRUE(blocked.intact());
}

// Whoever wrote the compiler's log chose the path it refers to: only a log of the project's is
// read (a regular file named *.log in the project's folder or in the folder of a form it loads),
// and of it only the first lines and bytes, saying so; any other path is named and never opened.
TEST(EnglishCompilerLog, OnlyTheProjectsOwnLogsAreReadAndOnlyTheirStart) {
    TestEnvironment env;
    const std::string src = TestEnvironment::windowsPath(env.path("drive_c/src"));
    const std::string forms = TestEnvironment::windowsPath(env.path("drive_c/forms"));
    writeFile(env.path("drive_c/src/frmMain.log"), "Line 1: x\r\n");
    writeFile(env.path("drive_c/forms/frmSub.log"), "Line 2: y\r\n");
    writeFile(env.path("drive_c/src/secret.txt"), "not to be read\r\n");
    writeFile(env.path("drive_c/other/frmX.log"), "not to be read\r\n");
    std::string many;
    for (int i = 0; i < 3000; ++i)
        many += "Line " + std::to_string(i) + ": Class X of control y was not a loaded control class.\r\n";
    writeFile(env.path("drive_c/src/many.log"), many);
    writeFile(env.path("drive_c/src/wide.log"), std::string(3 * 1024 * 1024, 'w') + "\r\nnot to be read\r\n");
    // The project and the folder of its form from the other folder: where the compiler writes them.
    writeFile(env.path("drive_c/src/P.vbp"),
              "Type=Exe\r\nForm=..\\forms\\frmSub.frm\r\nModule=M; ..\\other\\m.bas\r\n");
    const std::vector<std::string> folders = referredLogFolders(src + "\\P.vbp");
    EXPECT_EQ(folders, (std::vector<std::string>{src, forms}));
    struct Case {
        std::string referred;
        std::string note; // the first note's start
        std::size_t lines;
    };
    std::vector<Case> cases = {
        {"frmMain.log", "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙ: frmMain.log (1行)", 1},
        {forms + "\\frmSub.log", "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙ: " + forms + "\\frmSub.log (1行)", 1},
        {"FRMMAIN.LOG", "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙ: FRMMAIN.LOG (1行)", 1},
        {"many.log", "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙ: many.log (1000行。以降は読まずに省略しました)",
         CompilerLogBounds::ReferredLogLines},
        {"wide.log", "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙ: wide.log (1行。以降は読まずに省略しました)", 1},
        {"gone.log", "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙがありません: gone.log", 0},
        {"secret.txt", "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙは読みません(名前が.logで終わりません): secret.txt", 0},
        {"Z:\\etc\\passwd", "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙは読みません(名前が.logで終わりません)", 0},
        {"C:\\other\\frmX.log", "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙは読みません(ﾌﾟﾛｼﾞｪｸﾄとそのﾌｫｰﾑのﾌｫﾙﾀﾞの外", 0},
        {"..\\other\\frmX.log", "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙは読みません(ﾌﾟﾛｼﾞｪｸﾄとそのﾌｫｰﾑのﾌｫﾙﾀﾞの外", 0},
        {src + "\\..\\other\\frmX.log", "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙは読みません(ﾌﾟﾛｼﾞｪｸﾄとそのﾌｫｰﾑ", 0},
    };
#ifndef _WIN32
    std::filesystem::create_symlink(env.path("drive_c/other/frmX.log"), env.path("drive_c/src/frmLink.log"));
    cases.push_back({"frmLink.log", "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙは読みません(ｼﾝﾎﾞﾘｯｸﾘﾝｸです): frmLink.log", 0});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.referred);
        CompilerLogResult result;
        result.referredLogs = {readReferredLog(c.referred, folders)};
        const std::vector<std::string> notes = compilerLogNotes(result);
        ASSERT_FALSE(notes.empty());
        EXPECT_TRUE(notes[0].starts_with(c.note)) << notes[0];
        EXPECT_EQ(result.referredLogs[0].lines.size(), c.lines);
        for (const std::string& note : notes)
            EXPECT_FALSE(holds(note, "not to be read")) << note;
    }
}

// Through the engine, as the window builds: a missing reference ends the run with 5 when no
// rebuild is wanted, and a form load error's referred log follows the compiler's lines.
TEST(EnglishCompilerLog, TheEngineStopsOnAMissingReferenceAndShowsReferredLogs) {
    BuildWorld world;
    EngineRun asked;
    asked.load({world.addProject("r", "NoRef", {"CompatibleMode=\"1\"", "StandIn=english,notfound"})});
    EXPECT_EQ(asked.build({1}), BuildResult::NotFound) << "asked, and answered No";
    EngineRun load;
    load.load({world.addProject("f", "Former",
                                {"CompatibleMode=\"0\"", "Form=frmMain.frm", "StandIn=english,load"})});
    EXPECT_EQ(load.build({1}), BuildResult::Error);
    const std::vector<std::string> lines = load.unstampedLog();
    const auto at =
        std::find(lines.begin(), lines.end(),
                  "[frmMain.log] Line 12: Class MSComctlLib.ListView of control lvw was not a loaded "
                  "control class.");
    ASSERT_NE(at, lines.end());
    EXPECT_NE(std::find(lines.begin(), at, "Build of 'Former.exe' failed."), at);
}

} // namespace
} // namespace pelorix::test
