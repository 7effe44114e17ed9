#include "cli/Cli.h"

#include "cli/Commands.h"
#include "platform/CFWin32API.h"
#include "platform/CodePage.h"
#include "platform/DriveMap.h"
#include "platform/FileKind.h"
#include "platform/SystemTexts.h"
#include "platform/Text.h"

#include <algorithm>
#include <ostream>

namespace pelorix::cli {

const std::vector<Command>& commands() {
    static const std::vector<Command> all = allCommands();
    return all;
}

bool wantsHelp(const Args& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h")
            return true;
    return false;
}

std::string windowsPathArgument(std::string_view argument) {
    if (argument.size() >= 2 && argument[1] == ':') {
        // "C:/dir/file" is a Windows path too; its folders are found by backslashes.
        std::string path(argument);
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }
    if (argument.starts_with("\\\\"))
        return std::string(argument);
    return DriveMap::current().toWindows(argument);
}

std::optional<std::string> reportPathProblem(const std::string& reportPath,
                                             const std::vector<ReportGuardedFile>& files,
                                             std::string_view what) {
    const std::string host = hostPathOf(windowsPathArgument(reportPath));
    const HostFileKind kind = hostFileKind(host);
    if (kind == HostFileKind::Missing)
        return std::nullopt;
    if (kind != HostFileKind::Regular)
        return std::string(what) + " " + reportPath + " is " + std::string(hostFileKindText(kind)) +
               ", not a regular file";
    const auto report = hostFileIdentity(host);
    for (const ReportGuardedFile& file : files)
        if (report && hostFileIdentity(file.hostPath) == report)
            return std::string(what) + " " + reportPath + " is " + file.what + " " + file.hostPath +
                   " of this run";
    return std::nullopt;
}

namespace {

void printOverview(std::ostream& out) {
    out << "Usage: pelorix-cli COMMAND [ARGUMENTS]\n\n"
           "Builds Visual Basic 6.0 project lists and shows the program's view of the machine.\n"
        << withSystemTexts("{system}") << "\nCommands:\n";
    for (const Command& c : commands())
        out << "  " << c.name << std::string(c.name.size() < 14 ? 14 - c.name.size() : 1, ' ') << c.summary
            << '\n';
    out << "\nRun 'pelorix-cli COMMAND --help' for a command's arguments.\n";
}

} // namespace

int runCli(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        printOverview(err);
        return ExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printOverview(out);
        return ExitOk;
    }
    for (const Command& c : commands()) {
        if (c.name != args[0])
            continue;
        const Args rest(args.begin() + 1, args.end());
        if (wantsHelp(rest)) {
            out << withSystemTexts(c.help);
            return ExitOk;
        }
        // A code page that cannot be used would fail every file read: named once, before anything.
        if (const auto problem = codePageProblem()) {
            err << "pelorix-cli: " << *problem << '\n';
            return ExitFailure;
        }
        // A settings file that cannot be read leaves every setting at its default: say so once.
        if (const auto problem = settingsFileProblem())
            err << "pelorix-cli: " << *problem << '\n';
        return c.run(rest, out, err);
    }
    err << "pelorix-cli: unknown command '" << args[0] << "'\n";
    printOverview(err);
    return ExitUsage;
}

} // namespace pelorix::cli
