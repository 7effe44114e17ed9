#include "cli/Commands.h"
#include "engine/BuildHandOver.h"
#include "engine/BuildTargets.h"
#include "engine/BuildWindows.h"
#include "platform/CFWin32API.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/CDFileData.h"
#include "projectdata/IBuildLog.h"

#include <ostream>

namespace pelorix::cli {

namespace {

constexpr std::string_view buildUsage = "Usage: pelorix-cli build LIST.ini|GROUP.vbg [--all] [--yes]\n";

constexpr std::string_view buildHelp =
    "Usage: pelorix-cli build LIST.ini|GROUP.vbg [--all] [--yes]\n"
    "\n"
    "Builds the projects of a project list file with the settings of Pelorix.ini, as the\n"
    "window program's build command does: each project file is brought up to date, the\n"
    "compiler registered as the .vbp shell command of the Wine prefix is run, and its log\n"
    "is read. Prints every build-log line as it comes, then one line per built project:\n"
    "OK or NG, a TAB, the compatibility mode, a TAB, the project file path; and last\n"
    "result= with the run's result code:\n"
    "  0 success      1 a rebuild was wanted   2 compatibility problem\n"
    "  4 cancelled    5 project or library not found   6 project file not updated\n"
    "  7 nothing built   9 compiler not started (Execute=0)   99 error   -1 empty log\n"
    "\n"
    "  --all   build every project of the list; without it, the projects the list's\n"
    "          [Build] EnableState marks (rows of missing project files are never marked)\n"
    "  --yes   answer Yes where the window would ask (rebuild after a failure); without\n"
    "          it every question is answered No. Questions are printed on standard error.\n"
    "\n"
    "A project group (GROUP.vbg, as the development environment saves one) is built as a\n"
    "list in which every project is marked, in group order; no list file is read or\n"
    "written. Lines of the group that are left out and projects whose file is missing\n"
    "are reported on standard error first (a missing project is built and fails).\n"
    "\n"
    "Settings read from Pelorix.ini, section [Build]: LogWaitTime (ms, default 200),\n"
    "ReBuildMode (1), Extension (.vbp), ShellCommand (shell\\open\\command), Execute (1),\n"
    "ProcessWaitTime (ms, 1000), BufferSize (1024000), RebuildHideConfirm (1: rebuild a\n"
    "failed project without asking), RebuildCompatibleMode (0, 1 or 2: the mode of\n"
    "rebuilds), and two bounds:\n"
    "  LogWaitLimit      ms the compiler's log may take to appear after the compiler has\n"
    "                    ended (default 30000; 0: no bound); then the project ends with 99\n"
    "  ProcessWaitLimit  ms a compiler may run before the project ends with 99\n"
    "                    (default 600000)\n"
    "Section [Option]: NotAfterBuildTargetOff, UpdateComponentReference (\"1\" = on).\n"
    "\n"
    "Exit status: 0 when the result code is 0, 1 otherwise or on an error, 2 for a usage\n"
    "error.\n";

// The build log of the command line: each line is printed as it comes.
class PrintingBuildLog final : public IBuildLog {
public:
    explicit PrintingBuildLog(std::ostream& out) : m_out(out) {}
    void appendLine(const std::string& line) override { m_out << line << '\n' << std::flush; }
    void appendLines(const std::vector<std::string>& lines) override {
        for (const auto& line : lines)
            if (!line.empty())
                appendLine(line);
    }

private:
    std::ostream& m_out;
};

struct BuildOptions {
    std::string listPath;
    bool all = false;
    bool yes = false;
};

// Questions go to standard error with the answer the command gives.
void reportQuestions(AnswerMessageBox& box, std::ostream& err, bool yes) {
    box.onShow([&err, yes](const AnswerMessageBox::Shown& shown) {
        if (shown.buttons != MsgButtons::YesNo)
            return;
        err << "? " << shown.title << ": " << replaceAll(shown.text, "\r\n", " ") << " -> "
            << (yes ? "Yes" : "No") << '\n';
    });
}

int build(const BuildOptions& options, std::ostream& out, std::ostream& err) {
    CFWin32API api;
    CDFileData data;
    HeadlessBuildSettingForm form;
    const LoadedTargets loaded = loadBuildTargets(data, form, options.listPath, options.all);
    for (const std::string& note : loaded.notes)
        err << "pelorix-cli build: " << options.listPath << ": " << note << '\n';
    const WindowOptions windowOptions = readWindowOptions(api);
    const std::vector<std::int32_t> buildRows =
        handOverBuildTargets(form, data, windowOptions.updateComponentReference);

    AnswerMessageBox box(options.yes);
    reportQuestions(box, err, options.yes);
    NullEventPump pump;
    PrintingBuildLog log(out);
    HeadlessWaitForm waitForm;
    IWaitForm* waitFormRef = &waitForm;
    const BuildRunOutcome outcome =
        runBuild({data, api, log, box, pump}, buildRows, loaded.listPath, windowOptions, waitFormRef, form);

    const IProjectGrid& grid = form.vsgridProject();
    for (const std::int32_t row : buildRows) {
        if (row < 1)
            continue;
        const std::string result = grid.TextMatrix(row, form.gridColumnOf(GridColumn::Result));
        if (result.empty())
            continue;
        out << result << '\t' << grid.TextMatrix(row, form.gridColumnOf(GridColumn::Compatible)) << '\t'
            << grid.TextMatrix(row, form.gridColumnOf(GridColumn::FilePath)) << '\n';
    }
    out << "result=" << outcome.result << '\n';
    return outcome.result == 0 ? ExitOk : ExitFailure;
}

int runBuild(const Args& args, std::ostream& out, std::ostream& err) {
    BuildOptions options;
    std::vector<std::string> operands;
    for (const std::string& a : args) {
        if (a == "--all") {
            options.all = true;
        } else if (a == "--yes") {
            options.yes = true;
        } else if (a.size() > 1 && a[0] == '-') {
            err << "pelorix-cli build: unknown option '" << a << "'\n" << buildUsage;
            return ExitUsage;
        } else {
            operands.push_back(a);
        }
    }
    if (operands.size() != 1) {
        err << "pelorix-cli build: " << (operands.empty() ? "missing LIST.ini" : "too many arguments") << '\n'
            << buildUsage;
        return ExitUsage;
    }
    options.listPath = windowsPathArgument(operands.front());
    try {
        return build(options, out, err);
    } catch (const RuntimeError& e) {
        err << "pelorix-cli build: " << e.description() << '\n';
        return ExitFailure;
    }
}

} // namespace

Command buildCommand() {
    return {"build", "build the projects of a project list file or group", buildHelp, runBuild};
}

} // namespace pelorix::cli
