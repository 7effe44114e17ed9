#include "cli/Commands.h"

namespace pelorix::cli {

std::vector<Command> allCommands() {
    std::vector<Command> all;
    all.push_back(buildCommand());
    all.push_back(typelibInfoCommand());
    return all;
}

} // namespace pelorix::cli
