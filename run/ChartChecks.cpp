// Checks over one chart: dates that cannot be real, and what the target cannot hold of it.
#include "run/ChartChecks.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "core/ChartRecord.h"
#include "core/CodePage.h"
#include "core/Sexagesimal.h"

namespace tervalo {

namespace {

// QCK's fixed columns, as its writer fills them.
constexpr std::size_t kQckNameWidth = 23;        // "Last,First"
constexpr std::size_t kQckPlaceWidth = 21;       // Place alone
constexpr std::size_t kQckPlaceAndCountry = 26;  // "Place,Country"
constexpr std::int32_t kQckZoneHoursMax = 99;
constexpr double kZonePerDegree = 1.0 / 15;

// How much of the notes a finding shows.
constexpr std::size_t kNotesShown = 40;

std::int32_t MonthLength(std::int32_t year, std::int32_t month, bool gregorian) {
    static constexpr std::int32_t kMonthLength[13] = {0,  31, 28, 31, 30, 31, 30,
                                                      31, 31, 30, 31, 30, 31};
    return kMonthLength[month] + (month == 2 && IsLeapYear(year, gregorian) ? 1 : 0);
}

// Latitude, longitude and zone go through AAF text on their way to every target but QCK:
// degrees (hours) and minutes, after rounding to the half second, as the AAF writer splits them.
struct AafSplit {
    RoundedUnits Units;
    bool Negative = false;
};
AafSplit SplitAsAafWrites(double value) {
    const long double bounded = BoundForWriting(value);
    return {SplitRounded(std::fabs(bounded)), bounded < 0};
}

// The zone in QCK's one column: local mean time follows the longitude, and a daylight shift
// moves the zone east, as the QCK writer sets them.
double QckZoneInForce(const AafRecord& chart) {
    const double zone =
        chart.DaylightCode == -1 ? -(chart.Longitude * kZonePerDegree) : chart.TimeZone;
    return chart.DaylightCode > 0 ? zone - static_cast<double>(chart.DaylightCode) / 60 : zone;
}

// Only whole degrees carry a sign in SZK, and AAF text on the way gave the minutes: a place
// less than a degree south or west loses its side unless it rounds to 0 there.
bool SzkDropsSign(double value) {
    if (!(value < 0 && value > -1)) return false;
    const AafSplit split = SplitAsAafWrites(value);
    return split.Units.Units == 0 && split.Units.Minutes > 0;
}

// Whether a value is surely a whole number of minutes (or of arc minutes) after rounding to the
// half second: within 0.49 seconds of one. Most charts are, and the exact split, in long
// double, is then left out; the margin leaves every doubtful value to it.
bool SurelyWholeMinutes(double value) {
    constexpr double kMargin = 0.49 / 60;  // of a minute
    // Adding this and taking it away again rounds a value below 2^51 to the nearest whole
    // number, cheaper than std::floor without the processor's own rounding.
    constexpr double kRounder = 0x1.8p52;
    const double minutes = std::fabs(value) * 60;
    if (!(minutes < 0x1p51)) return false;  // also NaN
    const double nearest = (minutes + kRounder) - kRounder;
    return std::fabs(minutes - nearest) < kMargin;
}

// The length of a field's text, counted no further than `limit` (within the field): a column's
// width is checked on every chart to QCK, so eight bytes are searched for the NUL at a time.
template <std::size_t N>
std::size_t LengthUpTo(const char (&field)[N], std::size_t limit) {
    static_assert(N % 8 == 0);
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    if constexpr (std::endian::native == std::endian::little) {
        for (std::size_t at = 0; at < limit && at < N; at += 8) {
            std::uint64_t word;
            std::memcpy(&word, field + at, 8);
            // The lowest high bit marks the first zero byte; those above it may be false.
            const std::uint64_t zeros = (word - kOnes) & ~word & kHighs;
            if (zeros != 0)
                return std::min(limit, at + static_cast<std::size_t>(std::countr_zero(zeros)) / 8);
        }
        return std::min(limit, N);
    } else {
        std::size_t length = 0;
        while (length < limit && length < N && field[length] != '\0')
            ++length;
        return length;
    }
}

bool AafDropsSeconds(double value) {
    return !SurelyWholeMinutes(value) && SplitAsAafWrites(value).Units.Seconds != 0;
}

// "Last,First" as QCK composes it, the comma only with a first name.
std::string QckName(const AafRecord& chart) {
    std::string name(FieldText(chart.LastName));
    const std::string_view first = FieldText(chart.FirstName);
    if (!first.empty()) {
        name.push_back(',');
        name += first;
    }
    return name;
}

bool QckCutsName(const AafRecord& chart) {
    const std::size_t last = LengthUpTo(chart.LastName, kQckNameWidth + 1);
    const std::size_t first = LengthUpTo(chart.FirstName, kQckNameWidth + 1);
    return first == 0 ? last > kQckNameWidth : last + 1 + first > kQckNameWidth;
}

bool QckCutsPlace(const AafRecord& chart) {
    const std::size_t place = LengthUpTo(chart.Place, kQckPlaceWidth + 1);
    if (place > kQckPlaceWidth) return true;
    return place + 1 + LengthUpTo(chart.Country, kQckPlaceAndCountry + 1) > kQckPlaceAndCountry;
}

void AppendNumber(std::string& text, std::int64_t number) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    text.append(digits, result.ptr);
}

void AppendTwoDigits(std::string& text, std::int64_t number) {
    if (number >= 0 && number < 10) text.push_back('0');
    AppendNumber(text, number);
}

void AppendDate(std::string& text, const AafRecord& chart) {
    AppendNumber(text, chart.Year);
    text.push_back('.');
    AppendTwoDigits(text, chart.Month);
    text.push_back('.');
    AppendTwoDigits(text, chart.Day);
}

// "47°29′33″ É", or without the seconds "47°29′ É"; hours of a zone as "1:16:20 K".
void AppendSexagesimal(std::string& text, const RoundedUnits& split, bool seconds, bool angle) {
    AppendNumber(text, split.Units);
    text += angle ? "°" : ":";
    AppendTwoDigits(text, split.Minutes);
    if (angle) text += "′";
    if (seconds) {
        if (!angle) text.push_back(':');
        AppendTwoDigits(text, split.Seconds);
        if (angle) text += "″";
    }
}

void AppendSecondsDetail(std::string& text, const RoundedUnits& split, bool angle,
                         std::string_view side) {
    AppendSexagesimal(text, split, true, angle);
    text.push_back(' ');
    text += side;
    text += " → ";
    AppendSexagesimal(text, split, false, angle);
    text.push_back(' ');
    text += side;
}

void AppendSignDetail(std::string& text, const RoundedUnits& split, std::string_view read,
                      std::string_view written) {
    AppendSexagesimal(text, split, false, true);
    text.push_back(' ');
    text += read;
    text += " → ";
    AppendSexagesimal(text, split, false, true);
    text.push_back(' ');
    text += written;
}

void AppendCutDetail(std::string& text, std::string_view read, std::string_view written) {
    AppendUtf8FromWindows1250(text, read);
    text += " → ";
    AppendUtf8FromWindows1250(text, written);
}

void AppendNotesDetail(std::string& text, std::string_view notes) {
    // The first line, as far as it is shown.
    std::size_t shown = std::min(notes.size(), kNotesShown);
    for (const char lineEnd : {'\r', '\n'}) {
        if (const void* found = std::memchr(notes.data(), lineEnd, shown); found != nullptr)
            shown = static_cast<std::size_t>(static_cast<const char*>(found) - notes.data());
    }
    AppendUtf8FromWindows1250(text, notes.substr(0, shown));
    if (shown < notes.size()) text += "…";
}

}  // namespace

