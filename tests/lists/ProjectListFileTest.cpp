// The list file as the window saves it: what the save keeps of the file it replaces, that the
// list reader reads back the paths and marks it wrote, and the files it refuses to write.
#include "lists/ProjectListFile.h"

#include "platform/CFWin32API.h"
#include "platform/RuntimeError.h"
#include "projectdata/CDFileData.h"
#include "support/TestEnvironment.h"

#include <filesystem>
#include <optional>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

namespace fs = std::filesystem;

struct SaveCase {
    const char* name;
    std::string oldBytes;
    std::vector<std::string> paths;
    std::optional<ListMarks> marks;
    std::string expected;
};

const std::string A = "C:\\p\\a.vbp";
const std::string B = "C:\\p\\b.vbp";
const std::string C = "C:\\p\\c.vbp";

class ListSave : public ::testing::TestWithParam<SaveCase> {};

// The bytes written, and what the list reader and the mark reader find in them.
TEST_P(ListSave, KeepsWhatTheListHeldAndReadsBackAsWritten) {
    const SaveCase& c = GetParam();
    const std::string bytes = projectListFileBytes(sjis(c.oldBytes), c.paths, c.marks);
    EXPECT_EQ(bytes, sjis(c.expected));

    TestEnvironment env;
    writeFile(env.driveC() + "/list.ini", bytes);
    CDFileData data;
    data.fClearAllProjectInfo();
    const auto count =
        static_cast<std::size_t>(data.fSetProjectFilePathList("C:\\list.ini", "ProjectName", "vbp"));
    const std::vector<std::string> all = data.ProjectFilePathList();
    EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(count)),
              c.paths);
    if (c.marks) {
        const ListBuildState state = readListBuildState("C:\\list.ini");
        EXPECT_EQ(state.enableRows, c.marks->enabledRows);
        EXPECT_EQ(state.index, c.marks->buildIndex);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ProjectListFile, ListSave,
    ::testing::Values(
        SaveCase{"ANewFile",
                 "",
                 {A, B},
                 ListMarks{{1}, 2},
                 "[ProjectName]\r\nC:\\p\\a.vbp\r\nC:\\p\\b.vbp\r\n[Build]\r\nEnableState=1,\r\nIndex=2\r\n"},
        // Comments stay with the project they stood before, a line naming no project too; the
        // byte-order mark, a comment naming the section, the other keys and sections stay as
        // they were.
        SaveCase{
            "CommentsSectionsAndTheByteOrderMark",
            "\xEF\xBB\xBF; [ProjectName] follows\r\n[ProjectName]\r\n; 基本の部品\r\nC:\\p\\a.vbp\r\n"
            "notes.txt\r\nC:\\p\\b.vbp\r\n\r\n[Build]\r\nEnableState=1,\r\nIndex=1\r\nOther=x\r\n"
            "[Mine]\r\nk=v\r\n",
            {B, C, A},
            ListMarks{{2, 3}, 3},
            "\xEF\xBB\xBF; [ProjectName] follows\r\n[ProjectName]\r\nnotes.txt\r\nC:\\p\\b.vbp\r\n"
            "C:\\p\\c.vbp\r\n; 基本の部品\r\nC:\\p\\a.vbp\r\n\r\n[Build]\r\nEnableState=2,3,\r\nIndex=3\r\n"
            "Other=x\r\n[Mine]\r\nk=v\r\n"},
        // The comment of a project taken off the list stays, after the last project.
        SaveCase{"ARemovedProjectsComment",
                 "[ProjectName]\r\n; gone\r\nC:\\p\\gone.vbp\r\nC:\\p\\a.vbp\r\n",
                 {A},
                 std::nullopt,
                 "[ProjectName]\r\nC:\\p\\a.vbp\r\n; gone\r\n"},
        // The same project twice: each keeps its own comment; line ends as they were, the new
        // lines in CR LF.
        SaveCase{"TwiceTheSameProjectAndBareLineEnds",
                 "[ProjectName]\r; x\rC:\\p\\a.vbp\n; y\rC:\\p\\a.vbp",
                 {A, A},
                 std::nullopt,
                 "[ProjectName]\r; x\rC:\\p\\a.vbp\r\n; y\rC:\\p\\a.vbp\r\n"},
        // A file without the section gets it at its end; the marks join its "Build" section.
        SaveCase{"NoSectionYet",
                 "[Build]\r\nIndex=1\r\n",
                 {"C:\\帳票\\a.vbp"},
                 ListMarks{{}, 1},
                 "[Build]\r\nIndex=1\r\nEnableState=\r\n[ProjectName]\r\nC:\\帳票\\a.vbp\r\n"},
        SaveCase{"AnEmptyList",
                 "[ProjectName]\r\nC:\\p\\a.vbp\r\n[Build]\r\nEnableState=1,\r\n",
                 {},
                 ListMarks{{}, 0},
                 "[ProjectName]\r\n[Build]\r\nEnableState=\r\nIndex=0\r\n"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// A list that cannot be written is named with its reason, and nothing of it changes; a list kept
// as a symbolic link is written where the link points, and the link stays.
TEST(ProjectListFile, RefusedFilesAreNamedWithTheirReasonAndLinksAreFollowed) {
    TestEnvironment env;
    const std::string folder = env.driveC() + "/lists";
    fs::create_directories(folder + "/folder.ini");
    writeFile(folder + "/ro.ini", "[ProjectName]\r\n; mine\r\n");
    ::chmod((folder + "/ro.ini").c_str(), 0444);
    ASSERT_EQ(::mkfifo((folder + "/fifo.ini").c_str(), 0644), 0);
    const struct {
        std::string name;
        std::string reason;
    } refused[] = {{"ro.ini", "読み取り専用のﾌｧｲﾙです。"},
                   {"folder.ini", "ﾌｫﾙﾀﾞです。"},
                   {"fifo.ini", "通常のﾌｧｲﾙではありません。"},
                   {"missing\\list.ini", "指定されたパスが見つかりません。"}};
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        const std::string path = "C:\\lists\\" + r.name;
        try {
            writeProjectListFile(path, std::vector<std::string>{A}, ListMarks{{1}, 1});
            ADD_FAILURE() << "written";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), vberr::PathFileAccess);
            EXPECT_EQ(e.description(), "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄに書き込めません。" + r.reason + "[" + path + "]");
        }
    }
    EXPECT_EQ(readFile(folder + "/ro.ini"), "[ProjectName]\r\n; mine\r\n");
    EXPECT_TRUE(fs::is_fifo(folder + "/fifo.ini"));
    EXPECT_EQ(folderEntries(folder).size(), 3u) << "nothing left behind";

    writeFile(folder + "/real.ini", "; kept\r\n");
    fs::create_symlink("real.ini", folder + "/link.ini");
    CFWin32API api;
    writeListBuildState(api, "C:\\lists\\link.ini", {{2}, 2});
    EXPECT_TRUE(fs::is_symlink(folder + "/link.ini"));
    EXPECT_EQ(readFile(folder + "/real.ini"), "; kept\r\n[Build]\r\nEnableState=2,\r\nIndex=2\r\n");
}

} // namespace
} // namespace pelorix::test
