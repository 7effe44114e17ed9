#include "lists/ProjectListFile.h"

#include "formats/IniFile.h"
#include "platform/CCCommon.h"
#include "platform/CFWin32API.h"
#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/HostFile.h"
#include "platform/Numbers.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"
#include "projectdata/CDFileData.h"
#include "projectdata/ProjectText.h"

#include <algorithm>
#include <map>

namespace pelorix {

namespace {

constexpr std::int32_t InvalidFileFormat = 321;
constexpr std::string_view DefaultKeyWords = "/make,/m,/makedll,/l,/run,/r,/runexit,/out";
constexpr std::string_view DefaultKeyWordIndexes = "*,*,*,*,*,*,*";

std::string settingOr(CFWin32API& api, std::string_view key, std::string_view fallback) {
    std::string value = api.GetTerminalProfile("Import", key);
    return value.empty() ? std::string(fallback) : value;
}

// A key of the list file's section "Build", read whole.
std::string wholeBuildValue(const std::string& fileBytes, std::string_view key) {
    return readIniValue(fileBytes, "Build", key, ansiCodePage(), codePages(), std::string::npos).value_or("");
}

// One line of a file as it was read: its bytes, its line end ("" for a last line without one) and
// its text decoded for the rules that look at it.
struct RawLine {
    std::string_view bytes;
    std::string_view end;
    std::string text;
};

std::vector<RawLine> rawLines(std::string_view bytes) {
    const std::vector<std::string_view> texts = splitLines(bytes);
    std::vector<RawLine> lines;
    lines.reserve(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        // The line end is what lies between a line and the next one (or the end of the bytes).
        const std::size_t stop = static_cast<std::size_t>(texts[i].data() - bytes.data()) + texts[i].size();
        const std::size_t next = i + 1 < texts.size()
                                     ? static_cast<std::size_t>(texts[i + 1].data() - bytes.data())
                                     : bytes.size();
        lines.push_back({texts[i], bytes.substr(stop, next - stop), ansiToUtf8(texts[i])});
    }
    return lines;
}

constexpr std::string_view ListSectionHeader = "[ProjectName]";

// Whether bytes are text saved as UTF-16 (as an editor may save a list): a byte order mark, or the
// list's header with a zero byte beside each of its letters.
bool isUtf16Text(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        return true;
    std::string little;
    std::string big;
    for (const char c : ListSectionHeader) {
        little += std::string{c, '\0'};
        big += std::string{'\0', c};
    }
    return contains(bytes, little) || contains(bytes, big);
}

// The lines the list reader passes over wherever they stand: empty ones and comments.
bool isSkippedLine(const RawLine& line) {
    return line.text.empty() || contains(line.text, ";");
}

// Whether a line of the "[ProjectName]" section is a project the reader takes.
bool isProjectLine(const RawLine& line) {
    return !isSkippedLine(line) && !contains(line.text, ListSectionHeader) &&
           contains(toUpper(line.text), "VBP");
}

void appendLine(std::string& out, const RawLine& line) {
    out.append(line.bytes);
    out.append(line.end.empty() ? std::string_view("\r\n") : line.end);
}

// The section's lines between its header and its end, each line that is no project going before
// the project that follows it when that project is still listed.
void appendSection(std::string& out, const std::vector<RawLine>& section,
                   const std::vector<std::string>& paths) {
    struct Group {
        std::vector<const RawLine*> lines;
        bool used = false;
    };
    std::vector<Group> groups; // the lines before each project of the section, in order
    std::multimap<std::string_view, std::size_t> groupOfProject;
    Group trailing;
    for (const RawLine& line : section) {
        if (!isProjectLine(line)) {
            trailing.lines.push_back(&line);
            continue;
        }
        groupOfProject.emplace(trimTrailingBlanks(line.text), groups.size());
        groups.push_back(std::move(trailing));
        trailing = {};
    }
    for (const std::string& path : paths) {
        const auto [first, last] = groupOfProject.equal_range(path);
        const auto group =
            std::find_if(first, last, [&](const auto& entry) { return !groups[entry.second].used; });
        if (group != last) {
            groups[group->second].used = true;
            for (const RawLine* line : groups[group->second].lines)
                appendLine(out, *line);
        }
        out += utf8ToAnsi(path);
        out += "\r\n";
    }
    for (const Group& group : groups)
        if (!group.used)
            for (const RawLine* line : group.lines)
                appendLine(out, *line);
    for (const RawLine* line : trailing.lines)
        appendLine(out, *line);
}

std::string withMarks(std::string bytes, const ListMarks& marks) {
    for (const auto& [key, value] :
         {std::pair<std::string_view, std::string>{"EnableState", enableStateText(marks.enabledRows)},
          {"Index", std::to_string(marks.buildIndex)}})
        if (auto updated = writeIniValue(bytes, "Build", key, value, ansiCodePage(), codePages()))
            bytes = std::move(*updated);
    return bytes;
}

} // namespace

std::string projectListFileBytes(std::string_view oldBytes, const std::vector<std::string>& paths,
                                 const std::optional<ListMarks>& marks) {
    const std::vector<RawLine> lines = rawLines(oldBytes);
    std::size_t begin = lines.size();
    for (std::size_t i = 0; i < lines.size() && begin == lines.size(); ++i)
        if (!isSkippedLine(lines[i]) && contains(lines[i].text, ListSectionHeader))
            begin = i;
    std::size_t end = lines.size();
    for (std::size_t i = begin + 1; i < lines.size() && end == lines.size(); ++i)
        if (!isSkippedLine(lines[i]) && !contains(lines[i].text, ListSectionHeader) &&
            lines[i].text.starts_with('['))
            end = i;

    std::string out;
    for (std::size_t i = 0; i < std::min(begin, lines.size()); ++i)
        appendLine(out, lines[i]);
    if (begin == lines.size()) {
        out += ListSectionHeader;
        out += "\r\n";
        appendSection(out, {}, paths);
    } else {
        appendLine(out, lines[begin]);
        appendSection(out,
                      {lines.begin() + static_cast<std::ptrdiff_t>(begin) + 1,
                       lines.begin() + static_cast<std::ptrdiff_t>(end)},
                      paths);
        for (std::size_t i = end; i < lines.size(); ++i)
            appendLine(out, lines[i]);
    }
    return marks ? withMarks(std::move(out), *marks) : out;
}

void writeProjectListFile(std::string_view listPath, const std::optional<std::vector<std::string>>& paths,
                          const std::optional<ListMarks>& marks) {
    const std::string host = hostPathOf(listPath);
    const auto problem = host.empty() ? std::optional<std::string>(win32::systemMessage(win32::PathNotFound))
                                      : rewriteUserFile(host, [&](const std::string& old) {
                                            return paths   ? projectListFileBytes(old, *paths, marks)
                                                   : marks ? withMarks(old, *marks)
                                                           : old;
                                        });
    if (problem)
        throw RuntimeError(vberr::PathFileAccess,
                           "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄに書き込めません。" + *problem + "[" + std::string(listPath) + "]");
}

void requireProjectListFile(std::string_view listPath) {
    const std::string bytes = readNamedFile(listPath, "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙ");
    for (const std::string& line : decodedLines(bytes))
        if (contains(line, "[ProjectName]") && !trimWhite(line).starts_with(';'))
            return;
    if (isUtf16Text(bytes))
        throw RuntimeError(InvalidFileFormat, "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙがUTF-16で保存されています。ANSIのｺｰﾄﾞﾍﾟｰｼﾞ(" +
                                                  ansiCodePage() + ")で保存し直してください。[" +
                                                  std::string(listPath) + "]");
    throw RuntimeError(InvalidFileFormat, "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙではありません。[ProjectName]ｾｸｼｮﾝがありません。[" +
                                              std::string(listPath) + "]");
}

std::int32_t loadProjectList(CDFileData& fileData, std::string_view listPath) {
    fileData.fClearAllProjectInfo();
    const std::int32_t count = fileData.fSetProjectFilePathList(listPath, "ProjectName", "vbp");
    if (count > 0)
        readProjectFiles(fileData);
    return count;
}

void readProjectFiles(CDFileData& fileData) {
    const std::vector<std::string> paths = fileData.ProjectFilePathList();
    for (const std::int32_t index : fileData.ProjectIndexCollection())
        fileData.fSetProjectNameList(paths.at(static_cast<std::size_t>(index)), index, false);
}

ListBuildState readListBuildState(std::string_view listPath) {
    ListBuildState state;
    if (CCCommon().fIsNull(listPath))
        return state;
    const auto bytes = readHostFile(hostPathOf(listPath));
    if (!bytes)
        return state;
    for (const std::string& entry : split(wholeBuildValue(*bytes, "EnableState"), ','))
        if (const auto row = longValue(entry))
            state.enableRows.push_back(*row);
    state.index = longValue(wholeBuildValue(*bytes, "Index"));
    return state;
}

std::string enableStateText(const std::vector<std::int32_t>& enabledRows) {
    std::string text;
    for (const std::int32_t row : enabledRows)
        text += std::to_string(row) + ",";
    return text;
}

std::vector<std::int32_t> listFileRows(std::string_view listPath, const std::vector<std::string>& rowPaths) {
    std::vector<std::int32_t> fileRows(rowPaths.size());
    for (std::size_t i = 0; i < fileRows.size(); ++i)
        fileRows[i] = static_cast<std::int32_t>(i) + 1;
    const auto bytes = CCCommon().fIsNull(listPath) ? std::nullopt : readHostFile(hostPathOf(listPath));
    if (!bytes)
        return fileRows;
    const std::vector<std::string_view> lines = splitLines(*bytes);
    std::vector<std::string> listed;
    for (const std::size_t line : projectListLines(*bytes, "ProjectName", "vbp"))
        listed.push_back(ansiToUtf8(lines[line]));
    std::vector<bool> taken(listed.size(), false);
    for (std::size_t i = 0; i < rowPaths.size(); ++i) {
        fileRows[i] = 0;
        for (std::size_t k = 0; k < listed.size(); ++k) {
            if (!taken[k] && equalsIgnoreCase(listed[k], rowPaths[i])) {
                taken[k] = true;
                fileRows[i] = static_cast<std::int32_t>(k) + 1;
                break;
            }
        }
    }
    return fileRows;
}

void writeListBuildState(CFWin32API& api, std::string_view listPath, const std::vector<std::string>& rowPaths,
                         const ListMarks& marks) {
    if (listPath.empty())
        return;
    const std::vector<std::int32_t> fileRows = listFileRows(listPath, rowPaths);
    const auto fileRowOf = [&fileRows](std::int32_t row) {
        return row >= 1 && static_cast<std::size_t>(row) <= fileRows.size()
                   ? fileRows[static_cast<std::size_t>(row) - 1]
                   : row;
    };
    ListMarks inFile{{}, fileRowOf(marks.buildIndex)};
    for (const std::int32_t row : marks.enabledRows)
        if (const std::int32_t fileRow = fileRowOf(row); fileRow != 0)
            inFile.enabledRows.push_back(fileRow);
    std::sort(inFile.enabledRows.begin(), inFile.enabledRows.end());
    writeLastListPath(api, listPath);
    writeProjectListFile(listPath, std::nullopt, inFile);
}

void writeLastListPath(CFWin32API& api, std::string_view listPath) {
    api.SetTerminalProfile("Build", "ProjectListPath", "\"" + std::string(listPath) + "\"");
}

namespace {

// A file's lines with their line ends, as splitLines counts the lines.
std::vector<std::string_view> linesWithEnds(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        end += bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::string_view withoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

} // namespace

void rewriteProjectListOrder(std::string_view listPath, const std::vector<std::size_t>& order) {
    const std::string bytes = readNamedFile(listPath, "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙ");
    const std::vector<std::size_t> projectLines = projectListLines(bytes, "ProjectName", "vbp");
    std::vector<std::size_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    bool permutation = sorted.size() == projectLines.size();
    for (std::size_t k = 0; k < sorted.size() && permutation; ++k)
        permutation = sorted[k] == k;
    if (!permutation)
        throw RuntimeError(5, "並べ替えの順序がﾌﾟﾛｼﾞｪｸﾄﾘｽﾄと合いません。[" + std::string(listPath) + "]");

    const std::vector<std::string_view> lines = linesWithEnds(bytes);
    std::vector<std::string> rewritten(lines.begin(), lines.end());
    for (std::size_t k = 0; k < order.size(); ++k) {
        // The line keeps its own line end; the project's bytes come from its old line.
        const std::string_view slot = lines[projectLines[k]];
        const std::string_view moved = withoutLineEnd(lines[projectLines[order[k]]]);
        rewritten[projectLines[k]] =
            std::string(moved) + std::string(slot.substr(withoutLineEnd(slot).size()));
    }
    std::string text;
    for (const std::string& line : rewritten)
        text += line;

    // The rows of the build state follow their projects: old row r is new row newRow[r - 1].
    std::vector<std::int32_t> newRow(order.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        newRow[order[k]] = static_cast<std::int32_t>(k) + 1;
    const auto moveRow = [&](std::int32_t row) {
        return row >= 1 && static_cast<std::size_t>(row) <= newRow.size()
                   ? newRow[static_cast<std::size_t>(row) - 1]
                   : row;
    };
    const std::string encoding = ansiCodePage();
    if (readIniValue(text, "Build", "EnableState", encoding, codePages())) {
        std::vector<std::int32_t> rows;
        for (const std::int32_t row : readListBuildState(listPath).enableRows)
            rows.push_back(moveRow(row));
        std::sort(rows.begin(), rows.end());
        text = writeIniValue(text, "Build", "EnableState", enableStateText(rows), encoding, codePages())
                   .value_or(text);
    }
    if (const auto index = readListBuildState(listPath).index)
        text = writeIniValue(text, "Build", "Index", std::to_string(moveRow(*index)), encoding, codePages())
                   .value_or(text);

    // Written as the window writes the list: a read-only or unchangeable file is named with why.
    const std::string host = hostPathOf(listPath);
    const auto problem = host.empty() ? std::optional<std::string>(win32::systemMessage(win32::PathNotFound))
                                      : rewriteUserFile(host, [&text](const std::string&) { return text; });
    if (problem)
        throw RuntimeError(vberr::PathFileAccess,
                           "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄに書き込めません。" + *problem + "[" + std::string(listPath) + "]");
}

ImportKeyWords readImportKeyWords(CFWin32API& api) {
    return {split(toUpper(settingOr(api, "KeyWord", DefaultKeyWords)), ','),
            split(settingOr(api, "KeyWordIndex", DefaultKeyWordIndexes), ',')};
}

std::int32_t importBatchFile(CDFileData& fileData, CFWin32API& api, std::string_view batchFilePath) {
    const ImportKeyWords keyWords = readImportKeyWords(api);
    const std::string baseFolder = CCCommon().fGetParentDirPath(batchFilePath);
    fileData.fClearAllProjectInfo();
    return fileData.fMakeProjectFileList(batchFilePath, keyWords.keyWords, keyWords.keyWordIndexes,
                                         baseFolder);
}

} // namespace pelorix
