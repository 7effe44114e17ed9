#include "platform/CFWin32API.h"

namespace pelorix {

std::string CFWin32API::fPathCanonicalize(std::string_view path) {
    return std::string(path);
}
std::string CFWin32API::QuoteSpaces(std::string_view path) {
    return std::string(path);
}

} // namespace pelorix
