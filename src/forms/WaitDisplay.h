#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pelorix {

// The progress window's pictures, by role.
namespace WaitImage {
inline constexpr std::int16_t Running = 1;
inline constexpr std::int16_t Information = 2;
inline constexpr std::int16_t Question = 3;
inline constexpr std::int16_t Warning = 4;
} // namespace WaitImage

// One of the progress window's two buttons in a display mode: shown with a caption at a left
// position in twips, or hidden (its caption and place then stay as they were).
struct WaitButton {
    bool visible = false;
    std::string caption;
    std::int32_t left = 0;
};

// What a display mode of the progress window shows: the picture and the two buttons.
struct WaitDisplay {
    std::int16_t image = 0;
    WaitButton button0;
    WaitButton button1;
};

// The display modes: 0 a build is running (a cancel button), 1 the engine's own failure report
// (OK and cancel), 2 a run that succeeded, 4 a run cancelled or failed (OK). Any other mode has no
// display of its own: the window then changes only its caption and message.
std::optional<WaitDisplay> waitDisplay(std::int16_t mode);

} // namespace pelorix
