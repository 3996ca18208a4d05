// Writing QCK text: a chart as one fixed-column line, a field at a time, and appending lines to
// the database's text.
#include "formats/QckDatabase.h"

#include <cmath>
#include <cstring>

#include "core/Sexagesimal.h"
#include "formats/QckColumns.h"

namespace tervalo {

namespace {

// Separators as this program writes them, in the columns between the named ones.
struct Separator {
    std::size_t Column;
    char Character;
};
constexpr Separator kSeparators[] = {
    {26, ' '}, {29, ','},  {37, ':'}, {40, ':'},  {43, ' '}, {45, 'M'},
    {53, ':'}, {62, '\''}, {65, ' '}, {71, '\''}, {74, ' '},
};

// The values a written column can hold.
constexpr std::int32_t kTwoDigitMax = 99;
constexpr std::int32_t kThreeDigitMax = 999;

constexpr double kZonePerDegree = 1.0 / 15;

void PutTwoDigits(char* line, std::size_t column, std::int32_t value) {
    value = Clamp(value, 0, kTwoDigitMax);
    line[column] = static_cast<char>('0' + value / 10);
    line[column + 1] = static_cast<char>('0' + value % 10);
}

void PutThreeDigits(char* line, std::size_t column, std::int32_t value) {
    value = Clamp(value, 0, kThreeDigitMax);
    line[column] = static_cast<char>('0' + value / 100);
    line[column + 1] = static_cast<char>('0' + value / 10 % 10);
    line[column + 2] = static_cast<char>('0' + value % 10);
}

// A record text as it may stand in a line: bytes that a reader takes as a line end would split
// the chart in two, so they are written as spaces.
char LineSafe(char c) {
    return EndsLine(c) || c == '\r' ? ' ' : c;
}

// Writes text from `column`, never past `endColumn`; returns the column after the last byte.
std::size_t PutText(char* line, std::size_t column, std::size_t endColumn, std::string_view text) {
    for (char c : text) {
        if (column >= endColumn) break;
        line[column++] = LineSafe(c);
    }
    return column;
}

// Name: the comma only when LastName leaves room for it.
void PutName(char* out, const ChartRecord& record) {
    const std::size_t nameEnd = kNameColumn + kNameWidth;
    std::size_t column = PutText(out, kNameColumn, nameEnd, FieldText(record.LastName));
    if (column < nameEnd) {
        out[column++] = ',';
        PutText(out, column, nameEnd, FieldText(record.FirstName));
    }
}

// The time on the 12-hour dial, and how many days after the record's date it falls.
struct DialTime {
    RoundedSplit Clock;
    std::int32_t Hour = 0;
    bool Afternoon = false;
    std::int32_t DaysLater = 0;
};

// The dial shows 00 for noon and midnight; "P" stands for 12 hours more. A Time from 24 up to
// 48 hours (AAF holds clock times up to 24:59:59) is the next day's early hours, and a carry
// that reaches midnight goes into the next day as well: QCK readers know no hour 24. Larger
// times, which only damaged inputs give, are written as they come, bounded.
DialTime OnTheDial(double time) {
    DialTime dial;
    if (time >= 24 && time < 48) {
        time -= 24;
        dial.DaysLater = 1;
    }
    dial.Afternoon = time >= 12;
    dial.Clock = SplitRoundedWithin(dial.Afternoon ? time - 12 : time, kTwoDigitMax);
    dial.Hour = dial.Clock.Whole;
    if (dial.Clock.Carried && dial.Hour == 12) {
        dial.Hour = 0;
        dial.Afternoon = !dial.Afternoon;
        if (!dial.Afternoon) ++dial.DaysLater;
    }
    return dial;
}

void PutDateAndTime(char* out, ChartRecord& record) {
    const DialTime dial = OnTheDial(record.Time);

    // Writing marks the record: a day or month of 0 becomes 1 in it too.
    ChartDate date = WrittenDate(record, YearZero::Kept);
    record.Month = date.Month;
    record.Day = date.Day;
    for (std::int32_t daysLater = dial.DaysLater; daysLater > 0; --daysLater)
        date = NextDay(date, record.Gregorian);

    std::memcpy(out + kMonthColumn, QckDatabase::MonthNames[Clamp(date.Month, 1, 12) - 1],
                kMonthWidth);
    PutTwoDigits(out, kDayColumn, date.Day);

    out[kYearSignColumn] = date.Year < 0 ? '-' : ' ';
    const std::int32_t absoluteYear = date.Year < 0 ? -date.Year : date.Year;
    PutTwoDigits(out, kYearColumn, absoluteYear / 100);
    PutTwoDigits(out, kYearColumn + 2, absoluteYear % 100);

    PutTwoDigits(out, kHourColumn, dial.Hour);
    PutTwoDigits(out, kTimeMinuteColumn, dial.Clock.Minutes);
    PutTwoDigits(out, kTimeSecondColumn, dial.Clock.Seconds);
    out[kHalfDayColumn] = dial.Afternoon ? 'P' : 'A';
}

void PutZone(char* out, ChartRecord& record) {
    // Local mean time: the zone follows the longitude, 15 degrees to the hour.
    if (record.DaylightCode == -1) record.TimeZone = -(record.Longitude * kZonePerDegree);
    // The one zone column holds the offset in force at birth, so a daylight shift goes into
    // it: the zone moves east by the shift (positive west, as the column).
    const double zoneInForce = record.DaylightCode > 0
                                   ? record.TimeZone - static_cast<double>(record.DaylightCode) / 60
                                   : record.TimeZone;
    const RoundedSplit zone = SplitRoundedWithin(std::fabs(zoneInForce), kTwoDigitMax);
    out[kZoneSignColumn] = std::isnan(zoneInForce) || zoneInForce >= 0 ? '+' : '-';
    PutTwoDigits(out, kZoneHourColumn, zone.Whole);
    PutTwoDigits(out, kZoneMinuteColumn, zone.Minutes);
}

void PutPosition(char* out, const ChartRecord& record) {
    const RoundedSplit longitude = SplitRoundedWithin(std::fabs(record.Longitude), kThreeDigitMax);
    PutThreeDigits(out, kLongitudeDegreeColumn, longitude.Whole);
    out[kLongitudeSideColumn] = record.Longitude < 0 ? 'W' : 'E';
    PutTwoDigits(out, kLongitudeMinuteColumn, longitude.Minutes);
    PutTwoDigits(out, kLongitudeSecondColumn, longitude.Seconds);

    const RoundedSplit latitude = SplitRoundedWithin(std::fabs(record.Latitude), kTwoDigitMax);
    PutTwoDigits(out, kLatitudeDegreeColumn, latitude.Whole);
    out[kLatitudeSideColumn] = record.Latitude < 0 ? 'S' : 'N';
    PutTwoDigits(out, kLatitudeMinuteColumn, latitude.Minutes);
    PutTwoDigits(out, kLatitudeSecondColumn, latitude.Seconds);
}

// Place and Country share the free columns; the comma stands even between empty texts.
void PutPlace(char* out, const ChartRecord& record) {
    const std::size_t lineEnd = kLastColumn + 1;
    std::string_view place = FieldText(record.Place);
    if (place.size() > kPlaceWidth) place = place.substr(0, kPlaceWidth);
    const std::size_t column = PutText(out, kPlaceColumn, lineEnd, place);
    out[column] = ',';
    PutText(out, column + 1, lineEnd, FieldText(record.Country));
}

}  // namespace

char* QckDatabase::FormatRecord(char* out) {
    if (out == nullptr) return nullptr;
    FormatLine(*this, out);
    return out;
}

std::size_t QckDatabase::FormatLine(ChartRecord& record, char* out) {
    std::memset(out, ' ', kLastColumn + 1);
    for (const Separator& separator : kSeparators)
        out[separator.Column] = separator.Character;
    PutName(out, record);
    PutDateAndTime(out, record);
    PutZone(out, record);
    PutPosition(out, record);
    PutPlace(out, record);
    out[kQckLineLength] = '\r';
    out[kQckLineLength + 1] = '\n';
    out[kQckLineLength + 2] = '\0';
    return kQckLineLength + 2;
}

bool QckDatabase::AppendRecord() {
    char line[kQckFormatSize];
    return AppendFormatted({line, FormatLine(*this, line)});
}

bool QckDatabase::AppendFormatted(std::string_view line) {
    const std::size_t length = Buffer.Length();
    if (static_cast<std::int64_t>(length) + kQckAppendReserve > Buffer.Capacity() &&
        !Buffer.Reallocate(GrownCapacity(static_cast<std::int64_t>(length)))) {
        return false;
    }
    if (length > 3 && Buffer.Data()[length - 1] != '\n') Buffer.AppendUnchecked("\r\n");
    Buffer.AppendUnchecked(line);
    if (CursorOffset == kNoCursor) CursorOffset = 0;
    return true;
}

}  // namespace tervalo
