#include "BuildWorld.h"

#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "platform/Text.h"
#include "support/RegistryWriter.h"
#include "support/TestOs.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace pelorix::test {
namespace fs = std::filesystem;

BuildWorld::BuildWorld() {
    m_recordFile = env.path("standin-record.txt");
    pelorix::test::setEnvironment("PELORIX_STANDIN_RECORD", m_recordFile.c_str());
    const std::string command = "\"" + TestEnvironment::windowsPath(PELORIX_STANDIN) + "\" \"%1\"";
    RegistryWriter()
        .addShellAssociation(".vbp", "VisualBasic.Project", "shell\\open\\command", command)
        .write(env);
    setting("Build", "LogWaitTime", "0");
    setting("Build", "ProcessWaitTime", "20");
}

BuildWorld::~BuildWorld() {
    pelorix::test::unsetEnvironment("PELORIX_STANDIN_RECORD");
}

void BuildWorld::setting(const std::string& section, const std::string& key, const std::string& value) {
    m_settings[section][key] = value;
    writeIni();
}

void BuildWorld::writeIni() const {
    std::string text;
    for (const auto& [section, keys] : m_settings) {
        text += "[" + section + "]\r\n";
        for (const auto& [key, value] : keys)
            text += key + "=" + value + "\r\n";
    }
    writeFile(env.home() + "/Pelorix.ini", sjis(text));
}

std::string BuildWorld::addProject(const std::string& folder, const std::string& name,
                                   const std::vector<std::string>& lines, const std::string& type) {
    std::string text = "Type=" + type + "\r\nName=\"" + name + "\"\r\n";
    for (const auto& line : lines)
        text += line + "\r\n";
    const std::string hostPath = env.driveC() + "/" + folder + "/" + name + ".vbp";
    writeFile(hostPath, sjis(text));
    return TestEnvironment::windowsPath(hostPath);
}

std::string BuildWorld::writeList(const std::vector<std::string>& projectPaths,
                                  const std::string* enableState) {
    std::string text = "[ProjectName]\r\n";
    for (const auto& p : projectPaths)
        text += p + "\r\n";
    if (enableState != nullptr)
        text += "[Build]\r\nEnableState=" + *enableState + "\r\n";
    const std::string hostPath = env.driveC() + "/lists/build.ini";
    writeFile(hostPath, sjis(text));
    return TestEnvironment::windowsPath(hostPath);
}

std::vector<std::vector<std::string>> BuildWorld::recorded() const {
    std::vector<std::vector<std::string>> runs;
    const std::string text = readFile(m_recordFile);
    const auto lines = split(text, '\n');
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].starts_with("args "))
            continue;
        const std::size_t n = std::stoul(lines[i].substr(5));
        runs.emplace_back(lines.begin() + static_cast<std::ptrdiff_t>(i + 1),
                          lines.begin() + static_cast<std::ptrdiff_t>(i + 1 + n));
        i += n;
    }
    return runs;
}

std::string BuildWorld::host(const std::string& windowsPath) {
    return hostPathOf(windowsPath);
}

std::vector<std::string> BuildWorld::filesContaining(const std::string& text) const {
    std::vector<std::string> found;
    const std::string needle = sjis(text);
    for (const auto& entry : fs::recursive_directory_iterator(env.root())) {
        if (entry.is_regular_file() && readFile(entry.path().string()).find(needle) != std::string::npos)
            found.push_back(entry.path().string());
    }
    return found;
}

std::string BuildWorld::compilerLogPath(const std::string& projectName) const {
    return env.home() + "/" + projectName + ".log";
}

bool holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::map<std::string, std::string> folderOf(const std::string& projectHost) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(fs::path(projectHost).parent_path()))
        if (!entry.path().string().ends_with(".standin-runs"))
            files[entry.path().filename().string()] = readFile(entry.path().string());
    return files;
}

std::map<std::string, std::string> snapshotFiles(const std::string& hostFolder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(hostFolder))
        if (entry.is_regular_file())
            files[entry.path().string()] = readFile(entry.path().string());
    return files;
}

void EngineRun::load(const std::vector<std::string>& projectPaths) {
    data.fClearAllProjectInfo();
    for (const auto& path : projectPaths) {
        data.fAddProjectFileList(path, -1);
        data.fSetProjectNameList(path, data.ProjectMaxIndex(), false);
    }
    fillProjectGrid(form, data);
}

std::int16_t EngineRun::build(const std::vector<std::int32_t>& rows, bool autoRebuild,
                              std::int16_t rebuildMode, bool keepMarks) {
    for (const std::int32_t row : rows)
        form.grid().TextMatrix(row, form.gridColumnOf(GridColumn::Enable), enabledMarkText());
    WindowOptions options;
    options.rebuildHideConfirm = autoRebuild;
    options.rebuildCompatibleMode = rebuildMode;
    options.notAfterBuildTargetOff = keepMarks;
    const std::vector<std::int32_t> targets =
        handOverBuildTargets(form, data, data.UpdateComponentReference());
    IWaitForm* waitForm = &wait;
    const BuildRunOutcome outcome =
        runBuild({data, api, log, box, pump, observers}, targets, "", options, waitForm, form);
    currentBuildRow = outcome.currentBuildRow;
    return outcome.result;
}

std::string EngineRun::cell(std::int32_t row, std::int32_t logicalColumn) const {
    return form.grid().TextMatrix(row, form.gridColumnOf(logicalColumn));
}

std::vector<std::string> EngineRun::unstampedLog() const {
    std::vector<std::string> lines;
    for (const auto& line : log.lines()) {
        const bool stamped = line.size() > 20 && line[4] == '/' && line[13] == ':' && line[19] == ' ';
        lines.push_back(stamped ? line.substr(20) : line);
    }
    return lines;
}

} // namespace pelorix::test
