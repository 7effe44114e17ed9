#include "platform/TimeFormat.h"

#include "platform/LocalTime.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace pelorix {
namespace {

using namespace std::chrono;

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600; // 1601-01-01 .. 1970-01-01

// The calendar fields of a date-time, rounded to the whole second.
struct Fields {
    int year, month, day, hour, minute, second;
};

Fields fieldsOf(VbDate date) {
    // Whole seconds since the base date; the time part of a negative date counts forwards from
    // its day, as the runtime reads it.
    double dayPart = std::trunc(date);
    double timePart = std::fabs(date - dayPart);
    std::int64_t seconds = std::llround(timePart * kSecondsPerDay);
    auto days = static_cast<std::int64_t>(dayPart);
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        days += date < 0 ? -1 : 1;
    }
    const sys_days base = sys_days(year(1899) / December / 30);
    const year_month_day ymd(base + std::chrono::days(days));
    return {static_cast<int>(ymd.year()),
            static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())),
            static_cast<int>(seconds / 3600),
            static_cast<int>(seconds / 60 % 60),
            static_cast<int>(seconds % 60)};
}

} // namespace

VbDate vbDateFromLocal(const std::tm& local) {
    const sys_days day =
        sys_days(year(local.tm_year + 1900) / month(static_cast<unsigned>(local.tm_mon + 1)) /
                 std::chrono::day(static_cast<unsigned>(local.tm_mday)));
    const auto dayNumber = (day - sys_days(year(1899) / December / 30)).count();
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
    return static_cast<double>(dayNumber) + seconds / kSecondsPerDay;
}

VbDate Now() {
    return vbDateFromLocal(localNow());
}

std::string formatDateTime(VbDate date) {
    const Fields f = fieldsOf(date);
    char text[40];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour,
                  f.minute, f.second);
    return text;
}

std::string timeStamp() {
    const std::tm t = localNow();
    char text[40];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::string timeStamp14() {
    const std::tm t = localNow();
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::uint64_t fileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds) {
    return static_cast<std::uint64_t>(seconds + kUnixEpochInFileTimeSeconds) * 10000000ULL +
           nanoseconds / 100;
}

} // namespace pelorix
