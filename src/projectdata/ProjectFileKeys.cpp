#include "projectdata/ProjectFileKeys.h"

#include "platform/CodePage.h"
#include "platform/Text.h"

namespace pelorix {

ProjectFileKeys ProjectFileKeys::parse(std::string_view bytes) {
    ProjectFileKeys keys;
    std::int32_t lineNumber = 0;
    bool ownSection = true;
    for (const std::string_view raw : splitLines(bytes)) {
        ++lineNumber;
        ownSection = ownSection && !raw.starts_with('[');
        std::string text = ownSection ? ansiToUtf8(raw) : std::string();
        const auto at = text.find('=');
        if (at == std::string::npos) {
            keys.m_indexOfLine.push_back(-1);
            continue;
        }
        keys.m_indexOfLine.push_back(static_cast<std::int32_t>(keys.m_lines.size()));
        keys.m_lines.push_back({lineNumber, text.substr(0, at), text.substr(at + 1), std::move(text)});
    }
    return keys;
}

const ProjectKeyLine* ProjectFileKeys::find(std::string_view key) const {
    for (auto line = m_lines.rbegin(); line != m_lines.rend(); ++line)
        if (line->key == key)
            return &*line;
    return nullptr;
}

std::string ProjectFileKeys::value(std::string_view key) const {
    const ProjectKeyLine* line = find(key);
    return line == nullptr ? std::string() : unquotedKeyValue(line->value);
}

const ProjectKeyLine* ProjectFileKeys::lineAt(std::int32_t lineNumber) const {
    if (lineNumber < 1 || static_cast<std::size_t>(lineNumber) > m_indexOfLine.size())
        return nullptr;
    const std::int32_t index = m_indexOfLine[static_cast<std::size_t>(lineNumber) - 1];
    return index < 0 ? nullptr : &m_lines[static_cast<std::size_t>(index)];
}

std::string_view ProjectFileKeys::keyOf(std::int32_t lineNumber) const {
    const ProjectKeyLine* line = lineAt(lineNumber);
    return line == nullptr ? std::string_view() : std::string_view(line->key);
}

bool ProjectFileKeys::isLastOfItsKey(std::int32_t lineNumber) const {
    const ProjectKeyLine* line = lineAt(lineNumber);
    return line != nullptr && find(line->key) == line;
}

std::string unquotedKeyValue(std::string_view value) {
    value = trimWhite(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

} // namespace pelorix
