#include "ProjectDataTestSupport.h"

namespace pelorix::test {
namespace {

struct ReadCase {
    const char* name;
    const char* text; // lines joined with "\n"; written with CR LF
    ProjectRecord expected;
};

ProjectRecord record(const char* name, const char* title, const char* description, const char* type,
                     std::int16_t mode, std::int16_t start, std::int16_t optimization) {
    return ProjectRecord{"", name, title, description, type, mode, start, optimization};
}

std::string withLineEnds(std::string_view text, std::string_view end) {
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out.append(end);
        else
            out.push_back(c);
    }
    return out;
}

class ReadProjectFile : public ProjectDataTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadProjectFile, GivesTheRecord) {
    const auto& c = GetParam();
    const std::string path = putC("p/a.vbp", withLineEnds(c.text, "\r\n"));
    data.fAddProjectFileList(path, -1);
    data.fSetProjectNameList(path, 0, true);
    ProjectRecord expected = c.expected;
    expected.ProjectFilePath = path;
    ProjectRecord actual{data.fProjectFilePath(0), data.fGetProjectName(0),
                         data.fGetTile(0),         data.fGetProjectDescription(0),
                         data.fGetProjectType(0),  data.fGetCompatibleMode(0),
                         data.fGetStartMode(0),    data.fGetOptimizationType(0)};
    EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(
    KeyTable, ReadProjectFile,
    ::testing::Values(
        ReadCase{"typical",
                 "Type=OleDll\nReference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb#OLE\n"
                 "Name=\"Proj\"\nTitle=\"The title\"\nDescription=\"What it is\"\nCompatibleMode=\"2\"\n"
                 "StartMode=1\nOptimizationType=0",
                 record("Proj", "The title", "What it is", "OleDll", 2, 1, 0)},
        // A key that merely ends in "Name=" counts when it comes first.
        ReadCase{"version key first", "VersionProductName=\"Suite\"\nName=\"Proj\"",
                 record("Suite", "", "", "", -1, -1, -1)},
        ReadCase{"first title, last type", "Type=Exe\nTitle=\"one\"\nTitle=\"two\"\nType=OleExe",
                 record("", "one", "", "OleExe", -1, -1, -1)},
        ReadCase{"optimisation line is no type", "OptimizationType=0\nType=Control",
                 record("", "", "", "Control", -1, -1, 0)},
        ReadCase{"blank type keeps the earlier", "Type=Exe\nType=   ", record("", "", "", "Exe", -1, -1, -1)},
        ReadCase{"type kept untrimmed", "Type= Exe ", record("", "", "", " Exe ", -1, -1, -1)},
        // The mark is set by the first line even when its value is no number.
        ReadCase{"non-numeric mode marks the key", "CompatibleMode=\"x\"\nCompatibleMode=\"2\"",
                 record("", "", "", "", -1, -1, -1)},
        // A quoted key on a line without quotes is not taken; the next line may supply it.
        ReadCase{"unquoted title skipped", "Title=plain\nTitle=\"quoted\"",
                 record("", "quoted", "", "", -1, -1, -1)},
        ReadCase{"inner quotes stay", "Title=\"a\"b\"\"", record("", "a\"b\"", "", "", -1, -1, -1)},
        ReadCase{"numbers out of range keep no value", "StartMode=99999\nOptimizationType=-32769",
                 record("", "", "", "", -1, -1, -1)},
        ReadCase{"numbers round half to even", "StartMode=2.5\nOptimizationType= 1.5",
                 record("", "", "", "", -1, 2, 2)},
        ReadCase{"description anywhere, first wins", "VersionFileDescription=\"file\"\nDescription=\"proj\"",
                 record("", "", "file", "", -1, -1, -1)},
        ReadCase{"empty and odd lines", "\n\n[MS Transaction Server]\nAutoRefresh=1\n\nTitle=\"t\"\n",
                 record("", "t", "", "", -1, -1, -1)}),
    [](const ::testing::TestParamInfo<ReadCase>& param) {
        std::string n = param.param.name;
        for (auto& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST_F(ProjectDataTest, LineEndsOfEveryKindGiveTheSameRecord) {
    const char* text =
        "Type=Exe\nName=\"P\"\nTitle=\"T\"\nCompatibleMode=\"1\"\nStartMode=0\nOptimizationType=2";
    std::vector<ProjectRecord> records;
    for (const std::string_view end : {"\r\n", "\n", "\r"}) {
        const std::string path = putC("p/a.vbp", withLineEnds(text, end));
        data.fClearAllProjectInfo();
        data.fAddProjectFileList(path, -1);
        data.fSetProjectNameList(path, 0, true);
        records.push_back({"", data.fGetProjectName(0), data.fGetTile(0), "", data.fGetProjectType(0),
                           data.fGetCompatibleMode(0), data.fGetStartMode(0), data.fGetOptimizationType(0)});
    }
    EXPECT_EQ(records[0], record("P", "T", "", "Exe", 1, 0, 2));
    EXPECT_EQ(records[1], records[0]);
    EXPECT_EQ(records[2], records[0]);
}

TEST_F(ProjectDataTest, ShiftJisTextIsDecoded) {
    const std::string path = putC("p/j.vbp", sjis("Title=\"販売管理ｼｽﾃﾑ\"\r\nDescription=\"説明\"\r\n"));
    data.fAddProjectFileList(path, -1);
    data.fSetProjectNameList(path, 0, true);
    EXPECT_EQ(data.fGetTile(0), "販売管理ｼｽﾃﾑ");
    EXPECT_EQ(data.fGetProjectDescription(0), "説明");
}

TEST_F(ProjectDataTest, MissingFileGetsPlaceholdersAndRowText) {
    data.fAddProjectFileList("C:\\none\\x.vbp", -1);
    data.fSetProjectNameList("C:\\none\\x.vbp", 0, true);
    EXPECT_EQ(data.fGetProjectName(0), "-");
    EXPECT_EQ(data.fGetTile(0), "-");
    std::string row;
    EXPECT_FALSE(data.fGetProjectFileInfo(0, row));
    EXPECT_EQ(row, ",,-1,-1,,-,C:\\none\\x.vbp");
}

TEST_F(ProjectDataTest, RowTextJoinsTheFieldsUnescaped) {
    const std::string path = putC("p/a.vbp", "Title=\"t\"\r\nDescription=\"d, e\"\r\nCompatibleMode=\"1\"\r\n"
                                             "OptimizationType=0\r\n");
    data.fAddProjectFileList(path, -1);
    data.fSetProjectNameList(path, 0, true);
    std::string row;
    data.fGetProjectFileInfo(0, row);
    EXPECT_EQ(row, ",,1,0,d, e,t," + path);
}

TEST_F(ProjectDataTest, RereadAfterAPathChangeForgetsTheOldValues) {
    const std::string first = putC("p/a.vbp", "Description=\"old\"\r\nCompatibleMode=\"2\"\r\n");
    const std::string second = putC("p/b.vbp", "Title=\"b\"\r\n");
    data.fAddProjectFileList(first, -1);
    data.fSetProjectNameList(first, 0, true);
    data.fChangeProjectFileList(second, 0, 1);
    data.fSetProjectNameList(second, 0, true);
    EXPECT_EQ(data.fGetProjectDescription(0), "");
    EXPECT_EQ(data.fGetCompatibleMode(0), -1);
    EXPECT_EQ(data.fGetTile(0), "b");
}

TEST_F(ProjectDataTest, AccessorsOutsideTheRecordsGiveNoValues) {
    for (const std::int32_t index : {-1, 1, 100}) {
        EXPECT_EQ(data.fProjectFilePath(index), "");
        EXPECT_EQ(data.fGetProjectName(index), "");
        EXPECT_EQ(data.fGetCompatibleMode(index), -1);
        EXPECT_EQ(data.fGetStartMode(index), -1);
        EXPECT_EQ(data.fGetOptimizationType(index), -1);
    }
    std::string row;
    EXPECT_EQ(errorOf([&] { data.fGetProjectFileInfo(1, row); }), vberr::SubscriptOutOfRange);
    EXPECT_EQ(data.ErrProcName(), "fGetProjectFileInfo");
}

TEST(CDFileDataBeforeReset, EveryLookUpFailsWithSubscriptError) {
    TestEnvironment env;
    CDFileData fresh;
    std::string row;
    EXPECT_EQ(errorOf([&] { fresh.fGetProjectName(0); }), vberr::SubscriptOutOfRange);
    EXPECT_EQ(errorOf([&] { fresh.fGetCompatibleMode(0); }), vberr::SubscriptOutOfRange);
    EXPECT_EQ(fresh.ErrProcName(), "fGetCompatibleMode");
    EXPECT_EQ(errorOf([&] { fresh.fGetProjectFileInfo(0, row); }), vberr::SubscriptOutOfRange);
    EXPECT_EQ(errorOf([&] { fresh.ProjectMaxIndex(); }), vberr::SubscriptOutOfRange);
    EXPECT_EQ(errorOf([&] { fresh.fAddProjectFileList("C:\\a.vbp", -1); }), vberr::SubscriptOutOfRange);
    EXPECT_EQ(errorOf([&] { fresh.fSetCompatibleMode(0, 1); }), vberr::SubscriptOutOfRange);
    EXPECT_EQ(fresh.ProjectCount(), 0);
}

TEST_F(ProjectDataTest, ALineWithOneQuoteFailsWithInvalidArgument) {
    const std::string path = putC("p/a.vbp", "Name=\"ok\"\r\nTitle=\"broken\r\n");
    data.fAddProjectFileList(path, -1);
    EXPECT_EQ(errorOf([&] { data.fSetProjectNameList(path, 0, true); }), vberr::InvalidArgument);
    EXPECT_EQ(data.ErrProcName(), "fSetProjectNameList");
}

TEST_F(ProjectDataTest, ReplaceNeedsAnExistingRecordWhileAddingGrows) {
    const std::string path = putC("p/a.vbp", "Title=\"t\"\r\n");
    EXPECT_EQ(errorOf([&] { data.fSetProjectNameList(path, 3, true); }), vberr::SubscriptOutOfRange);
    data.fSetProjectNameList(path, 3, false);
    EXPECT_EQ(data.ProjectMaxIndex(), 3);
    EXPECT_EQ(data.fGetTile(3), "t");
}

struct KeyValueCase {
    const char* line;
    const char* key;
    const char* value;
};

class KeyValue : public ProjectDataTest, public ::testing::WithParamInterface<KeyValueCase> {};

TEST_P(KeyValue, IsTheTextAfterTheKey) {
    EXPECT_EQ(data.pGetKeyValue(GetParam().line, GetParam().key), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Lines, KeyValue,
                         ::testing::Values(KeyValueCase{"CompatibleMode=\"2\"", "CompatibleMode=", "\"2\""},
                                           KeyValueCase{"  StartMode=0  ", " StartMode ", "0"},
                                           KeyValueCase{"Title=\"販売\"", "Title=", "\"販売\""},
                                           KeyValueCase{"Title=\"x\"", "Name=", ""},
                                           KeyValueCase{"", "Title=", ""}, KeyValueCase{"Title=1", "  ", ""},
                                           KeyValueCase{"Title", "Title=", ""}));

} // namespace
} // namespace pelorix::test