ChartIssues CheckChart(const AafRecord& chart, Target target) {
    ChartIssues issues = 0;
    if (chart.Month < 1 || chart.Month > 12) {
        issues |= IssueBit(ChartIssue::MonthOutOfRange);
        if (chart.Day < 1) issues |= IssueBit(ChartIssue::DayBelowOne);
    } else if (chart.Day < 1) {
        issues |= IssueBit(ChartIssue::DayBelowOne);
    } else if (chart.Day > 28 &&
               chart.Day > MonthLength(chart.Year, chart.Month, chart.Gregorian)) {
        issues |= IssueBit(ChartIssue::DayPastMonthEnd);
    }
    if (chart.Year == 0) issues |= IssueBit(ChartIssue::YearZero);

    if (target == Target::Qck) {
        if (chart.Notes[0] != '\0') issues |= IssueBit(ChartIssue::NotesDropped);
        const double zone = QckZoneInForce(chart);
        if (!SurelyWholeMinutes(zone) &&
            SplitRoundedWithin(std::fabs(zone), kQckZoneHoursMax).Seconds != 0)
            issues |= IssueBit(ChartIssue::ZoneSecondsDropped);
        if (QckCutsName(chart)) issues |= IssueBit(ChartIssue::NameCut);
        if (QckCutsPlace(chart)) issues |= IssueBit(ChartIssue::PlaceCut);
        return issues;
    }

    if (AafDropsSeconds(chart.Latitude)) issues |= IssueBit(ChartIssue::LatitudeSecondsDropped);
    if (AafDropsSeconds(chart.Longitude)) issues |= IssueBit(ChartIssue::LongitudeSecondsDropped);
    if (AafDropsSeconds(chart.TimeZone)) issues |= IssueBit(ChartIssue::ZoneSecondsDropped);

    switch (target) {
        case Target::Csv:
            if (chart.Notes[0] != '\0') issues |= IssueBit(ChartIssue::NotesDropped);
            break;
        case Target::Hor:
        case Target::Szk:
            if (chart.DaylightCode > 0 && chart.DaylightCode != 60)
                issues |= IssueBit(ChartIssue::DaylightAsOneHour);
            if (target == Target::Hor) {
                const char gender = GenderLetter(chart.Gender);
                if (gender != 'M' && gender != 'F') issues |= IssueBit(ChartIssue::GenderAsWoman);
                break;
            }
            if (chart.Year < 0) issues |= IssueBit(ChartIssue::BcYearIgnored);
            if (SzkDropsSign(chart.Latitude)) issues |= IssueBit(ChartIssue::LatitudeSignDropped);
            if (SzkDropsSign(chart.Longitude)) issues |= IssueBit(ChartIssue::LongitudeSignDropped);
            break;
        default:
            break;
    }
    return issues;
}

