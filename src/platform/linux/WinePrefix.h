#pragma once

#include <string>

namespace pelorix {

// On Linux the program runs against a Wine prefix: the compiler's drives (dosdevices/), its
// registry (system.reg, user.reg) and its programs are the prefix's.

// The Wine prefix: $WINEPREFIX, else ~/.wine. It need not exist.
std::string winePrefix();

} // namespace pelorix
