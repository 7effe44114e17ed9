#pragma once

#include "projectdata/IBuildLog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pelorix {

struct CompilerLogResult;

// One target of a run as the engine reads it from the project data.
struct ObservedProject {
    std::int32_t buildRow = 0;
    std::int32_t position = 0; // 1-based among the run's targets
    std::string name;
    std::string path;
    std::int16_t ownMode = -1;
};

// What a build run tells, project by project, to those who report on it beside the build log (a
// CI report, a progress line). The engine calls these in this order; an observer changes nothing
// the run does.
//
//   runStarted, then for each project it reaches: projectStarted, then either projectCancelled
//   (the run stops there), or projectSkipped (a run of changed projects only), or one
//   compileStarted/compileEnded pair per compile (the own mode, a rebuild, the own mode again),
//   compatibilityExplained for a binary-compatibility failure, and projectEnded; last runEnded. A
//   run-time error leaves the sequence where it happened.
class IBuildObserver {
public:
    virtual ~IBuildObserver() = default;
    virtual void runStarted(std::int32_t /*targetCount*/) {}
    virtual void projectStarted(const ObservedProject& /*project*/) {}
    // A compile in a compatibility mode begins (-1: the project's file keeps its own line).
    virtual void compileStarted(std::int16_t /*mode*/) {}
    // It ended with a project result code; the compiler log as classified, empty when no log
    // was read (an update that failed, a compiler that was not started or did not end).
    virtual void compileEnded(std::int16_t /*result*/, const CompilerLogResult& /*log*/) {}
    // The project failed and one of its compiles in binary compatibility ended with a
    // compatibility message: what broke, as the build log shows it (see BinaryCompatibility.h).
    virtual void compatibilityExplained(const std::vector<std::string>& /*lines*/) {}
    // A cancel was acted on at this project: it was not built and the run ends.
    virtual void projectCancelled() {}
    // The result the run recorded for the project (the grid's OK for 0, NG otherwise).
    virtual void projectEnded(std::int16_t /*result*/) {}
    // The project's last successful build is still good: it was not compiled, and counts as
    // built (the grid's SKIP). Instead of projectEnded; by default it is reported as a success.
    virtual void projectSkipped(const std::string& /*reason*/) { projectEnded(0); }
    // A line the run wrote to the build log.
    virtual void buildLogLine(const std::string& /*line*/) {}
    virtual void runEnded(std::int16_t /*result*/) {}
};

// A build log that hands every line to the observers before its own log gets it.
class ObservedBuildLog final : public IBuildLog {
public:
    ObservedBuildLog(IBuildLog& log, std::vector<IBuildObserver*> observers)
        : m_log(log), m_observers(std::move(observers)) {}
    void appendLine(const std::string& line) override;
    void appendLines(const std::vector<std::string>& lines) override;
    void refresh() override { m_log.refresh(); }

private:
    IBuildLog& m_log;
    std::vector<IBuildObserver*> m_observers;
};

} // namespace pelorix
