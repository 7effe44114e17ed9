#include "engine/UpToDate.h"

#include "platform/DriveMap.h"
#include "platform/FileKind.h"
#include "platform/HostFile.h"
#include "platform/Text.h"
#include "platform/Win32Error.h"

namespace pelorix {

namespace {

// The format's number: a state written by a run that hashed other inputs is of no use to this one,
// which then builds everything once.
constexpr std::string_view Header = "Pelorix build state 2";
constexpr std::string_view Trailer = "end of state";

std::string pathKey(std::string_view path) {
    return toUpper(path);
}

} // namespace

std::string buildStatePath(std::string_view listPath) {
    return std::string(listPath) + ".buildstate";
}

// ---- The state file ----------------------------------------------------------------------------
//
//   Pelorix build state 2
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
    if (!host.empty() && hostFileKind(host) == HostFileKind::Folder)
        return say("the state file is a folder, not a file: " + statePath);
    std::int32_t code = 0;
    const auto bytes = host.empty() ? std::nullopt : readHostFile(host, &code);
    if (!bytes)
        return say(code == win32::FileNotFound || host.empty()
                       ? "no state file " + statePath
                       : "state file unreadable: " + statePath + " (" + win32::systemMessage(code) + ")");
    auto state = parse(*bytes, listPath);
    if (!state)
        return say(std::string_view(*bytes).starts_with("Pelorix build state ")
                       ? "state file of another list or an older format: " + statePath
                       : "state file damaged or of another list: " + statePath);
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
    return host.empty() ? win32::PathNotFound : replaceOwnFileAtomically(host, text());
}

} // namespace pelorix
