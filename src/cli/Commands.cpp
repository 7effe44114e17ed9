#include "cli/Commands.h"

namespace pelorix::cli {

std::vector<Command> allCommands() {
    std::vector<Command> all;
    return all;
}

} // namespace pelorix::cli
