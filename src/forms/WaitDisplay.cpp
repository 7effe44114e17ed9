#include "forms/WaitDisplay.h"

#include "engine/BuildWindows.h"

namespace pelorix {

std::optional<WaitDisplay> waitDisplay(std::int16_t mode) {
    const WaitButton hidden{};
    switch (mode) {
    case WaitMode::Running:
        return WaitDisplay{WaitImage::Running, {true, "ｷｬﾝｾﾙ", 1515}, hidden};
    case WaitMode::EngineFailure:
        return WaitDisplay{WaitImage::Question, {true, "OK", 975}, {true, "ｷｬﾝｾﾙ", 2055}};
    case WaitMode::Information:
        return WaitDisplay{WaitImage::Information, {true, "OK", 1515}, hidden};
    case WaitMode::Warning:
        return WaitDisplay{WaitImage::Warning, {true, "OK", 1515}, hidden};
    default:
        return std::nullopt;
    }
}

} // namespace pelorix
