// The compiler logs of the English compiler beside the Japanese one's: whole logs classified in
// both languages, compile-error locations, the logs a load error refers to, a CP1252 log, and
// builds with the stand-in writing English logs through the engine and through pelorix-cli.
#include "BuildWorld.h"
#include "engine/BuildRecord.h"
#include "engine/CompilerLog.h"
#include "engine/JUnitReport.h"
#include "platform/CodePage.h"
#include "platform/Text.h"
#include "support/CliRun.h"

#include <algorithm>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

const std::string okEn = "Build of 'Server.exe' succeeded.";
const std::string failedEn = "Build of 'Server.exe' failed.";
const std::string compileEn =
    R"(Compile Error in File 'C:\src\Codigo\modHechizos.bas', Line 4496 : Duplicate declaration in current scope)";
const std::string missingEn = R"(File not found: 'C:\src\Server.VBP')";
const std::string cantFind = "Can't find project or library";
const std::string loadEn = R"(Errors during load. Refer to 'C:\src\frmMain.log' for details.)";
const std::string okJa = "'A.exe' のﾋﾞﾙﾄﾞが正常に終了しました。";
const std::string notFoundJa = CompilerLogText::NotFound;

struct WholeLog {
    const char* name;
    std::vector<std::string> lines;
    std::int16_t code;
    std::size_t linesRead;
    std::string firstError = {}; // compileErrorText of the first location
    std::string referred = {};
};

// Each row is a whole log: the cause's line decides and the failure summary after it does not; a
// success line ends the reading in either language, framed lines only; the two languages mix.
TEST(EnglishCompilerLog, WholeLogsInBothLanguagesGiveTheirCodesLocationsAndReferredLogs) {
    const std::vector<WholeLog> logs = {
        {"Success", {okEn}, 0, 1},
        {"SuccessWithBlanks", {"  " + okEn + " \t"}, 0, 1},
        {"CompileError",
         {compileEn, failedEn},
         99,
         2,
         R"(C:\src\Codigo\modHechizos.bas(4496): Duplicate declaration in current scope)"},
        {"MissingProjectFile", {missingEn}, 99, 1},
        {"MissingReference", {cantFind, failedEn}, 5, 2},
        {"MissingReferenceTypographic", {"Can\u2019t find project or library", failedEn}, 5, 2},
        {"ImplementsBreak",
         {"The binary compatibility DLL or EXE contains an Implements type whose definition cannot be found",
          failedEn},
         2,
         2},
        {"ParameterTypeBreak",
         {"The binary compatibility DLL or EXE contains a parameter type or return type whose definition "
          "cannot be found",
          failedEn},
         2,
         2},
        {"VersionCompatibleBreak",
         {"'Connect' has arguments and/or a return type that is incompatible with a similar declaration in "
          "the "
          "version-compatible component",
          failedEn},
         2,
         2},
        {"FailureSummaryAlone", {failedEn}, 99, 1},
        {"UnknownThenMissingReference", {"Compiling...", cantFind, failedEn}, 5, 3},
        {"LoadErrors", {loadEn, failedEn}, 99, 2, "", R"(C:\src\frmMain.log)"},
        {"SuccessAfterAnErrorStopsReading",
         {compileEn, okEn, cantFind},
         0,
         2,
         R"(C:\src\Codigo\modHechizos.bas(4496): Duplicate declaration in current scope)"},
        {"SuccessWordsInsideAnErrorAreNoSuccess",
         {"Compile Error in File 'a.bas', Line 3 : " + okEn},
         99,
         1,
         "a.bas(3): " + okEn},
        {"SuccessIsCaseExact", {"build of 'Server.exe' succeeded."}, 99, 1},
        {"JapaneseCauseEnglishError",
         {notFoundJa, compileEn},
         99,
         2,
         R"(C:\src\Codigo\modHechizos.bas(4496): Duplicate declaration in current scope)"},
        {"EnglishCauseJapaneseSuccess", {cantFind, failedEn, okJa}, 0, 3},
        {"JapaneseErrorEnglishSummary", {"ｺﾝﾊﾟｲﾙ ｴﾗｰ: 構文ｴﾗｰ", failedEn}, 99, 2},
    };
    for (const WholeLog& log : logs) {
        SCOPED_TRACE(log.name);
        const CompilerLogResult result = classifyCompilerLog(log.lines);
        EXPECT_EQ(result.code, log.code);
        EXPECT_EQ(result.lines.size(), log.linesRead);
        EXPECT_EQ(result.compileErrors.empty() ? "" : compileErrorText(result.compileErrors.front()),
                  log.firstError);
        EXPECT_EQ(result.referredLogs.empty() ? "" : result.referredLogs.front().path, log.referred);
    }
}

