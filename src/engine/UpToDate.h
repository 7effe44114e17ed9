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
// the compiler read for it is as that build saw it: its project file as the update would leave it,
// every source file it lists (with the binary companions of forms, controls, pages and
// designers), the registrations its references and components resolve to and the files they
// name (the file a reference names itself when nothing registers its library), what each project
// it depends on makes (its output file and compatible file: a dependency rebuilt in any run, by
// any means, rebuilds it), the compiler (the command registered for it and its program's bytes),
// its compatibility mode and compatible file, and its output file. What a successful build saw
// is kept as content hashes in a state file beside the list.

// What one project's build reads, as (what, hash) pairs in a fixed order; the last is the output.
using ProjectInputs = std::vector<std::pair<std::string, std::string>>;

// The state file of a list or group: the path of the list or group and ".buildstate".
std::string buildStatePath(std::string_view listPath);

// The projects' inputs as their last successful builds saw them, by project path (as listed).
class BuildState {
public:
    // The state as kept beside a list; empty when there is none or it cannot be used (then why
    // goes to note: a missing, unreadable, damaged file, one of another list or of an older
    // format, or a folder in its place). Never raises.
    static BuildState load(std::string_view listPath, std::string* note = nullptr);
    // The state in a state file's bytes; nothing unless the bytes are a whole state of that list.
    static std::optional<BuildState> parse(std::string_view bytes, std::string_view listPath);

    explicit BuildState(std::string listPath = {}) : m_listPath(std::move(listPath)) {}

    const ProjectInputs* find(std::string_view projectPath) const;
    void record(std::string_view projectPath, ProjectInputs inputs);
    void forget(std::string_view projectPath);
    std::size_t size() const noexcept { return m_projects.size(); }

    std::string text() const;
    // Writes the state beside its list in one step; 0 or the Win32 code of the failure. The state
    // file is the program's own: a symbolic link in its place is replaced, never written through.
    std::int32_t save() const;

private:
    std::string m_listPath;
    std::map<std::string, ProjectInputs> m_projects; // by upper-cased path
};

// A project a run may build, with the compatibility mode it is built in.
struct BuildTarget {
    std::string path;
    std::int16_t mode = -1;
};

// The up-to-date decisions of one run. They are taken once, before the first project, over the
// dependency graph of every listed project in dependency order: a target must be built when an
// input of its own changed or when a target it depends on must be built, wherever the list puts
// the two. The check then takes what each compile reads just before the compiler starts, and
// records it for each successful build; an input that changed while the compiler ran is recorded
// as changed, so that the next run builds the project again.
class UpToDateCheck {
public:
    // listed: every project of the list or group, in list order; targets: the run's projects.
    UpToDateCheck(std::string_view listPath, const std::vector<std::string>& listed,
                  std::vector<BuildTarget> targets, CDFileData& fileData, std::string_view windowsFolder);

    // The compiler the run starts: the command registered for it. Told before the first decision.
    void compiler(std::string_view commandTemplate);
    // Why the project must be built ("" when its last successful build is still good): no state,
    // an input that changed (named), or a target it depends on that this run builds.
    std::string reasonToBuild(std::string_view projectPath);
    // The compiler is about to start on the project, its file updated for the mode: what the
    // compile reads is taken now.
    void compiling(std::string_view projectPath, std::int16_t mode);
    // Its build ended: a success records what the compile read, a failure forgets its last
    // success.
    void built(std::string_view projectPath, std::int16_t mode, bool success);
    // Writes the state file; 0 or the Win32 code of the failure (the next run builds more).
    std::int32_t save() const { return m_state.save(); }

    // What the state file said when it was loaded ("" when it was used).
    const std::string& loadNote() const noexcept { return m_loadNote; }
    const BuildState& state() const noexcept { return m_state; }

    // The inputs of a project as they are now, with the project built in this mode.
    ProjectInputs currentInputs(std::string_view projectPath, std::int16_t mode);

private:
    void decide();
    std::string ownReason(const BuildTarget& target);
    std::optional<std::size_t> positionOf(std::string_view projectPath) const;
    std::string fileHash(const std::string& windowsPath);
    std::string madeBy(const ProjectFacts& facts);
    void addUses(ProjectInputs& inputs, std::string_view projectPath, const ProjectFacts& facts);
    const ProjectFacts& referencedProject(const std::string& path);

    CDFileData& m_fileData;
    std::string m_windowsFolder;
    std::string m_loadNote;
    BuildState m_state;
    DependencyGraph m_graph;
    std::vector<BuildTarget> m_targets;
    std::string m_compiler;                       // the compiler's input, "" until told
    std::map<std::string, std::string> m_reasons; // by upper-cased target path, once decided
    bool m_decided = false;
    std::map<std::string, ProjectInputs> m_compiled;     // what each compile read, by upper-cased path
    std::map<std::string, std::string> m_fileHashes;     // files hashed, until the next compile
    std::map<std::string, ProjectFacts> m_otherProjects; // referenced projects, by upper-cased path
};

} // namespace pelorix
