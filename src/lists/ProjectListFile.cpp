#include "lists/ProjectListFile.h"

#include "platform/CCCommon.h"
#include "platform/CFWin32API.h"
#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/HostFile.h"
#include "platform/IniFile.h"
#include "platform/Numbers.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/CDFileData.h"
#include "projectdata/ProjectText.h"

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
    return readIniValue(fileBytes, "Build", key, ansiCodePage(), std::string::npos).value_or("");
}

} // namespace

void requireProjectListFile(std::string_view listPath) {
    const std::string bytes = readNamedFile(listPath, "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙ");
    for (const std::string& line : decodedLines(bytes))
        if (contains(line, "[ProjectName]") && !trimWhite(line).starts_with(';'))
            return;
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

void writeListBuildState(CFWin32API& api, std::string_view listPath,
                         const std::vector<std::int32_t>& enabledRows, std::int32_t buildIndex) {
    if (listPath.empty())
        return;
    api.SetTerminalProfile("Build", "EnableState", enableStateText(enabledRows), listPath);
    api.SetTerminalProfile("Build", "Index", std::to_string(buildIndex), listPath);
    api.SetTerminalProfile("Build", "ProjectListPath", "\"" + std::string(listPath) + "\"");
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
