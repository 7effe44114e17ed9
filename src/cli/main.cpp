#include "cli/Cli.h"

#include <iostream>

int main(int argc, char** argv) {
    pelorix::cli::Args args(argv + 1, argv + argc);
    return pelorix::cli::runCli(args, std::cout, std::cerr);
}
