// QckDatabase: loading, walking, parsing, formatting, appending and saving QCK text.
#include "formats/QckDatabase.h"

#include "core/StretchWalk.h"

#include <cmath>
#include <cstring>

#include "core/Sexagesimal.h"

namespace tervalo {

namespace {

// The QCK line: fixed columns, counted from 0. Columns not named here hold separators.
constexpr std::size_t kNameColumn = 0;
constexpr std::size_t kNameWidth = 23;
constexpr std::size_t kMonthColumn = 23;
constexpr std::size_t kMonthWidth = 3;
constexpr std::size_t kDayColumn = 27;
constexpr std::size_t kYearSignColumn = 30;
constexpr std::size_t kYearColumn = 31;  // four digits, then the hour with no separator
constexpr std::size_t kHourColumn = 35;
constexpr std::size_t kTimeMinuteColumn = 38;
constexpr std::size_t kTimeSecondColumn = 41;
constexpr std::size_t kHalfDayColumn = 44;  // "A" or "P" of the 12-hour dial
constexpr std::size_t kZoneSignColumn = 50;
constexpr std::size_t kZoneHourColumn = 51;
constexpr std::size_t kZoneMinuteColumn = 54;
constexpr std::size_t kLongitudeDegreeColumn = 56;  // three digits, right after the zone
constexpr std::size_t kLongitudeSideColumn = 59;
constexpr std::size_t kLongitudeMinuteColumn = 60;
constexpr std::size_t kLongitudeSecondColumn = 63;
constexpr std::size_t kLatitudeDegreeColumn = 66;
constexpr std::size_t kLatitudeSideColumn = 68;
constexpr std::size_t kLatitudeMinuteColumn = 69;
constexpr std::size_t kLatitudeSecondColumn = 72;
constexpr std::size_t kPlaceColumn = 75;  // free text up to the line's end
constexpr std::size_t kPlaceWidth = 21;   // of Place; Country fills what is left
constexpr std::size_t kLastColumn = 100;

// Separators as this program writes them, between the numbered columns above.
struct Separator {
    std::size_t Column;
    char Character;
};
constexpr Separator kSeparators[] = {
    {26, ' '}, {29, ','},  {37, ':'}, {40, ':'},  {43, ' '}, {45, 'M'},
    {53, ':'}, {62, '\''}, {65, ' '}, {71, '\''}, {74, ' '},
};

// The reader bounds whole units above their limit to one less than it.
constexpr std::int32_t kHourLimit = 12;
constexpr std::int32_t kLongitudeLimit = 180;
constexpr std::int32_t kLatitudeLimit = 90;

// The values a written column can hold.
constexpr std::int32_t kTwoDigitMax = 99;
constexpr std::int32_t kThreeDigitMax = 999;

constexpr double kZonePerDegree = 1.0 / 15;

// Any byte of code 10 or less ends a line; CR belongs to the line. Compared unsigned, so the
// Windows-1250 letters above 127 never end one.
bool EndsLine(char c) {
    return static_cast<unsigned char>(c) <= 10;
}

std::size_t FindLineEnd(const char* text, std::size_t from, std::size_t length) {
    while (from < length && !EndsLine(text[from]))
        ++from;
    return from;
}

// One line's columns. Columns past the line's end read as spaces, so a short line never takes
// its date or place from the next chart.
class LineColumns {
public:
    explicit LineColumns(std::string_view line) : Line(line) {}

