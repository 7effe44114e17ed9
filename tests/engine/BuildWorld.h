#pragma once

#include "engine/BuildHandOver.h"
#include "engine/BuildWindows.h"
#include "engine/CFVB6EXE.h"
#include "platform/CFWin32API.h"
#include "platform/UserInterface.h"
#include "projectdata/CDFileData.h"
#include "projectdata/IBuildLog.h"
#include "support/TestEnvironment.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pelorix::test {

// A prefix in which the stand-in compiler is the .vbp shell command, a program folder with
// Pelorix.ini, and helpers to write projects and list files and to read what the stand-in
// recorded. Waits are short: LogWaitTime 0, ProcessWaitTime 20 ms.
class BuildWorld {
public:
    BuildWorld();
    ~BuildWorld();
    BuildWorld(const BuildWorld&) = delete;
    BuildWorld& operator=(const BuildWorld&) = delete;

    // A project file under drive C: (folder relative to drive_c), its Windows path. lines are
    // written CP932 with CR LF; "Name" and "Type" lines come first.
    std::string addProject(const std::string& folder, const std::string& name,
                           const std::vector<std::string>& lines, const std::string& type = "Exe");
    // A project list file holding the paths, with the given EnableState (no [Build] section
    // when it is nothing).
    std::string writeList(const std::vector<std::string>& projectPaths,
                          const std::string* enableState = nullptr);
    // A key of Pelorix.ini (written at once).
    void setting(const std::string& section, const std::string& key, const std::string& value);

    // What the stand-in received, one argument vector per run.
    std::vector<std::vector<std::string>> recorded() const;
    // The host path of a Windows path.
    static std::string host(const std::string& windowsPath);
    // Every file below the test's folder whose bytes contain text (CP932).
    std::vector<std::string> filesContaining(const std::string& text) const;
    // The compiler log path the engine uses for a project name.
    std::string compilerLogPath(const std::string& projectName) const;

    TestEnvironment env;

private:
    void writeIni() const;
    std::string m_recordFile;
    std::map<std::string, std::map<std::string, std::string>> m_settings;
};

// Every regular file below a host folder with its bytes, to show that a command changed nothing.
std::map<std::string, std::string> snapshotFiles(const std::string& hostFolder);
// The files beside a project (host path), by name, with their bytes (the stand-in's run counts
// left out): a project file and its backups.
std::map<std::string, std::string> folderOf(const std::string& projectHost);

// Whether the text holds the part.
bool holds(const std::string& text, const std::string& part);

// An event pump that runs a function each time events are processed.
class CallbackPump final : public IEventPump {
public:
    std::function<void()> onEvents;
    void processEvents() override {
        if (onEvents)
            onEvents();
    }
};

// One build run through the engine, as the main window drives it.
struct EngineRun {
    CDFileData data;
    CFWin32API api;
    HeadlessBuildSettingForm form;
    MemoryBuildLog log;
    AnswerMessageBox box{false};
    HeadlessWaitForm wait;
    CallbackPump pump;
    std::vector<IBuildObserver*> observers;
    std::int32_t currentBuildRow = 0;

    // Loads the projects as a list, fills the grid.
    void load(const std::vector<std::string>& projectPaths);
    // Builds the rows, each in the mode its grid row shows.
    std::int16_t build(const std::vector<std::int32_t>& rows, bool autoRebuild = false,
                       std::int16_t rebuildMode = 0, bool keepMarks = false);

    std::string cell(std::int32_t row, std::int32_t logicalColumn) const;
    // Log lines without their time stamp ("YYYY/MM/DD HH:MM:SS ").
    std::vector<std::string> unstampedLog() const;
};

} // namespace pelorix::test
