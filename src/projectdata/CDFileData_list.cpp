// The project list: records by record index, the row index that maps grid rows to records, and
// the two ways a list is read from a file (a project list file section, a batch file).
#include "platform/CCCommon.h"
#include "platform/CodePage.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/CDFileData.h"
#include "projectdata/ProjectText.h"

namespace pelorix {
namespace {

// The keyword whose following token names the compiler's log file, not a project ("/out" in the
// default list).
constexpr std::size_t OutKeyWordPosition = 7;

// A comment of a list file: a line whose first character other than a space or a tab is ";". A
// ";" further on is part of a path (a folder may be named "a;b").
bool isCommentLine(std::string_view line) {
    const auto first = line.find_first_not_of(" \t");
    return first != std::string_view::npos && line[first] == ';';
}

// The tokens of a batch line: split at each single space (two spaces give an empty token), except
// that a token that opens a double quote runs to the closing quote (the end of the line when there
// is none) and loses its quotes; what follows the closing quote up to the next space belongs to it.
std::vector<std::string> batchTokens(std::string_view line) {
    std::vector<std::string> tokens;
    std::size_t start = 0;
    for (;;) {
        std::string token;
        std::size_t end = start;
        if (start < line.size() && line[start] == '"') {
            const auto close = line.find('"', start + 1);
            if (close == std::string_view::npos) {
                tokens.emplace_back(line.substr(start + 1));
                return tokens;
            }
            token = std::string(line.substr(start + 1, close - start - 1));
            end = close + 1;
        }
        const auto space = line.find(' ', end);
        token += std::string(
            line.substr(end, space == std::string_view::npos ? std::string_view::npos : space - end));
        tokens.push_back(std::move(token));
        if (space == std::string_view::npos)
            return tokens;
        start = space + 1;
    }
}

} // namespace

void CDFileData::fClearAllProjectInfo() {
    guard("fClearAllProjectInfo", [&] {
        m_records.emplace(1);
        m_colProjectIndex.clear();
    });
}

std::vector<std::size_t> projectListLines(std::string_view listFileBytes, std::string_view sectionName,
                                          std::string_view keyName) {
    const std::string header = "[" + std::string(sectionName) + "]";
    const std::string upperKey = toUpper(keyName);
    std::vector<std::size_t> taken;
    bool inSection = false;
    const std::vector<std::string> lines = decodedLines(listFileBytes);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || isCommentLine(line))
            continue;
        if (contains(line, header)) {
            inSection = true;
            continue;
        }
        if (!inSection)
            continue;
        if (line.starts_with('['))
            break;
        if (contains(toUpper(line), upperKey))
            taken.push_back(i);
    }
    return taken;
}

std::int32_t CDFileData::fSetProjectFilePathList(std::string_view listFilePath, std::string_view sectionName,
                                                 std::string_view keyName) {
    return guard("fSetProjectFilePathList", [&] {
        if (listFilePath.empty())
            return std::int32_t{0};
        const std::string bytes = readNamedFile(listFilePath, "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙ");
        const std::vector<std::string_view> lines = splitLines(bytes);
        std::int32_t count = 0;
        for (const std::size_t line : projectListLines(bytes, sectionName, keyName)) {
            auto& all = records();
            if (static_cast<std::size_t>(count) >= all.size())
                all.resize(static_cast<std::size_t>(count) + 1);
            // Blanks after a path are not part of it (the system drops them from a name too).
            all[static_cast<std::size_t>(count)].ProjectFilePath =
                std::string(trimTrailingBlanks(ansiToUtf8(lines[line])));
            m_colProjectIndex.push_back(count);
            ++count;
        }
        return count;
    });
}

std::int32_t CDFileData::fMakeProjectFileList(std::string_view batchFilePath,
                                              const std::vector<std::string>& keyWords,
                                              const std::vector<std::string>& keyWordIndexes,
                                              std::string_view baseFolder) {
    return guard("fMakeProjectFileList", [&] {
        const std::string bytes = readNamedFile(batchFilePath, "ﾊﾞｯﾁﾌｧｲﾙ");
        CCCommon common;
        std::int32_t count = 0;
        for (const auto& line : decodedLines(bytes)) {
            std::string path = pGetProjectFilePath(line, keyWords, keyWordIndexes);
            if (path.empty())
                continue;
            if (contains(path, ".."))
                path = common.fGetAbsolutePath(std::string(baseFolder) + "\\" + path);
            auto& all = records();
            if (static_cast<std::size_t>(count) >= all.size())
                all.resize(static_cast<std::size_t>(count) + 1);
            all[static_cast<std::size_t>(count)].ProjectFilePath = std::move(path);
            m_colProjectIndex.push_back(count);
            ++count;
        }
        return count;
    });
}

