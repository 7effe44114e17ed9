#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// The keys of a project file as the compiler reads them, for every reader that acts on what the
// compiler will do with the file: the update, the check before a build, the dependency graph and
// the up-to-date check.
//
// The compiler's rule: the project's own keys are the lines before the first section header (a
// line that begins with "["; the sections after it belong to add-ins). A line there is a key line
// when it holds "=": its key is the text before the first "=", exactly as the development
// environment writes it (no blanks around it, case as written), and its value the text after.
// Keys that list things (Reference, Object, Form, Module, Class ...) take every line; a key that
// holds one value (Name, Type, ExeName32, Path32, CompatibleEXE32 ...) takes its last line, as
// the compiler assigns each line in turn and a later line replaces an earlier one. A line that
// merely contains a key's text ("VersionProductName=", a key of an add-in's section) is not that
// key.
struct ProjectKeyLine {
    std::int32_t lineNumber = 0; // 1-based, every line of the file counted
    std::string key;
    std::string value; // everything after the first "="
    std::string text;  // the whole line
};

class ProjectFileKeys {
public:
    // The keys of a project file's bytes (in the ANSI code page).
    static ProjectFileKeys parse(std::string_view bytes);

    // Every key line of the project's own section, in file order.
    const std::vector<ProjectKeyLine>& lines() const noexcept { return m_lines; }
    // The line of a key that holds one value: its last line; nullptr when the file has none.
    const ProjectKeyLine* find(std::string_view key) const;
    // That line's value without surrounding blanks and one pair of double quotes ("" when none).
    std::string value(std::string_view key) const;
    // The key of a line by its number, "" for a line that is no key line of the project's own.
    std::string_view keyOf(std::int32_t lineNumber) const;
    // Whether the line is the one find() gives for its key.
    bool isLastOfItsKey(std::int32_t lineNumber) const;

private:
    const ProjectKeyLine* lineAt(std::int32_t lineNumber) const;

    std::vector<ProjectKeyLine> m_lines;
    std::vector<std::int32_t> m_indexOfLine; // by line number - 1: the index in m_lines, or -1
};

// A value without surrounding blanks and one pair of enclosing double quotes.
std::string unquotedKeyValue(std::string_view value);

} // namespace pelorix
