#include "cli/Commands.h"
#include "platform/CDRegistryData.h"
#include "platform/RunConditions.h"
#include "platform/RuntimeError.h"
#include "platform/TimeFormat.h"

#include <ostream>

namespace pelorix::cli {

namespace {

constexpr std::string_view typelibsHelp =
    "Usage: pelorix-cli typelibs\n"
    "\n"
    "Lists every 32-bit type-library registration that a build walks to bring project\n"
    "references up to date, those of {typelib-view}\n"
    "One line per registration, in the order of the walk:\n"
    "  the last write of its win32 key (local time, YYYY/MM/DD HH:MM:SS), a TAB,\n"
    "  its key path (TypeLib\\{GUID}\\version\\locale), a TAB,\n"
    "  its library path (empty when the win32 key has no readable path).\n"
    "\n"
    "{registry-problems}"
    "Exit status: 0 on success, 1 on an error, 2 for a usage error.\n";

int runTypelibs(const Args& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "pelorix-cli typelibs: unexpected argument '" << args.front() << "'\n"
            << "Usage: pelorix-cli typelibs\n";
        return ExitUsage;
    }
    if (const auto problem = registryProblem()) {
        err << "pelorix-cli typelibs: " << *problem << '\n';
        return ExitFailure;
    }
    std::vector<std::string> libraryPaths;
    std::vector<std::string> keyPaths;
    std::vector<VbDate> writeTimes;
    try {
        CDRegistryData data;
        data.fSetRegistryData(HKEY_CLASSES_ROOT, "TypeLib", libraryPaths, keyPaths, writeTimes);
    } catch (const RuntimeError& e) {
        err << "pelorix-cli typelibs: " << e.description() << '\n';
        return ExitFailure;
    }
    for (std::size_t i = 0; i < keyPaths.size(); ++i)
        out << formatDateTime(writeTimes[i]) << '\t' << keyPaths[i] << '\t' << libraryPaths[i] << '\n';
    return ExitOk;
}

} // namespace

Command typelibsCommand() {
    return {"typelibs", "every type-library registration a build reads", typelibsHelp, runTypelibs};
}

} // namespace pelorix::cli
