#include "projectdata/CDFileData.h"

#include "projectdata/IBuildLog.h"

namespace pelorix {

CDFileData::CDFileData() : ErrorHolder("CDFileData") {}

bool CDFileData::fSetProjectNameList(std::string_view, std::int32_t, bool) {
    return false;
}
std::string CDFileData::fProjectFilePath(std::int32_t) {
    return {};
}
std::string CDFileData::fGetProjectName(std::int32_t) {
    return {};
}
std::string CDFileData::fGetTile(std::int32_t) {
    return {};
}
std::string CDFileData::fGetProjectDescription(std::int32_t) {
    return {};
}
std::string CDFileData::fGetProjectType(std::int32_t) {
    return {};
}
std::int16_t CDFileData::fGetCompatibleMode(std::int32_t) {
    return -1;
}
std::int16_t CDFileData::fGetStartMode(std::int32_t) {
    return -1;
}
std::int16_t CDFileData::fGetOptimizationType(std::int32_t) {
    return -1;
}
bool CDFileData::fGetProjectFileInfo(std::int32_t, std::string&) {
    return false;
}
std::string CDFileData::pGetKeyValue(std::string_view, std::string_view) {
    return {};
}
void CDFileData::fClearAllProjectInfo() {}
std::int32_t CDFileData::fSetProjectFilePathList(std::string_view, std::string_view, std::string_view) {
    return 0;
}
std::int32_t CDFileData::fMakeProjectFileList(std::string_view, const std::vector<std::string>&,
                                              const std::vector<std::string>&, std::string_view) {
    return 0;
}
std::string CDFileData::pGetProjectFilePath(std::string_view, const std::vector<std::string>&,
                                            const std::vector<std::string>&) {
    return {};
}
std::int32_t CDFileData::pSearchKeyWord(std::string_view, std::int32_t, const std::vector<std::string>&,
                                        std::vector<std::int32_t>&) {
    return -1;
}
bool CDFileData::fAddProjectFileList(std::string_view, std::int32_t) {
    return false;
}
bool CDFileData::fChangeProjectFileList(std::string_view, std::int32_t, std::int32_t) {
    return false;
}
bool CDFileData::fDelProjectFileList(std::int32_t) {
    return false;
}
std::int32_t CDFileData::fGetProjectArrayIndex(std::int32_t) {
    return -1;
}
std::vector<std::string> CDFileData::ProjectFilePathList() {
    return {};
}
std::int32_t CDFileData::ProjectCount() const noexcept {
    return static_cast<std::int32_t>(m_colProjectIndex.size());
}
std::int32_t CDFileData::ProjectMaxIndex() {
    return 0;
}
bool CDFileData::fUpdateProjectFileInfo(std::string_view, std::int16_t, std::string_view, IBuildLog&) {
    return false;
}
bool CDFileData::fDeleteBackupFile() {
    return false;
}
void CDFileData::fSetCompatibleMode(std::int32_t, std::int16_t) {}
bool CDFileData::fCopyFile(std::string_view, std::string_view, bool) {
    return false;
}
std::vector<std::string> CDFileData::fGetDispUpdateInfo(std::int32_t, std::int32_t, std::string_view) {
    return {};
}
std::string CDFileData::pGetNewReferenceByLastWriteTime(std::string_view, std::string_view,
                                                        const std::vector<std::string>&,
                                                        const std::vector<std::string>&,
                                                        const std::vector<VbDate>&, std::string_view) {
    return {};
}
std::string CDFileData::pGetNewReferenceByTypeLibInfo(std::string_view, std::string_view) {
    return {};
}
std::string CDFileData::pGetNewComponentByLastWriteTime(std::string_view, std::string_view,
                                                        const std::vector<std::string>&,
                                                        const std::vector<std::string>&,
                                                        const std::vector<VbDate>&, std::string_view) {
    return {};
}
std::int32_t CDFileData::pSearchLastWriteData(std::string_view, const std::vector<std::string>&,
                                              const std::vector<VbDate>&) {
    return -1;
}
std::int32_t CDFileData::pSearchComponentLastWriteData(std::string_view, const std::vector<std::string>&,
                                                       const std::vector<VbDate>&) {
    return -1;
}
bool CDFileData::pAppendDrivePath(std::string_view, std::string&) {
    return false;
}

} // namespace pelorix
