#include "platform/SystemTexts.h"

#include <array>

namespace pelorix {
namespace {

constexpr std::array<SystemText, 12> Texts{{
    {"system", "On Linux it runs against a Wine prefix ($WINEPREFIX, else ~/.wine): the compiler's\n"
               "registry, drives and Windows folder are the prefix's, and a compiler that is a\n"
               "Windows program is started with Wine (PELORIX_WINE, else wine on PATH, else\n"
               "/usr/lib/wine/wine).\n"},
    {"registry", "the Wine prefix's registry"},
    {"typelib-view", "the Wine prefix ($WINEPREFIX, else ~/.wine):\n"
                     "the registrations under HKEY_CLASSES_ROOT\\TypeLib as the programs in the prefix see\n"
                     "them, read from the prefix's system.reg alone, since Wine does not merge the user's\n"
                     "classes into it."},
    {"registry-problems",
     "A prefix without a usable registry (the prefix folder missing, no drive in its\n"
     "dosdevices folder, system.reg missing, or system.reg or user.reg not a Wine registry\n"
     "file) lists nothing: the cause goes to standard error and the exit status is 1.\n\n"},
    {"run-registry", ", a prefix without a usable registry,"},
    {"paths", "FILE is a host path or a Windows path of the prefix."},
    {"windows-folder", "WINDIR as the prefix gives it"},
    {"program-folder",
     "The program folder holds Pelorix.ini, Pelorix.log and Pelorix.lock: PELORIX_HOME, else\n"
     "the folder of pelorix-cli when it is writable, else ~/.config/pelorix\n"
     "($XDG_CONFIG_HOME/pelorix).\n"},
    {"terminal", "a terminal"},
    {"compiler-process", "The compiler runs in a process group of its own with standard input, output and\n"
                         "error on /dev/null: it never holds a pipe this command writes to."},
    {"stop-events", "SIGINT, SIGTERM or SIGHUP during a build (and SIGPIPE, when the reader of the output\n"
                    "went away) stop it: the compiler is ended with its process group, no further project\n"
                    "is built, the project file and its backups stay as after a failed build, the build\n"
                    "log names the signal, and the result lines are printed as after any run."},
    {"stop-status", "128 + the\n"
                    "signal's number when a signal stopped the build (130 SIGINT, 143 SIGTERM, 129 SIGHUP,\n"
                    "141 SIGPIPE)"},
}};

} // namespace

std::span<const SystemText> systemTexts() noexcept {
    return Texts;
}

} // namespace pelorix
