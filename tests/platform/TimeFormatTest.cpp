#include "platform/TimeFormat.h"

#include <gtest/gtest.h>

namespace pelorix {
namespace {

TEST(TimeFormat, DateTimeIsRoundedToTheNearestSecond) {
    // 03:04:05 as a day fraction is not exact in binary; cutting it would give 03:04:04.
    const VbDate t = 45000.0 + (3 * 3600 + 4 * 60 + 5) / 86400.0;
    EXPECT_EQ(formatDateTime(t), "2023/03/15 03:04:05");
    EXPECT_EQ(formatDateTime(t - 0.4 / 86400.0), "2023/03/15 03:04:05");
    EXPECT_EQ(formatDateTime(45000.0 + 86399.6 / 86400.0), "2023/03/16 00:00:00");
    EXPECT_EQ(formatDateTime(0.0), "1899/12/30 00:00:00");
    EXPECT_EQ(formatDateTime(1.5), "1899/12/31 12:00:00");
}

TEST(TimeFormat, LocalCalendarTimeToDateTime) {
    std::tm t{};
    t.tm_year = 2023 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 15;
    t.tm_hour = 3;
    t.tm_min = 4;
    t.tm_sec = 5;
    EXPECT_EQ(formatDateTime(vbDateFromLocal(t)), "2023/03/15 03:04:05");
}

TEST(TimeFormat, FileTimeMovesIntoTheLocalZone) {
    // The tests run with TZ=Asia/Tokyo (UTC+9, no daylight saving).
    const std::uint64_t utc = fileTimeFromUnix(0);
    EXPECT_EQ(fileTimeToLocalFileTime(utc) - utc, 9ULL * 3600 * 10000000ULL);
}

} // namespace
} // namespace pelorix
