#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix::cli {

// Exit statuses of the command-line front end.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

using Args = std::vector<std::string>;

// One sub-command: its name, a one-line summary for the overview, the full help text, and the
// function that runs it with the arguments after its name.
struct Command {
    std::string_view name;
    std::string_view summary;
    std::string_view help;
    int (*run)(const Args& args, std::ostream& out, std::ostream& err);
};

// Every command, in the order --help lists them.
const std::vector<Command>& commands();

// Runs the front end on argv without the program name; the whole of pelorix-cli.
int runCli(const Args& args, std::ostream& out, std::ostream& err);

// A host or Windows path given on the command line, as the program's Windows path.
std::string windowsPathArgument(std::string_view argument);

// True when args holds --help or -h.
bool wantsHelp(const Args& args);

} // namespace pelorix::cli
