#pragma once

#include <iosfwd>
#include <optional>
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

// A file a report written over it would destroy: what it is ("the project list"), and its host
// path.
struct ReportGuardedFile {
    std::string what;
    std::string hostPath;
};

// Why a report may not be written where the path a user gave (--junit) says, or nothing: a path
// that leads to one of the files (however it is spelt: the files are compared, not the names), or
// to something that is not a regular file (a folder, a device, a FIFO), is never replaced by a
// report.
std::optional<std::string> reportPathProblem(const std::string& reportPath,
                                             const std::vector<ReportGuardedFile>& files,
                                             std::string_view what = "the JUnit report path");

// True when args holds --help or -h.
bool wantsHelp(const Args& args);

} // namespace pelorix::cli
