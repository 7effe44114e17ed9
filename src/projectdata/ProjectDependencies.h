#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// What a project file says about what the project makes and what it uses, read with the
// compiler's rule (see ProjectFileKeys.h) for the build order and the up-to-date check. Paths are
// Windows paths, made absolute against the project's folder.

// A line by which a project uses a library, a control or another project.
struct ProjectUse {
    enum class Kind {
        TypeLibrary, // "Reference=*\G{GUID}#version#lcid#path#description"
        Component,   // "Object={GUID}#version#lcid; file"
        Project,     // "Reference=*\A..." or "Object=*\A...": another project's file
    };
    Kind kind = Kind::TypeLibrary;
    std::int32_t lineNumber = 0; // 1-based
    std::string guid;            // upper-case, with braces; "" for a project
    // TypeLibrary: the library path made absolute ("" for a bare file name); Project: the
    // project file's path.
    std::string path;
    std::string fileName; // the file name the line gives (upper-case ASCII)
    std::string line;     // the whole line
};

// A file the compiler reads to build the project.
struct ProjectSource {
    std::string key;  // the line's key ("Form", "Module", ... "ResFile32"), or "+" + key for a
                      // binary companion (a form's .frx, a control's .ctx, ...)
    std::string path; // absolute Windows path
};

struct ProjectFacts {
    std::string path;      // the project file
    bool readable = false; // false: the file is missing or unreadable, and nothing else is known
    std::string name;      // "Name="
    std::string type;      // "Type="
    // The file the compiler makes: "ExeName32" in "Path32" (each relative to the project's
    // folder), or the project's name with the extension of its type when "ExeName32" is missing.
    std::string outputPath;
    std::string compatiblePath; // "CompatibleEXE32", "" when none
    std::vector<ProjectUse> uses;
    std::vector<ProjectSource> sources; // in line order, each companion after its file
};

// Reads a project file's facts (never raises: a file that cannot be read is not readable).
ProjectFacts readProjectFacts(std::string_view projectPath);
// The same from a project file's bytes.
ProjectFacts parseProjectFacts(std::string_view projectPath, std::string_view bytes);

// One edge of the graph: the project at "dependent" needs what the project at "dependency"
// makes, for the reason the line gives.
struct ProjectDependency {
    std::size_t dependent = 0; // positions in the graph's project list
    std::size_t dependency = 0;
    std::int32_t lineNumber = 0; // the dependent's line
    ProjectUse::Kind kind = ProjectUse::Kind::TypeLibrary;
    std::string reason; // "library {GUID}", "output C:\...\B.dll", "project file"
};

// The dependencies among the projects of a list or group. Project A depends on project B when A
// uses what B makes: a library whose GUID B's compatible file or last output carries, B's output
// file (by its path, or by its file name where A names the file alone), or B's project file. A
// project does not depend on itself.
class DependencyGraph {
public:
    explicit DependencyGraph(std::vector<ProjectFacts> projects);

    const std::vector<ProjectFacts>& projects() const noexcept { return m_projects; }
    // In dependent order, then line order; each pair of projects at most once per line.
    const std::vector<ProjectDependency>& dependencies() const noexcept { return m_dependencies; }
    // The positions a project depends on directly, ascending.
    std::vector<std::size_t> dependenciesOf(std::size_t position) const;
    // Every cycle (a set of projects each of which depends on the others through the set), each
    // in list order; cycles ordered by their first project.
    const std::vector<std::vector<std::size_t>>& cycles() const noexcept { return m_cycles; }
    // An order that builds every project after the projects it depends on, keeping the list's
    // order wherever that already holds: each project in list order, the projects it needs that
    // are not placed yet moved up to just before it (in list order, each with its own). On a
    // cycle the earliest listed project comes after the others of the cycle it needs.
    std::vector<std::size_t> buildOrder() const;

private:
    void findCycles();

    std::vector<ProjectFacts> m_projects;
    std::vector<ProjectDependency> m_dependencies;
    std::vector<std::vector<std::size_t>> m_adjacency; // dependencies per project
    std::vector<std::vector<std::size_t>> m_cycles;
};

// The graph of the project files at these Windows paths, in this order.
DependencyGraph projectDependencyGraph(const std::vector<std::string>& projectPaths);

} // namespace pelorix
