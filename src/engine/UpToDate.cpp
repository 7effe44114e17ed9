#include "engine/UpToDate.h"

#include "platform/ContentHash.h"
#include "platform/DriveMap.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"
#include "projectdata/CDFileData.h"
#include "projectdata/ProjectText.h"

namespace pelorix {

namespace {

constexpr std::string_view Header = "Pelorix build state 1";
constexpr std::string_view Trailer = "end of state";
constexpr const char* Missing = "missing";

std::string pathKey(std::string_view path) {
    return toUpper(path);
}

} // namespace

std::string buildStatePath(std::string_view listPath) {
    return std::string(listPath) + ".buildstate";
}

// ---- The state file ----------------------------------------------------------------------------
//
//   Pelorix build state 1
//   list<TAB>the list's path
//   project<TAB>a project's path        once per project, then its inputs:
//   what<TAB>hash                        one line per input
//   end                                  after each project's inputs
//   end of state                         the last line: a file cut short has none
//
// UTF-8, lines ending in LF. Anything else makes the whole file unusable.

std::optional<BuildState> BuildState::parse(std::string_view bytes, std::string_view listPath) {
    const std::vector<std::string_view> lines = splitLines(bytes);
    // Windows paths: the same list may be named in another case.
    if (lines.size() < 3 || lines[0] != Header || !lines[1].starts_with("list\t") ||
        !equalsIgnoreCase(lines[1].substr(5), listPath) || lines.back() != Trailer)
        return std::nullopt;
    BuildState state{std::string(listPath)};
    std::optional<std::string> project;
    ProjectInputs inputs;
    for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (!project) {
            if (!line.starts_with("project\t") || line.size() == 8)
                return std::nullopt;
            project = std::string(line.substr(8));
        } else if (line == "end") {
            state.record(*project, std::move(inputs));
            inputs.clear();
            project.reset();
        } else {
            const auto tab = line.find('\t');
            if (tab == std::string_view::npos || tab == 0)
                return std::nullopt;
            inputs.emplace_back(std::string(line.substr(0, tab)), std::string(line.substr(tab + 1)));
        }
    }
    if (project)
        return std::nullopt;
    return state;
}

BuildState BuildState::load(std::string_view listPath, std::string* note) {
    const auto say = [&](std::string text) {
        if (note != nullptr)
            *note = std::move(text);
        return BuildState{std::string(listPath)};
    };
    const std::string statePath = buildStatePath(listPath);
    const std::string host = hostPathOf(statePath);
    std::int32_t code = 0;
    const auto bytes = host.empty() ? std::nullopt : readHostFile(host, &code);
    if (!bytes)
        return say(code == win32::FileNotFound || host.empty()
                       ? "no state file " + statePath
                       : "state file unreadable: " + statePath + " (" + win32::systemMessage(code) + ")");
    auto state = parse(*bytes, listPath);
    if (!state)
        return say("state file damaged or of another list: " + statePath);
    if (note != nullptr)
        note->clear();
    return std::move(*state);
}

const ProjectInputs* BuildState::find(std::string_view projectPath) const {
    const auto at = m_projects.find(pathKey(projectPath));
    return at == m_projects.end() ? nullptr : &at->second;
}

void BuildState::record(std::string_view projectPath, ProjectInputs inputs) {
    inputs.insert(inputs.begin(), {"path", std::string(projectPath)});
    m_projects[pathKey(projectPath)] = std::move(inputs);
}

void BuildState::forget(std::string_view projectPath) {
    m_projects.erase(pathKey(projectPath));
}

std::string BuildState::text() const {
    std::string text = std::string(Header) + "\nlist\t" + m_listPath + "\n";
    for (const auto& [key, inputs] : m_projects) {
        text += "project\t" + inputs.front().second + "\n";
        for (std::size_t i = 1; i < inputs.size(); ++i)
            text += inputs[i].first + "\t" + inputs[i].second + "\n";
        text += "end\n";
    }
    return text + std::string(Trailer) + "\n";
}

std::int32_t BuildState::save() const {
    const std::string host = hostPathOf(buildStatePath(m_listPath));
    return host.empty() ? win32::PathNotFound : writeHostFileAtomically(host, text());
}

// ---- The decisions of a run --------------------------------------------------------------------

UpToDateCheck::UpToDateCheck(std::string_view listPath, const std::vector<std::string>& targets,
                             CDFileData& fileData, std::string_view windowsFolder)
    : m_fileData(fileData), m_windowsFolder(windowsFolder), m_state(BuildState::load(listPath, &m_loadNote)),
      m_graph(projectDependencyGraph(targets)), m_builtInRun(targets.size(), false) {}

