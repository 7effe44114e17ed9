// The list file as the window saves it: what the save keeps of the file it replaces, that the
// list reader reads back the paths and marks it wrote, and the files it refuses to write.
#include "lists/ProjectListFile.h"

#include "platform/CFWin32API.h"
#include "platform/RuntimeError.h"
#include "projectdata/CDFileData.h"
#include "support/TestEnvironment.h"

#include <filesystem>
#include <optional>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

namespace fs = std::filesystem;

const std::string A = "C:\\p\\a.vbp";

// Each case: the file before, the list saved, its marks, the file after (in UTF-8; the file is in
// Shift-JIS). The list reader and the mark reader find in it what was saved.
TEST(ProjectListFile, SaveKeepsWhatTheListHeldAndReadsBackAsWritten) {
    const struct {
        std::string before;
        std::vector<std::string> paths;
        std::optional<ListMarks> marks;
        std::string after;
    } cases[] = {
        // Comments and lines naming no project stay before the project they preceded, or after
        // the last project when it left the list; the byte-order mark, a comment naming the
        // section, the other keys and sections stay as they were.
        {"\xEF\xBB\xBF; [ProjectName] below\r\n[ProjectName]\r\n; 基本\r\nC:\\p\\a.vbp\r\nnotes.txt\r\n"
         "C:\\p\\b.vbp\r\n; "
         "gone\r\nC:\\p\\gone.vbp\r\n\r\n[Build]\r\nEnableState=1,\r\nOther=x\r\n[Mine]\r\n",
         {"C:\\p\\b.vbp", "C:\\p\\c.vbp", A},
         ListMarks{{2, 3}, 3},
         "\xEF\xBB\xBF; [ProjectName] "
         "below\r\n[ProjectName]\r\nnotes.txt\r\nC:\\p\\b.vbp\r\nC:\\p\\c.vbp\r\n; 基本\r\n"
         "C:\\p\\a.vbp\r\n; gone\r\n\r\n[Build]\r\nEnableState=2,3,\r\nOther=x\r\nIndex=3\r\n[Mine]\r\n"},
        // The same project twice keeps each its own comment; line ends stay, new lines are CR LF.
        {"; x\r[ProjectName]\rC:\\p\\a.vbp\n; y\rC:\\p\\a.vbp",
         {A, A, "C:\\帳票\\a.vbp"},
         std::nullopt,
         "; x\r[ProjectName]\rC:\\p\\a.vbp\r\n; y\rC:\\p\\a.vbp\r\nC:\\帳票\\a.vbp\r\n"},
        // A file without the section gets it at its end.
        {"[Build]\r\nIndex=1\r\n",
         {},
         ListMarks{{}, 1},
         "[Build]\r\nIndex=1\r\nEnableState=\r\n[ProjectName]\r\n"},
    };
    TestEnvironment env;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.after);
        const std::string bytes = projectListFileBytes(sjis(c.before), c.paths, c.marks);
        EXPECT_EQ(bytes, sjis(c.after));
        writeFile(env.driveC() + "/list.ini", bytes);
        CDFileData data;
        data.fClearAllProjectInfo();
        const auto count = data.fSetProjectFilePathList("C:\\list.ini", "ProjectName", "vbp");
        const std::vector<std::string> all = data.ProjectFilePathList();
        EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + count), c.paths);
        if (c.marks) {
            EXPECT_EQ(readListBuildState("C:\\list.ini").enableRows, c.marks->enabledRows);
        }
    }
}

// A list that cannot be written is named with its reason, and nothing of it changes; a list kept
// as a symbolic link is written where the link points, and the link stays.
TEST(ProjectListFile, RefusedFilesAreNamedWithTheirReasonAndLinksAreFollowed) {
    TestEnvironment env;
    const std::string folder = env.driveC() + "/lists";
    fs::create_directories(folder + "/folder.ini");
    writeFile(folder + "/ro.ini", "[ProjectName]\r\n; mine\r\n");
    fs::permissions(folder + "/ro.ini",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    struct Refused {
        std::string name;
        std::string reason;
    };
    std::vector<Refused> refused = {{"ro.ini", "読み取り専用のﾌｧｲﾙです。"},
                                    {"folder.ini", "ﾌｫﾙﾀﾞです。"},
                                    {"missing\\list.ini", "指定されたパスが見つかりません。"}};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((folder + "/fifo.ini").c_str(), 0644), 0);
    refused.push_back({"fifo.ini", "通常のﾌｧｲﾙではありません。"});
#endif
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
    EXPECT_EQ(folderEntries(folder).size(), refused.size() - 1)
        << "nothing left behind"; // none for the missing
#ifndef _WIN32
    EXPECT_TRUE(fs::is_fifo(folder + "/fifo.ini"));

    writeFile(folder + "/real.ini", "; kept\r\n");
    fs::create_symlink("real.ini", folder + "/link.ini");
    CFWin32API api;
    writeListBuildState(api, "C:\\lists\\link.ini", {}, {{2}, 2});
    EXPECT_TRUE(fs::is_symlink(folder + "/link.ini"));
    EXPECT_EQ(readFile(folder + "/real.ini"), "; kept\r\n[Build]\r\nEnableState=2,\r\nIndex=2\r\n");
#endif
}

} // namespace
} // namespace pelorix::test
