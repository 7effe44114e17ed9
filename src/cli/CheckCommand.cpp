#include "cli/Commands.h"
#include "engine/BuildHandOver.h"
#include "engine/BuildTargets.h"
#include "engine/BuildWindows.h"
#include "engine/ProjectCheck.h"
#include "platform/CFWin32API.h"
#include "platform/RuntimeError.h"
#include "projectdata/CDFileData.h"

#include <algorithm>
#include <ostream>

namespace pelorix::cli {
namespace {

constexpr std::string_view checkUsage = "Usage: pelorix-cli check LIST.ini|GROUP.vbg [--all]\n";

constexpr std::string_view checkHelp =
    "Usage: pelorix-cli check LIST.ini|GROUP.vbg [--all]\n"
    "\n"
    "Finds what would break a build of the same projects before the build runs, and\n"
    "changes no file. It takes the projects 'pelorix-cli build' would build (the marked\n"
    "ones, every one with --all or of a group) and looks, as the build does, at:\n"
    "  - the compiler: the command registered in {registry}\n"
    "    for [Build] Extension and ShellCommand of Pelorix.ini (.vbp, shell\\open\\command)\n"
    "    and the program it names;\n"
    "  - each project file: that it exists and reads;\n"
    "  - each type-library reference: whether the library it names (resolved as the\n"
    "    update resolves it: relative paths, the same place on other drives, the Windows\n"
    "    folder) is registered, whether the registered file exists, and how the update\n"
    "    would change the line (from which version to which);\n"
    "  - each component (Object=): registered, and its file there;\n"
    "  - binary compatibility (mode 2): the CompatibleEXE32 file, relative to the project's\n"
    "    folder, exists (else an error) and holds a type library (else a warning); a last\n"
    "    output (ExeName32 in Path32) whose library already breaks it is a warning that\n"
    "    the next binary-compatible build fails, naming at most 5 breaking differences\n"
    "    (as 'pelorix-cli compat' finds them, ids kept by name as the compiler keeps them);\n"
    "  - references to other projects (*\\A...vbp): the referenced project is built earlier\n"
    "    in the same run, else a warning says the project compiles against an old binary;\n"
    "  - the order: a project built before a project it depends on (its library GUID,\n"
    "    output file or project file, as 'pelorix-cli order' finds them) is a warning\n"
    "    naming both, and projects that depend on each other (a cycle) an error.\n"
    "  - the compiler log a failed build of the project left in the program folder: each\n"
    "    compile error it names is a warning (its detail: FILE(LINE): MESSAGE).\n"
    "\n"
    "Prints one line per finding, fields separated by TAB: error or warning, the project\n"
    "file (- for the machine's own), the line number (- for none), what, and the detail;\n"
    "then a line 'checked N projects: E errors, W warnings'.\n"
    "\n"
    "A file without a [ProjectName] section is no list, and a list, group or project file\n"
    "that is no regular file (a FIFO, a pipe, a device) is refused: either is an error\n"
    "that names the file.\n"
    "\n"
    "Exit status: 0 when there is no error (warnings allowed), 1 when there is one or the\n"
    "list cannot be read, 2 for a usage error.\n";

int runCheck(const Args& args, std::ostream& out, std::ostream& err) {
    bool all = false;
    std::vector<std::string> operands;
    for (const std::string& a : args) {
        if (a == "--all") {
            all = true;
        } else if (a.size() > 1 && a[0] == '-') {
            err << "pelorix-cli check: unknown option '" << a << "'\n" << checkUsage;
            return ExitUsage;
        } else {
            operands.push_back(a);
        }
    }
    if (operands.size() != 1) {
        err << "pelorix-cli check: " << (operands.empty() ? "missing LIST.ini" : "too many arguments") << '\n'
            << checkUsage;
        return ExitUsage;
    }
    const std::string path = windowsPathArgument(operands.front());
    try {
        CFWin32API api;
        CDFileData data;
        HeadlessBuildSettingForm form;
        const LoadedTargets loaded = loadBuildTargets(data, form, path, all);
        for (const std::string& note : loaded.notes)
            err << "pelorix-cli check: " << path << ": " << note << '\n';
        const std::vector<std::int32_t> targets = handOverBuildTargets(form, data, false);
        if (std::none_of(targets.begin(), targets.end(), [](std::int32_t row) { return row >= 1; }))
            err << "pelorix-cli check: " << path << ": "
                << (loaded.projectCount == 0 ? "the list has no project"
                                             : "no project is marked (use --all to check every one)")
                << '\n';
        const CheckResult result = checkBuildTargets(data, api, targets);
        for (const CheckFinding& finding : result.findings)
            out << formatFinding(finding) << '\n';
        out << checkSummary(result) << '\n';
        return result.errorCount() == 0 ? ExitOk : ExitFailure;
    } catch (const RuntimeError& e) {
        err << "pelorix-cli check: " << path << ": error " << e.number() << ": " << e.description() << '\n';
        return ExitFailure;
    }
}

} // namespace

Command checkCommand() {
    return {"check", "find what would break a build, changing nothing", checkHelp, runCheck};
}

} // namespace pelorix::cli
