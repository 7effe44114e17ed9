#include "cli/Commands.h"
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "platform/TypeLibRegistration.h"

#include <ostream>

namespace pelorix::cli {
namespace {

constexpr std::string_view registerUsage = "Usage: pelorix-cli register FILE... [--user] [--unregister]\n";

constexpr std::string_view registerHelp =
    "Usage: pelorix-cli register FILE... [--user] [--unregister]\n"
    "\n"
    "Registers the type library of each built component (.dll, .ocx, .exe, .tlb: an MSFT or\n"
    "SLTG library, raw or in the TYPELIB resource of a program file), in the order given, so\n"
    "that the next compile finds it, as the compiler's own registration does for a type\n"
    "library: TypeLib\\{GUID}\\MAJOR.MINOR with its name, FLAGS, HELPDIR and LCID\\win32 =\n"
    "the file's full path, and Interface\\{IID} (ProxyStubClsid, ProxyStubClsid32, TypeLib)\n"
    "for each interface of the library that OLE Automation marshals (dispatch, dual and\n"
    "oleautomation interfaces). A pipeline job registers so what the projects it depends on\n"
    "made before it builds its own (see pelorix-cli pipeline).\n"
    "\n"
    "On Windows the OLE Automation library registers it (RegisterTypeLib; with --user\n"
    "RegisterTypeLibForUser). On Linux the same keys go into the Wine prefix (WINEPREFIX)\n"
    "through Wine's reg import, never written into its registry files behind a running Wine\n"
    "server; the command then waits, at most a minute, for Wine's server to write them, so\n"
    "that pelorix-cli typelibs and the next build see the registration.\n"
    "\n"
    "  --user        the user's classes (HKEY_CURRENT_USER\\Software\\Classes), no\n"
    "                administrator rights needed. Wine shows the compiler the machine's\n"
    "                classes alone: under Wine register for the machine.\n"
    "  --unregister  take the registration away again, as the OLE Automation library\n"
    "                does: the interface keys, the path, and the version's key when no\n"
    "                other locale of it is registered\n"
    "\n"
    "A file that is missing or holds no type library is an error naming it; so is one\n"
    "whose library is not registered, for --unregister.\n"
    "\n"
    "Exit status: 0 when every file was registered, 1 when any was not (the others are\n"
    "registered all the same), 2 for a usage error.\n";

int runRegister(const Args& args, std::ostream& out, std::ostream& err) {
    RegistrationScope scope = RegistrationScope::Machine;
    bool unregister = false;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "--user") {
            scope = RegistrationScope::User;
        } else if (a == "--unregister") {
            unregister = true;
        } else if (a.size() > 1 && a[0] == '-') {
            err << "pelorix-cli register: unknown option '" << a << "'\n" << registerUsage;
            return ExitUsage;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        err << "pelorix-cli register: missing FILE\n" << registerUsage;
        return ExitUsage;
    }
    std::vector<std::string> paths;
    for (const std::string& file : files)
        paths.push_back(windowsPathArgument(file));
    const RegistrationRun run = registerTypeLibraries(paths, scope, unregister);
    int status = ExitOk;
    for (std::size_t k = 0; k < run.results.size(); ++k) {
        const RegistrationResult& result = run.results[k];
        if (!result.error) {
            out << (unregister ? "unregistered\t" : "registered\t") << withoutControlCharacters(result.path)
                << '\n';
            continue;
        }
        err << "pelorix-cli register: " << withoutControlCharacters(files[k]) << ": error "
            << result.error->number() << ": " << withoutControlCharacters(result.error->description())
            << '\n';
        status = ExitFailure;
    }
    if (!run.note.empty())
        err << "pelorix-cli register: " << withoutControlCharacters(run.note) << '\n';
    return status;
}

} // namespace

Command registerCommand() {
    return {"register", "register the type library of a built component", registerHelp, runRegister};
}

} // namespace pelorix::cli