std::optional<std::size_t> UpToDateCheck::positionOf(std::string_view projectPath) const {
    const auto& projects = m_graph.projects();
    for (std::size_t i = 0; i < projects.size(); ++i)
        if (equalsIgnoreCase(projects[i].path, projectPath))
            return i;
    return std::nullopt;
}

std::string UpToDateCheck::fileHash(const std::string& windowsPath) {
    const std::string host = hostPathOf(windowsPath);
    return host.empty() ? Missing : fileContentHash(host).value_or(Missing);
}

ProjectInputs UpToDateCheck::currentInputs(std::string_view projectPath, std::int16_t mode) {
    ProjectInputs inputs;
    std::string bytes;
    try {
        bytes = readWindowsFile(projectPath);
    } catch (const RuntimeError&) {
        inputs.emplace_back("project file", Missing);
        return inputs;
    }
    const ProjectFacts facts = parseProjectFacts(projectPath, bytes);

    // The project file as the update would leave it: its bytes and the changes the update would
    // make to them.
    ContentHasher project;
    project.add(bytes);
    try {
        for (const ProjectLineChange& change : m_fileData.fPreviewUpdate(projectPath, mode, m_windowsFolder))
            project.add(std::to_string(change.lineNumber))
                .add(change.after)
                .add(change.dropped ? "-" : "+")
                .add(change.inserted);
    } catch (const RuntimeError& e) {
        project.add("not updatable").add(e.description());
    }
    inputs.emplace_back("project file", project.hex());

    for (const ProjectSource& source : facts.sources)
        inputs.emplace_back("source " + source.path, fileHash(source.path));

    // The registrations references and components resolve to, and the files they name.
    for (const ProjectUse& use : facts.uses) {
        const std::string what = "line " + std::to_string(use.lineNumber);
        std::string registered;
        try {
            if (use.kind == ProjectUse::Kind::TypeLibrary)
                registered =
                    m_fileData.fLookUpReference(projectPath, use.line, m_windowsFolder).registeredPath;
            else if (use.kind == ProjectUse::Kind::Component)
                registered = m_fileData.fLookUpComponent(projectPath, use.line).registeredPath;
            else
                continue; // another project: built in this run or not, see reasonToBuild
        } catch (const RuntimeError&) {
            registered.clear();
        }
        if (registered.empty()) {
            inputs.emplace_back("registration of " + what, "none");
            continue;
        }
        auto cached = m_libraryHashes.find(registered);
        if (cached == m_libraryHashes.end())
            cached = m_libraryHashes.emplace(registered, fileHash(registered)).first;
        inputs.emplace_back("registration of " + what, registered + " " + cached->second);
    }

    inputs.emplace_back("compatibility mode", std::to_string(mode));
    inputs.emplace_back("compatible file", facts.compatiblePath.empty()
                                               ? "none"
                                               : facts.compatiblePath + " " + fileHash(facts.compatiblePath));
    inputs.emplace_back("output file", facts.outputPath + " " + fileHash(facts.outputPath));
    return inputs;
}

std::string UpToDateCheck::reasonToBuild(std::string_view projectPath, std::int16_t mode) {
    if (const auto position = positionOf(projectPath)) {
        for (const std::size_t dependency : m_graph.dependenciesOf(*position))
            if (m_builtInRun[dependency])
                return m_graph.projects()[dependency].path + " was built in this run";
    }
    const ProjectInputs* recorded = m_state.find(projectPath);
    if (recorded == nullptr)
        return "no successful build on record";
    const ProjectInputs current = currentInputs(projectPath, mode);
    // The recorded inputs begin with the project's path.
    for (std::size_t i = 0; i < current.size(); ++i) {
        if (i + 1 >= recorded->size() || (*recorded)[i + 1].first != current[i].first)
            return "changed: " + current[i].first + " is new";
        if ((*recorded)[i + 1].second != current[i].second)
            return "changed: " + current[i].first +
                   (current[i].second.ends_with(Missing) ? " is missing" : "");
    }
    if (recorded->size() != current.size() + 1)
        return "changed: " + (*recorded)[current.size() + 1].first + " is gone";
    return "";
}

void UpToDateCheck::building(std::string_view projectPath) {
    if (const auto position = positionOf(projectPath))
        m_builtInRun[*position] = true;
}

void UpToDateCheck::built(std::string_view projectPath, std::int16_t mode, bool success) {
    if (success)
        m_state.record(projectPath, currentInputs(projectPath, mode));
    else
        m_state.forget(projectPath);
}

} // namespace pelorix
