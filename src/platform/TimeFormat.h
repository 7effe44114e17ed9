#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace pelorix {

// The platform's date type: days since 30 December 1899 00:00, the fraction being the time of day.
using VbDate = double;

// The current local date and time.
VbDate Now();

// A local calendar time as a date-time.
VbDate vbDateFromLocal(const std::tm& local);

// "YYYY/MM/DD HH:MM:SS", rounded to the nearest second (as the runtime's formatting does).
std::string formatDateTime(VbDate date);

// The current local time as "YYYY/MM/DD HH:MM:SS" (error log, build log lines).
std::string timeStamp();

// The current local time as "YYYYMMDDHHMMSS" (backup file names).
std::string timeStamp14();

// A FILETIME (100 ns intervals since 1601-01-01 UTC) moved into the local time zone (on Linux
// TZ, on Windows the system's zone), as FileTimeToLocalFileTime does.
std::uint64_t fileTimeToLocalFileTime(std::uint64_t fileTime);

// A Unix time (seconds) as a FILETIME.
std::uint64_t fileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds = 0);

} // namespace pelorix
