// Copying the common chart fields between database objects.
#include "aaf/ChartRecord.h"

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
