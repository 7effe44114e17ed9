#include "cli/Commands.h"
#include "engine/BuildHandOver.h"
#include "engine/BuildLock.h"
#include "engine/BuildRecord.h"
#include "engine/BuildTargets.h"
#include "engine/BuildWindows.h"
#include "engine/CompilerLog.h"
#include "engine/JUnitReport.h"
#include "engine/ProgressLine.h"
#include "lists/ProjectGroupFile.h"
#include "platform/CFWin32API.h"
#include "platform/Console.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/FileKind.h"
#include "platform/ProgramFolderLock.h"
#include "platform/RuntimeError.h"
#include "platform/StopSignals.h"
#include "platform/Terminal.h"
#include "platform/Text.h"
#include "platform/TimeFormat.h"
#include "platform/Win32Error.h"
#include "projectdata/CDFileData.h"
#include "projectdata/IBuildLog.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <ostream>

namespace pelorix::cli {

namespace {

constexpr std::string_view buildUsage = "Usage: pelorix-cli build LIST.ini|GROUP.vbg [--all | --project "
                                        "NAME|PATH] [--changed] [--yes] [--junit FILE]\n"
                                        "       [--wait]\n";

constexpr std::string_view buildHelp =
    "Usage: pelorix-cli build LIST.ini|GROUP.vbg [--all | --project NAME|PATH] [--changed] [--yes] [--junit "
    "FILE]\n"
    "       [--wait]\n"
    "\n"
    "Builds the projects of a project list file with the settings of Pelorix.ini, as the\n"
    "window program's build command does: each project file is brought up to date, the\n"
    "compiler is run (the .vbp shell command of {registry}), and its\n"
    "log is read (the Japanese or the English compiler's texts). Prints every build-log line\n"
    "as it comes, then one line per built project: OK, NG or SKIP, a TAB, the compatibility\n"
    "mode, a TAB, the project file path; under an NG line one line per compile error its\n"
    "log names: a TAB, the source file, a TAB, the line, a TAB, the message; under the NG\n"
    "line of a binary-compatible compile that ended with a compatibility message, what\n"
    "broke, a TAB and one line each: the compatible file (CompatibleEXE32) against the\n"
    "project's output (the rebuilt output when a rebuild succeeded), then at most 5 breaking\n"
    "differences ('IShape.Area: removed') and how many more; and last result= with the\n"
    "run's result code:\n"
    "  0 success      1 a rebuild was wanted   2 compatibility problem\n"
    "  4 cancelled    5 project or library not found   6 project file not updated\n"
    "  7 nothing built   9 compiler not started (Execute=0)   99 error   -1 empty log\n"
    "\n"
    "  --all   build every project of the list; without it, the projects the list's\n"
    "          [Build] EnableState marks (rows of missing project files are never marked)\n"
    "  --project NAME|PATH\n"
    "          build one project of the list or group alone, whatever the marks say, as the\n"
    "          list and the settings build it (its references brought up to date, its mode,\n"
    "          the rebuild rule, the JUnit report): the one whose file is PATH (a value with\n"
    "          \\ or /, compared without regard to case), else the one whose name (Name=),\n"
    "          file name, or file name without .vbp is NAME. None or more than one is an\n"
    "          error naming the candidates. One job of a CI pipeline builds its project so\n"
    "          (see pelorix-cli pipeline).\n"
    "  --changed\n"
    "          build only what changed: a target whose last successful build is still\n"
    "          good is not compiled and is listed as SKIP (its mark is kept as a built\n"
    "          project's is). It is good when what the compiler read for it is as that\n"
    "          build read it: its project file (as the reference update would leave it),\n"
    "          every source file it lists (forms with their .frx, modules, classes,\n"
    "          controls, pages, designers with their .dsx, the resource file), the\n"
    "          registrations of its references and components and their files, the\n"
    "          output and compatible file of every project it depends on, the compiler\n"
    "          (its command and its program's bytes), its compatibility mode and\n"
    "          compatible file, and its output file; and no target it depends on is\n"
    "          built in this run, wherever the list puts it. What a build reads is taken\n"
    "          before the compiler starts; what changes while it runs is built again.\n"
    "          It is kept as content hashes in LIST.ini.buildstate (GROUP.vbg.buildstate)\n"
    "          beside the list, replaced in one step (a link there is replaced, not\n"
    "          followed); without a usable one (missing, damaged, of another list or\n"
    "          format, a folder) every target is built.\n"
    "  --yes   answer Yes where the window would ask (rebuild after a failure); without\n"
    "          it every question is answered No. Questions are printed on standard error.\n"
    "  --junit FILE\n"
    "          also write a JUnit XML report of the run to FILE (replaced in one step at\n"
    "          the end of the run, also when the run fails): one test suite named after\n"
    "          the list with the property result, one test case per target project (name:\n"
    "          the project name, class name: its file path, time: its build time); NG is a\n"
    "          failure with the compiler's message and log, a project file that could not\n"
    "          be updated or is missing an error, a project the run never built (after a\n"
    "          stop or a cancel) skipped. A report that cannot be written makes the exit status 1.\n"
    "          A run refused or stopped before its first project (the lock held, the\n"
    "          list unreadable) writes a report whose one case is the run's error. A\n"
    "          path that is one of the run's files (the list or group, a project file,\n"
    "          Pelorix.ini, Pelorix.log, Pelorix.lock: compared as files, however the\n"
    "          path is spelt) or that is no regular file (a folder, a device, a FIFO)\n"
    "          is refused before anything is built, with exit status 1.\n"
    "  --wait  wait for another build in the same program folder to end (a message on\n"
    "          standard error says so) instead of refusing\n"
    "\n"
    "{program-folder}"
    "One build at a time per program folder: the compiler logs are files of the program\n"
    "folder, so a second build there (of this command or of the window program) would read\n"
    "the other's logs. A build holds the lock file Pelorix.lock in the program folder for\n"
    "its whole run; without --wait a build that finds it held builds nothing, names the\n"
    "folder on standard error and exits with 1 (no result= line), as it does when the\n"
    "lock file cannot be opened in a usable program folder (naming the lock file and\n"
    "what it is, when it is a folder or a symbolic link); the window program follows the\n"
    "same rule. Every compiler a build starts is recorded in Pelorix.lock until the build\n"
    "has collected it: one a build left running (the window program's, past\n"
    "ProcessWaitLimit, or the compiler of a build that was killed outright) keeps the lock\n"
    "held until it ends, and the message names its process. A Linux build and a Windows\n"
    "build under Wine of one program folder see each other's lock.\n"
    "\n"
    "A project the list's EnableState marks but whose file is missing cannot be built: it\n"
    "is listed among the results as MISSING, a TAB, a TAB and its path, and the exit status\n"
    "is 1 (result= stays the run's). A list file, project file or setting that stops the\n"
    "run{run-registry} and a program folder that cannot take\n"
    "the compiler logs are named in the build log and on standard error; a run that was\n"
    "stopped ends with result=99.\n"
    "\n"
    "When standard error is {terminal}, one line on it shows the progress of the run and\n"
    "is rewritten in place: the projects done of the total, the project being built and\n"
    "its mode, the time since the run began. Elsewhere (a pipe, a CI log) nothing is\n"
    "shown.\n"
    "\n"
    "A project group (GROUP.vbg, as the development environment saves one) is built as a\n"
    "list in which every project is marked, in group order; no list file is read or\n"
    "written. Lines of the group that are left out (a file that is no .vbp project file\n"
    "among them) and projects whose file is missing are reported on standard error first\n"
    "(a missing project is built and fails).\n"
    "\n"
    "A list file without a [ProjectName] section is no list: the run stops naming it.\n"
    "A list, group or project file that is no regular file (a FIFO, a pipe, a device) is\n"
    "refused, naming it, without waiting for it. A run that builds nothing (no project\n"
    "marked, an empty list) says so on standard error.\n"
    "\n"
    "Settings read from Pelorix.ini, section [Build]: LogWaitTime (ms, default 200),\n"
    "ReBuildMode (1), Extension (.vbp), ShellCommand (shell\\open\\command), Execute (1),\n"
    "ProcessWaitTime (ms, 1000), BufferSize (1024000), RebuildHideConfirm (1: rebuild a\n"
    "failed project without asking), RebuildCompatibleMode (0, 1 or 2: the mode of\n"
    "rebuilds), and two bounds:\n"
    "  LogWaitLimit      ms the compiler's log may take to appear after the compiler has\n"
    "                    ended (default 30000; 0: no bound); then the project ends with 99\n"
    "  ProcessWaitLimit  ms a compiler may run before it is ended with the processes it\n"
    "                    started and the project ends with 99 (default 600000; real\n"
    "                    time, whatever ProcessWaitTime says, 0 and negative included)\n"
    "Section [Option]: NotAfterBuildTargetOff, UpdateComponentReference (\"1\" = on).\n"
    "\n"
    "{compiler-process} Its log is read\n"
    "as it comes: of a huge log the build log shows the first 1000 lines (1 MiB at most),\n"
    "the line that decided the result and the last 50 lines, with a line saying how many\n"
    "lines and bytes were left out; a line longer than 16 KiB is cut, saying its size.\n"
    "Control characters of every printed line are written as spaces.\n"
    "\n"
    "{stop-events}\n"
    "\n"
    "Exit status: 0 when every target project was built (OK) and the result code is 0;\n"
    "1 when any project ended NG or MISSING or was not built because the run stopped,\n"
    "whatever the last project's code, and on an error; 2 for a usage error; {stop-status}.\n";

// The build log of the command line: each line is printed as it comes, in place of the progress
// line when there is one, its control characters as spaces.
class PrintingBuildLog final : public IBuildLog {
public:
    PrintingBuildLog(std::ostream& out, ProgressLine* progress) : m_out(out), m_progress(progress) {}
    void appendLine(const std::string& line) override {
        if (m_progress != nullptr)
            m_progress->clear();
        m_out << withoutControlCharacters(line) << '\n' << std::flush;
        if (m_progress != nullptr)
            m_progress->draw();
    }
    void appendLines(const std::vector<std::string>& lines) override {
        for (const auto& line : lines)
            if (!line.empty())
                appendLine(line);
    }

private:
    std::ostream& m_out;
    ProgressLine* m_progress;
};

// The command line's event pump: the progress line's, and the stop signals. A signal received
// becomes the run's stop request at the next round of events, so that the run ends the compiler
// and finishes as after a failed project; the build log says which signal stopped it.
class StopWatchingPump final : public IEventPump {
public:
    StopWatchingPump(IEventPump& inner, const StopSignals& signals, IBuildLog& log)
        : m_inner(inner), m_signals(signals), m_log(log) {}
    void processEvents() override {
        m_inner.processEvents();
        noteStop();
    }
    // Takes in a signal received since the last look; the signal that stopped the run, 0 for none.
    int noteStop() {
        if (m_signal == 0 && m_signals.received() != 0) {
            m_signal = m_signals.received();
            m_stop = true;
            m_log.appendLine(timeStamp() + " " + stopSignalLogText(StopSignals::name(m_signal)));
        }
        return m_signal;
    }
    const bool& stopRequest() const noexcept { return m_stop; }

private:
    IEventPump& m_inner;
    const StopSignals& m_signals;
    IBuildLog& m_log;
    bool m_stop = false;
    int m_signal = 0;
};

struct BuildOptions {
    std::string listPath;
    bool all = false;
    std::string project; // --project: a name, or a Windows path; "" for none
    bool changed = false;
    bool yes = false;
    std::string junitPath; // a host or Windows path; "" for no report
    bool wait = false;
};

// Writes the run's JUnit report; false (after saying why) when it cannot be written.
bool writeReport(const BuildRecord& record, const BuildOptions& options, std::ostream& err) {
    const std::string host = hostPathOf(windowsPathArgument(options.junitPath));
    const std::int32_t code =
        host.empty() ? win32::PathNotFound : writeJUnitReport(record, options.listPath, host);
    if (code == 0)
        return true;
    err << "pelorix-cli build: cannot write the JUnit report " << options.junitPath << ": "
        << win32::systemMessage(code) << " (" << code << ")\n";
    return false;
}

// A run that ends before its first project (refused, or its list unreadable) still replaces the
// report of the run before it: the run's error is the report's one case.
void writeRunErrorReport(const BuildOptions& options, const RuntimeError& error, std::ostream& err) {
    if (options.junitPath.empty())
        return;
    CDFileData noProjects;
    BuildRecord record(noProjects, {});
    record.runFailed(error);
    writeReport(record, options, err);
}

// A file the run reads or keeps, which a report written over it would destroy.
using RunFile = ReportGuardedFile;

// The files of the run known before its list is read: the list (or group), the settings file, the
// error log and the build lock.
std::vector<RunFile> runFiles(const BuildOptions& options) {
    const std::string folder = programFolderHost();
    return {{isProjectGroupPath(options.listPath) ? "the project group" : "the project list",
             hostPathOf(options.listPath)},
            {"the settings file", folder + "/Pelorix.ini"},
            {"the error log", folder + "/Pelorix.log"},
            {"the build lock", folder + "/" + std::string(ProgramFolderLock::FileName)}};
}

std::optional<std::string> reportPathProblem(const BuildOptions& options, const std::vector<RunFile>& files) {
    return cli::reportPathProblem(options.junitPath, files);
}

// The project files of the loaded list, as files a report must not replace.
std::vector<RunFile> projectFiles(CDFileData& data) {
    std::vector<RunFile> files;
    for (const std::string& path : data.ProjectFilePathList())
        if (!path.empty())
            files.push_back({"the project file", hostPathOf(path)});
    return files;
}

// Questions go to standard error with the answer the command gives.
void reportQuestions(AnswerMessageBox& box, std::ostream& err, bool yes, ProgressLine* progress) {
    box.onShow([&err, yes, progress](const AnswerMessageBox::Shown& shown) {
        if (shown.buttons != MsgButtons::YesNo)
            return;
        if (progress != nullptr)
            progress->clear();
        err << "? " << shown.title << ": " << withoutControlCharacters(replaceAll(shown.text, "\r\n", " "))
            << " -> " << (yes ? "Yes" : "No") << '\n';
    });
}

// One line per project the run built or found up to date (OK, NG or SKIP, the mode, the path; NG
// also for the project a run-time error stopped the run at;
// under NG one indented line per compile error of its last compile: a TAB, the file, a TAB, the
// line, a TAB, the message; then a TAB and each line of what broke binary compatibility), then one
// per marked project whose file is missing (MISSING, no mode, the path).
void printResults(const BuildRecord& record, std::ostream& out) {
    for (const ProjectRecordOfRun& project : record.projects()) {
        const bool stoppedAt = project.outcome == ProjectOutcome::Error;
        if (const RowResult result = stoppedAt ? RowResult::NG : project.rowResult();
            result != RowResult::None) {
            out << rowResultText(result) << '\t' << compatibleModeName(project.ownMode) << '\t'
                << withoutControlCharacters(project.path) << '\n';
            if (result == RowResult::NG) {
                for (const CompileErrorLocation& error : lastCompileErrors(project))
                    out << '\t' << withoutControlCharacters(error.file) << '\t' << error.line << '\t'
                        << withoutControlCharacters(error.message) << '\n';
                for (const std::string& line : project.compatibility)
                    out << '\t' << withoutControlCharacters(line) << '\n';
            }
        } else if (project.outcome == ProjectOutcome::Missing) {
            out << "MISSING\t\t" << withoutControlCharacters(project.path) << '\n';
        }
    }
}

// The list or group loaded, its targets marked. A file that cannot be read stops the command
// before anything is built; its cause is printed as a build-log line.
LoadedTargets loadTargets(const BuildOptions& options, CDFileData& data, IBuildSettingForm& form,
                          std::ostream& out) {
    try {
        if (!options.project.empty())
            return loadBuildTargetOf(data, form, options.listPath, options.project);
        return loadBuildTargets(data, form, options.listPath, options.all);
    } catch (const RuntimeError& e) {
        out << timeStamp() << ' ' << withoutControlCharacters(e.description()) << '\n';
        throw;
    }
}

// The targets handed over to a run; a run that builds nothing says so on standard error.
std::vector<std::int32_t> handOverTargets(const BuildOptions& options, const LoadedTargets& loaded,
                                          CDFileData& data, HeadlessBuildSettingForm& form,
                                          const WindowOptions& windowOptions, std::ostream& err) {
    std::vector<std::int32_t> buildRows =
        handOverBuildTargets(form, data, windowOptions.updateComponentReference);
    if (std::none_of(buildRows.begin(), buildRows.end(), [](std::int32_t row) { return row >= 1; }))
        err << "pelorix-cli build: " << withoutControlCharacters(options.listPath) << ": "
            << (loaded.projectCount == 0 ? "the list has no project; nothing to build"
                                         : "no project is marked for building (use --all to build every one)")
            << '\n';
    return buildRows;
}

// A progress line only where a person watches: the process's own standard error on a terminal (a
// console on Windows).
std::optional<ProgressLine> progressLineFor(std::ostream& err) {
    std::optional<ProgressLine> progress;
    if (&err == &standardError() && standardErrorIsTerminal())
        progress.emplace(err, standardErrorColumns(), std::chrono::steady_clock::now,
                         standardErrorTakesEscapes() ? ProgressLine::Erase::Escape
                                                     : ProgressLine::Erase::Blanks);
    return progress;
}

// A run-time error ended the run: the projects it reached are listed all the same (the one it
// stopped at as NG), and the report says so.
void reportRunError(BuildRecord& record, CDFileData& data, const LoadedTargets& loaded,
                    const BuildOptions& options, const RuntimeError& error, std::ostream& out,
                    std::ostream& err) {
    record.runFailed(error);
    for (const std::int32_t row : loaded.missingRows)
        record.addMissing(data, row);
    printResults(record, out);
    if (!options.junitPath.empty())
        writeReport(record, options, err);
}

// The end of a run that was not stopped by an error: the result lines, the report, and the exit
// status (a stop signal's own when one stopped it).
int finishRun(BuildRecord& record, CDFileData& data, const LoadedTargets& loaded, const BuildOptions& options,
              std::int32_t result, int stoppedBy, std::ostream& out, std::ostream& err) {
    for (const std::int32_t row : loaded.missingRows)
        record.addMissing(data, row);
    printResults(record, out);
    out << "result=" << result << '\n' << std::flush;
    const bool reported = options.junitPath.empty() || writeReport(record, options, err);
    if (stoppedBy != 0) {
        err << "pelorix-cli build: stopped by " << StopSignals::name(stoppedBy) << '\n';
        return StopSignals::exitStatus(stoppedBy);
    }
    // Every target counts, not only the last one the run's result code stands for.
    return record.succeeded() && reported ? ExitOk : ExitFailure;
}

int build(const BuildOptions& options, const StopSignals& signals, std::ostream& out, std::ostream& err) {
    CFWin32API api;
    CDFileData data;
    HeadlessBuildSettingForm form;
    LoadedTargets loaded;
    try {
        loaded = loadTargets(options, data, form, out);
    } catch (const RuntimeError& e) {
        writeRunErrorReport(options, e, err);
        throw;
    }
    for (const std::string& note : loaded.notes)
        err << "pelorix-cli build: " << options.listPath << ": " << note << '\n';
    if (!options.junitPath.empty()) {
        if (const auto problem = reportPathProblem(options, projectFiles(data))) {
            err << "pelorix-cli build: " << withoutControlCharacters(*problem) << "; nothing was built.\n";
            return ExitFailure;
        }
    }
    const WindowOptions windowOptions = readWindowOptions(api);
    const std::vector<std::int32_t> buildRows =
        handOverTargets(options, loaded, data, form, windowOptions, err);
    std::optional<ProgressLine> progress = progressLineFor(err);
    ProgressLine* const shown = progress ? &*progress : nullptr;
    BuildRecord record(data, buildRows);
    std::vector<IBuildObserver*> observers{&record};
    if (progress)
        observers.push_back(&*progress);

    AnswerMessageBox box(options.yes);
    reportQuestions(box, err, options.yes, shown);
    NullEventPump noEvents;
    PrintingBuildLog log(out, shown);
    StopWatchingPump pump(progress ? static_cast<IEventPump&>(*progress) : noEvents, signals, log);
    HeadlessWaitForm waitForm;
    IWaitForm* waitFormRef = &waitForm;
    BuildRunOutcome outcome;
    try {
        outcome = runBuild({data, api, log, box, pump, observers, &pump.stopRequest(), true,
                            options.changed ? options.listPath : std::string()},
                           buildRows, loaded.listPath, windowOptions, waitFormRef, form);
    } catch (const RuntimeError& e) {
        if (progress)
            progress->clear();
        reportRunError(record, data, loaded, options, e, out, err);
        throw;
    }
    for (const std::string& problem : outcome.problems)
        err << "pelorix-cli build: " << withoutControlCharacters(problem) << '\n';

    return finishRun(record, data, loaded, options, outcome.result, pump.noteStop(), out, err);
}

// The program folder's build lock, taken as both front ends take it (see BuildLock.h): at once, or
// after the other build with --wait; nothing when the run may start, else why it is refused.
std::optional<std::string> lockRefusal(const BuildOptions& options, ProgramFolderLock& lock,
                                       std::ostream& err) {
    BuildLockDecision decision = takeBuildLock(options.wait, [&err](const std::string& why) {
        err << "pelorix-cli build: " << why << "; waiting for it to end...\n" << std::flush;
    });
    const std::string why = decision.text();
    const bool cannotOpen = decision.refusal == BuildLockDecision::Refusal::CannotOpen;
    const bool refused = decision.refused();
    lock = std::move(decision.lock);
    if (!refused)
        return std::nullopt;
    if (cannotOpen)
        return why + "; nothing was built.";
    return why + " (its compiler logs would mix); nothing was built. Use --wait to wait for it.";
}

// A --project value: a path (it holds a folder separator) as the program's Windows path, a name as
// it is.
std::string projectArgument(const std::string& value) {
    return value.find_first_of("\\/") == std::string::npos ? value : windowsPathArgument(value);
}

int runBuild(const Args& args, std::ostream& out, std::ostream& err) {
    BuildOptions options;
    std::vector<std::string> operands;
    for (auto a = args.begin(); a != args.end(); ++a) {
        if (*a == "--all") {
            options.all = true;
        } else if (*a == "--changed") {
            options.changed = true;
        } else if (*a == "--yes") {
            options.yes = true;
        } else if (*a == "--wait") {
            options.wait = true;
        } else if (*a == "--project" && a + 1 != args.end()) {
            options.project = projectArgument(*++a);
        } else if (a->starts_with("--project=") && a->size() > 10) {
            options.project = projectArgument(a->substr(10));
        } else if (*a == "--junit" && a + 1 != args.end()) {
            options.junitPath = *++a;
        } else if (a->starts_with("--junit=") && a->size() > 8) {
            options.junitPath = a->substr(8);
        } else if (a->size() > 1 && (*a)[0] == '-') {
            err << "pelorix-cli build: unknown option '" << *a << "'\n" << buildUsage;
            return ExitUsage;
        } else {
            operands.push_back(*a);
        }
    }
    if (operands.size() != 1) {
        err << "pelorix-cli build: " << (operands.empty() ? "missing LIST.ini" : "too many arguments") << '\n'
            << buildUsage;
        return ExitUsage;
    }
    if (options.all && !options.project.empty()) {
        err << "pelorix-cli build: --all and --project exclude each other\n" << buildUsage;
        return ExitUsage;
    }
    options.listPath = windowsPathArgument(operands.front());
    if (!options.junitPath.empty()) {
        if (const auto problem = reportPathProblem(options, runFiles(options))) {
            err << "pelorix-cli build: " << withoutControlCharacters(*problem) << "; nothing was built.\n";
            return ExitFailure;
        }
    }
    ProgramFolderLock lock;
    if (const auto refused = lockRefusal(options, lock, err)) {
        err << "pelorix-cli build: " << withoutControlCharacters(*refused) << '\n';
        writeRunErrorReport(options, RuntimeError(BuildResult::Error, *refused), err);
        return ExitFailure;
    }
    // From here on a stop signal ends the run, and with it the compiler, instead of this process.
    const StopSignals signals;
    try {
        return build(options, signals, out, err);
    } catch (const RuntimeError& e) {
        // The cause is in the build log already; the run ends with its result line all the same.
        err << "pelorix-cli build: " << withoutControlCharacters(e.description()) << '\n';
        out << "result=" << BuildResult::Error << '\n' << std::flush;
        return signals.received() != 0 ? StopSignals::exitStatus(signals.received()) : ExitFailure;
    }
}

} // namespace

Command buildCommand() {
    return {"build", "build the projects of a project list file or group", buildHelp, runBuild};
}

} // namespace pelorix::cli
