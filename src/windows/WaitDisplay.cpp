#include "windows/WaitDisplay.h"

namespace pelorix {

std::optional<WaitDisplay> waitDisplay(std::int16_t mode) {
    const WaitButton hidden{};
    switch (mode) {
    case 0:
        return WaitDisplay{WaitImage::Running, {true, "ｷｬﾝｾﾙ", 1515}, hidden};
    case 1:
        return WaitDisplay{WaitImage::Question, {true, "OK", 975}, {true, "ｷｬﾝｾﾙ", 2055}};
    case 2:
        return WaitDisplay{WaitImage::Information, {true, "OK", 1515}, hidden};
    case 4:
        return WaitDisplay{WaitImage::Warning, {true, "OK", 1515}, hidden};
    default:
        return std::nullopt;
    }
}

} // namespace pelorix
