#include "platform/SystemTexts.h"

#include <array>

namespace pelorix {
namespace {

constexpr std::array<SystemText, 12> Texts{{
    {"system", "On Windows the compiler's registry, drives and Windows folder are the system's own, and\n"
               "the compiler runs as any program does.\n"},
    {"registry", "the system's registry"},
    {"typelib-view",
     "the system's registry in its\n"
     "32-bit view: the registrations under HKEY_CLASSES_ROOT\\TypeLib as the 32-bit compiler\n"
     "sees them, the machine's and the user's classes merged as Windows shows them."},
    {"registry-problems", ""},
    {"run-registry", ""},
    {"paths", "FILE is a path of the system (a relative one from the current folder)."},
    {"windows-folder", "WINDIR"},
    {"program-folder",
     "The program folder holds Pelorix.ini, Pelorix.log and Pelorix.lock: PELORIX_HOME, else\n"
     "the folder of pelorix-cli.exe when files can be made there, else %APPDATA%\\pelorix.\n"},
    {"terminal", "a console"},
    {"compiler-process",
     "The compiler runs in a job object with standard input, output and error on NUL: it\n"
     "never holds a pipe this command writes to, and it ends with everything it started\n"
     "when the job is ended, also when this command is ended."},
    {"stop-events", "Ctrl+C or Ctrl+Break at the console during a build, the console closed, a log-off\n"
                    "or a shutdown stop it: the compiler is ended with its job, no further project is\n"
                    "built, the project file and its backups stay as after a failed build (after a\n"
                    "close, a log-off or a shutdown the system ends this command within five seconds,\n"
                    "and the run puts the project file back first), the build log names the event by\n"
                    "its signal (SIGINT, SIGBREAK, SIGTERM), and the result lines are printed as after\n"
                    "any run."},
    {"stop-status", "128 + the\n"
                    "number of the event's signal when one stopped the build (130 Ctrl+C, 149 Ctrl+Break,\n"
                    "143 a closed console, a log-off or a shutdown)"},
}};

} // namespace

std::span<const SystemText> systemTexts() noexcept {
    return Texts;
}

} // namespace pelorix
