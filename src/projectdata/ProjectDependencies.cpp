#include "projectdata/ProjectDependencies.h"

#include "platform/DosPath.h"
#include "platform/FileSystemObject.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/TypeLibFile.h"
#include "projectdata/ProjectFileKeys.h"
#include "projectdata/ProjectText.h"

#include <algorithm>
#include <functional>
#include <set>

namespace pelorix {

namespace {

std::string fileNameOf(std::string_view path) {
    const auto slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// A library path may end in the index of the type library inside its file ("...\x.dll\3").
std::string withoutResourceIndex(std::string_view path) {
    const auto slash = path.rfind('\\');
    if (slash == std::string_view::npos || slash + 1 == path.size())
        return std::string(path);
    const std::string_view last = path.substr(slash + 1);
    const bool digits = std::all_of(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; });
    return std::string(digits ? path.substr(0, slash) : path);
}

std::string outputExtension(std::string_view type) {
    const std::string upper = toUpper(trimWhite(type));
    if (upper == "OLEDLL")
        return ".dll";
    if (upper == "CONTROL")
        return ".ocx";
    return ".exe";
}

// The binary file the environment keeps beside a source file of this kind.
std::string companionExtension(std::string_view key) {
    if (key == "Form")
        return ".frx";
    if (key == "UserControl")
        return ".ctx";
    if (key == "PropertyPage")
        return ".pgx";
    if (key == "UserDocument")
        return ".dox";
    if (key == "Designer")
        return ".dsx";
    return "";
}

constexpr std::string_view SourceKeys[] = {"Form",         "Module",       "Class",    "UserControl",
                                           "PropertyPage", "UserDocument", "Designer", "ResFile32"};

// The file of a source line. Modules and classes are written "Name; file" (the environment puts
// "; " between them); every other source line is the file alone, and a file name may hold ";".
std::string sourceFileOf(std::string_view key, std::string_view value) {
    if (key == "Module" || key == "Class") {
        const auto separator = value.find("; ");
        if (separator != std::string_view::npos)
            value = value.substr(separator + 2);
    }
    return unquotedKeyValue(value);
}

struct Parser {
    ProjectFacts& facts;
    std::string folder;

    std::string absolute(std::string_view written) const { return absoluteDosPath(written, folder); }

    void addSource(std::string_view key, std::string_view value) {
        const std::string written = sourceFileOf(key, value);
        if (written.empty())
            return;
        const std::string path = absolute(written);
        if (path.empty())
            return;
        facts.sources.push_back({std::string(key), path});
        if (const std::string extension = companionExtension(key); !extension.empty()) {
            const auto dot = path.rfind('.');
            const auto slash = path.rfind('\\');
            const std::size_t stem =
                dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : path.size();
            facts.sources.push_back({"+" + std::string(key), path.substr(0, stem) + extension});
        }
    }

    void addReference(std::int32_t lineNumber, std::string_view value, std::string_view line) {
        if (value.starts_with("*\\A")) {
            const std::string path = absolute(trimWhite(value.substr(3)));
            facts.uses.push_back({ProjectUse::Kind::Project, lineNumber, "", path, toUpper(fileNameOf(path)),
                                  std::string(line)});
            return;
        }
        const auto brace = value.find('{');
        if (brace == std::string_view::npos)
            return;
        const std::vector<std::string> fields = split(value.substr(brace), '#');
        ProjectUse use{
            ProjectUse::Kind::TypeLibrary, lineNumber, toUpper(fields[0]), "", "", std::string(line)};
        if (fields.size() > 3) {
            const std::string library = withoutResourceIndex(trimWhite(fields[3]));
            use.fileName = toUpper(fileNameOf(library));
            // A bare file name is found through the registrations, not in a folder.
            if (library.find('\\') != std::string::npos)
                use.path = absolute(library);
        }
        facts.uses.push_back(std::move(use));
    }

