#include "ProjectDataTestSupport.h"
#include "projectdata/IBuildLog.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sys/stat.h>

namespace pelorix::test {
namespace {

constexpr const char* Guid = "{00020430-0000-0000-C000-000000000046}";
constexpr const char* OtherGuid = "{11111111-2222-3333-4444-555555555555}";
constexpr const char* OcxGuid = "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}";

// A project folder with one library file and its registrations handed straight to the updater.
class UpdaterTest : public ProjectDataTest {
protected:
    UpdaterTest() {
        putC("lib/x.tlb", "not really a type library");
        registrations.libraryPaths = {"C:\\lib\\x.tlb", "C:\\lib\\x.tlb",
                                      "C:\\Windows\\System32\\MSCOMCTL.OCX"};
        registrations.keyPaths = {std::string("TypeLib\\") + Guid + "\\1.0\\0",
                                  std::string("TypeLib\\") + Guid + "\\2.1\\0",
                                  std::string("TypeLib\\") + OcxGuid + "\\2.2\\0"};
        registrations.writeTimes = {40000.0, 45000.0, 41000.0};
        data.setRegistrationSource([this] { return registrations; });
    }

    std::string project(std::string_view bytes) { return putC("proj/P.vbp", bytes); }
    std::string projectBytes() const { return readFile(hostC("proj/P.vbp")); }
    bool update(std::int16_t mode) {
        return data.fUpdateProjectFileInfo("C:\\proj\\P.vbp", mode, "C:\\Windows", log);
    }

