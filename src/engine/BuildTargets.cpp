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

void markEveryProject(IBuildSettingForm& form, std::int32_t projectCount) {
    for (std::int32_t row = 1; row <= projectCount; ++row)
        setRowMark(form.vsgridProject(), row, BuildMark::Target);
}

} // namespace pelorix
