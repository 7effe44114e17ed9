#pragma once

#include <ctime>

namespace pelorix {

// The current local time, in the system's time zone.
std::tm localNow();

} // namespace pelorix
