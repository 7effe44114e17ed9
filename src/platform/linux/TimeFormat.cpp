// Local time through the C library's time-zone rules (TZ, /etc/localtime).
#include "platform/TimeFormat.h"

#include "platform/LocalTime.h"

#include <cstdlib>
#include <string>

namespace pelorix {
namespace {

constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600; // 1601-01-01 .. 1970-01-01

// Reloads the time-zone rules when TZ has changed since the last conversion; reloading them for
// every conversion would cost a look at /etc/localtime each time when TZ is unset.
void syncTimeZone() {
    thread_local std::string last;
    thread_local bool synced = false;
    const char* tz = std::getenv("TZ");
    const std::string now = tz == nullptr ? std::string("\x01unset") : std::string(tz);
    if (!synced || now != last) {
        ::tzset();
        last = now;
        synced = true;
    }
}

} // namespace

std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    syncTimeZone();
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::uint64_t fileTimeToLocalFileTime(std::uint64_t fileTime) {
    const auto unixSeconds = static_cast<std::int64_t>(fileTime / 10000000ULL) - kUnixEpochInFileTimeSeconds;
    const auto t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    syncTimeZone();
    if (localtime_r(&t, &local) == nullptr)
        return fileTime;
    const std::int64_t offset = local.tm_gmtoff;
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(fileTime) + offset * 10000000LL);
}

} // namespace pelorix
