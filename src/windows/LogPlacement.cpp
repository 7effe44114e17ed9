#include "windows/LogPlacement.h"

#include "platform/CCCommon.h"
#include "platform/CFWin32API.h"
#include "platform/Numbers.h"
#include "platform/Text.h"
#include "windows/CDDesign.h"

#include <optional>
#include <string>
#include <utility>

namespace pelorix {

namespace {

constexpr std::string_view section = "Log";
constexpr std::string_view sizeKey = "FormSize";
constexpr std::string_view positionKey = "FormPosition";

// The two numbers of a "first,second" setting, each only when it is a number that fits; nothing
// at all without a ",".
std::pair<std::optional<std::int32_t>, std::optional<std::int32_t>> readPair(CFWin32API& api,
                                                                             std::string_view key) {
    const std::string value = api.GetTerminalProfile(section, key);
    if (CCCommon().fDelimiterCount(value, ",") == 0)
        return {};
    const std::vector<std::string> parts = split(value, ',');
    return {longValue(parts[0]), longValue(parts[1])};
}

std::string quotedPair(std::int32_t first, std::int32_t second) {
    return "\"" + std::to_string(first) + "," + std::to_string(second) + "\"";
}

} // namespace

FormPlacement readLogPlacement(CFWin32API& api, const FormPlacement& mainWindow) {
    FormPlacement placement{mainWindow.left, mainWindow.top, mainWindow.width,
                            roundTwips(mainWindow.height / 3.0)};
    const auto [width, height] = readPair(api, sizeKey);
    if (width && *width > 0)
        placement.width = *width;
    if (height && *height > 0)
        placement.height = *height;
    const auto [left, top] = readPair(api, positionKey);
    if (left)
        placement.left = *left;
    if (top)
        placement.top = *top;
    return placement;
}

void writeLogPlacement(CFWin32API& api, const FormPlacement& placement) {
    api.SetTerminalProfile(section, sizeKey, quotedPair(placement.width, placement.height));
    api.SetTerminalProfile(section, positionKey, quotedPair(placement.left, placement.top));
}

} // namespace pelorix
