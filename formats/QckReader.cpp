// Reading QCK text: one fixed-column line into a chart, a field at a time, and the walk that
// parses every line of a text on two threads.
#include "formats/QckDatabase.h"

#include <vector>

#include "core/Sexagesimal.h"
#include "core/StretchWalk.h"
#include "formats/QckColumns.h"

namespace tervalo {

namespace {

// The reader bounds whole units above their limit to one less than it.
constexpr std::int32_t kHourLimit = 12;
constexpr std::int32_t kLongitudeLimit = 180;
constexpr std::int32_t kLatitudeLimit = 90;

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

// Trailing spaces of the name column are dropped (column 0 always stays); each comma starts
// FirstName afresh, so it keeps the text after the last one.
void ReadName(const LineColumns& line, ChartRecord& record) {
    std::size_t nameEnd = kNameColumn + kNameWidth - 1;
    while (nameEnd > kNameColumn && line.At(nameEnd) == ' ')
        --nameEnd;
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

void ReadDate(const LineColumns& line, ChartRecord& record) {
    // Month names are matched without regard to case: "Mar" and "mar" are March.
    record.Month = 1;
    const char month[kMonthWidth] = {UpperAscii(line.At(kMonthColumn)),
                                     UpperAscii(line.At(kMonthColumn + 1)),
                                     UpperAscii(line.At(kMonthColumn + 2))};
    for (std::int32_t m = 0; m < 12; ++m) {
        if (month[0] == QckDatabase::MonthNames[m][0] &&
            month[1] == QckDatabase::MonthNames[m][1] &&
            month[2] == QckDatabase::MonthNames[m][2]) {
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
    if (record.Year != year * yearSign)
        record.Corrections.Add(ChartField::Year, year * yearSign, record.Year);
    record.Gregorian = record.Year > 1582;
}

// Minutes and seconds of a time or an angle, each bounded to 59.
double SumWithSixtieths(const LineColumns& line, std::int32_t whole, std::size_t minuteColumn,
                        std::size_t secondColumn, ChartField field, ReadCorrections& corrections) {
    const std::int32_t minutes = ReplaceAbove(line.TwoDigits(minuteColumn), kMaxSixtieths,
                                              kMaxSixtieths, field, corrections);
    const std::int32_t seconds = ReplaceAbove(line.TwoDigits(secondColumn), kMaxSixtieths,
                                              kMaxSixtieths, field, corrections);
    return SexagesimalSum(whole, minutes, seconds);
}

// The 12-hour dial: other programs write noon and midnight as 12, this one as 00; both read the
// same when 12 counts as 0 before "P" adds its 12 hours.
void ReadTime(const LineColumns& line, ChartRecord& record) {
    std::int32_t hour = ReplaceAbove(line.TwoDigits(kHourColumn), kHourLimit, kHourLimit - 1,
                                     ChartField::Time, record.Corrections);
    if (hour == kHourLimit) hour = 0;
    if (line.At(kHalfDayColumn) == 'P') hour += 12;
    record.Time = SumWithSixtieths(line, hour, kTimeMinuteColumn, kTimeSecondColumn,
                                   ChartField::Time, record.Corrections);
}

void ReadZone(const LineColumns& line, ChartRecord& record) {
    const double zoneSign = line.At(kZoneSignColumn) == '-' ? -1.0 : 1.0;
    const std::int32_t zoneHours =
        ReplaceAbove(line.TwoDigits(kZoneHourColumn), kMaxZoneHours, kMaxZoneHours,
                     ChartField::Zone, record.Corrections);
    const std::int32_t zoneMinutes =
        ReplaceAbove(line.TwoDigits(kZoneMinuteColumn), kMaxSixtieths, kMaxSixtieths,
                     ChartField::Zone, record.Corrections);
    record.TimeZone = SexagesimalSum(zoneHours, zoneMinutes, 0) * zoneSign;
}

void ReadPosition(const LineColumns& line, ChartRecord& record) {
    ReadCorrections& corrections = record.Corrections;
    const std::int32_t longitudeDegrees =
        ReplaceAbove(line.ThreeDigits(kLongitudeDegreeColumn), kLongitudeLimit, kLongitudeLimit - 1,
                     ChartField::Longitude, corrections);
    const double longitudeSign = line.At(kLongitudeSideColumn) == 'W' ? -1.0 : 1.0;
    record.Longitude =
        SumWithSixtieths(line, longitudeDegrees, kLongitudeMinuteColumn, kLongitudeSecondColumn,
                         ChartField::Longitude, corrections) *
        longitudeSign;

    const std::int32_t latitudeDegrees =
        ReplaceAbove(line.TwoDigits(kLatitudeDegreeColumn), kLatitudeLimit, kLatitudeLimit - 1,
                     ChartField::Latitude, corrections);
    const double latitudeSign = line.At(kLatitudeSideColumn) == 'S' ? -1.0 : 1.0;
    record.Latitude = SumWithSixtieths(line, latitudeDegrees, kLatitudeMinuteColumn,
                                       kLatitudeSecondColumn, ChartField::Latitude, corrections) *
                      latitudeSign;
}

// Place: up to the first control byte; each comma starts Country afresh. Only the part written
// last loses its trailing spaces: they are the line's padding.
void ReadPlace(const LineColumns& line, ChartRecord& record) {
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
}

}  // namespace

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
    record.Corrections.Count = 0;
    ReadName(line, record);
    ReadDate(line, record);
    ReadTime(line, record);
    ReadZone(line, record);
    ReadPosition(line, record);
    ReadPlace(line, record);
    return lineEnd;
}

void QckDatabase::ParseRecord() {
    if (CursorOffset == kNoCursor) return;
    ParseLineAt(Buffer.View(), CursorOffset, *this);
}

template <typename Take>
bool QckDatabase::ConvertRecordsWith(ChartTextWriter form, const Take& take, WalkedText walked,
                                     const ChartInspection* inspection) {
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
        form, take, [&release](std::size_t passed) { release.Passed(passed); }, last, inspection);
    // The database ends on the record taken last, as a plain walk leaves it.
    CursorOffset = last.Cursor;
    ParseRecord();
    return completed;
}

bool QckDatabase::ConvertRecords(ChartTextWriter form,
                                 const std::function<bool(std::string_view text)>& take,
                                 WalkedText walked) {
    return ConvertRecordsWith(form, take, walked, nullptr);
}

bool QckDatabase::ConvertRecords(
    ChartTextWriter form, const ChartInspection& inspection,
    const std::function<bool(std::string_view text, const MarkedChart* marked)>& take,
    WalkedText walked) {
    ChartInspection within = inspection;
    within.Text = Buffer.View();
    return ConvertRecordsWith(form, take, walked, &within);
}

}  // namespace tervalo
