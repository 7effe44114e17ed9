#include "engine/BuildTargets.h"

#include "engine/BuildHandOver.h"
#include "engine/BuildWindows.h"
#include "lists/ProjectGroupFile.h"
#include "lists/ProjectListFile.h"
#include "projectdata/CDFileData.h"

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
    CDFileData data;
    data.fClearAllProjectInfo();
    data.fSetProjectFilePathList(path, "ProjectName", "vbp");
    for (const std::int32_t index : data.ProjectIndexCollection())
        paths.push_back(data.fProjectFilePath(index));
    return paths;
}

void markEveryProject(IBuildSettingForm& form, std::int32_t projectCount) {
    for (std::int32_t row = 1; row <= projectCount; ++row)
        form.vsgridProject().TextMatrix(row, form.gridColumnOf(GridColumn::Enable), enabledMarkText());
}

} // namespace pelorix
