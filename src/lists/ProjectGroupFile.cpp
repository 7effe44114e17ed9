#include "lists/ProjectGroupFile.h"

#include "lists/ProjectListFile.h"
#include "platform/CodePage.h"
#include "platform/DosPath.h"
#include "platform/FileSystemObject.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/CDFileData.h"
#include "projectdata/ProjectText.h"

#include <map>
#include <optional>

namespace pelorix {

namespace {

constexpr std::int32_t InvalidFileFormat = 321;
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

bool isHeader(std::string_view line) {
    line = trimWhite(line);
    return startsWithIgnoreCase(line, "VBGROUP") && (line.size() == 7 || line[7] == ' ' || line[7] == '\t');
}

// The value of a path line, without white space around it or the double quotes of a path written
// in them; "/" is read as the separator it is to the development environment.
std::string pathValue(std::string_view value) {
    value = trimWhite(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = trimWhite(value.substr(1, value.size() - 2));
    return replaceAll(value, "/", "\\");
}

struct PathLine {
    std::string_view key;
    std::string_view value;
};

// "Project=" and "StartupProject=" lines, their keys without regard to case.
std::optional<PathLine> pathLine(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    const std::string_view key = trimWhite(line.substr(0, eq));
    if (!equalsIgnoreCase(key, "Project") && !equalsIgnoreCase(key, "StartupProject"))
        return std::nullopt;
    return PathLine{key, line.substr(eq + 1)};
}

class GroupReader {
public:
    explicit GroupReader(std::string_view groupFolder) : m_groupFolder(groupFolder) {}

    void addLine(std::int32_t lineNumber, const std::string& line) {
        const auto entry = pathLine(line);
        if (!entry) {
            note(lineNumber, "ignored: neither a Project= nor a StartupProject= line");
            return;
        }
        const std::string written = pathValue(entry->value);
        if (written.empty()) {
            note(lineNumber, "ignored: " + std::string(entry->key) + "= names no project file");
            return;
        }
        std::string path = absoluteDosPath(written, m_groupFolder);
        if (path.empty()) {
            note(lineNumber, "ignored: " + written + " cannot be made a full path");
            return;
        }
        // Only project files are built: a group naming itself, another group or any other file
        // would have that file rewritten as a project.
        if (!endsWithIgnoreCase(path, ".vbp")) {
            note(lineNumber, "left out: " + written + " is not a project file (.vbp)");
            return;
        }
        const auto [seen, added] = m_lineOf.try_emplace(toUpper(path), lineNumber);
        if (!added) {
            note(lineNumber,
                 "ignored: " + written + " is listed already on line " + std::to_string(seen->second));
            return;
        }
        m_group.projects.push_back(
            {std::move(path), written, lineNumber, equalsIgnoreCase(entry->key, "StartupProject")});
    }

    ProjectGroup take() { return std::move(m_group); }

private:
    void note(std::int32_t lineNumber, std::string text) {
        m_group.notes.push_back({lineNumber, std::move(text)});
    }

    std::string_view m_groupFolder;
    ProjectGroup m_group;
    std::map<std::string, std::int32_t> m_lineOf; // upper-case path -> its first line
};

} // namespace

bool isProjectGroupPath(std::string_view path) {
    return endsWithIgnoreCase(path, ".vbg");
}

ProjectGroup parseProjectGroup(std::string_view bytes, std::string_view groupFolder) {
    // A group saved by another editor may begin with a UTF-8 byte order mark.
    if (bytes.starts_with(Utf8Bom))
        bytes.remove_prefix(Utf8Bom.size());
    GroupReader reader(groupFolder);
    bool headerSeen = false;
    std::int32_t lineNumber = 0;
    for (const std::string_view raw : splitLines(bytes)) {
        ++lineNumber;
        const std::string line = ansiToUtf8(raw);
        if (trimWhite(line).empty())
            continue;
        if (!headerSeen) {
            if (!isHeader(line))
                throw RuntimeError(InvalidFileFormat,
                                   "ファイル形式が不正です。(line " + std::to_string(lineNumber) +
                                       ": the \"VBGROUP 5.0\" header of a project group is missing)");
            headerSeen = true;
            continue;
        }
        reader.addLine(lineNumber, line);
    }
    if (!headerSeen)
        throw RuntimeError(InvalidFileFormat,
                           "ファイル形式が不正です。(an empty file: the \"VBGROUP 5.0\" header of a project "
                           "group is missing)");
    return reader.take();
}

ProjectGroup readProjectGroup(std::string_view groupPath) {
    const std::string bytes = readNamedFile(groupPath, "ﾌﾟﾛｼﾞｪｸﾄｸﾞﾙｰﾌﾟﾌｧｲﾙ");
    return parseProjectGroup(bytes, FileSystemObject::GetParentFolderName(groupPath));
}

std::int32_t loadProjectGroup(CDFileData& fileData, const ProjectGroup& group) {
    fileData.fClearAllProjectInfo();
    for (const GroupProject& project : group.projects)
        fileData.fAddProjectFileList(project.path, -1);
    if (!group.projects.empty())
        readProjectFiles(fileData);
    return static_cast<std::int32_t>(group.projects.size());
}

std::vector<std::string> describeGroupProblems(const ProjectGroup& group) {
    std::map<std::int32_t, std::string> byLine;
    for (const GroupNote& note : group.notes)
        byLine.emplace(note.lineNumber, note.text);
    const FileSystemObject fso;
    for (const GroupProject& project : group.projects)
        if (!fso.FileExists(project.path))
            byLine.emplace(project.lineNumber, "project file not found: " + project.path);
    std::vector<std::string> lines;
    for (const auto& [lineNumber, text] : byLine)
        lines.push_back("line " + std::to_string(lineNumber) + ": " + text);
    return lines;
}

} // namespace pelorix
