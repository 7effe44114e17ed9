#include "ProjectDataTestSupport.h"

namespace pelorix::test {
namespace {

std::vector<std::int32_t> rows(CDFileData& data) {
    std::vector<std::int32_t> out;
    for (std::int32_t r = 1; r <= data.ProjectCount(); ++r)
        out.push_back(data.fGetProjectArrayIndex(r));
    return out;
}

using Rows = std::vector<std::int32_t>;

TEST_F(ProjectDataTest, ResetGivesOneEmptyRecordAndNoRows) {
    data.fAddProjectFileList("C:\\a.vbp", -1);
    data.fAddProjectFileList("C:\\b.vbp", -1);
    data.CopyBufferSize(77);
    data.fClearAllProjectInfo();
    EXPECT_EQ(data.ProjectCount(), 0);
    EXPECT_EQ(data.ProjectMaxIndex(), 0);
    EXPECT_EQ(data.ProjectFilePathList(), std::vector<std::string>{""});
    EXPECT_EQ(data.CopyBufferSize(), 77);
}

TEST_F(ProjectDataTest, RowsMapToRecordsThroughAddsChangesAndDeletes) {
    // The first add into the empty list takes record 0 whatever the position asked.
    data.fAddProjectFileList("C:\\a.vbp", 5);
    EXPECT_EQ(rows(data), (Rows{0}));
    data.fAddProjectFileList("C:\\b.vbp", -1);
    data.fAddProjectFileList("C:\\c.vbp", -1);
    data.fAddProjectFileList("C:\\d.vbp", 2);
    EXPECT_EQ(rows(data), (Rows{0, 3, 1, 2}));
    EXPECT_EQ(data.fProjectFilePath(data.fGetProjectArrayIndex(2)), "C:\\d.vbp");

    data.fDelProjectFileList(1);
    EXPECT_EQ(rows(data), (Rows{3, 1, 2}));
    EXPECT_EQ(data.ProjectMaxIndex(), 3); // the record stays, unlisted
    data.fAddProjectFileList("C:\\e.vbp", -1);
    EXPECT_EQ(rows(data), (Rows{3, 1, 2, 4}));

    // A changed last row stays the last row.
    data.fChangeProjectFileList("C:\\x.vbp", 0, 4);
    EXPECT_EQ(rows(data), (Rows{3, 1, 2, 0}));
    EXPECT_EQ(data.fProjectFilePath(0), "C:\\x.vbp");
    data.fChangeProjectFileList("C:\\y.vbp", 4, 0);
    EXPECT_EQ(rows(data), (Rows{3, 1, 2, 0, 4}));

    data.fDelProjectFileList(9); // beyond the last row: nothing
    EXPECT_EQ(data.ProjectCount(), 5);
    EXPECT_EQ(data.fGetProjectArrayIndex(0), -1);
    EXPECT_EQ(data.fGetProjectArrayIndex(6), -1);
    EXPECT_EQ(data.ProjectIndexCollection(), (Rows{3, 1, 2, 0, 4}));
    EXPECT_EQ(data.ProjectFilePathList(),
              (std::vector<std::string>{"C:\\x.vbp", "C:\\b.vbp", "C:\\c.vbp", "C:\\d.vbp", "C:\\y.vbp"}));
}

TEST_F(ProjectDataTest, InvalidRowPositionsFailAndLeaveTheRows) {
    data.fAddProjectFileList("C:\\a.vbp", -1);
    data.fAddProjectFileList("C:\\b.vbp", -1);
    EXPECT_EQ(errorOf([&] { data.fDelProjectFileList(0); }), vberr::InvalidArgument);
    EXPECT_EQ(data.ErrProcName(), "fDelProjectFileList");
    EXPECT_EQ(errorOf([&] { data.fAddProjectFileList("C:\\c.vbp", 3); }), vberr::InvalidArgument);
    EXPECT_EQ(errorOf([&] { data.fAddProjectFileList("C:\\c.vbp", 0); }), vberr::InvalidArgument);
    EXPECT_EQ(rows(data), (Rows{0, 1}));
    EXPECT_EQ(data.ProjectMaxIndex(), 3); // the records of the failed adds stay, unlisted
    EXPECT_EQ(errorOf([&] { data.fChangeProjectFileList("C:\\z.vbp", 9, 1); }), vberr::SubscriptOutOfRange);
}

TEST_F(ProjectDataTest, SetCompatibleModeChangesOnlyExistingRecords) {
    data.fAddProjectFileList("C:\\a.vbp", -1);
    data.fSetCompatibleMode(0, 2);
    data.fSetCompatibleMode(5, 1);
    data.fSetCompatibleMode(-1, 1);
    EXPECT_EQ(data.fGetCompatibleMode(0), 2);
}

TEST_F(ProjectDataTest, ListFileSectionGivesItsVbpLines) {
    const std::string list = putC("lists/l.ini", sjis("C:\\before\\x.vbp\r\n"
                                                      "[ProjectName]\r\n"
                                                      "C:\\src\\販売\\A.vbp\r\n"
                                                      "; C:\\commented\\b.vbp\r\n"
                                                      " \t;C:\\indented\\comment.vbp\r\n"
                                                      "C:\\Work\\a;b\\B.VBP\r\n"
                                                      "C:\\notes\\readme.txt\r\n"
                                                      "\r\n"
                                                      " C:\\src\\Mixed.VbP \n"
                                                      "[Build]\r\n"
                                                      "C:\\after\\c.vbp\r\n"));
    // Only a line that begins with ";" is a comment: a folder named "a;b" keeps its project, so the
    // rows after it keep their places (and their saved build marks). Blanks after a path are no
    // part of it, as the system drops them from a name.
    EXPECT_EQ(data.fSetProjectFilePathList(list, "ProjectName", "vbp"), 3);
    EXPECT_EQ(
        data.ProjectFilePathList(),
        (std::vector<std::string>{"C:\\src\\販売\\A.vbp", "C:\\Work\\a;b\\B.VBP", " C:\\src\\Mixed.VbP"}));
    EXPECT_EQ(rows(data), (Rows{0, 1, 2}));
}

const std::vector<std::string> DefaultKeyWords{"/MAKE", "/M", "/MAKEDLL", "/L",
                                               "/RUN",  "/R", "/RUNEXIT", "/OUT"};
const std::vector<std::string> DefaultIndexes{"*", "*", "*", "*", "*", "*", "*"};

// A list, batch or project file that cannot be read is named with its kind and the cause.
TEST_F(ProjectDataTest, UnreadableFilesAreNamedWithTheirCause) {
    EXPECT_EQ(data.fSetProjectFilePathList("", "ProjectName", "vbp"), 0);
    EXPECT_EQ(errorOf([&] { data.fSetProjectFilePathList("C:\\none.ini", "ProjectName", "vbp"); }),
              vberr::FileNotFound);
    EXPECT_EQ(data.ErrProcName(), "fSetProjectFilePathList");
    EXPECT_EQ(data.ErrDescription(), "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙを読み込めません。ﾌｧｲﾙが見つかりません。[C:\\none.ini]");

    putC("dir.ini/inner.txt", "");
    errorOf([&] { data.fSetProjectFilePathList("C:\\dir.ini", "ProjectName", "vbp"); });
    EXPECT_EQ(data.ErrDescription(), "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙを読み込めません。ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。[C:\\dir.ini]");

    // The load stops at a project file's line with a single quote; the error names file and line.
    const std::string project = putC("p/P.vbp", "Type=Exe\r\n\r\nTitle=\"unterminated\r\nName=\"P\"\r\n");
    EXPECT_EQ(errorOf([&] { data.fSetProjectNameList(project, 0, false); }), vberr::InvalidArgument);
    EXPECT_EQ(data.ErrDescription(), "引用符が閉じていません。:[ProjectFile=C:\\p\\P.vbp], 行番号: 3");
}

struct BatchLineCase {
    const char* line;
    const char* path;
};

class BatchLine : public ProjectDataTest, public ::testing::WithParamInterface<BatchLineCase> {};

TEST_P(BatchLine, NamesItsProject) {
    EXPECT_EQ(data.pGetProjectFilePath(GetParam().line, DefaultKeyWords, DefaultIndexes), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BatchLine,
    ::testing::Values(BatchLineCase{"REM vb6.exe /make C:\\a\\p.vbp", ""},
                      BatchLineCase{"rem vb6.exe /make C:\\a\\p.vbp", ""},
                      BatchLineCase{"REMARK.exe /make C:\\a\\p.vbp", "C:\\a\\p.vbp"},
                      BatchLineCase{"vb6.exe /make C:\\a\\p.vbp", "C:\\a\\p.vbp"},
                      BatchLineCase{"vb6.exe /make C:\\a\\P.VBP /out x.log", "C:\\a\\P.VBP"},
                      BatchLineCase{"vb6.exe /out build.log /make Proj", "Proj.vbp"},
                      BatchLineCase{"vb6.exe /OUT build.log /MAKE Proj", "Proj.vbp"},
                      BatchLineCase{"vb6.exe Proj /out build.log /make", ""},
                      BatchLineCase{"/out build.log /make Proj", ""},
                      BatchLineCase{"vb6.exe /make \"C:\\a b\\p.vbp\"", "C:\\a b\\p.vbp"},
                      BatchLineCase{"\"C:\\VB 98\\vb6.exe\" /out \"C:\\my logs\\b.log\" /make P", "P.vbp"},
                      BatchLineCase{"vb6 /make \"C:\\a b\\p\".vbp /out x", "C:\\a b\\p.vbp"},
                      BatchLineCase{"vb6 /make \"C:\\open end\\p.vbp", "C:\\open end\\p.vbp"},
                      BatchLineCase{"start \"\" /w vb6 /out \"\" /make P", "P.vbp"},
                      BatchLineCase{"vb6.exe /make C:\\a b\\p.vbp", "b\\p.vbp"},
                      BatchLineCase{"vb6.exe /out log /make Proj Other", "Other.vbp"},
                      BatchLineCase{"vb6.exe /out build.log /make Proj  ", "Proj.vbp"}, BatchLineCase{"", ""},
                      BatchLineCase{"echo done", ""}));

TEST_F(ProjectDataTest, ShortKeyWordListNeverIndexesPastItsEnd) {
    const std::vector<std::string> keyWords{"/MAKE", "/OUT"};
    EXPECT_EQ(data.pGetProjectFilePath("vb6.exe /out build.log /make Proj", keyWords, {}), "");
    EXPECT_EQ(data.pGetProjectFilePath("vb6.exe /make a.vbp", keyWords, {}), "a.vbp");
}

TEST_F(ProjectDataTest, KeyWordSeenAtPositionZeroMatchesAgain) {
    std::vector<std::int32_t> found(DefaultKeyWords.size(), 0);
    EXPECT_EQ(data.pSearchKeyWord("/make", 0, DefaultKeyWords, found), 0);
    EXPECT_EQ(data.pSearchKeyWord("/MAKE", 3, DefaultKeyWords, found), 0);
    EXPECT_EQ(data.pSearchKeyWord("/make", 4, DefaultKeyWords, found), -1);
    EXPECT_EQ(found[0], 3);
}

TEST_F(ProjectDataTest, BatchFileGivesItsProjectsInOrder) {
    const std::string bat = putC("build/b/make.bat", "@echo off\n"
                                                     "REM vb6.exe /make skipped.vbp\r\n"
                                                     "vb6.exe /make ..\\src\\One.vbp\r\n"
                                                     "vb6.exe /out two.log /make Two\r"
                                                     "vb6.exe /make C:\\abs\\Three.vbp\n");
    EXPECT_EQ(data.fMakeProjectFileList(bat, DefaultKeyWords, DefaultIndexes, "C:\\build\\b"), 3);
    EXPECT_EQ(data.ProjectFilePathList(),
              (std::vector<std::string>{"C:\\build\\src\\One.vbp", "Two.vbp", "C:\\abs\\Three.vbp"}));
    EXPECT_EQ(rows(data), (Rows{0, 1, 2}));
    EXPECT_EQ(
        errorOf([&] { data.fMakeProjectFileList("C:\\no.bat", DefaultKeyWords, DefaultIndexes, "C:\\"); }),
        vberr::FileNotFound);
}

} // namespace
} // namespace pelorix::test
