#include "engine/BuildRecord.h"

#include "platform/RuntimeError.h"
#include "platform/TimeFormat.h"
#include "projectdata/CDFileData.h"

#include <algorithm>

namespace pelorix {

BuildRecord::BuildRecord(CDFileData& fileData, const std::vector<std::int32_t>& buildRows) {
    for (const std::int32_t row : buildRows) {
        if (row < 1)
            continue; // the marker of a run without targets
        const std::int32_t index = fileData.fGetProjectArrayIndex(row);
        ProjectRecordOfRun project;
        project.buildRow = row;
        project.name = fileData.fGetProjectName(index);
        project.path = fileData.fProjectFilePath(index);
        m_projects.push_back(std::move(project));
    }
}

const std::vector<CompileErrorLocation>& lastCompileErrors(const ProjectRecordOfRun& project) {
    static const std::vector<CompileErrorLocation> none;
    return project.compiles.empty() ? none : project.compiles.back().log.compileErrors;
}

std::string resultCellNote(const ProjectRecordOfRun& project) {
    if (project.outcome != ProjectOutcome::Failed)
        return {};
    std::string note;
    for (const std::string& line : project.compatibility)
        note += (note.empty() ? "" : "\n") + line;
    const auto& errors = lastCompileErrors(project);
    return !note.empty() || errors.empty() ? note : compileErrorText(errors.front());
}

ProjectRecordOfRun* BuildRecord::current() {
    return m_current ? &m_projects[*m_current] : nullptr;
}

void BuildRecord::endCurrent(ProjectOutcome outcome) {
    if (ProjectRecordOfRun* project = current()) {
        project->outcome = outcome;
        project->time = Clock::now() - m_projectStart;
    }
    m_current.reset();
}

void BuildRecord::runStarted(std::int32_t /*targetCount*/) {
    m_runStart = Clock::now();
    m_startStamp = timeStamp();
}

void BuildRecord::projectStarted(const ObservedProject& project) {
    m_current.reset();
    for (std::size_t i = 0; i < m_projects.size(); ++i) {
        if (m_projects[i].buildRow != project.buildRow)
            continue;
        m_current = i;
        // The name the run read when it came to the project, which is what its log lines say.
        m_projects[i].name = project.name;
        m_projects[i].path = project.path;
        m_projects[i].ownMode = project.ownMode;
        break;
    }
    m_projectStart = Clock::now();
}

void BuildRecord::compileStarted(std::int16_t mode) {
    if (ProjectRecordOfRun* project = current())
        project->compiles.push_back({mode, 0, {}});
}

void BuildRecord::compileEnded(std::int16_t result, const CompilerLogResult& log) {
    ProjectRecordOfRun* project = current();
    if (project == nullptr || project->compiles.empty())
        return;
    project->compiles.back().result = result;
    project->compiles.back().log = log;
}

void BuildRecord::compatibilityExplained(const std::vector<std::string>& lines) {
    if (ProjectRecordOfRun* project = current())
        project->compatibility = lines;
}

void BuildRecord::projectCancelled() {
    endCurrent(ProjectOutcome::Cancelled);
}

void BuildRecord::projectEnded(std::int16_t result) {
    if (ProjectRecordOfRun* project = current())
        project->result = result;
    if (result == BuildResult::Success)
        endCurrent(ProjectOutcome::Passed);
    else if (result == BuildResult::NotUpdated)
        endCurrent(ProjectOutcome::NotUpdated);
    else
        endCurrent(ProjectOutcome::Failed);
}

void BuildRecord::projectSkipped(const std::string& reason) {
    if (ProjectRecordOfRun* project = current())
        project->upToDate = reason;
    endCurrent(ProjectOutcome::Skipped);
}

void BuildRecord::buildLogLine(const std::string& line) {
    if (ProjectRecordOfRun* project = current())
        project->buildLog.push_back(line);
}

void BuildRecord::runEnded(std::int16_t result) {
    m_result = result;
    m_runTime = Clock::now() - m_runStart;
}

void BuildRecord::runFailed(const RuntimeError& error) {
    if (ProjectRecordOfRun* project = current())
        project->error = error.description();
    else
        m_runError = error.description();
    endCurrent(ProjectOutcome::Error);
    m_result = BuildResult::Error; // the code the front ends report for a run that stopped
    if (!m_startStamp.empty())
        m_runTime = Clock::now() - m_runStart;
}

void BuildRecord::addMissing(CDFileData& fileData, std::int32_t row) {
    const std::int32_t index = fileData.fGetProjectArrayIndex(row);
    ProjectRecordOfRun project;
    project.buildRow = row;
    project.name = fileData.fGetProjectName(index);
    project.path = fileData.fProjectFilePath(index);
    project.outcome = ProjectOutcome::Missing;
    m_projects.push_back(std::move(project));
}

RowResult ProjectRecordOfRun::rowResult() const noexcept {
    switch (outcome) {
    case ProjectOutcome::Passed:
        return RowResult::OK;
    case ProjectOutcome::Skipped:
        return RowResult::Skip;
    case ProjectOutcome::Failed:
    case ProjectOutcome::NotUpdated:
        return RowResult::NG;
    default:
        return RowResult::None;
    }
}

std::int32_t BuildRecord::failedCount() const noexcept {
    return static_cast<std::int32_t>(
        std::count_if(m_projects.begin(), m_projects.end(), [](const auto& project) {
            // An up-to-date project counts as built.
            return project.outcome != ProjectOutcome::Passed && project.outcome != ProjectOutcome::Skipped;
        }));
}

bool BuildRecord::succeeded() const noexcept {
    return m_result == BuildResult::Success && failedCount() == 0;
}

} // namespace pelorix