    void addComponent(std::int32_t lineNumber, std::string_view value, std::string_view line) {
        if (value.starts_with("*\\A")) {
            addReference(lineNumber, value, line);
            return;
        }
        const auto semicolon = value.find(';');
        const std::string_view head = value.substr(0, semicolon);
        const auto hash = head.find('#');
        ProjectUse use{ProjectUse::Kind::Component,
                       lineNumber,
                       toUpper(trimWhite(head.substr(0, hash))),
                       "",
                       "",
                       std::string(line)};
        if (semicolon != std::string_view::npos)
            use.fileName = toUpper(fileNameOf(trimWhite(value.substr(semicolon + 1))));
        facts.uses.push_back(std::move(use));
    }

    void read(const ProjectFileKeys& keys) {
        for (const ProjectKeyLine& line : keys.lines()) {
            if (line.key == "Reference")
                addReference(line.lineNumber, line.value, line.text);
            else if (line.key == "Object")
                addComponent(line.lineNumber, line.value, line.text);
            else if (std::find(std::begin(SourceKeys), std::end(SourceKeys), line.key) !=
                     std::end(SourceKeys))
                addSource(line.key, line.value);
        }
        facts.name = keys.value("Name");
        if (const ProjectKeyLine* type = keys.find("Type"))
            facts.type = std::string(trimWhite(type->value));
        if (const std::string compatible = keys.value("CompatibleEXE32"); !compatible.empty())
            facts.compatiblePath = absolute(compatible);
        const std::string exeName = keys.value("ExeName32");
        const std::string name = exeName.empty() ? facts.name + outputExtension(facts.type) : exeName;
        if (trimWhite(name).empty())
            return;
        const std::string path32 = keys.value("Path32");
        const std::string outputFolder = path32.empty() ? folder : absolute(path32);
        facts.outputPath = outputFolder.empty() ? "" : absoluteDosPath(name, outputFolder);
    }
};

// The GUIDs a project's library is known by: that of its compatible file and of its last output.
std::vector<std::string> libraryGuids(const ProjectFacts& facts) {
    std::vector<std::string> guids;
    for (const std::string* file : {&facts.compatiblePath, &facts.outputPath}) {
        if (file->empty())
            continue;
        if (const auto attributes = readTypeLibAttributes(*file))
            if (std::find(guids.begin(), guids.end(), attributes->guid) == guids.end())
                guids.push_back(attributes->guid);
    }
    return guids;
}

// Why a use names what a project makes, or "" when it does not.
std::string useReason(const ProjectUse& use, const ProjectFacts& target,
                      const std::vector<std::string>& guids) {
    if (use.kind == ProjectUse::Kind::Project)
        return equalsIgnoreCase(use.path, target.path) ? "project file" : "";
    if (!use.guid.empty() && std::find(guids.begin(), guids.end(), use.guid) != guids.end())
        return "library " + use.guid;
    if (target.outputPath.empty())
        return "";
    if (!use.path.empty())
        return equalsIgnoreCase(use.path, target.outputPath) ? "output " + target.outputPath : "";
    return !use.fileName.empty() && equalsIgnoreCase(use.fileName, fileNameOf(target.outputPath))
               ? "output " + target.outputPath
               : "";
}

} // namespace

ProjectFacts parseProjectFacts(std::string_view projectPath, std::string_view bytes) {
    ProjectFacts facts;
    facts.path = std::string(projectPath);
    facts.readable = true;
    Parser{facts, FileSystemObject::GetParentFolderName(projectPath)}.read(ProjectFileKeys::parse(bytes));
    return facts;
}

ProjectFacts readProjectFacts(std::string_view projectPath) {
    try {
        return parseProjectFacts(projectPath, readWindowsFile(projectPath));
    } catch (const RuntimeError&) {
        ProjectFacts facts;
        facts.path = std::string(projectPath);
        return facts;
    }
}

DependencyGraph::DependencyGraph(std::vector<ProjectFacts> projects)
    : m_projects(std::move(projects)), m_adjacency(m_projects.size()) {
    std::vector<std::vector<std::string>> guids;
    guids.reserve(m_projects.size());
    for (const ProjectFacts& facts : m_projects)
        guids.push_back(libraryGuids(facts));
    for (std::size_t a = 0; a < m_projects.size(); ++a) {
        for (const ProjectUse& use : m_projects[a].uses) {
            for (std::size_t b = 0; b < m_projects.size(); ++b) {
                if (a == b || !m_projects[b].readable)
                    continue;
                std::string reason = useReason(use, m_projects[b], guids[b]);
                if (reason.empty())
                    continue;
                m_dependencies.push_back({a, b, use.lineNumber, use.kind, std::move(reason)});
                if (std::find(m_adjacency[a].begin(), m_adjacency[a].end(), b) == m_adjacency[a].end())
                    m_adjacency[a].push_back(b);
            }
        }
        std::sort(m_adjacency[a].begin(), m_adjacency[a].end());
    }
    findCycles();
}

std::vector<std::size_t> DependencyGraph::dependenciesOf(std::size_t position) const {
    return position < m_adjacency.size() ? m_adjacency[position] : std::vector<std::size_t>{};
}

// Tarjan's strongly connected components; a component of more than one project is a cycle.
void DependencyGraph::findCycles() {
    const std::size_t count = m_projects.size();
    constexpr std::size_t Unvisited = static_cast<std::size_t>(-1);
    std::vector<std::size_t> index(count, Unvisited), low(count, 0);
    std::vector<bool> onStack(count, false);
    std::vector<std::size_t> stack;
    std::size_t next = 0;
    const std::function<void(std::size_t)> visit = [&](std::size_t v) {
        index[v] = low[v] = next++;
        stack.push_back(v);
        onStack[v] = true;
        for (const std::size_t w : m_adjacency[v]) {
            if (index[w] == Unvisited) {
                visit(w);
                low[v] = std::min(low[v], low[w]);
            } else if (onStack[w]) {
                low[v] = std::min(low[v], index[w]);
            }
        }
        if (low[v] != index[v])
            return;
        std::vector<std::size_t> component;
        std::size_t w = 0;
        do {
            w = stack.back();
            stack.pop_back();
            onStack[w] = false;
            component.push_back(w);
        } while (w != v);
        if (component.size() > 1) {
            std::sort(component.begin(), component.end());
            m_cycles.push_back(std::move(component));
        }
    };
    for (std::size_t v = 0; v < count; ++v)
        if (index[v] == Unvisited)
            visit(v);
    std::sort(m_cycles.begin(), m_cycles.end());
}

std::vector<std::size_t> DependencyGraph::buildOrder() const {
    const std::size_t count = m_projects.size();
    enum class State { Waiting, Visiting, Placed };
    std::vector<State> state(count, State::Waiting);
    std::vector<std::size_t> order;
    order.reserve(count);
    // Each project in list order, its unplaced dependencies (in list order, each with its own)
    // just before it. A dependency that is being visited lies on a cycle with the project.
    const std::function<void(std::size_t)> place = [&](std::size_t v) {
        if (state[v] != State::Waiting)
            return;
        state[v] = State::Visiting;
        for (const std::size_t w : m_adjacency[v])
            place(w);
        state[v] = State::Placed;
        order.push_back(v);
    };
    for (std::size_t v = 0; v < count; ++v)
        place(v);
    return order;
}

DependencyGraph projectDependencyGraph(const std::vector<std::string>& projectPaths) {
    std::vector<ProjectFacts> projects;
    projects.reserve(projectPaths.size());
    for (const std::string& path : projectPaths)
        projects.push_back(readProjectFacts(path));
    return DependencyGraph(std::move(projects));
}

} // namespace pelorix
