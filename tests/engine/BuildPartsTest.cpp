#include "engine/BuildWindows.h"
#include "engine/CFSender.h"
#include "engine/CFVB6EXE.h"
#include "engine/CompilerLog.h"
#include "platform/CFWin32API.h"
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
                      LogCase{"SuccessAfterErrorStopsReading", {error, "", ok, notFound, "more"}, 0, 2},
                      LogCase{"SuccessIsCaseAndWidthExact", {"ビルドが正常に終了しました。"}, 99, 1},
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
