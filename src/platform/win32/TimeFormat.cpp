// Local time through the system's time-zone settings.
#include "platform/TimeFormat.h"

#include "platform/LocalTime.h"
#include "platform/win32/WindowsApi.h"

namespace pelorix {

std::tm localNow() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    std::tm local{};
    local.tm_year = now.wYear - 1900;
    local.tm_mon = now.wMonth - 1;
    local.tm_mday = now.wDay;
    local.tm_hour = now.wHour;
    local.tm_min = now.wMinute;
    local.tm_sec = now.wSecond;
    local.tm_wday = now.wDayOfWeek;
    local.tm_isdst = -1;
    return local;
}

std::uint64_t fileTimeToLocalFileTime(std::uint64_t fileTime) {
    FILETIME utc{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    FILETIME local{};
    if (::FileTimeToLocalFileTime(&utc, &local) == 0)
        return fileTime;
    return static_cast<std::uint64_t>(local.dwHighDateTime) << 32 | local.dwLowDateTime;
}

} // namespace pelorix
