#pragma once

#include <QPixmap>
#include <cstdint>

namespace pelorix {

// The progress window's pictures, drawn rather than loaded: running (an hourglass), information
// (an "i" in a blue disc), question (a "?" in a blue disc) and warning (a "!" in a yellow
// triangle); see WaitImage. sidePixels is the side of the square in device-independent pixels,
// drawn sharp for the device pixel ratio. An unknown image gives an empty picture.
QPixmap drawWaitImage(std::int16_t image, int sidePixels, qreal devicePixelRatio);

} // namespace pelorix
