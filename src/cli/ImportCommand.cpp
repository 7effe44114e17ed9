#include "cli/Commands.h"
#include "lists/ProjectListFile.h"
#include "platform/CFWin32API.h"
#include "platform/RuntimeError.h"
#include "projectdata/CDFileData.h"

#include <ostream>

namespace pelorix::cli {
namespace {

constexpr std::string_view importHelp =
    "Usage: pelorix-cli import FILE.bat\n"
    "\n"
    "Prints the project paths that importing the batch file yields, one per line, in\n"
    "list order: every line that names a project (a token ending in .vbp, or a project\n"
    "name after the log-file switch) gives one path; paths with \"..\" are made absolute\n"
    "against the batch file's folder.\n"
    "\n"
    "The compiler switches are \"Import\"/\"KeyWord\" of Pelorix.ini (default\n"
    "/make,/m,/makedll,/l,/run,/r,/runexit,/out) and \"Import\"/\"KeyWordIndex\".\n"
    "\n"
    "Exit status: 0 on success, 1 when the file cannot be read, 2 for a usage error.\n";

int runImport(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1 || (args[0].size() > 1 && args[0][0] == '-')) {
        err << "pelorix-cli import: " << (args.empty() ? "missing FILE" : "expects exactly one FILE") << '\n'
            << "Usage: pelorix-cli import FILE.bat\n";
        return ExitUsage;
    }
    const std::string path = windowsPathArgument(args[0]);
    try {
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
    return {"import", "the project paths a batch file yields", importHelp, runImport};
}

} // namespace pelorix::cli
