#include "cli/Commands.h"
#include "formats/TypeLibText.h"
#include "platform/DriveMap.h"
#include "platform/FileKind.h"
#include "platform/HostFile.h"
#include "platform/RuntimeError.h"
#include "platform/TypeLibFile.h"
#include "platform/Win32Error.h"

#include <cstdio>
#include <ostream>

namespace pelorix::cli {

namespace {

constexpr std::string_view typelibInfoUsage = "Usage: pelorix-cli typelib-info FILE [--members]\n";

constexpr std::string_view typelibInfoHelp =
    "Usage: pelorix-cli typelib-info FILE [--members]\n"
    "\n"
    "Reads the type library in FILE and prints its GUID, a TAB, and its version as the\n"
    "major version in decimal, \".\", and the minor version in lower-case hexadecimal,\n"
    "as a project file's reference line writes it.\n"
    "\n"
    "  --members\n"
    "          print the library's whole content instead, as IDL-like text: its\n"
    "          attributes and imported libraries, then every type sorted by name with its\n"
    "          attributes (uuid, version, flags) and members: functions with their member\n"
    "          id, kind (propget, propput, propputref), parameters ([in], [out],\n"
    "          [optional], [defaultvalue], ByRef as a pointer) and return type, and the\n"
    "          vtable slot where a client calls through the vtable; variables and\n"
    "          constants with their values; a class's interfaces with their default and\n"
    "          source flags. Members keep the order a client binds by (vtable slots, or\n"
    "          member ids of a dispinterface), so that two dumps diff well.\n"
    "\n"
    "{paths} It may be an MSFT or SLTG type\n"
    "library or a PE file (.dll, .ocx, .exe, .tlb) with a TYPELIB resource; a trailing\n"
    "\\N selects resource N instead of resource 1, as registrations write it.\n"
    "\n"
    "Exit status: 0 on success, 1 when FILE is missing, is not a type library or (with\n"
    "--members) is a damaged one, 2 for a usage error.\n";

// Why the file at a path cannot be read as a type library's file: missing, no regular file, or a
// file that does not open (another program holds it, no right to read it).
std::string unreadableCause(const std::string& windowsPath) {
    const std::string host = hostPathOf(windowsPath);
    const HostFileKind kind = hostFileKind(host);
    if (kind == HostFileKind::Missing)
        return "the file does not exist";
    if (kind != HostFileKind::Regular)
        return "not a regular file: it is " + std::string(hostFileKindText(kind));
    const std::int32_t code = readHostFileInPieces(host, [](std::string_view) { return false; });
    return "the file cannot be read" + (code != 0 ? ": " + win32::systemMessage(code) : std::string());
}

// The version as a reference line carries it: major in decimal, minor in lower-case hex.
std::string versionText(const TypeLibAttributes& lib) {
    char minor[8] = {};
    std::snprintf(minor, sizeof minor, "%x", static_cast<unsigned>(lib.minorVersion));
    return std::to_string(lib.majorVersion) + "." + minor;
}

// The library's whole content as text, or the reason it cannot be read.
int printMembers(const std::string& path, std::ostream& out, std::ostream& err) {
    try {
        out << typeLibraryText(readTypeLibContent(path));
        return ExitOk;
    } catch (const RuntimeError& e) {
        err << "pelorix-cli typelib-info: " << e.description() << '\n';
        return ExitFailure;
    }
}

int runTypelibInfo(const Args& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> operands;
    bool optionsEnd = false;
    bool members = false;
    for (const std::string& a : args) {
        if (!optionsEnd && a == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && a == "--members") {
            members = true;
        } else if (!optionsEnd && a.size() > 1 && a[0] == '-') {
            err << "pelorix-cli typelib-info: unknown option '" << a << "'\n" << typelibInfoUsage;
            return ExitUsage;
        } else {
            operands.push_back(a);
        }
    }
    if (operands.size() != 1) {
        err << "pelorix-cli typelib-info: " << (operands.empty() ? "missing FILE" : "too many arguments")
            << '\n'
            << typelibInfoUsage;
        return ExitUsage;
    }

    const std::string path = windowsPathArgument(operands.front());
    if (!locateTypeLib(path)) {
        err << "pelorix-cli typelib-info: " << path << ": " << unreadableCause(path) << '\n';
        return ExitFailure;
    }
    if (members)
        return printMembers(path, out, err);
    const auto lib = readTypeLibAttributes(path);
    if (!lib) {
        err << "pelorix-cli typelib-info: " << path << ": not a type library\n";
        return ExitFailure;
    }
    out << lib->guid << '\t' << versionText(*lib) << '\n';
    return ExitOk;
}

} // namespace

Command typelibInfoCommand() {
    return {"typelib-info", "the GUID and version of a type-library file, or its whole content",
            typelibInfoHelp, runTypelibInfo};
}

} // namespace pelorix::cli
