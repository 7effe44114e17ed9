#include "platform/Console.h"

#include <iostream>

namespace pelorix {

std::ostream& standardOutput() {
    return std::cout;
}

std::ostream& standardError() {
    return std::cerr;
}

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace pelorix
