#include "cli/Commands.h"
#include "platform/RuntimeError.h"
#include "projectdata/CDFileData.h"

#include <ostream>

namespace pelorix::cli {
namespace {

constexpr std::string_view projectHelp =
    "Usage: pelorix-cli project FILE.vbp\n"
    "\n"
    "Reads the project file as the project list reads it and prints, first, its grid row\n"
    "text (mark, result, compatibility mode, optimisation, description, title, path,\n"
    "separated by \",\"), then one line each for ProjectName=, Title=, Description=,\n"
    "ProjectType=, CompatibleMode=, StartMode= and OptimizationType= followed by the value\n"
    "(\"\" or -1 when the file gives none). A missing file shows the placeholders \"-\".\n"
    "\n"
    "{paths}\n"
    "\n"
    "Exit status: 0 when the file was read (or is missing), 1 when it could not be read,\n"
    "2 for a usage error.\n";

int runProject(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1 || (args[0].size() > 1 && args[0][0] == '-')) {
        err << "pelorix-cli project: " << (args.empty() ? "missing FILE" : "expects exactly one FILE") << '\n'
            << "Usage: pelorix-cli project FILE.vbp\n";
        return ExitUsage;
    }
    const std::string path = windowsPathArgument(args[0]);
    CDFileData data;
    try {
        data.fClearAllProjectInfo();
        data.fAddProjectFileList(path, -1);
        const std::int32_t index = data.ProjectMaxIndex();
        data.fSetProjectNameList(path, index, true);
        std::string row;
        data.fGetProjectFileInfo(index, row);
        out << row << '\n'
            << "ProjectName=" << data.fGetProjectName(index) << '\n'
            << "Title=" << data.fGetTile(index) << '\n'
            << "Description=" << data.fGetProjectDescription(index) << '\n'
            << "ProjectType=" << data.fGetProjectType(index) << '\n'
            << "CompatibleMode=" << data.fGetCompatibleMode(index) << '\n'
            << "StartMode=" << data.fGetStartMode(index) << '\n'
            << "OptimizationType=" << data.fGetOptimizationType(index) << '\n';
    } catch (const RuntimeError& e) {
        err << "pelorix-cli project: " << path << ": error " << e.number() << ": " << e.description() << '\n';
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace

Command projectCommand() {
    return {"project", "read a project file as the project list shows it", projectHelp, runProject};
}

} // namespace pelorix::cli
