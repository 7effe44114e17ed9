#include "engine/BuildHandOver.h"
#include "engine/BuildWindows.h"
#include "engine/CFSender.h"
#include "engine/CFVB6EXE.h"
#include "engine/CompilerLog.h"
#include "engine/ProjectRow.h"
#include "platform/CFWin32API.h"
#include "platform/RuntimeError.h"
#include "projectdata/CDFileData.h"
#include "projectdata/IBuildLog.h"

#include <gtest/gtest.h>

namespace pelorix {
namespace {

struct LogCase {
    const char* name;
    std::vector<std::string> lines;
    std::int16_t code;
    std::size_t linesShown;
};

class CompilerLogClassification : public ::testing::TestWithParam<LogCase> {};

TEST_P(CompilerLogClassification, GivesTheCodeAndTheLinesRead) {
    const CompilerLogResult result = classifyCompilerLog(GetParam().lines);
    EXPECT_EQ(result.code, GetParam().code);
    EXPECT_EQ(result.lines.size(), GetParam().linesShown);
}

const std::string ok = "'A.exe' のﾋﾞﾙﾄﾞが正常に終了しました。";
const std::string notFound = "ﾌﾟﾛｼﾞｪｸﾄまたはﾗｲﾌﾞﾗﾘが見つかりません。";
const std::string implementsText = std::string("x ") + CompilerLogText::Implements;
const std::string version = "ﾊﾞｰｼﾞｮﾝ互換ｺﾝﾎﾟｰﾈﾝﾄを設定できません: 'A.dll'";
const std::string error = "ｺﾝﾊﾟｲﾙ ｴﾗｰ: 構文ｴﾗｰ";
const std::string unknown = "何か別の出力";

INSTANTIATE_TEST_SUITE_P(
    Table, CompilerLogClassification,
    ::testing::Values(LogCase{"Success", {ok}, 0, 1}, LogCase{"NotFound", {notFound}, 5, 1},
                      LogCase{"Implements", {implementsText}, 2, 1},
                      LogCase{"VersionCompatible", {version}, 2, 1}, LogCase{"Error", {error}, 99, 1},
                      LogCase{"Unrecognised", {unknown}, 99, 1},
                      LogCase{"OnlyEmptyLines", {"", "", ""}, -1, 0}, LogCase{"NoLines", {}, -1, 0},
                      LogCase{"UnknownThenNotFound", {unknown, notFound}, 5, 2},
                      LogCase{"NotFoundThenUnknown", {notFound, unknown}, 5, 2},
                      LogCase{"LaterFailureOverrides", {notFound, error}, 99, 2},
                      LogCase{"SuccessAfterAnErrorDoesNotUndoIt", {error, "", ok, "more"}, 99, 3},
                      LogCase{"SuccessAfterNotFoundDoesNotUndoIt", {notFound, ok}, 5, 2},
                      LogCase{"SuccessAfterAnUnknownLineStopsReading", {unknown, ok, notFound}, 0, 2},
                      LogCase{"SuccessIsCaseAndWidthExact", {"ビルドが正常に終了しました。"}, 99, 1},
                      LogCase{"SuccessSentenceAlone", {"ﾋﾞﾙﾄﾞが正常に終了しました。"}, 0, 1},
                      LogCase{"SuccessWithBlanksAround", {"  'A.exe'のﾋﾞﾙﾄﾞが正常に終了しました。 \t"}, 0, 1},
                      LogCase{"ErrorLineQuotingTheSuccess", {"ｺﾝﾊﾟｲﾙ ｴﾗｰ: " + ok}, 99, 1},
                      LogCase{"UnknownLineHoldingTheSuccess", {"注: " + ok}, 99, 1},
                      LogCase{"SuccessFollowedByText", {ok + " (2)"}, 99, 1},
                      LogCase{"EmptyLinesAreNotCounted", {"", notFound, ""}, 5, 1}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// Only a time-out names the limit: a wait that failed says that it failed.
TEST(CompilerNotEndedText, NamesTheLimitOnlyForATimeOut) {
    EXPECT_EQ(compilerNotEndedText("Alpha", ProcessWaitEnd::TimeLimit, 600),
              "Alphaのｺﾝﾊﾟｲﾗが600ﾐﾘ秒以内に終了しませんでした。");
    EXPECT_EQ(compilerNotEndedText("Alpha", ProcessWaitEnd::WaitFailed, 600),
              "Alphaのｺﾝﾊﾟｲﾗの終了を待てませんでした。");
}

TEST(CompatibleModeName, NamesTheThreeModesAndNothingElse) {
    EXPECT_EQ(compatibleModeName(0), "互換なし");
    EXPECT_EQ(compatibleModeName(1), "ﾌﾟﾛｼﾞｪｸﾄ互換");
    EXPECT_EQ(compatibleModeName(2), "ﾊﾞｲﾅﾘ互換");
    EXPECT_EQ(compatibleModeName(-1), "");
    EXPECT_EQ(compatibleModeName(3), "");
    for (std::int16_t mode = -1; mode <= 2; ++mode)
        EXPECT_EQ(pCompatibleModeToInt(compatibleModeName(mode)), mode);
    EXPECT_EQ(pCompatibleModeToInt("互換なし "), -1);
}

// The typed cells of a row, in a grid whose columns are not in their default order: each text
// read into the value draws as the text the grid shows, and what no value stands for is none.
TEST(TypedColumns, ReadTextsIntoValuesAndDrawThemBack) {
    const TypedColumns columns{3, 0, 5};
    struct Case {
        int col;
        std::string text;
        ProjectRowState state;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {3, enabledMarkText(), {BuildMark::Target, -1, RowResult::None}, enabledMarkText()},
        {3, enabledMarkText() + "x", {BuildMark::Target, -1, RowResult::None}, enabledMarkText()},
        {3, disabledMarkText(), {BuildMark::NotTarget, -1, RowResult::None}, disabledMarkText()},
        {3, "?", {BuildMark::NotTarget, -1, RowResult::None}, disabledMarkText()},
        {3, "", {}, ""},
        {0, "OK", {BuildMark::NoFile, -1, RowResult::OK}, "OK"},
        {0, "NG", {BuildMark::NoFile, -1, RowResult::NG}, "NG"},
        {0, "SKIP", {BuildMark::NoFile, -1, RowResult::Skip}, "SKIP"},
        {0, "ok", {}, ""},
        {5, "ﾌﾟﾛｼﾞｪｸﾄ互換", {BuildMark::NoFile, 1, RowResult::None}, "ﾌﾟﾛｼﾞｪｸﾄ互換"},
        {5, "-", {}, ""},
    };
    for (const Case& c : cases) {
        ProjectRowState state;
        columns.setText(state, c.col, c.text);
        EXPECT_EQ(state, c.state) << c.col << " " << c.text;
        EXPECT_EQ(columns.text(state, c.col), c.shown) << c.col << " " << c.text;
    }
    EXPECT_FALSE(columns.isTyped(1));
    EXPECT_FALSE(TypedColumns{}.isTyped(-1));
    EXPECT_EQ(buildMarkOf(""), BuildMark::NoFile);
}

// A grid in memory keeps its rows' values apart from their texts, scrolls a row out of view
// into it (to the bottom from below, to the top from above) and leaves a row in view alone.
TEST(MemoryGrid, KeepsTypedRowsAndScrollsARowIntoView) {
    HeadlessBuildSettingForm form;
    MemoryGrid& grid = form.grid();
    grid.Rows(31);
    grid.Height(240 * 6); // five data rows below the header
    grid.TextMatrix(4, GridColumn::Compatible, "ﾊﾞｲﾅﾘ互換");
    grid.TextMatrix(4, GridColumn::Title, "ﾊﾞｲﾅﾘ互換");
    EXPECT_EQ(grid.RowState(4).compatibleMode, 2);
    grid.RowState(4, {BuildMark::Target, 0, RowResult::NG});
    EXPECT_EQ(grid.TextMatrix(4, GridColumn::Result), "NG");
    EXPECT_EQ(grid.TextMatrix(4, GridColumn::Title), "ﾊﾞｲﾅﾘ互換");
    EXPECT_EQ(grid.TextMatrix(0, GridColumn::Result), ""); // the header is text only
    EXPECT_THROW(grid.RowState(0, {}), RuntimeError);

    EXPECT_EQ(grid.rowsInView(), 5);
    scrollRowIntoView(grid, 5);
    EXPECT_EQ(grid.TopRow(), 1);
    scrollRowIntoView(grid, 20);
    EXPECT_EQ(grid.TopRow(), 16);
    scrollRowIntoView(grid, 3);
    EXPECT_EQ(grid.TopRow(), 3);
    grid.Rows(4);
    EXPECT_EQ(grid.TopRow(), 3);
    EXPECT_THROW(grid.RowState(4), RuntimeError);
}

// The report of a run: a failure before a success is reported as a warning with its count, and
// the code's own report stays for every other code.
TEST(BuildSummary, AFailedProjectIsNeverReportedAsPlainSuccess) {
    const auto shown = [](std::int16_t result, std::int32_t failed) {
        const BuildSummary summary = buildSummary(result, failed);
        return summary.title + "|" + summary.text + "|" + std::to_string(summary.displayMode);
    };
    EXPECT_EQ(shown(0, 0), "完了|ﾋﾞﾙﾄﾞが正常に終了しました。|2");
    EXPECT_EQ(shown(0, 2), "完了|ﾋﾞﾙﾄﾞに失敗したﾌﾟﾛｼﾞｪｸﾄが2件あります。|4");
    EXPECT_EQ(shown(4, 3), "中断|ﾋﾞﾙﾄﾞ処理を中断しました。|4");
    EXPECT_EQ(shown(99, 1), "完了|ﾋﾞﾙﾄﾞに失敗したﾌﾟﾛｼﾞｪｸﾄがあります。|4");
    EXPECT_EQ(shown(6, 1), "警告|ﾋﾞﾙﾄﾞに失敗しました。|4");
    EXPECT_TRUE(buildSummary(7, 0).saveListState);
    EXPECT_TRUE(buildSummary(4, 0).showModal);
}

TEST(CFSender, RaisesEachEventOnlyToItsHandlersAndStopsAfterDisconnect) {
    CFSender sender;
    int cancels = 0;
    int searches = 0;
    const auto c = sender.OnBuildCancel([&] { ++cancels; });
    sender.OnWordSearch([&] { ++searches; });
    sender.BuildCancel();
    sender.WordSearch();
    sender.WordSearch();
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(searches, 2);
    sender.disconnect(c);
    sender.BuildCancel();
    EXPECT_EQ(cancels, 1);
}

TEST(CFSender, AHandlerMayDisconnectItselfWhileTheEventRuns) {
    CFSender sender;
    int calls = 0;
    CFSender::Connection self = 0;
    self = sender.OnBuildCancel([&] {
        ++calls;
        sender.disconnect(self);
    });
    sender.BuildCancel();
    sender.BuildCancel();
    EXPECT_EQ(calls, 1);
}

TEST(HeadlessWaitForm, CancelInModeZeroReachesTheEngineOnceAndClosesTheWindow) {
    AnswerMessageBox box;
    NullEventPump pump;
    auto engine = std::make_unique<CFVB6EXE>(box, pump);
    CDFileData data;
    CFWin32API api;
    MemoryBuildLog log;
    engine->fInitialize(data, api, {}, log, "");
    HeadlessWaitForm form;
    form.setEventSource(engine->Sender());
    form.setDisplayMode(0);
    form.cmdFunction_Click(0);
    EXPECT_FALSE(form.visible());
    EXPECT_FALSE(form.IsBuildCancel());
    // The window has let go of the event source: a second click does nothing.
    form.cmdFunction_Click(0);
    // An engine dropped while something still holds its event source is not called.
    auto sender = engine->Sender();
    engine.reset();
    sender->BuildCancel();
}

TEST(HeadlessWaitForm, ReportModeButtonsSetTheResultAndOnlyTheSecondCancels) {
    HeadlessWaitForm okForm;
    okForm.setDisplayMode(1);
    okForm.cmdFunction_Click(0);
    EXPECT_EQ(okForm.buttonResult(), 1);
    EXPECT_FALSE(okForm.IsBuildCancel());
    HeadlessWaitForm cancel;
    cancel.setDisplayMode(1);
    cancel.cmdFunction_Click(1);
    EXPECT_EQ(cancel.buttonResult(), 2);
    EXPECT_TRUE(cancel.IsBuildCancel());
}

} // namespace
} // namespace pelorix
