// The list-file class: what its dialogs are given, what they give back, and the list file it
// writes.
#include "lists/CFCreateBuildList.h"

#include "engine/BuildWindows.h"
#include "lists/FileDialog.h"
#include "platform/ErrorLog.h"
#include "projectdata/CDFileData.h"
#include "support/ScriptedFileDialog.h"
#include "support/TestEnvironment.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

// A host path with the system's own separators, as the file dialogs are given it.
std::string native(std::string hostPath) {
    if (std::filesystem::path::preferred_separator == '\\')
        std::replace(hostPath.begin(), hostPath.end(), '/', '\\');
    return hostPath;
}

class FakeWindow final : public IProjectListWindow {
public:
    void MousePointer(std::int32_t pointer) override { pointers.push_back(pointer); }
    void Caption(const std::string& text) override { caption = text; }
    std::string Version() const override { return "Pelorix Ver. 1.0.1"; }
    IFileDialog& CommonDialog() override { return dialog; }
    IMessageBox& MessageBox() override { return box; }

    ScriptedFileDialog dialog;
    AnswerMessageBox box;
    std::vector<std::int32_t> pointers;
    std::string caption = "unchanged";
};

TEST(CFCreateBuildListTest, DialogsStartAtThePathAndGiveBackWindowsPaths) {
    TestEnvironment env;
    FakeWindow window;
    CDFileData data;
    data.fClearAllProjectInfo();
    CFCreateBuildList list(window, data);

    // Nothing chosen yet: the program folder, no preset name, the batch filter's two entries.
    std::string path;
    window.dialog.cancel();
    const auto logged = errorLogCallCount();
    EXPECT_FALSE(list.fOpenBatFile(path));
    EXPECT_EQ(errorLogCallCount(), logged) << "a cancelled dialog is no error";
    EXPECT_EQ(path, "");
    const FileDialogRequest& first = window.dialog.requests().back();
    EXPECT_EQ(first.initialFolder, native(env.home()));
    EXPECT_EQ(first.fileName, "");
    ASSERT_EQ(first.filters.size(), 2u);
    EXPECT_EQ(first.filters[0].description, "ﾊﾞｯﾁﾌｧｲﾙ(*.bat)");
    EXPECT_EQ(first.filters[1].pattern, "*.*");
    EXPECT_FALSE(first.save);

    // A chosen host file comes back as its path on drive C:, and the next dialog starts beside it.
    writeFile(env.driveC() + "/帳票/a.vbp", "Type=Exe\r\n");
    window.dialog.choose(env.driveC() + "/帳票/a.vbp");
    EXPECT_TRUE(list.fSelectProjectFile(path));
    EXPECT_EQ(path, "C:\\帳票\\a.vbp");
    window.dialog.cancel();
    EXPECT_FALSE(list.fOpenProjectList(path));
    EXPECT_EQ(path, "C:\\帳票\\a.vbp");
    EXPECT_EQ(window.dialog.requests().back().initialFolder, native(env.driveC() + "/帳票"));
    EXPECT_EQ(window.dialog.requests().back().fileName, native(env.driveC() + "/帳票/a.vbp"));
    EXPECT_EQ(window.dialog.requests().back().filters.front().pattern, "*.ini");
}

TEST(CFCreateBuildListTest, SavingWritesTheListInRowOrderAndSaysSo) {
    TestEnvironment env;
    FakeWindow window;
    CDFileData data;
    data.fClearAllProjectInfo();
    data.fAddProjectFileList("C:\\p\\一.vbp", -1);
    data.fAddProjectFileList("C:\\p\\two.vbp", -1);
    data.fAddProjectFileList("C:\\p\\zero.vbp", 1);
    CFCreateBuildList list(window, data);

    std::string path;
    std::filesystem::create_directories(env.driveC() + "/lists");
    window.dialog.choose(env.driveC() + "/lists/new.ini");
    ASSERT_TRUE(list.fSaveProjectList(path));
    EXPECT_TRUE(window.dialog.requests().back().save);
    EXPECT_EQ(path, "C:\\lists\\new.ini");
    EXPECT_EQ(readFile(env.driveC() + "/lists/new.ini"),
              sjis("[ProjectName]\r\nC:\\p\\zero.vbp\r\nC:\\p\\一.vbp\r\nC:\\p\\two.vbp\r\n"));
    EXPECT_EQ(window.caption, "Pelorix Ver. 1.0.1    C:\\lists\\new.ini");
    ASSERT_EQ(window.box.shown().size(), 1u);
    EXPECT_EQ(window.box.shown()[0].text, "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄを保存しました。");
    EXPECT_EQ(window.box.shown()[0].title, "保存完了");
    EXPECT_EQ(window.pointers, (std::vector<std::int32_t>{vbHourglass, vbDefault}));

    // An empty list is a file with its section line alone.
    CDFileData empty;
    empty.fClearAllProjectInfo();
    CFCreateBuildList emptyList(window, empty);
    window.dialog.choose(env.driveC() + "/lists/empty.ini");
    ASSERT_TRUE(emptyList.fSaveProjectList(path));
    EXPECT_EQ(readFile(env.driveC() + "/lists/empty.ini"), "[ProjectName]\r\n");
}

TEST(CFCreateBuildListTest, AListThatCannotBeWrittenKeepsTheCurrentPath) {
    TestEnvironment env;
    FakeWindow window;
    CDFileData data;
    data.fClearAllProjectInfo();
    CFCreateBuildList list(window, data);
    window.dialog.choose(env.root() + "/no/such/folder/list.ini");
    std::string path = "C:\\old.ini";
    EXPECT_THROW(list.fSaveProjectList(path), RuntimeError);
    EXPECT_EQ(path, "C:\\old.ini");
    EXPECT_EQ(window.caption, "unchanged");
    EXPECT_EQ(window.pointers.back(), vbDefault);
    EXPECT_TRUE(window.box.shown().empty());
}

} // namespace
} // namespace pelorix::test
