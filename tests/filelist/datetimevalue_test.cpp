// The shared date-time value: days since 1899-12-30 plus the time of day.

#include "filelist/datetimevalue.h"

#include <cmath>
#include <ctime>
#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(DateTimeValue, EncodesKnownDates) {
    struct Row {
        DateTimeParts parts;
        double value;
    } rows[] = {
        {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
        {{1899, 12, 31, 0, 0, 0, 0}, 1.0},
        {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
        {{1900, 3, 1, 0, 0, 0, 0}, 61.0}, // 1900 is no leap year
        {{2000, 1, 1, 12, 0, 0, 0}, 36526.5},
        {{2026, 12, 7, 18, 0, 0, 0}, 46363.75},
        {{1899, 12, 29, 6, 0, 0, 0}, -1.25}, // before the base: day negative, time added
        {{1, 1, 1, 0, 0, 0, 0}, -693593.0},
        {{9999, 12, 31, 0, 0, 0, 0}, 2958465.0},
    };
    for (const Row& row : rows) {
        const auto value = EncodeDateTime(row.parts);
        ASSERT_TRUE(value.has_value()) << row.value;
        EXPECT_DOUBLE_EQ(*value, row.value);
        EXPECT_EQ(DecodeDateTime(row.value), row.parts) << row.value;
    }
}

TEST(DateTimeValue, RejectsPartsOutOfRange) {
    const DateTimeParts rows[] = {
        {0, 1, 1, 0, 0, 0, 0},     {10000, 1, 1, 0, 0, 0, 0}, {2023, 2, 29, 0, 0, 0, 0},
        {2024, 13, 1, 0, 0, 0, 0}, {2024, 4, 31, 0, 0, 0, 0}, {2024, 1, 1, 24, 0, 0, 0},
        {2024, 1, 1, 0, 60, 0, 0}, {2024, 1, 1, 0, 0, 60, 0}, {2024, 1, 1, 0, 0, 0, 1000},
    };
    for (const DateTimeParts& parts : rows)
        EXPECT_FALSE(EncodeDateTime(parts).has_value())
            << parts.Year << "-" << parts.Month << "-" << parts.Day;
    EXPECT_TRUE(EncodeDateTime({2024, 2, 29, 23, 59, 59, 999}).has_value());
    for (double value : {-693595.0, 2958466.0, std::nan(""), HUGE_VAL})
        EXPECT_FALSE(DecodeDateTime(value).has_value()) << value;
}

TEST(DateTimeValue, LocalTimeOfTimeStamps) {
    EXPECT_EQ(LocalDateTimeValue(0, 0), 0.0); // an unset time
    // A time stamp far outside years 1..9999 cannot be shown and counts as no time.
    EXPECT_EQ(LocalDateTimeValue(std::int64_t{1} << 50, 0), 0.0);

    const std::time_t stamp = 1700000000; // 2023-11-14 22:13:20 UTC
    std::tm local{};
    ASSERT_NE(localtime_r(&stamp, &local), nullptr);
    const double expected = *EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                             local.tm_hour, local.tm_min, local.tm_sec, 250});
    EXPECT_DOUBLE_EQ(LocalDateTimeValue(stamp, 250000000), expected);
    EXPECT_NEAR(LocalDateTimeValue(stamp, 0), 45244.0, 1.5); // within a day of UTC
}

} // namespace
} // namespace qm
