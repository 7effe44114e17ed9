#pragma once

#include <string>

namespace pelorix {

// On Linux the program runs against a Wine prefix: the compiler's drives (dosdevices/), its
// registry (system.reg, user.reg) and its programs are the prefix's.

// The Wine prefix: $WINEPREFIX, else ~/.wine. It need not exist.
std::string winePrefix();

// Wine's program: PELORIX_WINE, else wine on PATH, else Debian's place; "" when there is none.
std::string findWine();

} // namespace pelorix
