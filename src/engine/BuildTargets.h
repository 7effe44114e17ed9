#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

class CDFileData;
class IBuildSettingForm;

// What the command line builds or checks: the projects of a project list file or of a project
// group (".vbg"), loaded into the project data and the grid with the build targets marked.

struct LoadedTargets {
    // The list file a run reports to and keeps its build state in; "" for a group, which keeps
    // none.
    std::string listPath;
    // The group's lines left out and its projects whose file is missing ("line N: ..."); nothing
    // for a list.
    std::vector<std::string> notes;
    std::int32_t projectCount = 0;
    // The rows "EnableState" marks whose project file is missing: they cannot be marked, so the
    // run skips them (nothing for a group or with all, where every project is built).
    std::vector<std::int32_t> missingRows;
};

// Loads the list or group at a Windows path into the project data, fills the grid and marks the
// targets: every project of a group and, with all, of a list (a missing project too: its build
// then fails and says so), else the rows the list's "EnableState" marks.
LoadedTargets loadBuildTargets(CDFileData& fileData, IBuildSettingForm& form, std::string_view path,
                               bool all);

// A project of a list or group as "--project" selects it: its file and its name ("Name=").
struct ListedProject {
    std::string path; // Windows path
    std::string name;
};

// The position of the one project a name or path selects. A path (an argument holding "\\" or
// "/") is compared with each project's file, without regard to case; anything else with each
// project's name, its file's name and that name without its extension. Raises a run-time error
// naming the candidates when no project or more than one is selected.
std::size_t selectListedProject(const std::vector<ListedProject>& projects, std::string_view nameOrPath);

// Loads the list or group as loadBuildTargets does and marks one project alone, the one a name or
// path selects (see selectListedProject), whatever the list's marks say. A selected project whose
// file is missing is marked too: its build fails and says so.
LoadedTargets loadBuildTargetOf(CDFileData& fileData, IBuildSettingForm& form, std::string_view path,
                                std::string_view nameOrPath);

// The project files of a list or a group at a Windows path, in list (or group) order, as a run
// would load them. Raises what loading raises (a missing or unreadable file, a file that is no
// list).
std::vector<std::string> listedProjectPaths(std::string_view path);

// Sorts the listed projects into build order (see ProjectDependencies.h): the project data's
// rows and the grid's rows are put in that order and every build mark moves with its project.
// Returns the new row of each old row (element r - 1 for row r); nothing, and nothing changed,
// when the list is in that order already.
std::vector<std::int32_t> sortIntoBuildOrder(IBuildSettingForm& form, CDFileData& fileData);

// Puts the target mark into every data row that shows a project.
void markEveryProject(IBuildSettingForm& form, std::int32_t projectCount);

} // namespace pelorix
