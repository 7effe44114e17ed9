#include "cli/Commands.h"
#include "lists/ProjectGroupFile.h"
#include "lists/ProjectListFile.h"
#include "platform/CFWin32API.h"
#include "platform/RuntimeError.h"
#include "projectdata/CDFileData.h"

#include <ostream>

namespace pelorix::cli {
namespace {

constexpr std::string_view importHelp =
    "Usage: pelorix-cli import FILE.bat\n"
    "       pelorix-cli import FILE.vbg\n"
    "\n"
    "Prints the project paths that importing the batch file yields, one per line, in\n"
    "list order: every line that names a project (a token ending in .vbp, or a project\n"
    "name after the log-file switch) gives one path; paths with \"..\" are made absolute\n"
    "against the batch file's folder.\n"
    "\n"
    "The compiler switches are \"Import\"/\"KeyWord\" of Pelorix.ini (default\n"
    "/make,/m,/makedll,/l,/run,/r,/runexit,/out) and \"Import\"/\"KeyWordIndex\".\n"
    "\n"
    "A project group (a file whose name ends in .vbg, its first line \"VBGROUP 5.0\")\n"
    "gives the paths of its Project= and StartupProject= lines in group order, made\n"
    "absolute against the group file's folder. Lines left out (a project listed twice,\n"
    "an empty path, a line of another kind) and projects whose file does not exist are\n"
    "reported on standard error as \"line N: ...\"; they do not fail the import.\n"
    "\n"
    "Exit status: 0 on success, 1 when the file cannot be read (or a group has no\n"
    "header), 2 for a usage error.\n";

int runImport(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1 || (args[0].size() > 1 && args[0][0] == '-')) {
        err << "pelorix-cli import: " << (args.empty() ? "missing FILE" : "expects exactly one FILE") << '\n'
            << "Usage: pelorix-cli import FILE.bat|FILE.vbg\n";
        return ExitUsage;
    }
    const std::string path = windowsPathArgument(args[0]);
    try {
        if (isProjectGroupPath(path)) {
            const ProjectGroup group = readProjectGroup(path);
            for (const GroupProject& project : group.projects)
                out << project.path << '\n';
            for (const std::string& problem : describeGroupProblems(group))
                err << "pelorix-cli import: " << path << ": " << problem << '\n';
            return ExitOk;
        }
        CFWin32API api;
        CDFileData data;
        importBatchFile(data, api, path);
        for (const std::int32_t index : data.ProjectIndexCollection())
            out << data.fProjectFilePath(index) << '\n';
    } catch (const RuntimeError& e) {
        err << "pelorix-cli import: " << path << ": error " << e.number() << ": " << e.description() << '\n';
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace

Command importCommand() {
    return {"import", "the project paths a batch file or project group yields", importHelp, runImport};
}

} // namespace pelorix::cli