TEST(EnglishCompilerLog, CompileErrorLinesGiveFileLineAndMessage) {
    struct Case {
        std::string line;
        std::optional<CompileErrorLocation> location;
    };
    const std::vector<Case> cases = {
        {compileEn, CompileErrorLocation{R"(C:\src\Codigo\modHechizos.bas)", 4496,
                                         "Duplicate declaration in current scope"}},
        {R"(Compile Error in File '\src\Codigo\mod1.bas', Line 7 : Sub or Function not defined)",
         CompileErrorLocation{R"(\src\Codigo\mod1.bas)", 7, "Sub or Function not defined"}},
        {R"(Compile Error in File 'C:\O'Brien\it's.bas', Line 12 : Type mismatch)",
         CompileErrorLocation{R"(C:\O'Brien\it's.bas)", 12, "Type mismatch"}},
        {R"(Compile Error in File 'C:\big.bas', Line 40000 : Expected: end of statement)",
         CompileErrorLocation{R"(C:\big.bas)", 40000, "Expected: end of statement"}},
        {R"(Compile Error in File 'C:\a.bas', Line 2147483647: x)",
         CompileErrorLocation{R"(C:\a.bas)", 2147483647, "x"}},
        {R"(Compile Error in File 'C:\a.bas', Line 2147483648 : too far)", std::nullopt},
        {R"(Compile Error in File 'C:\a.bas', Line 0 : no line)", std::nullopt},
        {R"(Compile Error in File 'C:\a.bas', Line x : no number)", std::nullopt},
        {R"(Compile Error in File 'C:\a.bas', Line 5 no colon)", std::nullopt},
        {"ｺﾝﾊﾟｲﾙ ｴﾗｰ: 構文ｴﾗｰ", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(parseCompileErrorLine(c.line), c.location);
    }
}

TEST(EnglishCompilerLog, LoadErrorLinesNameTheLogTheyReferTo) {
    EXPECT_EQ(referredLogPath(loadEn), R"(C:\src\frmMain.log)");
    EXPECT_EQ(referredLogPath(R"(Errors during load.  Refer to "C:\it's here\frm.log" for details)"),
              R"(C:\it's here\frm.log)");
    EXPECT_EQ(referredLogPath(R"(errors during load. Refer to 'C:\a'b.log' for details.)"), R"(C:\a'b.log)");
    EXPECT_EQ(referredLogPath(R"(Errors during load; see C:\src\frmMain.LOG.)"), R"(C:\src\frmMain.LOG)");
    EXPECT_EQ(referredLogPath("Errors during load."), std::nullopt);
    EXPECT_EQ(referredLogPath(R"(Refer to 'C:\src\frmMain.log' for details.)"), std::nullopt);
}

// The referred log as the build shows it: read in the ANSI code page, bounded, its bytes that the
// code page cannot read kept; a missing one, a folder and a pipe named, never waited for or raised.
TEST(EnglishCompilerLog, ReferredLogsAreReadBoundedAndWhatCannotBeReadIsNamed) {
    TestEnvironment env;
    const auto logAt = [&](const std::string& name, const std::string& bytes) {
        writeFile(env.path("drive_c/src/" + name), bytes);
        return TestEnvironment::windowsPath(env.path("drive_c/src/" + name));
    };
    std::string huge;
    for (int i = 0; i < 3000; ++i)
        huge += "Line " + std::to_string(i) + ": Class X of control y was not a loaded control class.\r\n";
    const std::string compilerLog =
        logAt("Server.log", "Errors during load. Refer to 'frmMain.log' for details.\r\n"
                            "Errors during load. Refer to 'C:\\nowhere\\frmGone.log' for details.\r\n"
                            "Errors during load. Refer to '" +
                                logAt("frmHuge.log", huge) + "' for details.\r\n" + failedEn + "\r\n");
    logAt("frmMain.log", sjis("Line 0: The file C:\\src\\frmMain.frm could not be loaded.\r\n\r\n") +
                             "Line 3: bad \x80\xFF byte\r\n");
    const std::string src = TestEnvironment::windowsPath(env.path("drive_c/src"));

    const CompilerLogResult result = readCompilerLog(compilerLog, src);
    EXPECT_EQ(result.code, BuildResult::Error);
    ASSERT_EQ(result.referredLogs.size(), 3u);
    const ReferredLog& main = result.referredLogs[0];
    EXPECT_EQ(main.state, ReferredLog::State::Read);
    ASSERT_EQ(main.lines.size(), 2u);
    EXPECT_EQ(utf8ToAnsi(main.lines[1]), "Line 3: bad \x80\xFF byte") << "undecodable bytes survive";
    EXPECT_EQ(result.referredLogs[1].state, ReferredLog::State::Missing);
    EXPECT_EQ(result.referredLogs[2].lines.size(),
              CompilerLogBounds::HeadLines + 1 + CompilerLogBounds::TailLines);

    const std::vector<std::string> notes = compilerLogNotes(result);
    EXPECT_EQ(notes[0], "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙ: frmMain.log (2行)");
    EXPECT_EQ(notes[1], "[frmMain.log] Line 0: The file C:\\src\\frmMain.frm could not be loaded.");
    EXPECT_EQ(notes[3], "ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙがありません: C:\\nowhere\\frmGone.log");

    ASSERT_EQ(::mkdir(env.path("drive_c/src/dir.log").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo(env.path("drive_c/src/pipe.log").c_str(), 0600), 0);
    EXPECT_EQ(readReferredLog("dir.log", src).state, ReferredLog::State::Missing);
    const ReferredLog pipe = readReferredLog("pipe.log", src);
    EXPECT_EQ(pipe.state, ReferredLog::State::Unreadable);
    CompilerLogResult withPipe;
    withPipe.referredLogs = {pipe};
    EXPECT_TRUE(
        compilerLogNotes(withPipe).front().starts_with("ｺﾝﾊﾟｲﾗのﾛｸﾞが参照するﾌｧｲﾙを読めません: pipe.log ("));
}

// An English compiler in Western Europe writes CP1252: accented letters read and show right.
TEST(EnglishCompilerLog, ACp1252LogReadsWithItsAccentedLetters) {
    TestEnvironment env;
    env.setCodePage("CP1252");
    const std::string log = env.path("drive_c/Server.log");
    writeFile(log,
              "Compile Error in File 'C:\\src\\L\xEDnea.bas', Line 7 : Variable no definida: \xE9t\xE9\r\n"
              "Build of 'Server.exe' failed.\r\n");
    const CompilerLogResult result = readCompilerLog(TestEnvironment::windowsPath(log));
    EXPECT_EQ(result.code, BuildResult::Error);
    ASSERT_EQ(result.compileErrors.size(), 1u);
    EXPECT_EQ(result.compileErrors[0],
              (CompileErrorLocation{"C:\\src\\Línea.bas", 7, "Variable no definida: été"}));
}

// Through the engine, as the window builds: automatic rebuilds of a broken binary compatibility,
// a missing reference that ends the run with 5 when no rebuild is wanted, and a form load error
// whose referred log the build log shows.
TEST(EnglishCompilerLog, TheEngineRebuildsStopsAndShowsReferredLogsAsForJapaneseTexts) {
    BuildWorld world;
    const std::string ok = world.addProject("ok", "Okay", {"CompatibleMode=\"0\"", "StandIn=english"});
    const std::string broken = world.addProject(
        "broken", "Broken",
        {"CompatibleMode=\"2\"", "StandIn@2=english,implements|english,ok", "StandIn@0=english,ok"},
        "OleDll");
    const std::string noRef =
        world.addProject("noref", "NoRef", {"CompatibleMode=\"1\"", "StandIn=english,notfound"});
    const std::string form = world.addProject(
        "form", "Former", {"CompatibleMode=\"0\"", "Form=frmMain.frm", "StandIn=english,load"});

    EngineRun automatic;
    automatic.load({ok, broken});
    EXPECT_EQ(automatic.build({1, 2}, true), BuildResult::Success);
    EXPECT_EQ(automatic.cell(2, GridColumn::Result), "OK") << "rebuilt in mode 0, then in its own mode";
    EXPECT_EQ(world.recorded().size(), 4u);
    EngineRun asked;
    asked.load({noRef});
    EXPECT_EQ(asked.build({1}), BuildResult::NotFound) << "asked, and answered No";
    EXPECT_EQ(asked.cell(1, GridColumn::Result), "NG");

    EngineRun load;
    load.load({form});
    EXPECT_EQ(load.build({1}), BuildResult::Error);
    const std::vector<std::string> lines = load.unstampedLog();
    const auto at = std::find(lines.begin(), lines.end(),
                              "[frmMain.log] Line 12: Class MSComctlLib.ListView "
                              "of control lvw was not a loaded control class.");
    ASSERT_NE(at, lines.end());
    EXPECT_TRUE(std::find(lines.begin(), at, "Build of 'Former.exe' failed.") != at)
        << "after the compiler's lines";
}

} // namespace
} // namespace pelorix::test
