#include "projectdata/CDFileData.h"

#include "platform/CCCommon.h"
#include "platform/FileSystemObject.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/ProjectText.h"

#include <array>
#include <string>

namespace pelorix {
namespace {

// The keys a project file gives its record, tested in this order on every line.
enum class Key { Name, CompatibleMode, Title, OptimizationType, StartMode, Type, Description };

// One "found" mark per key; "Type=" has none (its last line wins).
struct FoundMarks {
    std::array<bool, 7> found{};
    bool& operator[](Key key) noexcept { return found[static_cast<std::size_t>(key)]; }
};

void setPlaceholders(ProjectRecord& record) {
    record.ProjectName = "-";
    record.Title = "-";
    record.Description.clear();
    record.ProjectType.clear();
    record.CompatibleMode = -1;
    record.StartMode = -1;
    record.OptimizationType = -1;
}

void clearValues(ProjectRecord& record) {
    record.ProjectName.clear();
    record.Title.clear();
    record.Description.clear();
    record.ProjectType.clear();
    record.CompatibleMode = -1;
    record.StartMode = -1;
    record.OptimizationType = -1;
}

bool contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

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
        field = toInteger16(*value).value_or(-1);
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

} // namespace

CDFileData::CDFileData() : ErrorHolder("CDFileData") {}

// ---- records ---------------------------------------------------------------------------------

std::vector<ProjectRecord>& CDFileData::records() {
    if (!m_records)
        throw vberr::make(vberr::SubscriptOutOfRange);
    return *m_records;
}

ProjectRecord& CDFileData::recordAt(std::int32_t index) {
    auto& all = records();
    if (index < 0 || static_cast<std::size_t>(index) >= all.size())
        throw vberr::make(vberr::SubscriptOutOfRange);
    return all[static_cast<std::size_t>(index)];
}

const ProjectRecord* CDFileData::findRecord(std::int32_t index) {
    auto& all = records();
    if (index < 0 || static_cast<std::size_t>(index) >= all.size())
        return nullptr;
    return &all[static_cast<std::size_t>(index)];
}

// ---- project file reader ---------------------------------------------------------------------

bool CDFileData::fSetProjectNameList(std::string_view projectFilePath, std::int32_t index, bool replace) {
    return guard("fSetProjectNameList", [&] {
        if (!replace) {
            auto& all = records();
            if (index < 0)
                throw vberr::make(vberr::SubscriptOutOfRange);
            if (static_cast<std::size_t>(index) >= all.size())
                all.resize(static_cast<std::size_t>(index) + 1);
        }
        ProjectRecord& record = recordAt(index);

        if (!FileSystemObject().FileExists(projectFilePath)) {
            setPlaceholders(record);
            return false;
        }
        clearValues(record);
        const std::string bytes = readWindowsFile(projectFilePath);
        CCCommon common;
        FoundMarks marks;
        for (const auto& line : decodedLines(bytes)) {
            if (!line.empty())
                readProjectLine(line, record, marks, common);
        }
        return false;
    });
}

std::string CDFileData::fProjectFilePath(std::int32_t index) {
    return guard("fProjectFilePath", [&] {
        const auto* r = findRecord(index);
        return r ? r->ProjectFilePath : std::string();
    });
}

std::string CDFileData::fGetProjectName(std::int32_t index) {
    return guard("fGetProjectName", [&] {
        const auto* r = findRecord(index);
        return r ? r->ProjectName : std::string();
    });
}

std::string CDFileData::fGetTile(std::int32_t index) {
    return guard("fGetTile", [&] {
        const auto* r = findRecord(index);
        return r ? r->Title : std::string();
    });
}

std::string CDFileData::fGetProjectDescription(std::int32_t index) {
    return guard("fGetProjectDescription", [&] {
        const auto* r = findRecord(index);
        return r ? r->Description : std::string();
    });
}

std::string CDFileData::fGetProjectType(std::int32_t index) {
    return guard("fGetProjectType", [&] {
        const auto* r = findRecord(index);
        return r ? r->ProjectType : std::string();
    });
}

std::int16_t CDFileData::fGetCompatibleMode(std::int32_t index) {
    return guard("fGetCompatibleMode", [&] {
        const auto* r = findRecord(index);
        return r ? r->CompatibleMode : std::int16_t{-1};
    });
}

std::int16_t CDFileData::fGetStartMode(std::int32_t index) {
    return guard("fGetStartMode", [&] {
        const auto* r = findRecord(index);
        return r ? r->StartMode : std::int16_t{-1};
    });
}

std::int16_t CDFileData::fGetOptimizationType(std::int32_t index) {
    return guard("fGetOptimizationType", [&] {
        const auto* r = findRecord(index);
        return r ? r->OptimizationType : std::int16_t{-1};
    });
}

bool CDFileData::fGetProjectFileInfo(std::int32_t index, std::string& rowText) {
    return guard("fGetProjectFileInfo", [&] {
        const ProjectRecord& r = recordAt(index);
        rowText = ",," + std::to_string(r.CompatibleMode) + "," + std::to_string(r.OptimizationType) + "," +
                  r.Description + "," + r.Title + "," + r.ProjectFilePath;
        return false;
    });
}

std::string CDFileData::pGetKeyValue(std::string_view line, std::string_view key) {
    return guard("pGetKeyValue", [&] {
        CCCommon common;
        const std::string_view trimmedLine = trimSpaces(line);
        std::string_view trimmedKey = trimSpaces(key);
        if (common.fIsNull(trimmedLine) || common.fIsNull(trimmedKey))
            return std::string();
        if (trimmedKey.ends_with('='))
            trimmedKey.remove_suffix(1);
        if (!contains(trimmedLine, trimmedKey))
            return std::string();
        // The characters after the key and its "=" for a line that starts with them.
        const std::size_t lineChars = charCount(trimmedLine);
        const std::size_t keyChars = charCount(trimmedKey) + 1;
        if (lineChars < keyChars)
            return std::string();
        return std::string(rightChars(trimmedLine, lineChars - keyChars));
    });
}

void CDFileData::fSetCompatibleMode(std::int32_t index, std::int16_t mode) {
    guard("fSetCompatibleMode", [&] {
        auto& all = records();
        if (index >= 0 && static_cast<std::size_t>(index) < all.size())
            all[static_cast<std::size_t>(index)].CompatibleMode = mode;
    });
}

} // namespace pelorix
