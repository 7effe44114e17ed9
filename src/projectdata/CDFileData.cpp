#include "projectdata/CDFileData.h"

#include "platform/CCCommon.h"
#include "platform/FileSystemObject.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/ProjectFileReader.h"
#include "projectdata/ProjectText.h"

#include <string>

namespace pelorix {
namespace {

void setPlaceholders(ProjectRecord& record) {
    record.ProjectName = "-";
    record.Title = "-";
    record.Description.clear();
    record.ProjectType.clear();
    record.CompatibleMode = -1;
    record.StartMode = -1;
    record.OptimizationType = -1;
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
        readProjectFileBytes(readNamedFile(projectFilePath, "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ"), record, projectFilePath);
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
