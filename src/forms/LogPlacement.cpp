#include "forms/LogPlacement.h"

#include "forms/CDDesign.h"
#include "platform/CCCommon.h"
#include "platform/CFWin32API.h"
#include "platform/Numbers.h"
#include "platform/Text.h"

#include <algorithm>
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

FormPlacement boundedToArea(const FormPlacement& placement, const FormPlacement& area) {
    // One side of the placement along one axis of the area, in 64 bits so that no sum overflows.
    const auto axis = [](std::int64_t start, std::int64_t size, std::int64_t areaStart,
                         std::int64_t areaSize) {
        const std::int64_t bounded = std::clamp<std::int64_t>(size, 0, std::max<std::int64_t>(areaSize, 0));
        const std::int64_t place =
            std::clamp(start, areaStart, areaStart + std::max<std::int64_t>(areaSize, 0) - bounded);
        return std::pair{static_cast<std::int32_t>(place), static_cast<std::int32_t>(bounded)};
    };
    const auto [left, width] = axis(placement.left, placement.width, area.left, area.width);
    const auto [top, height] = axis(placement.top, placement.height, area.top, area.height);
    return {left, top, width, height};
}

void writeLogPlacement(CFWin32API& api, const FormPlacement& placement) {
    api.SetTerminalProfile(section, sizeKey, quotedPair(placement.width, placement.height));
    api.SetTerminalProfile(section, positionKey, quotedPair(placement.left, placement.top));
}

} // namespace pelorix
