#pragma once

#include "formats/TypeLibCompat.h"

#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// One difference as a line of text: "breaking" or "compatible", the type, the member and what
// changed, separated by TABs (control characters of the names as spaces).
std::string compatLine(const CompatDifference& difference);

// The comparison as a JUnit XML report: one test suite named suiteName, one test case per type
// of either library (named after the type, its class name the old library's name), failed when a
// breaking difference concerns it; its compatible differences are the case's output.
std::string compatJUnitXml(const TypeLibrary& oldLib, const TypeLibrary& newLib,
                           const std::vector<CompatDifference>& differences, std::string_view suiteName);

} // namespace pelorix
