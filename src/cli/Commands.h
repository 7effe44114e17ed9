#pragma once

#include "cli/Cli.h"

namespace pelorix::cli {

// Each command lives in a file of its own and contributes its Command here.
std::vector<Command> allCommands();

Command buildCommand();
Command checkCommand();
Command orderCommand();
Command pipelineCommand();
Command registerCommand();
Command typelibInfoCommand();
Command compatCommand();
Command typelibsCommand();
Command projectCommand();
Command updateCommand();
Command importCommand();

} // namespace pelorix::cli
