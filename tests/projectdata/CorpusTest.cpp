// Real project and batch files from public repositories: each reads into a sensible record, each
// update changes only the lines the rules name, and each batch file imports.
#include "support/Corpus.h"

#include "ProjectDataTestSupport.h"
#include "platform/CodePage.h"
#include "platform/Text.h"
#include "projectdata/IBuildLog.h"

#include <algorithm>
#include <map>

namespace pelorix::test {
namespace {

// The corpus as it is: a folder that lost files fails its test instead of testing less.
constexpr std::size_t CorpusProjects = 52;
constexpr std::size_t CorpusBatchFiles = 14;

std::vector<std::string> rawLines(std::string_view bytes) {
    std::vector<std::string> lines;
    for (const auto line : splitLines(bytes))
        lines.emplace_back(line);
    return lines;
}

std::string toCrLf(std::string_view bytes) {
    std::string out;
    for (const auto& line : rawLines(bytes))
        out += line + "\r\n";
    return out;
}

ProjectRecord readRecord(CDFileData& data, const std::string& path) {
    data.fClearAllProjectInfo();
    data.fAddProjectFileList(path, -1);
    data.fSetProjectNameList(path, 0, true);
    return {data.fProjectFilePath(0),       data.fGetProjectName(0),     data.fGetTile(0),
            data.fGetProjectDescription(0), data.fGetProjectType(0),     data.fGetCompatibleMode(0),
            data.fGetStartMode(0),          data.fGetOptimizationType(0)};
}

TEST_F(ProjectDataTest, EveryCorpusProjectReadsIntoASensibleRecord) {
    const auto files = corpusFiles("vbp", CorpusProjects);
    if (files.empty())
        return;
    for (const auto& file : files) {
        SCOPED_TRACE(file);
        const std::string bytes = readFile(file);
        const std::string path = putC("corpus/p.vbp", bytes);
        const ProjectRecord record = readRecord(data, path);
        EXPECT_FALSE(record.ProjectName.empty());
        EXPECT_GE(record.CompatibleMode, 0);
        EXPECT_LE(record.CompatibleMode, 2);
        // The type is the last "Type=" line's text, or none.
        std::string type;
        for (const auto& line : rawLines(bytes))
            if (line.starts_with("Type="))
                type = line.substr(5);
        EXPECT_EQ(record.ProjectType, type);
        // The same file with CR LF line ends reads the same.
        putC("corpus/p.vbp", toCrLf(bytes));
        EXPECT_EQ(readRecord(data, path), record);
    }
}

// The fields of a reference line after its locale: path and description as written.
std::string tailAfterLocale(std::string_view line) {
    std::size_t pos = line.find('{');
    for (int i = 0; i < 3 && pos != std::string_view::npos; ++i) {
        pos = line.find('#', pos);
        if (pos != std::string_view::npos)
            ++pos;
    }
    return pos == std::string_view::npos ? std::string() : std::string(line.substr(pos));
}

TEST_F(ProjectDataTest, EveryCorpusProjectUpdatesOnlyTheLinesTheRulesName) {
    // Every absolute library path the corpus names is registered with a newer version.
    TypeLibRegistrations registry;
    const auto files = corpusFiles("vbp", CorpusProjects);
    if (files.empty())
        return;
    for (const auto& file : files) {
        for (const auto& line : rawLines(readFile(file))) {
            if (line.find("Reference=*\\G") == std::string::npos)
                continue;
            const auto fields = split(line.substr(line.find('{')), '#');
            if (fields.size() >= 4 && fields[3].size() > 2 && fields[3][1] == ':') {
                registry.libraryPaths.push_back(fields[3]);
                registry.keyPaths.push_back("TypeLib\\{99999999-0000-0000-0000-000000000000}\\9.9\\0");
                registry.writeTimes.push_back(46000.0);
            }
        }
    }
    data.setRegistrationSource([&] { return registry; });
    data.UpdateComponentReference(true);

    for (const auto& file : files) {
        SCOPED_TRACE(file);
        const std::string bytes = readFile(file);
        const std::string path = putC("corpus/p.vbp", bytes);
        ::unlink(hostC("corpus/p.vbp.org").c_str());
        MemoryBuildLog log;
        ASSERT_TRUE(data.fUpdateProjectFileInfo(path, 2, "C:\\WINDOWS", log));
        EXPECT_EQ(readFile(hostC("corpus/p.vbp.org")), bytes);

        const std::string updated = readFile(hostC("corpus/p.vbp"));
        ASSERT_TRUE(updated.ends_with("\r\n"));
        const auto before = rawLines(bytes);
        const auto after = rawLines(updated);
        std::size_t j = 0;
        bool modeChanged = false;
        for (const auto& line : before) {
            if (line.find("VersionCompatible32=") != std::string::npos)
                continue; // always left out
            ASSERT_LT(j, after.size());
            const std::string& now = after[j++];
            if (line.find("CompatibleMode=") != std::string::npos) {
                modeChanged = modeChanged || line != "CompatibleMode=\"2\"";
                EXPECT_EQ(now, "CompatibleMode=\"2\"");
            } else if (line.find("Reference=*\\G") != std::string::npos) {
                // Path and description stay, apart from the Windows folder's name when the line
                // was resolved.
                if (now != line) {
                    EXPECT_EQ(tailAfterLocale(now),
                              replaceAll(tailAfterLocale(line), "\\WINNT\\", "\\WINDOWS\\"))
                        << line;
                }
                if (now != line) {
                    EXPECT_NE(now.find("{99999999-0000-0000-0000-000000000000}#9.9#0#"), std::string::npos);
                }
            } else if (line.starts_with("Object=")) {
                EXPECT_EQ(now.substr(now.rfind(';') + 1), line.substr(line.rfind(';') + 1)) << line;
            } else {
                EXPECT_EQ(now, line);
            }
            if (line.find("CompatibleEXE32=") != std::string::npos && modeChanged) {
                ASSERT_LT(j, after.size());
                EXPECT_EQ(after[j++], "VersionCompatible32=\"1\"");
            }
        }
        EXPECT_EQ(j, after.size());
        // Nothing but the project file and its whole copy is left in the folder.
        EXPECT_EQ(folderEntries(hostC("corpus")), (std::vector<std::string>{"p.vbp", "p.vbp.org"}));
    }
}

TEST_F(ProjectDataTest, EveryCorpusBatchFileImports) {
    const std::vector<std::string> keyWords{"/MAKE", "/M", "/MAKEDLL", "/L",
                                            "/RUN",  "/R", "/RUNEXIT", "/OUT"};
    const std::vector<std::string> indexes{"*", "*", "*", "*", "*", "*", "*"};
    const auto files = corpusFiles("bat", CorpusBatchFiles);
    if (files.empty())
        return;
    std::map<std::string, std::vector<std::string>> yielded;
    for (const auto& file : files) {
        SCOPED_TRACE(file);
        const std::string name = file.substr(file.rfind('/') + 1);
        const std::string bat = putC("b/x/" + std::string("make.bat"), readFile(file));
        data.fClearAllProjectInfo();
        const std::int32_t count = data.fMakeProjectFileList(bat, keyWords, indexes, "C:\\b\\x");
        ASSERT_EQ(count, data.ProjectCount());
        const std::string text = ansiToUtf8(readFile(file));
        for (const std::int32_t index : data.ProjectIndexCollection()) {
            const std::string path = data.fProjectFilePath(index);
            EXPECT_TRUE(endsWithIgnoreCase(path, ".vbp")) << path;
            // The path stands in the batch file as written, or as its project name before ".vbp";
            // one made absolute from a "..\" path against the folder C:\b\x keeps its file name.
            const std::size_t from = path.starts_with("C:\\b\\") ? path.rfind('\\') + 1 : 0;
            const std::string stem = path.substr(from, path.size() - 4 - from);
            EXPECT_NE(text.find(stem), std::string::npos) << path;
            yielded[name].push_back(path);
        }
    }
    EXPECT_EQ(yielded["wqweto__OpenGridEX20__src_make.bat"], std::vector<std::string>{"OpenGridEX20.vbp"});
    EXPECT_EQ(yielded["rlktradewright__tradewright-common__Build_makedll.bat"],
              std::vector<std::string>(4, "%1\\%1.vbp"));
    EXPECT_EQ(yielded["rlktradewright__tradewright-common__Build_makeTradeWrightCommonWithNewIds.bat"].size(),
              35u);
    // A quoted path is one token without its quotes.
    EXPECT_EQ(yielded["Kroc__MaSS1VE__INSTALL_Build Installer.bat"],
              std::vector<std::string>{"C:\\b\\MaSS1VE.vbp"});
    EXPECT_EQ(yielded["woeoio__vbman__build-vbman.bat"], std::vector<std::string>{"src\\VBMAN.vbp"});
}

} // namespace
} // namespace pelorix::test
