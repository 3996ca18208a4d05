// The rules every writer shares, and copying the common chart fields between database objects.
#include "core/ChartRecord.h"

#include <algorithm>
#include <cstring>

namespace tervalo {

namespace {

template <std::size_t N>
void CopyText(const char (&from)[N], char (&to)[N]) {
    const std::string_view text = FieldText(from);
    std::memcpy(to, text.data(), text.size());
    to[text.size() < N ? text.size() : N - 1] = '\0';
}

}  // namespace

std::string_view GivenNames(const ChartRecord& chart) {
    return GivenNames(FieldText(chart.FirstName));
}

std::string_view GivenNames(std::string_view firstName) {
    return firstName.substr(std::min(firstName.find_first_not_of(" *"), firstName.size()));
}

bool IsLeapYear(std::int32_t year, bool gregorian) {
    // Year -1 is the year before 1; it behaves like a year 0 would.
    const std::int32_t counted = year < 0 ? year + 1 : year;
    if (counted % 4 != 0) return false;
    return !gregorian || counted % 100 != 0 || counted % 400 == 0;
}

ChartDate NextDay(ChartDate date, bool gregorian) {
    static constexpr std::int32_t kMonthLength[13] = {0,  31, 28, 31, 30, 31, 30,
                                                      31, 31, 30, 31, 30, 31};
    const std::int32_t year = std::clamp(date.Year, kMinYear, kMaxYear);
    const std::int32_t month = std::clamp(date.Month, 1, 12);
    const std::int32_t monthLength =
        kMonthLength[month] + (month == 2 && IsLeapYear(year, gregorian) ? 1 : 0);
    const std::int32_t day = std::clamp(date.Day, 1, monthLength);
    if (day < monthLength) return {year, month, day + 1};
    if (month < 12) return {year, month + 1, 1};
    if (year == kMaxYear) return {year, month, day};
    return {year == -1 ? 1 : year + 1, 1, 1};
}

void CopyCommonFields(const ChartRecord& from, ChartRecord& to) {
    if (&from == &to) return;
    CopyText(from.LastName, to.LastName);
    CopyText(from.FirstName, to.FirstName);
    CopyText(from.Place, to.Place);
    CopyText(from.Country, to.Country);
    to.Time = from.Time;
    to.Latitude = from.Latitude;
    to.Longitude = from.Longitude;
    to.TimeZone = from.TimeZone;
    to.LeadValue = from.LeadValue;
    to.DaylightCode = from.DaylightCode;
    to.Year = from.Year;
    to.Month = from.Month;
    to.Day = from.Day;
    to.Gregorian = from.Gregorian;
    to.Gender = from.Gender;
}

}  // namespace tervalo
