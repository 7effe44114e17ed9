#pragma once

#include "projectdata/ProjectDependencies.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelorix {

class CDFileData;

// Building only what changed. A project's last successful build is still good when everything
// the compiler would read is as that build saw it: its project file as the update would leave it,
// every source file it lists (with the binary companions of forms, controls, pages and
// designers), the registrations its references and components resolve to and the files they
// name, its compatibility mode and compatible file, and its output file. What a successful build
// saw is kept as content hashes in a state file beside the list.

// What one project's build reads, as (what, hash) pairs in a fixed order; the last is the output.
using ProjectInputs = std::vector<std::pair<std::string, std::string>>;

// The state file of a list or group: the path of the list or group and ".buildstate".
std::string buildStatePath(std::string_view listPath);

// The projects' inputs as their last successful builds saw them, by project path (as listed).
class BuildState {
public:
    // The state as kept beside a list; empty when there is none or it cannot be used (then why
    // goes to note: a missing, unreadable, damaged file or one of another list). Never raises.
    static BuildState load(std::string_view listPath, std::string* note = nullptr);
    // The state in a state file's bytes; nothing unless the bytes are a whole state of that list.
    static std::optional<BuildState> parse(std::string_view bytes, std::string_view listPath);

    explicit BuildState(std::string listPath = {}) : m_listPath(std::move(listPath)) {}

    const ProjectInputs* find(std::string_view projectPath) const;
    void record(std::string_view projectPath, ProjectInputs inputs);
    void forget(std::string_view projectPath);
    std::size_t size() const noexcept { return m_projects.size(); }

    std::string text() const;
    // Writes the state beside its list in one step; 0 or the Win32 code of the failure.
    std::int32_t save() const;

private:
    std::string m_listPath;
    std::map<std::string, ProjectInputs> m_projects; // by upper-cased path
};

// The up-to-date decisions of one run over its targets (project paths in run order): it reads
// the state, tells which project may be skipped, notes what the run built, and records the
// inputs of each successful build.
class UpToDateCheck {
public:
    UpToDateCheck(std::string_view listPath, const std::vector<std::string>& targets, CDFileData& fileData,
                  std::string_view windowsFolder);

    // Why the project must be built ("" when its last successful build is still good): no state,
    // an input that changed (named), or a project it depends on that this run built.
    std::string reasonToBuild(std::string_view projectPath, std::int16_t mode);
    // The project is being compiled in this run.
    void building(std::string_view projectPath);
    // Its build ended: a success records what it saw, a failure forgets its last success.
    void built(std::string_view projectPath, std::int16_t mode, bool success);
    // Writes the state file; false when it could not be written (the next run builds more).
    bool save() const { return m_state.save() == 0; }

    // What the state file said when it was loaded ("" when it was used).
    const std::string& loadNote() const noexcept { return m_loadNote; }
    const BuildState& state() const noexcept { return m_state; }

    // The inputs of a project as they are now, with the project built in this mode.
    ProjectInputs currentInputs(std::string_view projectPath, std::int16_t mode);

private:
    std::optional<std::size_t> positionOf(std::string_view projectPath) const;
    std::string fileHash(const std::string& windowsPath);

    CDFileData& m_fileData;
    std::string m_windowsFolder;
    std::string m_loadNote;
    BuildState m_state;
    DependencyGraph m_graph;
    std::vector<bool> m_builtInRun;
    std::map<std::string, std::string> m_libraryHashes; // registered files, hashed once a run
};

} // namespace pelorix
