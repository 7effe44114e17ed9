#include "engine/JUnitReport.h"

#include "engine/BuildRecord.h"
#include "engine/BuildWindows.h"
#include "formats/XmlText.h"
#include "platform/HostFile.h"
#include "platform/Text.h"

#include <charconv>

namespace pelorix {

namespace {

std::string attr(std::string_view name, std::string_view value) {
    return xmlAttribute(name, value);
}

std::string seconds(std::chrono::duration<double> time) {
    char buffer[32];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, time.count(), std::chars_format::fixed, 3);
    return error == std::errc() ? std::string(buffer, end) : std::string("0.000");
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

std::string modeLabel(std::int16_t mode) {
    const std::string name = compatibleModeName(mode);
    return name.empty() ? "(own line)" : name;
}

// One compile in a few words: its mode, OK or NG with the log's code and the line that set it.
std::string compileSummary(const CompileRecord& compile) {
    std::string text = modeLabel(compile.mode) + ": ";
    if (compile.result == BuildResult::Success)
        return text + "OK";
    const bool logRead = compile.log.decidingLine >= 0;
    text += "NG " + std::to_string(logRead ? compile.log.code : compile.result);
    if (logRead)
        text += " " + compile.log.lines[static_cast<std::size_t>(compile.log.decidingLine)];
    return text;
}

std::string resultMessage(const ProjectRecordOfRun& project) {
    return "result " + std::to_string(project.result) + " (" + resultCodeText(project.result) + ")";
}

// The result and what each compile gave, the rebuild's too, where the last one's first compile
// error is, and what broke binary compatibility: the files compared and the first breaking
// difference.
std::string failureMessage(const ProjectRecordOfRun& project) {
    std::string message = resultMessage(project);
    for (const CompileRecord& compile : project.compiles)
        message += "; " + compileSummary(compile);
    if (const auto& errors = lastCompileErrors(project); !errors.empty())
        message += "; " + compileErrorText(errors.front());
    for (std::size_t i = 0; i < project.compatibility.size() && i < 2; ++i)
        message += "; " + project.compatibility[i];
    return message;
}

// The compiler logs of a project's compiles, each under the line that names its mode, with where
// its compile errors are and the logs it refers to; then what broke binary compatibility.
std::string compilerLogs(const ProjectRecordOfRun& project) {
    std::string text;
    for (const CompileRecord& compile : project.compiles)
        text += "[" + modeLabel(compile.mode) + "] result " + std::to_string(compile.result) + "\n" +
                joinLines(compile.log.lines) + joinLines(compilerLogNotes(compile.log));
    if (!project.compatibility.empty())
        text += "[binary compatibility]\n" + joinLines(project.compatibility);
    return text;
}

// The file and line of a failed project's first compile error, as the attributes that CI servers
// link a failure to its source with.
std::string sourceAttributes(const ProjectRecordOfRun& project) {
    const auto& errors = lastCompileErrors(project);
    if (project.outcome != ProjectOutcome::Failed || errors.empty())
        return {};
    return attr("file", errors.front().file) + attr("line", std::to_string(errors.front().line));
}

struct Counts {
    std::size_t failures = 0;
    std::size_t errors = 0;
    std::size_t skipped = 0;
};

Counts countOutcomes(const BuildRecord& record) {
    Counts counts;
    for (const ProjectRecordOfRun& project : record.projects()) {
        switch (project.outcome) {
        case ProjectOutcome::Failed:
            ++counts.failures;
            break;
        case ProjectOutcome::NotUpdated:
        case ProjectOutcome::Error:
        case ProjectOutcome::Missing:
            ++counts.errors;
            break;
        case ProjectOutcome::NotReached:
        case ProjectOutcome::Cancelled:
        case ProjectOutcome::Skipped:
            ++counts.skipped;
            break;
        case ProjectOutcome::Passed:
            break;
        }
    }
    return counts;
}

std::string totals(const BuildRecord& record) {
    const Counts counts = countOutcomes(record);
    const std::size_t runCase = record.runError().empty() ? 0 : 1;
    return attr("tests", std::to_string(record.projects().size() + runCase)) +
           attr("failures", std::to_string(counts.failures)) +
           attr("errors", std::to_string(counts.errors + runCase)) +
           attr("skipped", std::to_string(counts.skipped)) + attr("time", seconds(record.time()));
}

// Why a target was not built: the run was cancelled at it or before it, or stopped before it.
std::string skipReason(const BuildRecord& record, const ProjectRecordOfRun& project) {
    if (project.outcome == ProjectOutcome::Skipped)
        return "up to date: " + project.upToDate;
    if (project.outcome == ProjectOutcome::Cancelled)
        return "cancelled: the run was cancelled before this project was built";
    if (record.result() == BuildResult::Cancelled)
        return "not built: the run was cancelled before it came to this project";
    return "not built: the run stopped before it came to this project";
}

std::string testCase(const BuildRecord& record, const ProjectRecordOfRun& project) {
    std::string xml = "    <testcase" + attr("name", project.name) + attr("classname", project.path) +
                      attr("time", seconds(project.time)) + sourceAttributes(project) + ">\n";
    switch (project.outcome) {
    case ProjectOutcome::Passed:
        break;
    case ProjectOutcome::Failed:
        xml += "      <failure" + attr("message", failureMessage(project)) +
               attr("type", std::to_string(project.result)) + ">" + xmlText(compilerLogs(project), false) +
               "</failure>\n";
        break;
    case ProjectOutcome::NotUpdated:
        // The build-log lines that say so are the project's output.
        xml += "      <error" + attr("message", resultMessage(project)) +
               attr("type", std::to_string(project.result)) + "/>\n";
        break;
    case ProjectOutcome::Error:
        xml += "      <error" + attr("message", project.error) + attr("type", "run-time error") + "/>\n";
        break;
    case ProjectOutcome::Missing:
        xml += "      <error" + attr("message", "project file not found: " + project.path) +
               attr("type", "missing") + "/>\n";
        break;
    case ProjectOutcome::NotReached:
    case ProjectOutcome::Cancelled:
    case ProjectOutcome::Skipped:
        xml += "      <skipped" + attr("message", skipReason(record, project)) + "/>\n";
    }
    if (!project.buildLog.empty())
        xml += "      <system-out>" + xmlText(joinLines(project.buildLog), false) + "</system-out>\n";
    return xml + "    </testcase>\n";
}

} // namespace

std::string resultCodeText(std::int16_t result) {
    switch (result) {
    case BuildResult::Success:
        return "success";
    case BuildResult::Rebuild:
        return "a rebuild was wanted";
    case BuildResult::Compatibility:
        return "compatibility problem";
    case BuildResult::Cancelled:
        return "cancelled";
    case BuildResult::NotFound:
        return "project or library not found";
    case BuildResult::NotUpdated:
        return "project file not updated";
    case BuildResult::NothingProcessed:
        return "nothing built";
    case BuildResult::NotStarted:
        return "compiler not started";
    case BuildResult::Error:
        return "error";
    case BuildResult::EmptyLog:
        return "empty compiler log";
    default:
        return "unknown result";
    }
}

std::string junitReportXml(const BuildRecord& record, std::string_view suiteName) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<testsuites" + attr("name", "pelorix-cli build") + totals(record) + ">\n";
    std::string timestamp = replaceAll(record.startStamp(), "/", "-");
    if (timestamp.size() > 10)
        timestamp[10] = 'T';
    xml += "  <testsuite" + attr("name", suiteName) + totals(record) +
           (timestamp.empty() ? std::string() : attr("timestamp", timestamp)) + ">\n";
    if (const auto result = record.result())
        xml += "    <properties>\n      <property" + attr("name", "result") +
               attr("value", std::to_string(*result)) + "/>\n    </properties>\n";
    // An error that ended the run outside any project is a case of its own, so that a report of a
    // run refused or stopped before its first project never reads as a success.
    if (!record.runError().empty())
        xml += "    <testcase" + attr("name", "(run)") + attr("classname", suiteName) +
               attr("time", "0.000") + ">\n      <error" + attr("message", record.runError()) +
               attr("type", "run-time error") + "/>\n    </testcase>\n";
    for (const ProjectRecordOfRun& project : record.projects())
        xml += testCase(record, project);
    return xml + "  </testsuite>\n</testsuites>\n";
}

std::int32_t writeJUnitReport(const BuildRecord& record, std::string_view suiteName,
                              const std::string& hostPath) {
    return writeHostFileAtomically(hostPath, junitReportXml(record, suiteName));
}

} // namespace pelorix