    TypeLibRegistrations registrations;
    MemoryBuildLog log;
};

struct RuleCase {
    const char* name;
    std::int16_t mode;
    bool components;
    std::vector<std::string> input;
    std::vector<std::string> output;
    std::vector<std::string> logLines;
};

class UpdateRules : public UpdaterTest, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(UpdateRules, RewriteTheLinesTheyName) {
    const auto& c = GetParam();
    std::string in;
    for (const auto& line : c.input)
        in.append(line).append("\r\n");
    project(in);
    data.UpdateComponentReference(c.components);
    ASSERT_TRUE(update(c.mode));
    std::string expected;
    for (const auto& line : c.output)
        expected.append(line).append("\r\n");
    EXPECT_EQ(projectBytes(), expected);
    EXPECT_EQ(log.lines(), c.logLines);
}

const std::string Ref = std::string("Reference=*\\G") + Guid + "#1.0#0#C:\\lib\\x.tlb#Test Library";
const std::string NewRef = std::string("Reference=*\\G") + Guid + "#2.1#0#C:\\lib\\x.tlb#Test Library";
const std::string Obj = std::string("Object=") + OcxGuid + "#2.0#0; MSCOMCTL.OCX";
const std::string NewObj = std::string("Object=") + OcxGuid + "#2.2#0; MSCOMCTL.OCX";
const std::string Mode0 = "CompatibleMode=\"0\"";
const std::string Mode2 = "CompatibleMode=\"2\"";
const std::string Version = "VersionCompatible32=\"1\"";

INSTANTIATE_TEST_SUITE_P(
    Lines, UpdateRules,
    ::testing::Values(RuleCase{"mode two adds the version line after the compatible file",
                               2,
                               false,
                               {"Type=OleDll", "CompatibleMode=\"0\"", "VersionCompatible32=\"1\"",
                                "CompatibleEXE32=\"x.dll\"", "Name=\"P\""},
                               {"Type=OleDll", "CompatibleMode=\"2\"", "CompatibleEXE32=\"x.dll\"",
                                "VersionCompatible32=\"1\"", "Name=\"P\""},
                               {"2行 更新(互換ﾓｰﾄﾞ): CompatibleMode=\"2\"",
                                "5行 更新(ﾊﾞｰｼﾞｮﾝ互換): VersionCompatible32=\"1\""}},
                      RuleCase{"mode one writes no version line",
                               1,
                               false,
                               {"CompatibleMode=\"0\"", "CompatibleEXE32=\"x.dll\""},
                               {"CompatibleMode=\"1\"", "CompatibleEXE32=\"x.dll\""},
                               {"1行 更新(互換ﾓｰﾄﾞ): CompatibleMode=\"1\""}},
                      RuleCase{
                          "same mode keeps the line and drops the version line",
                          2,
                          false,
                          {"CompatibleMode=\"2\"", "CompatibleEXE32=\"x.dll\"", "VersionCompatible32=\"1\""},
                          {"CompatibleMode=\"2\"", "CompatibleEXE32=\"x.dll\""},
                          {}},
                      RuleCase{"compatible file before the mode line gets no version line",
                               2,
                               false,
                               {"CompatibleEXE32=\"x.dll\"", "CompatibleMode=\"0\""},
                               {"CompatibleEXE32=\"x.dll\"", "CompatibleMode=\"2\""},
                               {"2行 更新(互換ﾓｰﾄﾞ): CompatibleMode=\"2\""}},
                      RuleCase{"no mode leaves the mode line and never writes minus one",
                               -1,
                               false,
                               {"CompatibleMode=\"1\"", "CompatibleEXE32=\"x.dll\"", "CompatibleMode=\"x\""},
                               {"CompatibleMode=\"1\"", "CompatibleEXE32=\"x.dll\"", "CompatibleMode=\"x\""},
                               {}},
                      RuleCase{"reference takes the newest registration; empty lines count",
                               0,
                               false,
                               {"Type=Exe", "", Ref, "CompatibleMode=\"0\""},
                               {"Type=Exe", "", NewRef, "CompatibleMode=\"0\""},
                               {"3行 更新(参照設定): " + NewRef}},
                      RuleCase{"components stay unless asked for", 0, false, {Obj}, {Obj}, {}},
                      RuleCase{"components when asked",
                               0,
                               true,
                               {Obj, " " + Obj},
                               {NewObj, " " + Obj},
                               {"1行 更新(ｺﾝﾎﾟｰﾈﾝﾄ)" + NewObj}},
                      // A line is the key the compiler reads in it: a key's text inside another
                      // line, or a key of an add-in's section, is not that key.
                      RuleCase{"a key inside another key's line is not that key",
                               1,
                               false,
                               {Ref + " " + Mode0, "X" + Mode0, " " + Mode0},
                               {NewRef + " " + Mode0, "X" + Mode0, " " + Mode0},
                               {"1行 更新(参照設定): " + NewRef + " " + Mode0}},
                      RuleCase{"an add-in's section is left as it is",
                               2,
                               true,
                               {Mode0, "[Add-in]", Ref, Obj, Mode0, Version},
                               {Mode2, "[Add-in]", Ref, Obj, Mode0, Version},
                               {"1行 更新(互換ﾓｰﾄﾞ): " + Mode2}},
                      RuleCase{"the version line follows the compatible file the compiler takes",
                               2,
                               false,
                               {Mode0, "CompatibleEXE32=\"a.dll\"", "CompatibleEXE32=\"x.dll\""},
                               {Mode2, "CompatibleEXE32=\"a.dll\"", "CompatibleEXE32=\"x.dll\"", Version},
                               {"1行 更新(互換ﾓｰﾄﾞ): " + Mode2, "4行 更新(ﾊﾞｰｼﾞｮﾝ互換): " + Version}}),
    [](const ::testing::TestParamInfo<RuleCase>& param) {
        std::string n = param.param.name;
        for (auto& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST_F(UpdaterTest, EveryLineEndsInCrLfAndTheLastLineToo) {
    project("Type=Exe\nName=\"P\"\rTitle=\"T\"");
    ASSERT_TRUE(update(0));
    EXPECT_EQ(projectBytes(), "Type=Exe\r\nName=\"P\"\r\nTitle=\"T\"\r\n");
}

TEST_F(UpdaterTest, UnchangedLinesKeepTheirBytesAndChangedOnesAreEncoded) {
    const std::string original = readFile(PELORIX_SOURCE_DIR "/tests/data/projectdata/sjis_invalid_lf.vbp");
    project(original);
    ASSERT_TRUE(update(2));
    // Line by line: every line but the reference, the mode and the dropped version line is the
    // same bytes, now ending in CR LF.
    std::vector<std::string> in;
    std::string line;
    for (const char ch : original) {
        if (ch == '\n') {
            in.push_back(line);
            line.clear();
        } else {
            line.push_back(ch);
        }
    }
    in.push_back(line);
    const std::string expected =
        in[0] + "\r\n" + std::string("Reference=*\\G") + Guid + "#2.1#0#C:\\lib\\x.tlb#" + sjis("テスト") +
        " Library\r\n" + in[2] + "\r\n" + in[3] + "\r\n" + in[4] + "\r\n" + "CompatibleMode=\"2\"\r\n" +
        in[6] + "\r\nVersionCompatible32=\"1\"\r\n" + in[8] + "\r\n" + in[9] + "\r\n" + in[10] + "\r\n";
    EXPECT_EQ(projectBytes(), expected);
    EXPECT_EQ(readFile(hostC("proj/P.vbp.org")), original);
    EXPECT_EQ(log.lines().at(0), "2行 更新(参照設定): " + std::string("Reference=*\\G") + Guid +
                                     "#2.1#0#C:\\lib\\x.tlb#テスト Library");
}

TEST_F(UpdaterTest, FirstBackupIsOrgThenTimeStampedBak) {
    const std::string original = "CompatibleMode=\"0\"\r\n";
    project(original);
    ASSERT_TRUE(update(1));
    EXPECT_EQ(data.BackupFilePath(), "C:\\proj\\P.vbp.org");
    EXPECT_EQ(readFile(hostC("proj/P.vbp.org")), original);

    ASSERT_TRUE(update(2));
    EXPECT_TRUE(std::regex_match(data.BackupFilePath(), std::regex(R"(C:\\proj\\P\.vbp\d{14}\.bak)")))
        << data.BackupFilePath();
    const std::string bak = data.BackupFilePath().substr(std::string("C:\\proj\\").size());
    EXPECT_EQ(readFile(hostC("proj/" + bak)), "CompatibleMode=\"1\"\r\n");
    EXPECT_EQ(readFile(hostC("proj/P.vbp.org")), original);

    data.fDeleteBackupFile();
    EXPECT_FALSE(fileExists(hostC("proj/" + bak)));
    data.fDeleteBackupFile(); // already gone: nothing happens
    EXPECT_TRUE(fileExists(hostC("proj/P.vbp.org")));
}

// Updates within one second each keep their own backup: a name of the same second gets a counter
// ("_2", "_3" ...), which sorts after it, so the names keep the order of the updates.
TEST_F(UpdaterTest, BackupsWithinOneSecondNeverReplaceEachOther) {
    project("CompatibleMode=\"0\"\r\n");
    for (const std::int16_t mode : {1, 2, 0, 1, 2})
        ASSERT_TRUE(update(mode));
    std::vector<std::string> backups;
    for (const auto& entry : std::filesystem::directory_iterator(hostC("proj")))
        if (entry.path().string().ends_with(".bak"))
            backups.push_back(entry.path().filename().string());
    std::sort(backups.begin(), backups.end());
    std::vector<std::string> modes;
    for (const std::string& name : backups) {
        EXPECT_TRUE(std::regex_match(name, std::regex(R"(P\.vbp\d{14}(_[2-9])?\.bak)"))) << name;
        modes.push_back(readFile(hostC("proj/" + name)));
    }
    const auto line = [](const char* mode) { return "CompatibleMode=\"" + std::string(mode) + "\"\r\n"; };
    EXPECT_EQ(modes, (std::vector<std::string>{line("1"), line("2"), line("0"), line("1")}));
    EXPECT_EQ(readFile(hostC("proj/P.vbp.org")), line("0"));
}

TEST_F(UpdaterTest, MissingProjectFileIsNoUpdate) {
    project("x\r\n");
    ASSERT_TRUE(update(0));
    const std::string before = data.BackupFilePath();
    EXPECT_FALSE(data.fUpdateProjectFileInfo("C:\\proj\\none.vbp", 0, "C:\\Windows", log));
    EXPECT_EQ(data.BackupFilePath(), before);
    EXPECT_FALSE(fileExists(hostC("proj/none.vbp.org")));
}

TEST_F(UpdaterTest, ProjectFileKeepsItsPermissionBits) {
    project("CompatibleMode=\"0\"\r\n");
    ::chmod(hostC("proj/P.vbp").c_str(), 0640);
    ASSERT_TRUE(update(2));
    struct stat st {};
    ASSERT_EQ(::stat(hostC("proj/P.vbp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(UpdaterTest, DeleteBackupRemovesAReadOnlyCopy) {
    project("x\r\n");
    ASSERT_TRUE(update(0));
    ::chmod(hostC("proj/P.vbp.org").c_str(), 0444);
    data.fDeleteBackupFile();
    EXPECT_FALSE(fileExists(hostC("proj/P.vbp.org")));
}

// A failure injected at each step of an update leaves the project file byte for byte as it was.
struct FailureCase {
    const char* name;
    UpdateStep step;
    std::int32_t line; // for LineDone: the line after which it fails
};

class UpdateFailure : public UpdaterTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(UpdateFailure, RestoresTheProjectFile) {
    const std::string original = sjis("Type=Exe\n") + Ref + "\r\nTitle=\"販売\"\r\nCompatibleMode=\"0\"\r\n";
    project(original);
    const auto& c = GetParam();
    data.setUpdateStepHook([&](UpdateStep step, std::int32_t line) {
        if (step == c.step && (step != UpdateStep::LineDone || line == c.line))
            throw RuntimeError(57, "injected");
    });
    EXPECT_EQ(errorOf([&] { update(2); }), 57);
    EXPECT_EQ(data.ErrNumber(), 57);
    EXPECT_EQ(data.ErrProcName(), "fUpdateProjectFileInfo");
    EXPECT_EQ(projectBytes(), original);
    EXPECT_EQ(readFile(hostC("proj/P.vbp.org")), original);
}

INSTANTIATE_TEST_SUITE_P(Steps, UpdateFailure,
                         ::testing::Values(FailureCase{"BackupCopied", UpdateStep::BackupCopied, 0},
                                           FailureCase{"RegistryRead", UpdateStep::RegistryRead, 0},
                                           FailureCase{"FirstLine", UpdateStep::LineDone, 1},
                                           FailureCase{"LastLine", UpdateStep::LineDone, 4},
                                           FailureCase{"NewFileWritten", UpdateStep::NewFileWritten, 0},
                                           FailureCase{"Replaced", UpdateStep::Replaced, 0}),
                         [](const ::testing::TestParamInfo<FailureCase>& param) { return param.param.name; });

TEST_F(UpdaterTest, FailuresOfTheRegistryOrAMalformedLineRestoreToo) {
    const std::string original = "CompatibleMode=\"0\"\r\nReference=*\\G{broken#1.0\r\n";
    project(original);
    // A reference line with too few fields.
    EXPECT_EQ(errorOf([&] { update(1); }), vberr::SubscriptOutOfRange);
    EXPECT_EQ(projectBytes(), original);

    project("CompatibleMode=\"0\"\r\n");
    data.setRegistrationSource([]() -> TypeLibRegistrations { throw RuntimeError(5, "registry"); });
    EXPECT_EQ(errorOf([&] { update(1); }), 5);
    EXPECT_EQ(projectBytes(), "CompatibleMode=\"0\"\r\n");
}

TEST_F(UpdaterTest, BadFileErrorNamesTheProjectAndLine) {
    project("a\r\nb\r\nc\r\n");
    data.setUpdateStepHook([](UpdateStep step, std::int32_t line) {
        if (step == UpdateStep::LineDone && line == 2)
            throw vberr::make(vberr::BadFileNameOrNumber);
    });
    try {
        update(0);
        FAIL();
    } catch (const RuntimeError& e) {
        const std::string expected = vberr::description(52) + ":[ProjectFile=C:\\proj\\P.vbp], 行番号: 2";
        EXPECT_EQ(e.description(), expected);
        EXPECT_EQ(e.source(), "fUpdateProjectFileInfo");
        EXPECT_EQ(data.ErrDescription(), expected);
    }
}

TEST_F(UpdaterTest, ReadOnlyProjectFileFailsUntouched) {
    project("CompatibleMode=\"0\"\r\n");
    ::chmod(hostC("proj/P.vbp").c_str(), 0444);
    EXPECT_NE(errorOf([&] { update(1); }), 0);
    EXPECT_EQ(projectBytes(), "CompatibleMode=\"0\"\r\n");
    EXPECT_FALSE(fileExists(hostC("proj/P.vbp.org")));
}

TEST_F(UpdaterTest, CopyInChunksMakesAnExactCopy) {
    const std::string source = putC("c/src.bin", std::string("0123456789\0\xff\r\n", 14));
    putC("c/dst.bin", std::string(100, 'z'));
    putC("c/empty.bin", "");
    for (const std::int32_t chunk : {0, 1, 3, 14, 1000}) {
        data.CopyBufferSize(chunk);
        data.fCopyFile(source, "C:\\c\\dst.bin");
        EXPECT_EQ(readFile(hostC("c/dst.bin")), readFile(hostC("c/src.bin"))) << chunk;
    }
    data.fCopyFile("C:\\c\\empty.bin", "C:\\c\\dst.bin");
    EXPECT_EQ(readFile(hostC("c/dst.bin")), "");
    EXPECT_EQ(errorOf([&] { data.fCopyFile("C:\\c\\none.bin", "C:\\c\\dst.bin"); }), vberr::FileNotFound);
    EXPECT_EQ(data.ErrProcName(), "fCopyFile");
    EXPECT_FALSE(fileExists(hostC("c/none.bin")));
}

struct DispCase {
    std::int32_t kind;
    std::int32_t line;
    const char* text;
    std::vector<std::string> lines;
};

class DispUpdateInfo : public ProjectDataTest, public ::testing::WithParamInterface<DispCase> {};

TEST_P(DispUpdateInfo, NumbersEachLine) {
    EXPECT_EQ(data.fGetDispUpdateInfo(GetParam().kind, GetParam().line, GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DispUpdateInfo,
    ::testing::Values(DispCase{1, 7, "Reference=x", {"7行 更新(参照設定): Reference=x"}},
                      DispCase{2, 12, "CompatibleMode=\"2\"", {"12行 更新(互換ﾓｰﾄﾞ): CompatibleMode=\"2\""}},
                      DispCase{3,
                               4,
                               "CompatibleEXE32=\"a\"\r\nVersionCompatible32=\"1\"",
                               {"", "5行 更新(ﾊﾞｰｼﾞｮﾝ互換): VersionCompatible32=\"1\""}},
                      DispCase{4, 1, "Object=x", {"1行 更新(ｺﾝﾎﾟｰﾈﾝﾄ)Object=x"}}));

} // namespace
} // namespace pelorix::test
