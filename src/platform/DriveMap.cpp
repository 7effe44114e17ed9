// What the drive map does alike on every system: finding a drive by its letter.
#include "platform/DriveMap.h"

#include "platform/Text.h"

namespace pelorix {

const DriveMap::Drive* DriveMap::findDrive(char letter) const {
    const char upper = toUpperAscii(letter);
    for (const Drive& d : m_drives)
        if (d.letter[0] == upper)
            return &d;
    return nullptr;
}

} // namespace pelorix