    char At(std::size_t column) const { return column < Line.size() ? Line[column] : ' '; }
    // A digit counts as its code minus 48, unchecked, except that a space counts as 0: other
    // programs pad their numbers with spaces ("MAR  7").
    std::int32_t Digit(std::size_t column) const {
        const char c = At(column);
        return c == ' ' ? 0 : static_cast<std::int32_t>(static_cast<unsigned char>(c)) - 48;
    }
    std::int32_t TwoDigits(std::size_t column) const {
        return Digit(column) * 10 + Digit(column + 1);
    }
    std::int32_t ThreeDigits(std::size_t column) const {
        return Digit(column) * 100 + Digit(column + 1) * 10 + Digit(column + 2);
    }
    std::string_view From(std::size_t column) const {
        return column < Line.size() ? Line.substr(column) : std::string_view{};
    }

private:
    std::string_view Line;
};

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::int32_t Clamp(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value < low ? low : (value > high ? high : value);
}

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

// Copies text into a record field, dropping what the field can't hold.
class FieldFiller {
public:
    FieldFiller(char* field, std::size_t capacity) : Field(field), Capacity(capacity) {
        Field[0] = '\0';
    }
    void Add(char c) {
        if (Length + 1 < Capacity) Field[Length++] = c;
    }
    void Restart() { Length = 0; }
    void TrimTrailingSpaces() {
        while (Length > 0 && Field[Length - 1] == ' ')
            --Length;
    }
    void Finish() { Field[Length] = '\0'; }
    bool Empty() const { return Length == 0; }

private:
    char* Field;
    std::size_t Capacity;
    std::size_t Length = 0;
};

}  // namespace

QckDatabase::QckDatabase() {
    ClearRecord();
}

void QckDatabase::Reset() {
    Buffer.Clear();
    CursorOffset = kNoCursor;
}

void QckDatabase::ClearRecord() {
    static_cast<ChartRecord&>(*this) = ChartRecord{};
    Gender = 'M';  // QCK has no gender column; its charts default to male, unlike AAF's '*'
}

bool QckDatabase::LoadFromFile(const std::string& path) {
    LoadError = path.empty() ? LoadFailure::NoPath : Buffer.LoadFile(path);
    if (LoadError == LoadFailure::ShortOrTiny) CursorOffset = kNoCursor;  // the text is emptied
    if (LoadError != LoadFailure::None) return false;
    const std::size_t length = Buffer.Length();
    if (length > 0 && Buffer.Data()[length - 1] == '\n') Buffer.CutTrailingEmptyLines();
    CursorOffset = 0;
    LoadError = LoadFailure::None;
    return true;
}

bool QckDatabase::NextRecord() {
    const std::size_t length = Buffer.Length();
    if (CursorOffset == kNoCursor || CursorOffset >= length) return false;
    const std::size_t end = FindLineEnd(Buffer.Data(), CursorOffset, length);
    if (end >= length || end + 1 >= length) return false;
    CursorOffset = end + 1;
    return true;
}

bool QckDatabase::ConvertRecords(ChartTextWriter form,
                                 const std::function<bool(std::string_view text)>& take,
                                 WalkedText walked) {
    if (CursorOffset == kNoCursor) return true;
    TextRelease<QckDatabase> release(*this, Buffer, walked);
    const std::string_view text = Buffer.View();
    const std::size_t length = text.size();
    // A record starts behind every line end but the last byte's, so a stretch may start behind
    // the first line end found from any point.
    std::vector<StretchStart> stretches{{CursorOffset, true}};
    while (stretches.back().First < length && length - stretches.back().First > kStretchText) {
        const std::size_t lineEnd =
            FindLineEnd(text.data(), stretches.back().First + kStretchText, length);
        if (lineEnd + 1 >= length) break;
        stretches.push_back({lineEnd + 1, true});
    }
    TakenRecord last{CursorOffset, true};
    const bool completed = ConvertStretches(
        stretches,
        [text, length](std::size_t cursor, AafRecord& record) {
            const std::size_t lineEnd = ParseLineAt(text, cursor, record);
            record.Notes[0] = '\0';  // QCK has no notes: no chart inherits another's
            return lineEnd + 1 < length ? lineEnd + 1 : kNoCursor;
        },
        form, take, [&release](std::size_t passed) { release.Passed(passed); }, last);
    // The database ends on the record taken last, as a plain walk leaves it.
    CursorOffset = last.Cursor;
    ParseRecord();
    return completed;
}

void QckDatabase::ParseRecord() {
    if (CursorOffset == kNoCursor) return;
    ParseLineAt(Buffer.View(), CursorOffset, *this);
}

std::size_t QckDatabase::ParseLineAt(std::string_view text, std::size_t cursor,
                                     ChartRecord& record) {
    const std::size_t length = text.size();
    const std::size_t start = cursor < length ? cursor : length;
    const std::size_t lineEnd = FindLineEnd(text.data(), start, length);
    std::size_t end = lineEnd;
    if (end > start && text[end - 1] == '\r') --end;  // the CR of a CR LF ends the line too
    const LineColumns line({text.data() + start, end - start});

    record.LeadValue = 0;
    record.DaylightCode = 0;
    record.Gender = 'M';

    // Name: trailing spaces of the column dropped (column 0 always stays); each comma starts
    // FirstName afresh, so it keeps the text after the last one.
    std::size_t nameEnd = kNameColumn + kNameWidth - 1;
    while (nameEnd > kNameColumn && line.At(nameEnd) == ' ')
        --nameEnd;
    {
        FieldFiller last(record.LastName, sizeof record.LastName);
        FieldFiller first(record.FirstName, sizeof record.FirstName);
        FieldFiller* part = &last;
        for (std::size_t column = kNameColumn; column <= nameEnd; ++column) {
            const char c = line.At(column);
            if (c == ',') {
                part->Finish();
                part = &first;
                part->Restart();
            } else {
                part->Add(c);
            }
        }
        part->Finish();
    }

    // Month names are matched without regard to case: "Mar" and "mar" are March.
    record.Month = 1;
    const char month[kMonthWidth] = {UpperAscii(line.At(kMonthColumn)),
                                     UpperAscii(line.At(kMonthColumn + 1)),
                                     UpperAscii(line.At(kMonthColumn + 2))};
    for (std::int32_t m = 0; m < 12; ++m) {
        if (month[0] == MonthNames[m][0] && month[1] == MonthNames[m][1] &&
            month[2] == MonthNames[m][2]) {
            record.Month = m + 1;
            break;
        }
    }

    record.Day = line.TwoDigits(kDayColumn);

    // Years are right-aligned by some programs, with the minus sign just before the digits
    // ("  -43"): a "-" anywhere in the year's columns makes it negative and counts as 0.
    std::int32_t yearSign = line.At(kYearSignColumn) == '-' ? -1 : 1;
    std::int32_t year = 0;
    for (std::size_t column = kYearColumn; column < kHourColumn; ++column) {
        std::int32_t digit = 0;
        if (line.At(column) == '-') {
            yearSign = -1;
        } else {
            digit = line.Digit(column);
        }
        year = year * 10 + digit;
    }
    record.Year = Clamp(year * yearSign, kMinYear, kMaxYear);
    record.Gregorian = record.Year > 1582;

    // The 12-hour dial: other programs write noon and midnight as 12, this one as 00; both
    // read the same when 12 counts as 0 before "P" adds its 12 hours.
    std::int32_t hour = ReplaceAbove(line.TwoDigits(kHourColumn), kHourLimit, kHourLimit - 1);
    if (hour == kHourLimit) hour = 0;
    if (line.At(kHalfDayColumn) == 'P') hour += 12;
    const std::int32_t minutes =
        ReplaceAbove(line.TwoDigits(kTimeMinuteColumn), kMaxSixtieths, kMaxSixtieths);
    const std::int32_t seconds =
        ReplaceAbove(line.TwoDigits(kTimeSecondColumn), kMaxSixtieths, kMaxSixtieths);
    record.Time = SexagesimalSum(hour, minutes, seconds);

    const double zoneSign = line.At(kZoneSignColumn) == '-' ? -1.0 : 1.0;
    const std::int32_t zoneHours =
        ReplaceAbove(line.TwoDigits(kZoneHourColumn), kMaxZoneHours, kMaxZoneHours);
    const std::int32_t zoneMinutes =
        ReplaceAbove(line.TwoDigits(kZoneMinuteColumn), kMaxSixtieths, kMaxSixtieths);
    record.TimeZone = SexagesimalSum(zoneHours, zoneMinutes, 0) * zoneSign;

    const std::int32_t longitudeDegrees = ReplaceAbove(line.ThreeDigits(kLongitudeDegreeColumn),
                                                       kLongitudeLimit, kLongitudeLimit - 1);
    const double longitudeSign = line.At(kLongitudeSideColumn) == 'W' ? -1.0 : 1.0;
    const std::int32_t longitudeMinutes =
        ReplaceAbove(line.TwoDigits(kLongitudeMinuteColumn), kMaxSixtieths, kMaxSixtieths);
    const std::int32_t longitudeSeconds =
        ReplaceAbove(line.TwoDigits(kLongitudeSecondColumn), kMaxSixtieths, kMaxSixtieths);
    record.Longitude =
        SexagesimalSum(longitudeDegrees, longitudeMinutes, longitudeSeconds) * longitudeSign;

    const std::int32_t latitudeDegrees =
        ReplaceAbove(line.TwoDigits(kLatitudeDegreeColumn), kLatitudeLimit, kLatitudeLimit - 1);
    const double latitudeSign = line.At(kLatitudeSideColumn) == 'S' ? -1.0 : 1.0;
    const std::int32_t latitudeMinutes =
        ReplaceAbove(line.TwoDigits(kLatitudeMinuteColumn), kMaxSixtieths, kMaxSixtieths);
    const std::int32_t latitudeSeconds =
        ReplaceAbove(line.TwoDigits(kLatitudeSecondColumn), kMaxSixtieths, kMaxSixtieths);
    record.Latitude =
        SexagesimalSum(latitudeDegrees, latitudeMinutes, latitudeSeconds) * latitudeSign;

    // Place: up to the first control byte; each comma starts Country afresh. Only the part
    // written last loses its trailing spaces: they are the line's padding.
    FieldFiller place(record.Place, sizeof record.Place);
    FieldFiller country(record.Country, sizeof record.Country);
    FieldFiller* part = &place;
    for (char c : line.From(kPlaceColumn)) {
        if (static_cast<unsigned char>(c) < 32) break;
        if (c == ',') {
            part->Finish();
            part = &country;
            part->Restart();
        } else {
            part->Add(c);
        }
    }
    part->TrimTrailingSpaces();
    part->Finish();
    return lineEnd;
}

char* QckDatabase::FormatRecord(char* out) {
    if (out == nullptr) return nullptr;
    FormatLine(*this, out);
    return out;
}

std::size_t QckDatabase::FormatLine(ChartRecord& record, char* out) {
    std::memset(out, ' ', kLastColumn + 1);
    for (const Separator& separator : kSeparators)
        out[separator.Column] = separator.Character;

    // Name: the comma only when LastName leaves room for it.
    const std::size_t nameEnd = kNameColumn + kNameWidth;
    std::size_t column = PutText(out, kNameColumn, nameEnd, FieldText(record.LastName));
    if (column < nameEnd) {
        out[column++] = ',';
        PutText(out, column, nameEnd, FieldText(record.FirstName));
    }

    // The dial shows 00 for noon and midnight; "P" stands for 12 hours more. A Time from 24 up
    // to 48 hours (AAF holds clock times up to 24:59:59) is the next day's early hours, and a
    // carry that reaches midnight goes into the next day as well: QCK readers know no hour 24.
    // Larger times, which only damaged inputs give, are written as they come, bounded.
    double time = record.Time;
    std::int32_t daysLater = 0;
    if (time >= 24 && time < 48) {
        time -= 24;
        daysLater = 1;
    }
    bool afternoon = time >= 12;
    const RoundedSplit clock = SplitRoundedWithin(afternoon ? time - 12 : time, kTwoDigitMax);
    std::int32_t hour = clock.Whole;
    if (clock.Carried && hour == 12) {
        hour = 0;
        afternoon = !afternoon;
        if (!afternoon) ++daysLater;
    }

    // Writing marks the record: a day or month of 0 becomes 1 in it too.
    ChartDate date = WrittenDate(record, YearZero::Kept);
    record.Month = date.Month;
    record.Day = date.Day;
    for (; daysLater > 0; --daysLater)
        date = NextDay(date, record.Gregorian);

    std::memcpy(out + kMonthColumn, MonthNames[Clamp(date.Month, 1, 12) - 1], kMonthWidth);
    PutTwoDigits(out, kDayColumn, date.Day);

    out[kYearSignColumn] = date.Year < 0 ? '-' : ' ';
    const std::int32_t absoluteYear = date.Year < 0 ? -date.Year : date.Year;
    PutTwoDigits(out, kYearColumn, absoluteYear / 100);
    PutTwoDigits(out, kYearColumn + 2, absoluteYear % 100);

    PutTwoDigits(out, kHourColumn, hour);
    PutTwoDigits(out, kTimeMinuteColumn, clock.Minutes);
    PutTwoDigits(out, kTimeSecondColumn, clock.Seconds);
    out[kHalfDayColumn] = afternoon ? 'P' : 'A';

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

    // Place and Country share the free columns; the comma stands even between empty texts.
    const std::size_t lineEnd = kLastColumn + 1;
    std::string_view place = FieldText(record.Place);
    if (place.size() > kPlaceWidth) place = place.substr(0, kPlaceWidth);
    column = PutText(out, kPlaceColumn, lineEnd, place);
    out[column++] = ',';
    PutText(out, column, lineEnd, FieldText(record.Country));

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

bool QckDatabase::SaveToFile(const std::string& path) {
    if (Buffer.Length() < 5 || path.empty()) return false;
    Buffer.CutTrailingEmptyLines();
    return Buffer.SaveFile(path);
}

}  // namespace tervalo