std::string CDFileData::pGetProjectFilePath(std::string_view line, const std::vector<std::string>& keyWords,
                                            const std::vector<std::string>& /*keyWordIndexes*/) {
    return guard("pGetProjectFilePath", [&] {
        if (startsWithIgnoreCase(line, "REM "))
            return std::string();
        std::vector<std::int32_t> foundPositions(keyWords.size(), 0);
        const auto tokens = batchTokens(line);
        std::string result;
        for (std::size_t position = 0; position < tokens.size(); ++position) {
            const std::string& token = tokens[position];
            if (endsWithIgnoreCase(token, ".VBP"))
                return token;
            const auto tokenPosition = static_cast<std::int32_t>(position);
            const std::int32_t k = pSearchKeyWord(token, tokenPosition, keyWords, foundPositions);
            // After the log-file switch, a token that is no keyword names a project without its
            // extension, except the log file name right after the switch. A keyword list shorter
            // than the default has no such switch. The empty token that a doubled or trailing
            // space leaves names nothing (it would give the project ".vbp").
            if (k == -1 && !token.empty() && foundPositions.size() > OutKeyWordPosition) {
                const std::int32_t outPosition = foundPositions[OutKeyWordPosition];
                if (outPosition > 0 && tokenPosition != outPosition + 1)
                    result = token + ".vbp";
            }
        }
        return result;
    });
}

std::int32_t CDFileData::pSearchKeyWord(std::string_view token, std::int32_t tokenPosition,
                                        const std::vector<std::string>& keyWords,
                                        std::vector<std::int32_t>& foundPositions) {
    return guard("pSearchKeyWord", [&] {
        if (foundPositions.size() < keyWords.size())
            foundPositions.resize(keyWords.size(), 0);
        const std::string upperToken = toUpper(token);
        for (std::size_t i = 0; i < keyWords.size(); ++i) {
            if (foundPositions[i] != 0)
                continue;
            if (upperToken == keyWords[i]) {
                foundPositions[i] = tokenPosition;
                return static_cast<std::int32_t>(i);
            }
        }
        return std::int32_t{-1};
    });
}

bool CDFileData::fAddProjectFileList(std::string_view projectFilePath, std::int32_t beforeRow) {
    return guard("fAddProjectFileList", [&] {
        auto& all = records();
        if (all.size() == 1 && all[0].ProjectFilePath.empty()) {
            all[0].ProjectFilePath = std::string(projectFilePath);
            m_colProjectIndex.push_back(0);
            return false;
        }
        const auto index = static_cast<std::int32_t>(all.size());
        ProjectRecord record;
        record.ProjectFilePath = std::string(projectFilePath);
        all.push_back(std::move(record));
        if (beforeRow == -1) {
            m_colProjectIndex.push_back(index);
            return false;
        }
        if (beforeRow < 1 || beforeRow > ProjectCount())
            throw vberr::make(vberr::InvalidArgument);
        m_colProjectIndex.insert(m_colProjectIndex.begin() + (beforeRow - 1), index);
        return false;
    });
}

bool CDFileData::fChangeProjectFileList(std::string_view projectFilePath, std::int32_t index,
                                        std::int32_t row) {
    return guard("fChangeProjectFileList", [&] {
        recordAt(index).ProjectFilePath = std::string(projectFilePath);
        if (m_colProjectIndex.empty() || row <= 0) {
            m_colProjectIndex.push_back(index);
            return false;
        }
        if (row > ProjectCount())
            throw vberr::make(vberr::InvalidArgument);
        m_colProjectIndex[static_cast<std::size_t>(row - 1)] = index;
        return false;
    });
}

bool CDFileData::fDelProjectFileList(std::int32_t row) {
    return guard("fDelProjectFileList", [&] {
        if (row <= 0)
            throw vberr::make(vberr::InvalidArgument);
        if (row <= ProjectCount())
            m_colProjectIndex.erase(m_colProjectIndex.begin() + (row - 1));
        return false;
    });
}

void CDFileData::reorderRows(const std::vector<std::size_t>& order) {
    guard("reorderRows", [&] {
        std::vector<bool> seen(m_colProjectIndex.size(), false);
        for (const std::size_t position : order) {
            if (position >= seen.size() || seen[position])
                throw vberr::make(vberr::InvalidArgument);
            seen[position] = true;
        }
        if (order.size() != m_colProjectIndex.size())
            throw vberr::make(vberr::InvalidArgument);
        std::vector<std::int32_t> rows;
        rows.reserve(order.size());
        for (const std::size_t position : order)
            rows.push_back(m_colProjectIndex[position]);
        m_colProjectIndex = std::move(rows);
    });
}

std::int32_t CDFileData::fGetProjectArrayIndex(std::int32_t row) {
    return guard("fGetProjectArrayIndex", [&] {
        if (row < 1 || row > ProjectCount())
            return std::int32_t{-1};
        return m_colProjectIndex[static_cast<std::size_t>(row - 1)];
    });
}

std::vector<std::string> CDFileData::ProjectFilePathList() {
    return guard("ProjectFilePathList", [&] {
        std::vector<std::string> paths;
        for (const auto& record : records())
            paths.push_back(record.ProjectFilePath);
        return paths;
    });
}

std::int32_t CDFileData::ProjectCount() const noexcept {
    return static_cast<std::int32_t>(m_colProjectIndex.size());
}

std::int32_t CDFileData::ProjectMaxIndex() {
    return guard("ProjectMaxIndex", [&] { return static_cast<std::int32_t>(records().size()) - 1; });
}

} // namespace pelorix
