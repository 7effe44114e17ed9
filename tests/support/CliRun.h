#pragma once

#include "cli/Cli.h"

#include <sstream>
#include <string>
#include <vector>

namespace pelorix::test {

// What one run of the command-line front end gave: its exit status and what it printed.
struct CliOutcome {
    int status;
    std::string out;
    std::string err;
};

inline CliOutcome runCli(const cli::Args& args) {
    std::ostringstream out, err;
    const int status = cli::runCli(args, out, err);
    return {status, out.str(), err.str()};
}

// The lines of a command's output, without their line ends.
inline std::vector<std::string> outputLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace pelorix::test
