#pragma once

#include <cstdint>

namespace pelorix {

class CFWin32API;

// A window's place and outer size, in twips.
struct FormPlacement {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const FormPlacement&) const = default;
};

// The build log window's placement from section "Log" of Pelorix.ini: "FormSize" (width ","
// height) and "FormPosition" (left "," top). Without its "," a key gives the defaults, and so
// does each part that is not a number or does not fit; a width or height not greater than 0 is
// its default too. The defaults come from the main window: its left and top, its width and a
// third of its height.
FormPlacement readLogPlacement(CFWin32API& api, const FormPlacement& mainWindow);

// A placement read from the settings, kept on the screen's available area (all in twips), as a
// desktop program keeps its windows: a width or height larger than the area's is the area's, and
// the window is moved, when it must, so that it lies wholly inside the area. Any numbers are safe,
// the largest and the negative ones too.
FormPlacement boundedToArea(const FormPlacement& placement, const FormPlacement& area);

// Writes both keys, each value enclosed in double quotes.
void writeLogPlacement(CFWin32API& api, const FormPlacement& placement);

} // namespace pelorix
