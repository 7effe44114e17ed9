#include "cli/Commands.h"

namespace pelorix::cli {

std::vector<Command> allCommands() {
    std::vector<Command> all;
    all.push_back(buildCommand());
    all.push_back(checkCommand());
    all.push_back(orderCommand());
    all.push_back(pipelineCommand());
    all.push_back(registerCommand());
    all.push_back(typelibsCommand());
    all.push_back(typelibInfoCommand());
    all.push_back(compatCommand());
    all.push_back(projectCommand());
    all.push_back(updateCommand());
    all.push_back(importCommand());
    return all;
}

} // namespace pelorix::cli
