#include "engine/BuildTargets.h"

#include "engine/BuildHandOver.h"
#include "engine/BuildWindows.h"
#include "lists/ProjectGroupFile.h"
#include "lists/ProjectListFile.h"
#include "projectdata/CDFileData.h"
#include "projectdata/ProjectDependencies.h"

namespace pelorix {

LoadedTargets loadBuildTargets(CDFileData& fileData, IBuildSettingForm& form, std::string_view path,
                               bool all) {
    LoadedTargets loaded;
    const bool group = isProjectGroupPath(path);
    if (group) {
        const ProjectGroup projects = readProjectGroup(path);
        loaded.notes = describeGroupProblems(projects);
        loaded.projectCount = loadProjectGroup(fileData, projects);
    } else {
        loaded.listPath = std::string(path);
        requireProjectListFile(path);
        loaded.projectCount = loadProjectList(fileData, path);
    }
    fillProjectGrid(form, fileData);
    if (group || all) {
        markEveryProject(form, loaded.projectCount);
    } else {
        const std::vector<std::int32_t> enableRows = readListBuildState(path).enableRows;
        loaded.missingRows = missingMarkedRows(form, enableRows);
        restoreBuildMarks(form, enableRows);
    }
    return loaded;
}

std::vector<std::string> listedProjectPaths(std::string_view path) {
    std::vector<std::string> paths;
    if (isProjectGroupPath(path)) {
        for (const GroupProject& project : readProjectGroup(path).projects)
            paths.push_back(project.path);
        return paths;
    }
    requireProjectListFile(path); // a file that is no list is named, not taken for an empty one
    CDFileData data;
    data.fClearAllProjectInfo();
    data.fSetProjectFilePathList(path, "ProjectName", "vbp");
    for (const std::int32_t index : data.ProjectIndexCollection())
        paths.push_back(data.fProjectFilePath(index));
    return paths;
}

std::vector<std::int32_t> sortIntoBuildOrder(IBuildSettingForm& form, CDFileData& fileData) {
    std::vector<std::string> paths;
    for (const std::int32_t index : fileData.ProjectIndexCollection())
        paths.push_back(fileData.fProjectFilePath(index));
    const std::vector<std::size_t> order = projectDependencyGraph(paths).buildOrder();
    std::vector<std::int32_t> newRow(order.size());
    bool moved = false;
    for (std::size_t k = 0; k < order.size(); ++k) {
        newRow[order[k]] = static_cast<std::int32_t>(k) + 1;
        moved = moved || order[k] != k;
    }
    if (!moved)
        return {};
    std::vector<std::int32_t> marks;
    for (const std::int32_t row : markedRows(form))
        marks.push_back(newRow[static_cast<std::size_t>(row) - 1]);
    // A mode chosen in the grid reaches the project data only when a build starts: it moves too.
    IProjectGrid& grid = form.vsgridProject();
    const std::int32_t modeColumn = form.gridColumnOf(GridColumn::Compatible);
    std::vector<std::string> modes;
    for (std::size_t row = 1; row <= order.size(); ++row)
        modes.push_back(grid.TextMatrix(static_cast<std::int32_t>(row), modeColumn));
    fileData.reorderRows(order);
    fillProjectGrid(form, fileData);
    for (std::size_t k = 0; k < order.size(); ++k)
        grid.TextMatrix(static_cast<std::int32_t>(k) + 1, modeColumn, modes[order[k]]);
    restoreBuildMarks(form, marks);
    return newRow;
}

void markEveryProject(IBuildSettingForm& form, std::int32_t projectCount) {
    for (std::int32_t row = 1; row <= projectCount; ++row)
        setRowMark(form.vsgridProject(), row, BuildMark::Target);
}

} // namespace pelorix
