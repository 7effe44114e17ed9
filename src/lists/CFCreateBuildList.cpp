#include "lists/CFCreateBuildList.h"

#include "lists/FileDialog.h"
#include "platform/CCCommon.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/RuntimeError.h"
#include "platform/UserInterface.h"
#include "projectdata/CDFileData.h"
#include "projectdata/ProjectText.h"

namespace pelorix {

namespace {

constexpr std::string_view projectFileFilter = "vbpﾌｧｲﾙ(*.vbp)|*.vbp|";
constexpr std::string_view projectListFilter = "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙ(*.ini)|*.ini|";
constexpr std::string_view batchFileFilter = "ﾊﾞｯﾁﾌｧｲﾙ(*.bat)|*.bat|全てのファイル(*.*)|*.*|";

// The host form of a preset file name: its host path, or its last component when its drive is
// not mapped.
std::string presetFileName(const std::string& path) {
    if (path.empty())
        return {};
    const std::string host = hostPathOf(path);
    if (!host.empty())
        return host;
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::vector<FileFilter> parseFileFilter(const std::string& filterText) {
    std::vector<FileFilter> filters;
    std::size_t start = 0;
    while (start < filterText.size()) {
        const std::size_t bar = filterText.find('|', start);
        if (bar == std::string::npos)
            break;
        const std::size_t next = filterText.find('|', bar + 1);
        const std::size_t end = next == std::string::npos ? filterText.size() : next;
        filters.push_back({filterText.substr(start, bar - start), filterText.substr(bar + 1, end - bar - 1)});
        start = end + 1;
    }
    return filters;
}

std::string listWindowCaption(std::string_view version, std::string_view path) {
    return std::string(version) + "    " +
           (path.empty() ? std::string("新規ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙ") : std::string(path));
}

CFCreateBuildList::CFCreateBuildList(IProjectListWindow& window, CDFileData& fileData)
    : ErrorHolder("CFCreateBuildList"), m_window(window), m_fileData(fileData) {}

bool CFCreateBuildList::pSelectFile(std::string& path, std::string_view filter,
                                    std::string_view initialFolder, bool save) {
    return guard("pSelectFile", [&] {
        CCCommon common;
        const std::string folder = !path.empty()           ? common.fGetParentDirPath(path)
                                   : initialFolder.empty() ? App_Path()
                                                           : std::string(initialFolder);
        FileDialogRequest request;
        request.initialFolder = hostPathOf(folder);
        request.fileName = presetFileName(path);
        request.filters = parseFileFilter(std::string(filter));
        request.save = save;
        std::string chosen;
        try {
            chosen = m_window.CommonDialog().ShowDialog(request);
        } catch (const RuntimeError& e) {
            if (e.number() == vberr::CancelSelected)
                return false;
            throw;
        }
        path = chosen.empty() ? std::string() : DriveMap::current().toWindows(chosen);
        return !path.empty();
    });
}

bool CFCreateBuildList::fSelectProjectFile(std::string& path) {
    return guard("fSelectProjectFile", [&] { return pSelectFile(path, projectFileFilter, "", false); });
}

bool CFCreateBuildList::fOpenProjectList(std::string& path) {
    return guard("fOpenProjectList", [&] { return pSelectFile(path, projectListFilter, "", false); });
}

bool CFCreateBuildList::fOpenBatFile(std::string& path) {
    return guard("fOpenBatFile", [&] { return pSelectFile(path, batchFileFilter, "", false); });
}

bool CFCreateBuildList::fSaveProjectList(std::string& path, const std::optional<ListMarks>& marks) {
    return guard("fSaveProjectList", [&] {
        std::string chosen = path;
        if (!pSelectFile(chosen, projectListFilter, "", true))
            return false;
        {
            const HourglassPointer pointer(m_window);
            pWriteProjectInfo(chosen, marks);
        }
        path = chosen;
        m_window.Caption(listWindowCaption(m_window.Version(), path));
        m_window.MessageBox().show("ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄを保存しました。", "保存完了", MsgButtons::Ok,
                                   MsgIcon::Information, false);
        return true;
    });
}

std::int32_t CFCreateBuildList::pWriteProjectInfo(std::string_view path,
                                                  const std::optional<ListMarks>& marks) {
    return guard("pWriteProjectInfo", [&] {
        std::vector<std::string> paths;
        for (const std::int32_t index : m_fileData.ProjectIndexCollection())
            paths.push_back(m_fileData.fProjectFilePath(index));
        writeProjectListFile(path, paths, marks);
        return static_cast<std::int32_t>(paths.size()) + 1;
    });
}

} // namespace pelorix
