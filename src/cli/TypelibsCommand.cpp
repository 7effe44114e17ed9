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
    "Lists every 32-bit type-library registration of the Wine prefix ($WINEPREFIX, else\n"
    "~/.wine) that a build walks to bring project references up to date: the registrations\n"
    "under HKEY_CLASSES_ROOT\\TypeLib as the programs in the prefix see it: read from the\n"
    "prefix's system.reg alone, since Wine does not merge the user's classes into it.\n"
    "One line per registration, in the order of the walk:\n"
    "  the last write of its win32 key (local time, YYYY/MM/DD HH:MM:SS), a TAB,\n"
    "  its key path (TypeLib\\{GUID}\\version\\locale), a TAB,\n"
    "  its library path (empty when the win32 key has no readable path).\n"
    "\n"
    "A prefix without a usable registry (the prefix folder missing, no drive in its\n"
    "dosdevices folder, system.reg missing, or system.reg or user.reg not a Wine registry\n"
    "file) lists nothing: the cause goes to standard error and the exit status is 1.\n"
    "\n"
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
    return {"typelibs", "every type-library registration of the Wine prefix", typelibsHelp, runTypelibs};
}

} // namespace pelorix::cli
