#include "platform/SystemTexts.h"

#include "platform/Text.h"

namespace pelorix {

std::string withSystemTexts(std::string_view text) {
    std::string out(text);
    for (const SystemText& system : systemTexts())
        out = replaceAll(out, "{" + std::string(system.key) + "}", system.text);
    return out;
}

} // namespace pelorix
