#include "platform/StopSignals.h"

namespace pelorix {

std::string StopSignals::name(int signal) {
    for (const NamedSignal& named : namedSignals())
        if (named.number == signal)
            return std::string(named.name);
    return "signal " + std::to_string(signal);
}

} // namespace pelorix
