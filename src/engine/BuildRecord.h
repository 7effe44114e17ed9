#pragma once

#include "engine/BuildObserver.h"
#include "engine/CompilerLog.h"
#include "engine/ProjectRow.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pelorix {

class CDFileData;
class RuntimeError;

// What became of one target of a run.
enum class ProjectOutcome {
    NotReached, // the run stopped or was cancelled before it
    Cancelled,  // the run reached it and acted on a cancel there
    Passed,     // recorded 0: the grid shows OK
    Failed,     // recorded a failure code: the grid shows NG
    NotUpdated, // recorded 6: its file could not be updated, the compiler was not started
    Error,      // a run-time error ended the run while it was being built
    Skipped,    // up to date: its last successful build is still good, so it was not compiled
    Missing,    // marked in the list, but its file is missing: it could not be marked for the run
};

struct CompileRecord {
    std::int16_t mode = -1;
    std::int16_t result = 0;
    CompilerLogResult log; // the compiler log as classified; no lines when none was read
};

struct ProjectRecordOfRun {
    std::int32_t buildRow = 0;
    std::string name;
    std::string path;
    std::int16_t ownMode = -1; // the mode the run built it in, as its row shows it
    ProjectOutcome outcome = ProjectOutcome::NotReached;
    std::int16_t result = 0; // the recorded result code (Passed, Failed, NotUpdated)
    std::chrono::duration<double> time{};
    std::vector<CompileRecord> compiles; // in order: the own mode, a rebuild, the own mode again
    std::vector<std::string> buildLog;   // the build-log lines written while it was processed
    std::string error;                   // the run-time error's description (Error)
    std::string upToDate;                // why it was up to date (Skipped)
    // What broke binary compatibility, when a compile in that mode failed for it (see
    // BinaryCompatibility.h); empty otherwise.
    std::vector<std::string> compatibility;

    // What its row's result cell shows after the run: OK for Passed, SKIP for Skipped, NG for a
    // recorded failure.
    RowResult rowResult() const noexcept;
};

// The compile errors of the project's last compile, the one whose outcome it ended with; none when
// it was not compiled or its log named none.
const std::vector<CompileErrorLocation>& lastCompileErrors(const ProjectRecordOfRun& project);

// What the grid's result cell of a project tells beside OK or NG when the project failed: what broke
// binary compatibility, one line each, or else where the first of those compile errors is
// ("FILE(LINE): MESSAGE"); "" when there is neither.
std::string resultCellNote(const ProjectRecordOfRun& project);

// Keeps, for every target of a run, what the run did with it: an observer of the engine that
// reports (a CI report, a summary) read afterwards. Targets the run never reached stay
// NotReached; a run-time error is recorded with runFailed.
class BuildRecord final : public IBuildObserver {
public:
    // The targets are the build rows that name a project, in run order; names and paths come from
    // the project data, so that projects never reached are named too.
    BuildRecord(CDFileData& fileData, const std::vector<std::int32_t>& buildRows);

    void runStarted(std::int32_t targetCount) override;
    void projectStarted(const ObservedProject& project) override;
    void compileStarted(std::int16_t mode) override;
    void compileEnded(std::int16_t result, const CompilerLogResult& log) override;
    void compatibilityExplained(const std::vector<std::string>& lines) override;
    void projectCancelled() override;
    void projectEnded(std::int16_t result) override;
    void projectSkipped(const std::string& reason) override;
    void buildLogLine(const std::string& line) override;
    void runEnded(std::int16_t result) override;

    // A run-time error ended the run: the project it was working on is an Error. An error outside
    // any project (a run refused or stopped before its first project) is the run's own.
    void runFailed(const RuntimeError& error);
    // A project the list marks whose file is missing, which the run therefore left out.
    void addMissing(CDFileData& fileData, std::int32_t row);
    // The description of the error that ended the run outside any project ("" for none).
    const std::string& runError() const noexcept { return m_runError; }

    const std::vector<ProjectRecordOfRun>& projects() const noexcept { return m_projects; }
    // The run's result code (99 when a run-time error ended it); nothing when the run never ran.
    std::optional<std::int16_t> result() const noexcept { return m_result; }
    std::chrono::duration<double> time() const noexcept { return m_runTime; }
    // The targets that did not pass: failed, not updated, cancelled at, never reached, being
    // built when an error ended the run, or missing. An up-to-date project is not one of them.
    std::int32_t failedCount() const noexcept;
    // The run built every target and its result code is 0. A later success does not hide an
    // earlier failure, as the run's result code (the last project's) does.
    bool succeeded() const noexcept;
    // The local time the run started, "YYYY/MM/DD HH:MM:SS" ("" before it did).
    const std::string& startStamp() const noexcept { return m_startStamp; }

private:
    using Clock = std::chrono::steady_clock;
    ProjectRecordOfRun* current();
    void endCurrent(ProjectOutcome outcome);

    std::vector<ProjectRecordOfRun> m_projects;
    std::optional<std::size_t> m_current;
    Clock::time_point m_runStart{};
    Clock::time_point m_projectStart{};
    std::chrono::duration<double> m_runTime{};
    std::optional<std::int16_t> m_result;
    std::string m_startStamp;
    std::string m_runError;
};

} // namespace pelorix
