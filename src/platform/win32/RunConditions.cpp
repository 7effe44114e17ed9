#include "platform/RunConditions.h"

namespace pelorix {

std::optional<std::string> registryProblem() {
    // The registry is the system's own: there is always one.
    return std::nullopt;
}

} // namespace pelorix
