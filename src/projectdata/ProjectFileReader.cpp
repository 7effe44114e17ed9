#include "projectdata/ProjectFileReader.h"

#include "platform/CCCommon.h"
#include "platform/Numbers.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/ProjectText.h"

#include <algorithm>
#include <array>

namespace pelorix {
namespace {

// The keys a project file gives its record, tested in this order on every line.
enum class Key { Name, CompatibleMode, Title, OptimizationType, StartMode, Type, Description };

// One "found" mark per key; "Type=" has none (its last line wins).
struct FoundMarks {
    std::array<bool, 7> found{};
    bool& operator[](Key key) noexcept { return found[static_cast<std::size_t>(key)]; }
};

// Everything after the first "=" of the line.
std::string_view afterFirstEquals(std::string_view line) {
    const auto eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view{} : line.substr(eq + 1);
}

// A quoted text value: taken (and marked) only from a line that holds a quote.
void takeQuoted(std::string_view line, std::string_view key, Key which, FoundMarks& marks,
                std::string& field) {
    if (marks[which] || !contains(line, key))
        return;
    if (auto value = quotedValue(line)) {
        field = std::move(*value);
        marks[which] = true;
    }
}

// A number; the mark is set even when the text is no number (the field keeps -1 then). A text
// that passes the number test but does not fit a 16-bit integer also keeps -1: one odd value must
// not stop the whole list from loading.
void takeNumber(std::optional<std::string_view> value, Key which, FoundMarks& marks, std::int16_t& field,
                CCCommon& common) {
    if (!value)
        return;
    marks[which] = true;
    if (common.fIsNumeric(*value))
        field = integerValue(*value).value_or(-1);
}

void readProjectLine(std::string_view line, ProjectRecord& record, FoundMarks& marks, CCCommon& common) {
    takeQuoted(line, "Name=", Key::Name, marks, record.ProjectName);

    if (!marks[Key::CompatibleMode] && contains(line, "CompatibleMode=")) {
        if (const auto value = quotedValue(line))
            takeNumber(std::string_view(*value), Key::CompatibleMode, marks, record.CompatibleMode, common);
    }

    takeQuoted(line, "Title=", Key::Title, marks, record.Title);

    if (!marks[Key::OptimizationType] && contains(line, "OptimizationType="))
        takeNumber(afterFirstEquals(line), Key::OptimizationType, marks, record.OptimizationType, common);
    if (!marks[Key::StartMode] && contains(line, "StartMode="))
        takeNumber(afterFirstEquals(line), Key::StartMode, marks, record.StartMode, common);

    if (line.starts_with("Type=")) {
        const auto value = afterFirstEquals(line);
        if (!common.fIsNull(value))
            record.ProjectType = std::string(value);
    }

    takeQuoted(line, "Description", Key::Description, marks, record.Description);
}

// A line that stops the read, named as the updater names one: the cause, the file and the line.
RuntimeError lineError(const RuntimeError& error, std::string_view line, std::string_view projectFilePath,
                       std::int32_t lineNumber) {
    const bool loneQuote = std::count(line.begin(), line.end(), '"') == 1;
    const std::string cause = loneQuote ? std::string("引用符が閉じていません。") : error.description();
    return RuntimeError(error.number(), cause + ":[ProjectFile=" + std::string(projectFilePath) +
                                            "], 行番号: " + std::to_string(lineNumber));
}

} // namespace

void readProjectFileBytes(std::string_view bytes, ProjectRecord& record, std::string_view projectFilePath) {
    record.ProjectName.clear();
    record.Title.clear();
    record.Description.clear();
    record.ProjectType.clear();
    record.CompatibleMode = -1;
    record.StartMode = -1;
    record.OptimizationType = -1;
    CCCommon common;
    FoundMarks marks;
    std::int32_t lineNumber = 0;
    for (const auto& line : decodedLines(bytes)) {
        ++lineNumber;
        if (line.empty())
            continue;
        try {
            readProjectLine(line, record, marks, common);
        } catch (const RuntimeError& error) {
            throw lineError(error, line, projectFilePath, lineNumber);
        }
    }
}

} // namespace pelorix
