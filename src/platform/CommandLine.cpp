#include "platform/CommandLine.h"

namespace pelorix {

std::vector<std::string> splitCommandLine(std::string_view) {
    return {};
}
std::string quoteArgument(std::string_view argument) {
    return std::string(argument);
}
std::string quoteProgramPath(std::string_view programPath) {
    return std::string(programPath);
}
std::string joinCommandLine(const std::vector<std::string>&) {
    return {};
}

} // namespace pelorix
