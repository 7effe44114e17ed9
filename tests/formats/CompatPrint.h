#pragma once

// Differences printed as the command prints them when a test that compares them fails.

#include "formats/CompatReport.h"

#include <ostream>

namespace pelorix {

inline void PrintTo(const CompatDifference& d, std::ostream* out) {
    *out << compatLine(d);
}

} // namespace pelorix
