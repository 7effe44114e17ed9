#include "engine/BuildTargets.h"

#include "engine/BuildHandOver.h"
#include "engine/BuildWindows.h"
#include "engine/CompilerLog.h"
#include "engine/ProjectGrid.h"
#include "lists/ProjectGroupFile.h"
#include "lists/ProjectListFile.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/CDFileData.h"
#include "projectdata/ProjectDependencies.h"

namespace pelorix {

namespace {

// Loads the list or group into the project data and fills the grid; marks nothing.
LoadedTargets loadListOrGroup(CDFileData& fileData, IBuildSettingForm& form, std::string_view path) {
    LoadedTargets loaded;
    if (isProjectGroupPath(path)) {
        const ProjectGroup projects = readProjectGroup(path);
        loaded.notes = describeGroupProblems(projects);
        loaded.projectCount = loadProjectGroup(fileData, projects);
    } else {
        loaded.listPath = std::string(path);
        requireProjectListFile(path);
        loaded.projectCount = loadProjectList(fileData, path);
    }
    fillProjectGrid(form, fileData);
    return loaded;
}

std::string fileNameOf(std::string_view path) {
    const auto slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool selects(const ListedProject& project, std::string_view nameOrPath, bool byPath) {
    if (byPath)
        return equalsIgnoreCase(project.path, nameOrPath);
    const std::string file = fileNameOf(project.path);
    const auto dot = file.rfind('.');
    return equalsIgnoreCase(project.name, nameOrPath) || equalsIgnoreCase(file, nameOrPath) ||
           (dot != std::string::npos && equalsIgnoreCase(std::string_view(file).substr(0, dot), nameOrPath));
}

// "A (C:\src\A.vbp), B (...)": at most the first 20, then how many more.
std::string candidateText(const std::vector<ListedProject>& projects,
                          const std::vector<std::size_t>& positions) {
    constexpr std::size_t Shown = 20;
    std::string text;
    for (std::size_t k = 0; k < positions.size() && k < Shown; ++k) {
        const ListedProject& project = projects[positions[k]];
        text += (k == 0 ? "" : ", ") + project.name + " (" + project.path + ")";
    }
    if (positions.size() > Shown)
        text += " and " + std::to_string(positions.size() - Shown) + " more";
    return text;
}

} // namespace

LoadedTargets loadBuildTargets(CDFileData& fileData, IBuildSettingForm& form, std::string_view path,
                               bool all) {
    LoadedTargets loaded = loadListOrGroup(fileData, form, path);
    if (isProjectGroupPath(path) || all) {
        markEveryProject(form, loaded.projectCount);
    } else {
        const std::vector<std::int32_t> enableRows = readListBuildState(path).enableRows;
        loaded.missingRows = missingMarkedRows(form, enableRows);
        restoreBuildMarks(form, enableRows);
    }
    return loaded;
}

std::size_t selectListedProject(const std::vector<ListedProject>& projects, std::string_view nameOrPath) {
    const bool byPath = nameOrPath.find_first_of("\\/") != std::string_view::npos;
    std::vector<std::size_t> chosen;
    for (std::size_t k = 0; k < projects.size(); ++k)
        if (selects(projects[k], nameOrPath, byPath))
            chosen.push_back(k);
    if (chosen.size() == 1)
        return chosen.front();
    const std::string asked = std::string(byPath ? "the path " : "the name ") + std::string(nameOrPath);
    if (chosen.empty()) {
        std::vector<std::size_t> every(projects.size());
        for (std::size_t k = 0; k < every.size(); ++k)
            every[k] = k;
        throw RuntimeError(BuildResult::Error,
                           "no project of the list has " + asked +
                               (projects.empty() ? "; the list has no project"
                                                 : "; its projects: " + candidateText(projects, every)));
    }
    throw RuntimeError(BuildResult::Error, std::to_string(chosen.size()) + " projects of the list have " +
                                               asked + ": " + candidateText(projects, chosen) +
                                               "; name one by its path");
}

LoadedTargets loadBuildTargetOf(CDFileData& fileData, IBuildSettingForm& form, std::string_view path,
                                std::string_view nameOrPath) {
    LoadedTargets loaded = loadListOrGroup(fileData, form, path);
    std::vector<ListedProject> projects;
    for (std::int32_t row = 1; row <= loaded.projectCount; ++row) {
        const std::int32_t index = fileData.fGetProjectArrayIndex(row);
        projects.push_back({fileData.fProjectFilePath(index), fileData.fGetProjectName(index)});
    }
    const auto row = static_cast<std::int32_t>(selectListedProject(projects, nameOrPath)) + 1;
    setRowMark(form.vsgridProject(), row, BuildMark::Target);
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
