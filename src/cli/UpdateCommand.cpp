#include "cli/Commands.h"
#include "platform/CCCommon.h"
#include "platform/CFWin32API.h"
#include "platform/Environment.h"
#include "platform/FileSystemObject.h"
#include "platform/Numbers.h"
#include "platform/RuntimeError.h"
#include "projectdata/CDFileData.h"
#include "projectdata/IBuildLog.h"
#include "projectdata/ProjectText.h"

#include <climits>
#include <cstdlib>
#include <optional>
#include <ostream>

namespace pelorix::cli {
namespace {

constexpr std::string_view updateHelp =
    "Usage: pelorix-cli update FILE.vbp --mode N [--components]\n"
    "\n"
    "Brings the project file up to date as a build does before it compiles: copies it to\n"
    "FILE.vbp.org (or FILE.vbpYYYYMMDDHHMMSS.bak when the .org copy exists, and\n"
    "FILE.vbpYYYYMMDDHHMMSS_2.bak, _3 ... when a copy of that second exists: no copy is\n"
    "ever replaced), points every reference line at the newest registration of its type\n"
    "library in {registry}, and writes compatibility mode N into the\n"
    "CompatibleMode line. Prints each line of the update log once the new file is in\n"
    "place (nothing when the update failed). The backup copy stays.\n"
    "\n"
    "  --mode N        0 no compatibility, 1 project, 2 binary; -1 leaves the mode as it is\n"
    "  --components    also point Object= component lines at their newest registrations\n"
    "\n"
    "The copy buffer size is \"Build\"/\"BufferSize\" of Pelorix.ini; the Windows folder is\n"
    "{windows-folder}.\n"
    "\n"
    "Exit status: 0 when the file was updated, 1 when it does not exist or the update\n"
    "failed (the error on standard error; the project file is then as it was), 2 for a\n"
    "usage error.\n";

int usage(std::ostream& err, std::string_view problem) {
    err << "pelorix-cli update: " << problem << '\n'
        << "Usage: pelorix-cli update FILE.vbp --mode N [--components]\n";
    return ExitUsage;
}

int runUpdate(const Args& args, std::ostream& out, std::ostream& err) {
    std::string file;
    std::optional<std::int16_t> mode;
    bool components = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--components") {
            components = true;
        } else if (a == "--mode") {
            if (i + 1 >= args.size())
                return usage(err, "--mode needs a value");
            mode = integerValue(args[++i]);
            if (!mode || *mode < -1 || *mode > 2 || args[i].find('.') != std::string::npos)
                return usage(err, "--mode must be -1, 0, 1 or 2");
        } else if (a.size() > 1 && a[0] == '-') {
            return usage(err, "unknown option '" + a + "'");
        } else if (file.empty()) {
            file = a;
        } else {
            return usage(err, "too many arguments");
        }
    }
    if (file.empty())
        return usage(err, "missing FILE");
    if (!mode)
        return usage(err, "missing --mode");

    const std::string path = windowsPathArgument(file);
    if (!FileSystemObject().FileExists(path)) {
        err << "pelorix-cli update: " << path << ": the file does not exist\n";
        return ExitFailure;
    }
    CDFileData data;
    MemoryBuildLog log;
    int status = ExitOk;
    try {
        const std::string bufferSize = CFWin32API().GetTerminalProfile("Build", "BufferSize");
        if (const auto bytes = longValue(bufferSize); bytes && *bytes > 0)
            data.CopyBufferSize(*bytes);
        data.UpdateComponentReference(components);
        if (!data.fUpdateProjectFileInfo(path, *mode, getEnvironmentVariable("WINDIR"), log))
            status = ExitFailure;
    } catch (const RuntimeError& e) {
        // The update log's lines describe a file that was not written: none is printed.
        err << "pelorix-cli update: " << path << ": error " << e.number() << ": " << e.description() << '\n';
        return ExitFailure;
    }
    for (const auto& line : log.lines())
        out << line << '\n';
    return status;
}

} // namespace

Command updateCommand() {
    return {"update", "update a project file's references and mode as a build does", updateHelp, runUpdate};
}

} // namespace pelorix::cli
