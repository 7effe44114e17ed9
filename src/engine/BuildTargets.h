#pragma once

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
