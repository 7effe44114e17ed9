#include "engine/BuildWindows.h"
#include "engine/CFVB6EXE.h"
#include "cli/Commands.h"
#include "platform/CCCommon.h"
#include "platform/CFWin32API.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/HostFile.h"
#include "platform/IniFile.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/CDFileData.h"
#include "projectdata/IBuildLog.h"

#include <cmath>
#include <cstdlib>
#include <ostream>

namespace pelorix::cli {

namespace {

constexpr std::string_view buildHelp =
    "Usage: pelorix-cli build LIST.ini [--all] [--yes]\n"
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

struct WindowSettings {
    bool rebuildHideConfirm = true;
    std::int16_t rebuildCompatibleMode = 0;
    bool notAfterBuildTargetOff = false;
    bool updateComponentReference = false;
};

// The main window's options that a build uses, from Pelorix.ini.
WindowSettings readWindowSettings(CFWin32API& api, CCCommon& common) {
    WindowSettings s;
    const std::string hide = api.GetTerminalProfile("Build", "RebuildHideConfirm", "");
    if (common.fIsNumeric(hide))
        s.rebuildHideConfirm = numericValue(hide) != 0;
    // A numeric value picks the mode of that number ("2.0" is 2); any other number, like the
    // window's list of modes without it, leaves "互換なし".
    const std::string mode = api.GetTerminalProfile("Build", "RebuildCompatibleMode", "");
    if (common.fIsNumeric(mode)) {
        const double m = std::nearbyint(numericValue(mode));
        if (m == 1.0 || m == 2.0)
            s.rebuildCompatibleMode = static_cast<std::int16_t>(m);
    }
    s.notAfterBuildTargetOff = api.GetTerminalProfile("Option", "NotAfterBuildTargetOff", "") == "1";
    s.updateComponentReference = api.GetTerminalProfile("Option", "UpdateComponentReference", "") == "1";
    return s;
}

// The rows "EnableState" of the list file marks: numeric entries between 1 and the number of
// projects. The value is read whole: cut to a settings buffer, a list of about 90 marked rows or
// more would lose its later marks and could end in a cut number that marks a wrong row.
std::vector<std::int32_t> enabledRows(CCCommon& common, const std::string& listPath, std::int32_t count) {
    std::vector<std::int32_t> rows;
    const auto bytes = readHostFile(hostPathOf(listPath));
    const std::string state =
        bytes ? readIniValue(*bytes, "Build", "EnableState", ansiCodePage(), std::string::npos).value_or("")
              : "";
    if (common.fIsNull(state) || count == 0)
        return rows;
    for (const std::string& entry : split(state, ',')) {
        if (!common.fIsNumeric(entry))
            continue;
        const double row = std::nearbyint(numericValue(entry));
        if (row >= 1 && row <= count)
            rows.push_back(static_cast<std::int32_t>(row));
    }
    return rows;
}

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
    CCCommon common;
    CDFileData data;
    data.fClearAllProjectInfo();
    const std::int32_t count = data.fSetProjectFilePathList(options.listPath, "ProjectName", "vbp");
    const std::vector<std::string> paths = data.ProjectFilePathList();
    for (std::int32_t i = 0; i < count; ++i)
        data.fSetProjectNameList(paths[static_cast<std::size_t>(i)], i, false);

    HeadlessBuildSettingForm form;
    form.fillGrid(data);
    if (options.all) {
        for (std::int32_t row = 1; row <= count; ++row)
            form.markRow(row);
    } else {
        IProjectGrid& grid = form.vsgridProject();
        for (const std::int32_t row : enabledRows(common, options.listPath, count))
            if (!grid.TextMatrix(row, form.gridColumnOf(GridColumn::Enable)).empty())
                form.markRow(row);
    }

    // Each target is built in the mode its row shows, as the window hands it over.
    const std::vector<std::int32_t> buildRows = form.markedRows();
    for (const std::int32_t row : buildRows) {
        const std::string modeText =
            form.vsgridProject().TextMatrix(row, form.gridColumnOf(GridColumn::Compatible));
        std::int16_t mode = -1;
        for (std::int16_t m = 0; m <= 2; ++m)
            if (modeText == compatibleModeName(m))
                mode = m;
        data.fSetCompatibleMode(data.fGetProjectArrayIndex(row), mode);
    }
    const WindowSettings settings = readWindowSettings(api, common);
    data.UpdateComponentReference(settings.updateComponentReference);

    AnswerMessageBox box(options.yes);
    reportQuestions(box, err, options.yes);
    NullEventPump pump;
    PrintingBuildLog log(out);
    HeadlessWaitForm waitForm;
    IWaitForm* waitFormRef = &waitForm;

    CFVB6EXE engine(box, pump);
    engine.fInitialize(data, api, buildRows, log, options.listPath);
    engine.NotAfterBuildTargetOff(settings.notAfterBuildTargetOff);
    const std::int16_t result =
        engine.BuildExecute(waitFormRef, settings.rebuildHideConfirm, settings.rebuildCompatibleMode, form);

    const IProjectGrid& grid = form.vsgridProject();
    for (const std::int32_t row : buildRows) {
        const std::string outcome = grid.TextMatrix(row, form.gridColumnOf(GridColumn::Result));
        if (outcome.empty())
            continue;
        out << outcome << '\t' << grid.TextMatrix(row, form.gridColumnOf(GridColumn::Compatible)) << '\t'
            << grid.TextMatrix(row, form.gridColumnOf(GridColumn::FilePath)) << '\n';
    }
    out << "result=" << result << '\n';
    return result == 0 ? ExitOk : ExitFailure;
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
            err << "pelorix-cli build: unknown option '" << a
                << "'\nUsage: pelorix-cli build LIST.ini [--all] [--yes]\n";
            return ExitUsage;
        } else {
            operands.push_back(a);
        }
    }
    if (operands.size() != 1) {
        err << "pelorix-cli build: " << (operands.empty() ? "missing LIST.ini" : "too many arguments")
            << "\nUsage: pelorix-cli build LIST.ini [--all] [--yes]\n";
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
    return {"build", "build the projects of a project list file", buildHelp, runBuild};
}

} // namespace pelorix::cli
