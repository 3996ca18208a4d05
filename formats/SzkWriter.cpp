// SZK output: one INI-like chart file per chart, a [BirthInfo] and a [Notes] section.
#include "formats/AafDatabase.h"

#include <algorithm>
#include <string_view>

#include "core/Sexagesimal.h"
#include "formats/ChartFileWriter.h"

namespace tervalo {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kSzkExtension = ".szk";
// A country text this short is taken for a code already, as people write "H" or "USA".
constexpr std::size_t kLongestCountryCode = 3;

// Every value ends at its line end: a line break inside a text would start a new key, or a
// section, in the chart program's reader. It stands as a space instead.
void AppendLineText(std::string& out, std::string_view text) {
    for (const char c : text)
        out.push_back(c == '\r' || c == '\n' ? ' ' : c);
}

// The chart program reads 0 as a man, 1 as a woman and 2 as anything else: an event, or a
// chart whose gender nobody gave.
std::int64_t SzkGender(char gender) {
    switch (GenderLetter(gender)) {
        case 'M':
            return 0;
        case 'F':
            return 1;
        default:
            return 2;
    }
}

void AppendKey(std::string& out, std::string_view key, std::int64_t value) {
    out.append(key);
    AppendDecimal(out, value);
    out.append(kLineEnd);
}

void AppendKey(std::string& out, std::string_view key, bool value) {
    out.append(key);
    out.push_back(value ? 'T' : 'F');
    out.append(kLineEnd);
}

void AppendTextKey(std::string& out, std::string_view key, std::string_view value) {
    out.append(key);
    AppendLineText(out, value);
    out.append(kLineEnd);
}

// Each line of the notes is one "Note" key: every line break, CR LF, a lone CR or a lone LF,
// starts the next. Commas become semicolons, as SZK files from this program have always had them.
void AppendNotes(std::string& out, std::string_view notes) {
    std::int64_t number = 0;
    ForEachNotesLine(notes, [&](std::string_view line, bool) {
        out.append("Note");
        AppendDecimal(out, ++number);
        out.push_back('=');
        for (const char c : line)
            out.push_back(c == ',' ? ';' : c);
        out.append(kLineEnd);
    });
}

void AppendSzkText(const AafDatabase& chart, std::string& out) {
    out.append(kLineEnd);
    out.append("[BirthInfo]\r\n");

    out.append("Name=");
    AppendLineText(out, FieldText(chart.LastName));
    out.push_back(' ');
    AppendLineText(out, GivenNames(chart));
    out.append(kLineEnd);
    AppendKey(out, "Gender=", SzkGender(chart.Gender));

    ChartDate date = WrittenDate(chart, YearZero::AsOne);
    // A negative time, which no reader gives, keeps its sign throughout. Hours from 24 up to 48
    // (AAF holds clock times up to 24:59:59) are the next day's early hours: the chart program
    // refuses an hour of 24. Larger ones, which only damaged inputs give, stand as they are.
    TruncatedSplit time = SplitTruncated(chart.Time);
    if (!time.Negative && time.Units >= 24 && time.Units < 48) {
        time.Units -= 24;
        date = NextDay(date, chart.Gregorian);
    }
    const std::int32_t year = date.Year;
    AppendKey(out, "Year=", std::int64_t{year < 0 ? -year : year});
    AppendKey(out, "Month=", std::int64_t{date.Month});
    AppendKey(out, "Day=", std::int64_t{date.Day});

    const std::int64_t timeSign = time.Negative ? -1 : 1;
    AppendKey(out, "Hour=", timeSign * time.Units);
    AppendKey(out, "Minute=", timeSign * time.Minutes);
    AppendKey(out, "Second=", timeSign * time.Seconds);

    // The chart program reads the hour with its sign, minus west of Greenwich, and TZoneWest=T
    // as the sign of the minutes and of the daylight hour; a zone is west when the hours and
    // minutes written are, so zone 0 (and a few seconds) is east. Local mean time it takes from
    // the longitude, and only with TZoneCode=LMT.
    const TruncatedSplit zone = SplitTruncated(chart.TimeZone);
    bool west = !zone.Negative && (zone.Units > 0 || zone.Minutes > 0);
    if (chart.DaylightCode == -1) {
        const TruncatedSplit longitude = SplitTruncated(chart.Longitude);
        west = longitude.Negative &&
               (longitude.Units > 0 || longitude.Minutes > 0 || longitude.Seconds > 0);
        out.append("TZoneCode=LMT\r\n");
    }
    AppendKey(out, "TZoneWest=", west);
    out.append(west ? "TZoneHour=-" : "TZoneHour=");
    AppendDecimal(out, zone.Units);
    out.append(kLineEnd);
    AppendKey(out, "TZoneMinute=", zone.Minutes);
    out.append("TZoneIsManual=T\r\n");

    AppendTextKey(out, "LocCity=", FieldText(chart.Place));
    const std::string_view country = FieldText(chart.Country);
    AppendTextKey(out, "LocCountry=", country);
    AppendTextKey(
        out, "LocCountryID=",
        country.size() <= kLongestCountryCode ? country : chart.LookupCountryCode(country));

    // Only the whole degrees carry a sign, so between -1 and 0 the file holds none.
    const TruncatedSplit longitude = SplitTruncated(chart.Longitude);
    AppendKey(out, "LocLongDegree=", longitude.Negative ? -longitude.Units : longitude.Units);
    AppendKey(out, "LocLongMinute=", longitude.Minutes);
    AppendKey(out, "LocLongSecond=", longitude.Seconds);
    const TruncatedSplit latitude = SplitTruncated(chart.Latitude);
    AppendKey(out, "LocLatDegree=", latitude.Negative ? -latitude.Units : latitude.Units);
    AppendKey(out, "LocLatMinute=", latitude.Minutes);
    AppendKey(out, "LocLatSecond=", latitude.Seconds);

    AppendKey(out, "IsDayLightSavingTime=", chart.DaylightCode > 0);
    AppendKey(out, "BirthDateIsBC=", year < 0);
    out.append(kLineEnd);
    out.append("[Notes]\r\n");
    AppendNotes(out, FieldText(chart.Notes));
    out.append(kLineEnd);
}

}  // namespace

std::string* AafDatabase::FormatSzkText(std::string* out) {
    if (out == nullptr) return nullptr;
    out->clear();
    AppendSzkText(*this, *out);
    return out;
}

bool AafDatabase::SaveSzkFiles(const std::string& folder, WriteFailures* failures,
                               ChartFileClaims* claims) {
    return SaveChartFiles(*this, folder, kSzkExtension, &AafDatabase::FormatSzkText, failures,
                          claims);
}

}  // namespace tervalo
