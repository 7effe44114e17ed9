#include "cli/Cli.h"
#include "platform/Console.h"

int main(int argc, char** argv) {
    const std::vector<std::string> all = pelorix::programArguments(argc, argv);
    const pelorix::cli::Args args(all.begin() + (all.empty() ? 0 : 1), all.end());
    const int status = pelorix::cli::runCli(args, pelorix::standardOutput(), pelorix::standardError());
    pelorix::standardOutput().flush();
    return status;
}
