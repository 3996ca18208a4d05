// The chart record's calendar: leap years and the day after a date in both calendars.
#include "core/ChartRecord.h"

#include <limits>

#include <gtest/gtest.h>

namespace tervalo {
namespace {

constexpr bool kGregorian = true;
constexpr bool kJulian = false;

TEST(ChartRecord, NextDayCarriesByTheChartsCalendar) {
    struct Case {
        const char* what;
        ChartDate date;
        bool gregorian;
        ChartDate expected;
    };
    const Case cases[] = {
        {"inside a month", {1961, 3, 7}, kGregorian, {1961, 3, 8}},
        {"end of a 31-day month", {1961, 1, 31}, kGregorian, {1961, 2, 1}},
        {"end of a 30-day month", {1961, 4, 30}, kGregorian, {1961, 5, 1}},
        {"30 April is not the last in May", {1961, 5, 30}, kGregorian, {1961, 5, 31}},
        {"end of the year", {1999, 12, 31}, kGregorian, {2000, 1, 1}},
        {"28 February of a common year", {1999, 2, 28}, kGregorian, {1999, 3, 1}},
        {"28 February of a leap year", {1996, 2, 28}, kGregorian, {1996, 2, 29}},
        {"29 February", {1996, 2, 29}, kGregorian, {1996, 3, 1}},
        {"1900 is common in the Gregorian calendar", {1900, 2, 28}, kGregorian, {1900, 3, 1}},
        {"1900 is a leap year in the Julian calendar", {1900, 2, 28}, kJulian, {1900, 2, 29}},
        {"2000 is a leap year in the Gregorian calendar", {2000, 2, 28}, kGregorian, {2000, 2, 29}},
        {"1500 is a Julian leap year", {1500, 2, 28}, kJulian, {1500, 2, 29}},
        {"1500 is not a Gregorian one", {1500, 2, 28}, kGregorian, {1500, 3, 1}},
        {"29 February of a common year is its last", {1999, 2, 29}, kGregorian, {1999, 3, 1}},
        {"year -1 is followed by 1", {-1, 12, 31}, kJulian, {1, 1, 1}},
        {"year -2 by -1", {-2, 12, 31}, kJulian, {-1, 1, 1}},
        {"-1 is a leap year, as the year before 1", {-1, 2, 28}, kJulian, {-1, 2, 29}},
        {"-5 is a leap year", {-5, 2, 28}, kJulian, {-5, 2, 29}},
        {"-4 is not", {-4, 2, 28}, kJulian, {-4, 3, 1}},
        {"-101 is common in the Gregorian calendar", {-101, 2, 28}, kGregorian, {-101, 3, 1}},
        {"-401 is a Gregorian leap year", {-401, 2, 28}, kGregorian, {-401, 2, 29}},
        {"day 0 counts as 1", {1961, 3, 0}, kGregorian, {1961, 3, 2}},
        {"month 0 counts as January", {1961, 0, 31}, kGregorian, {1961, 2, 1}},
        {"both 0", {1961, 0, 0}, kGregorian, {1961, 1, 2}},
        {"a negative day counts as 1", {1961, 3, -5}, kGregorian, {1961, 3, 2}},
        {"a day past the month's end is its last", {1961, 4, 99}, kGregorian, {1961, 5, 1}},
        {"a month past 12 is December", {1961, 13, 31}, kGregorian, {1962, 1, 1}},
        {"31 December 9999 has no day after", {9999, 12, 31}, kGregorian, {9999, 12, 31}},
        {"30 December 9999 has", {9999, 12, 30}, kGregorian, {9999, 12, 31}},
        {"years beyond four digits are held", {123456, 6, 1}, kGregorian, {9999, 6, 2}},
        {"and below", {std::numeric_limits<std::int32_t>::min(), 12, 31}, kJulian, {-9998, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ChartDate next = NextDay(c.date, c.gregorian);
        EXPECT_EQ(next.Year, c.expected.Year);
        EXPECT_EQ(next.Month, c.expected.Month);
        EXPECT_EQ(next.Day, c.expected.Day);
    }
}

}  // namespace
}  // namespace tervalo
