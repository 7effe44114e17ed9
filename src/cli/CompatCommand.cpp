#include "cli/Commands.h"
#include "formats/CompatReport.h"
#include "platform/DriveMap.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/TypeLibFile.h"
#include "platform/Win32Error.h"

#include <ostream>

namespace pelorix::cli {

namespace {

constexpr std::string_view compatUsage = "Usage: pelorix-cli compat OLD NEW [--junit FILE]\n";

constexpr std::string_view compatHelp =
    "Usage: pelorix-cli compat OLD NEW [--junit FILE]\n"
    "\n"
    "Compares two versions of a type library as a client compiled against OLD meets\n"
    "NEW, and lists every difference, each marked breaking or compatible.\n"
    "\n"
    "Breaking: a class, interface, record, enum or member OLD has and NEW lacks; a\n"
    "member whose parameters (count, types, ByRef/ByVal, in/out, optional) or return\n"
    "type changed, or that moved to another vtable slot or member id; a class id or an\n"
    "interface id OLD's clients use that NEW no longer implements; an enum constant\n"
    "whose value changed; a record whose layout changed.\n"
    "Compatible: what NEW adds (members at the end, interfaces, classes, constants),\n"
    "help strings and other attributes clients do not bind to, and an interface whose\n"
    "id changed while NEW's interface still extends the old id (the way a compiler\n"
    "keeps a changed class version-compatible).\n"
    "\n"
    "Types are matched by GUID, then by name; members by name and kind (a property's\n"
    "get, let and set are members of their own).\n"
    "\n"
    "OLD and NEW are host paths or Windows paths of the prefix: MSFT or SLTG type\n"
    "libraries or PE files (.dll, .ocx, .exe, .tlb) with a TYPELIB resource; a trailing\n"
    "\\N selects resource N.\n"
    "\n"
    "Prints one line per difference, fields separated by TAB: breaking or compatible,\n"
    "the type ((library) for the library itself), the member (empty for the type\n"
    "itself; a property accessor as 'Name (propget)'), and what changed; then a line\n"
    "'compared N types: B breaking, C compatible'.\n"
    "\n"
    "  --junit FILE\n"
    "          also write a JUnit XML report to FILE (replaced in one step): one test case\n"
    "          per type, failed when a breaking difference concerns it. FILE must not be\n"
    "          OLD or NEW, and must be a regular file or not exist.\n"
    "\n"
    "Exit status: 0 when nothing breaks, 1 when something does, 2 when a file cannot be\n"
    "read (or the report cannot be written) and for a usage error.\n";

struct CompatOptions {
    std::string oldPath;
    std::string newPath;
    std::string junitPath; // "" for no report
};

// The options, or a usage error said on err.
std::optional<CompatOptions> parseCompat(const Args& args, std::ostream& err) {
    CompatOptions options;
    std::vector<std::string> operands;
    bool optionsEnd = false;
    for (auto a = args.begin(); a != args.end(); ++a) {
        if (!optionsEnd && *a == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && *a == "--junit" && a + 1 != args.end()) {
            options.junitPath = *++a;
        } else if (!optionsEnd && a->starts_with("--junit=") && a->size() > 8) {
            options.junitPath = a->substr(8);
        } else if (!optionsEnd && a->size() > 1 && (*a)[0] == '-') {
            err << "pelorix-cli compat: unknown option '" << *a << "'\n" << compatUsage;
            return std::nullopt;
        } else {
            operands.push_back(*a);
        }
    }
    if (operands.size() != 2) {
        err << "pelorix-cli compat: " << (operands.size() < 2 ? "missing OLD or NEW" : "too many arguments")
            << '\n'
            << compatUsage;
        return std::nullopt;
    }
    options.oldPath = windowsPathArgument(operands[0]);
    options.newPath = windowsPathArgument(operands[1]);
    return options;
}

// The libraries, which a report written over them would destroy.
std::vector<ReportGuardedFile> libraryFiles(const CompatOptions& options) {
    std::vector<ReportGuardedFile> files;
    for (const std::string& library : {options.oldPath, options.newPath})
        if (const auto location = locateTypeLib(library))
            files.push_back({"the library", location->hostPath});
    return files;
}

bool writeReport(const CompatOptions& options, const std::string& xml, std::ostream& err) {
    const std::string host = hostPathOf(windowsPathArgument(options.junitPath));
    const std::int32_t code = host.empty() ? win32::PathNotFound : writeHostFileAtomically(host, xml);
    if (code == 0)
        return true;
    err << "pelorix-cli compat: cannot write the JUnit report " << options.junitPath << ": "
        << win32::systemMessage(code) << " (" << code << ")\n";
    return false;
}

int runCompat(const Args& args, std::ostream& out, std::ostream& err) {
    const auto options = parseCompat(args, err);
    if (!options)
        return ExitUsage;
    if (!options->junitPath.empty())
        if (const auto problem = reportPathProblem(options->junitPath, libraryFiles(*options))) {
            err << "pelorix-cli compat: " << *problem << '\n';
            return ExitUsage;
        }
    TypeLibrary oldLib;
    TypeLibrary newLib;
    try {
        oldLib = readTypeLibContent(options->oldPath);
        newLib = readTypeLibContent(options->newPath);
    } catch (const RuntimeError& e) {
        err << "pelorix-cli compat: " << e.description() << '\n';
        return ExitUsage;
    }
    const std::vector<CompatDifference> differences = compare(oldLib, newLib);
    std::size_t breaking = 0;
    for (const CompatDifference& d : differences) {
        out << compatLine(d) << '\n';
        breaking += d.severity == CompatSeverity::Breaking ? 1 : 0;
    }
    out << "compared " << oldLib.types.size() << " types: " << breaking << " breaking, "
        << differences.size() - breaking << " compatible\n";
    if (!options->junitPath.empty() &&
        !writeReport(
            *options,
            compatJUnitXml(oldLib, newLib, differences, options->oldPath + " -> " + options->newPath), err))
        return ExitUsage;
    return breaking != 0 ? ExitFailure : ExitOk;
}

} // namespace

Command compatCommand() {
    return {"compat", "what changed between two versions of a type library, and what breaks", compatHelp,
            runCompat};
}

} // namespace pelorix::cli