void AppendChartFindings(const AafRecord& chart, Target target, ChartIssues issues,
                         ChartFindingSink& sink) {
    // Each detail is formed in the sink's room, which keeps its capacity from chart to chart.
    std::string& detail = sink.Detail;
    const auto add = [&](FindingKind kind, ChartField field) { sink.Add(kind, field, detail); };
    // The exact splits, in long double, only for the findings that show them.
    const auto latitude = [&chart] { return SplitAsAafWrites(chart.Latitude); };
    const auto longitude = [&chart] { return SplitAsAafWrites(chart.Longitude); };

    for (ChartIssues rest = issues; rest != 0; rest &= rest - 1) {
        detail.clear();
        switch (static_cast<ChartIssue>(std::countr_zero(rest))) {
            case ChartIssue::DayPastMonthEnd:
            case ChartIssue::DayBelowOne:
                AppendDate(detail, chart);
                add(FindingKind::Suspicious, ChartField::Day);
                break;
            case ChartIssue::MonthOutOfRange:
                AppendDate(detail, chart);
                add(FindingKind::Suspicious, ChartField::Month);
                break;
            case ChartIssue::YearZero:
                AppendDate(detail, chart);
                add(FindingKind::Suspicious, ChartField::Year);
                break;
            case ChartIssue::NotesDropped:
                AppendNotesDetail(detail, FieldText(chart.Notes));
                add(FindingKind::Lost, ChartField::Notes);
                break;
            case ChartIssue::LatitudeSecondsDropped:
                AppendSecondsDetail(detail, latitude().Units, true,
                                    latitude().Negative ? "D" : "É");
                add(FindingKind::Lost, ChartField::Latitude);
                break;
            case ChartIssue::LongitudeSecondsDropped:
                AppendSecondsDetail(detail, longitude().Units, true,
                                    longitude().Negative ? "Ny" : "K");
                add(FindingKind::Lost, ChartField::Longitude);
                break;
            case ChartIssue::ZoneSecondsDropped: {
                // The zone counts west positive, as both writers write it.
                RoundedUnits split;
                bool west = true;
                if (target == Target::Qck) {
                    const double zone = QckZoneInForce(chart);
                    const RoundedSplit columns =
                        SplitRoundedWithin(std::fabs(zone), kQckZoneHoursMax);
                    split = {columns.Whole, columns.Minutes, columns.Seconds};
                    west = std::isnan(zone) || zone >= 0;
                } else {
                    const AafSplit zone = SplitAsAafWrites(chart.TimeZone);
                    split = zone.Units;
                    west = !zone.Negative;
                }
                AppendSecondsDetail(detail, split, false, west ? "Ny" : "K");
                add(FindingKind::Lost, ChartField::Zone);
                break;
            }
            case ChartIssue::NameCut: {
                const std::string composed = QckName(chart);
                AppendCutDetail(detail, composed,
                                std::string_view(composed).substr(0, kQckNameWidth));
                add(FindingKind::Lost, ChartField::Name);
                break;
            }
            case ChartIssue::PlaceCut: {
                const std::string_view place = FieldText(chart.Place);
                const std::string_view country = FieldText(chart.Country);
                const std::string_view placeWritten = place.substr(0, kQckPlaceWidth);
                std::string read(place);
                std::string written(placeWritten);
                if (!country.empty()) {
                    read.push_back(',');
                    read += country;
                    written.push_back(',');
                    written += country.substr(
                        0, std::min(country.size(), kQckPlaceAndCountry - 1 - placeWritten.size()));
                }
                AppendCutDetail(detail, read, written);
                add(FindingKind::Lost, ChartField::Place);
                break;
            }
            case ChartIssue::DaylightAsOneHour: {
                AppendNumber(detail, chart.DaylightCode);
                detail += " perc → 1 óra";
                add(FindingKind::Lost, ChartField::Daylight);
                break;
            }
            case ChartIssue::BcYearIgnored: {
                detail += "i. e. ";
                AppendNumber(detail, -std::int64_t{chart.Year});
                detail += " → i. sz. ";
                AppendNumber(detail, -std::int64_t{chart.Year});
                add(FindingKind::Lost, ChartField::Year);
                break;
            }
            case ChartIssue::LatitudeSignDropped:
                AppendSignDetail(detail, latitude().Units, "D", "É");
                add(FindingKind::Lost, ChartField::Latitude);
                break;
            case ChartIssue::LongitudeSignDropped:
                AppendSignDetail(detail, longitude().Units, "Ny", "K");
                add(FindingKind::Lost, ChartField::Longitude);
                break;
            case ChartIssue::GenderAsWoman:
                detail += GenderLetter(chart.Gender) == 'E' ? "esemény → nő" : "ismeretlen → nő";
                add(FindingKind::Lost, ChartField::Gender);
                break;
        }
    }
}

void AppendChartFindings(const AafRecord& chart, Target target, ChartIssues issues,
                         const ChartOrigin& origin, std::vector<Finding>& out) {
    struct IntoList final : ChartFindingSink {
        IntoList(const AafRecord& chart, const ChartOrigin& origin, std::vector<Finding>& out)
            : Name(ReportName(chart)), Origin(origin), Out(out) {}
        void Add(FindingKind kind, ChartField field, std::string_view detail) override {
            Out.push_back({kind, std::string(Origin.File), Origin.Chart, Origin.Line, Name, field,
                           std::string(detail)});
        }
        std::string Name;
        const ChartOrigin& Origin;
        std::vector<Finding>& Out;
    } sink(chart, origin, out);
    AppendChartFindings(chart, target, issues, sink);
}

}  // namespace tervalo
