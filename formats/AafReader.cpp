// Reading AAF text: the bounded reader of one record, the record's fields one step each, and
// the walk that parses every record of a text on two threads.
#include "formats/AafDatabase.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>
#include <vector>

#include "core/Sexagesimal.h"
#include "core/StretchWalk.h"
#include "formats/AafText.h"

namespace tervalo {

namespace {

constexpr std::size_t kLocationPrefix = 5;  // "#B93" and its ":"
// A "#B93" line that starts this close behind the "#A93:" line belongs to it, wherever the
// next record starts.
constexpr std::size_t kLocationNearby = 8;
constexpr std::size_t kLeadValueDigits = 63;

// Numbers of many digits saturate here instead of overflowing.
constexpr std::int64_t kNumberCeiling = std::numeric_limits<std::int32_t>::max();

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 32;
}

struct Number {
    std::int32_t Value = 0;
    char Terminator = '\0';  // NUL when the number ended at the bound
};

// Reads a record's text between a position and a bound that it never passes.
class Reader {
public:
    Reader(std::string_view text, std::size_t from, std::size_t end)
        : Text(text.data()), Pos(std::min(from, end)), End(end) {}

    std::size_t Position() const { return Pos; }
    bool AtEnd() const { return Pos >= End; }
    char Peek() const { return Pos < End ? Text[Pos] : '\0'; }
    char Take() { return Pos < End ? Text[Pos++] : '\0'; }
    void Skip(std::size_t count) { Pos = End - Pos < count ? End : Pos + count; }

    void SkipToDigit() {
        while (Pos < End && !IsDigit(Text[Pos]))
            ++Pos;
    }

    // Digits for as long as they come, then the first non-digit is consumed as terminator.
    Number ReadNumber() {
        std::int64_t value = 0;
        while (Pos < End && IsDigit(Text[Pos])) {
            value = std::min(value * 10 + (Text[Pos] - '0'), kNumberCeiling);
            ++Pos;
        }
        Number number;
        number.Value = static_cast<std::int32_t>(value);
        if (Pos < End) number.Terminator = Text[Pos++];
        return number;
    }

    // Where the next comma stands, or End. Fields are a few bytes long, where a plain loop
    // beats a library search's call.
    std::size_t NextComma(std::size_t at) const {
        while (at < End && Text[at] != ',')
            ++at;
        return at;
    }

    // The text up to the next comma, which is consumed.
    std::string_view TakeUntilComma() {
        const std::size_t from = Pos;
        const std::size_t until = NextComma(Pos);
        Pos = until < End ? until + 1 : End;
        return {Text + from, until - from};
    }

    // The text up to a comma or a control character, which is consumed.
    std::string_view TakeUntilCommaOrControl() {
        const std::size_t from = Pos;
        while (Pos < End && Text[Pos] != ',' && !IsControl(Text[Pos]))
            ++Pos;
        const std::string_view taken{Text + from, Pos - from};
        Skip(1);
        return taken;
    }

    // The given names end at the comma that stands before the gender field: one followed by
    // another comma or by a single character and a comma. Other commas belong to the names.
    std::string_view TakeGivenNames() {
        const std::size_t from = Pos;
        std::size_t at = Pos;
        for (;;) {
            at = NextComma(at);
            if (at == End) {
                Pos = End;
                return {Text + from, End - from};
            }
            if ((at + 1 < End && Text[at + 1] == ',') || (at + 2 < End && Text[at + 2] == ',')) {
                Pos = at + 1;
                return {Text + from, at - from};
            }
            ++at;
        }
    }

private:
    const char* Text;
    std::size_t Pos;
    std::size_t End;
};

std::size_t FindWithin(std::string_view text, std::string_view what, std::size_t from,
                       std::size_t end) {
    if (from >= end) return kNpos;
    return text.substr(0, end).find(what, from);
}

// A text longer than a field holds is cut, and the record says so. Hardly any text is, and
// the note stays out of the way of the three fields every record stores.
[[gnu::cold, gnu::noinline]] void NoteCutText(std::size_t length, ChartField field,
                                              ReadCorrections& corrections) {
    corrections.Add(field, static_cast<std::int32_t>(std::min<std::size_t>(length, kNumberCeiling)),
                    static_cast<std::int32_t>(kMaxTextLength));
}

void NoteCut(std::string_view text, ChartField field, ReadCorrections& corrections) {
    if (text.size() > kMaxTextLength) [[unlikely]]
        NoteCutText(text.size(), field, corrections);
}

template <std::size_t N>
inline void StoreTextField(char (&field)[N], std::string_view text, ChartField name,
                           ReadCorrections& corrections) {
    if (text == "*") text = {};
    NoteCut(text, name, corrections);
    SetFieldText(field, text.substr(0, std::min(text.size(), kMaxTextLength)));
}

// A comma inside the given names can't be told from a field separator, so it is kept as a space.
void StoreGivenNames(char (&field)[kTextFieldSize], std::string_view text,
                     ReadCorrections& corrections) {
    if (text == "*") text = {};
    NoteCut(text, ChartField::Name, corrections);
    const std::size_t length = std::min(text.size(), kMaxTextLength);
    for (std::size_t i = 0; i < length; ++i)
        field[i] = text[i] == ',' ? ' ' : text[i];
    field[length] = '\0';
}

// Reads minutes directly behind a letter, then seconds when the minutes end in other than a
// comma.
void ReadMinutesAndSeconds(Reader& reader, std::int32_t& minutes, std::int32_t& seconds,
                           ChartField field, ReadCorrections& corrections) {
    const Number minuteNumber = reader.ReadNumber();
    minutes = ReplaceAbove(minuteNumber.Value, kMaxSixtieths, kMaxSixtieths, field, corrections);
    if (minuteNumber.Terminator != ',') {
        seconds = ReplaceAbove(reader.ReadNumber().Value, kMaxSixtieths, kMaxSixtieths, field,
                               corrections);
    }
}

// A field of the "#B93" line left empty or "*" reads as 0; it is passed over with its comma.
bool SkipEmptyField(Reader& reader) {
    const char first = reader.Peek();
    if (first == '*') {
        reader.Skip(2);
        return true;
    }
    if (first == ',' || reader.AtEnd()) {
        reader.Skip(1);
        return true;
    }
    return false;
}

// Latitude or longitude: degrees, the hemisphere letter, minutes, optional seconds.
double ReadAngle(Reader& reader, std::int32_t maxDegrees, char negativeLetter, ChartField field,
                 ReadCorrections& corrections) {
    if (SkipEmptyField(reader)) return 0.0;
    reader.SkipToDigit();
    const Number degrees = reader.ReadNumber();
    const char letter = degrees.Terminator;
    std::int32_t minutes = 0;
    std::int32_t seconds = 0;
    if (letter != ',') ReadMinutesAndSeconds(reader, minutes, seconds, field, corrections);
    const double value =
        SexagesimalSum(ReplaceAbove(degrees.Value, maxDegrees, maxDegrees - 1, field, corrections),
                       minutes, seconds);
    const bool negative = letter == negativeLetter || letter == negativeLetter + ('a' - 'A');
    return negative ? -value : value;
}

bool IsZoneDirection(char c) {
    return c == 'e' || c == 'E' || c == 'w' || c == 'W';
}

// Written zones carry an "h" before the direction letter; many files leave it out (0E44:0),
// and then the hours end in the direction letter itself. Some programs write the minutes, and
// seconds, before the letter instead (5:45E, 3:30:00W).
double ReadTimeZone(Reader& reader, ReadCorrections& corrections) {
    if (SkipEmptyField(reader)) return 0.0;
    reader.SkipToDigit();
    const Number hours = reader.ReadNumber();
    std::int32_t minutes = 0;
    std::int32_t seconds = 0;
    char direction = '\0';
    if (hours.Terminator == ':') {
        const Number minuteNumber = reader.ReadNumber();
        minutes = ReplaceAbove(minuteNumber.Value, kMaxSixtieths, kMaxSixtieths, ChartField::Zone,
                               corrections);
        direction = minuteNumber.Terminator;
        if (direction == ':') {
            const Number secondNumber = reader.ReadNumber();
            seconds = ReplaceAbove(secondNumber.Value, kMaxSixtieths, kMaxSixtieths,
                                   ChartField::Zone, corrections);
            direction = secondNumber.Terminator;
        }
        // The field ends behind its letter.
        if (direction != ',' && reader.Peek() == ',') reader.Skip(1);
    } else {
        direction = IsZoneDirection(hours.Terminator) ? hours.Terminator : reader.Take();
        if (direction != ',')
            ReadMinutesAndSeconds(reader, minutes, seconds, ChartField::Zone, corrections);
    }
    const double value = SexagesimalSum(
        ReplaceAbove(hours.Value, kMaxZoneHours, kMaxZoneHours, ChartField::Zone, corrections),
        minutes, seconds);
    return direction == 'e' || direction == 'E' ? -value : value;
}

std::int32_t DaylightCodeOf(char c) {
    switch (c) {
        case 'l':
        case 'L':
            return -1;
        case 'h':
        case 'H':
            return 30;
        case '1':
        case 'w':
        case 'W':
            return 60;
        case '2':
            return 120;
        default:
            return 0;
    }
}

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Decimal text to a double as the C library does it in the "C" locale, whatever the process
// locale: the window runs with the user's, whose decimal separator may be a comma.
double ConvertLeadValue(std::string_view text) {
    text = text.substr(0, std::min(text.size(), kLeadValueDigits));
    std::size_t at = 0;
    while (at < text.size() && IsCSpace(text[at]))
        ++at;
    if (at + 1 < text.size() && text[at] == '+' && text[at + 1] != '-') ++at;
    const char* begin = text.data() + at;
    const char* end = text.data() + text.size();
    double value = 0.0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error == std::errc()) return value;
    if (error != std::errc::result_out_of_range) return 0.0;
    // Beyond a double's range: overflow gives infinity, underflow zero, as strtod does.
    long double wide = 0.0L;
    if (std::from_chars(begin, end, wide).ec == std::errc()) return static_cast<double>(wide);
    const bool negative = *begin == '-';
    const std::string_view number{begin, static_cast<std::size_t>(stop - begin)};
    const std::size_t exponent = number.find_first_of("eE");
    const bool underflow =
        exponent != kNpos && exponent + 1 < number.size() && number[exponent + 1] == '-';
    const double magnitude = underflow ? 0.0 : HUGE_VAL;
    return negative ? -magnitude : magnitude;
}

// Where one record's reads stop: the next record's marker (npos when none follows), or the
// text's end.
struct RecordBounds {
    std::size_t Start = 0;
    std::size_t NextRecord = kNpos;
    std::size_t End = 0;
};

RecordBounds BoundsOfRecord(std::string_view text, std::size_t cursor) {
    const std::size_t start = std::min(cursor, text.size());
    // Every read of this record stops at the next one, so that a damaged record never takes
    // its numbers from the next chart, and a walk stays linear.
    const std::size_t nextRecord = text.find(kNextRecordMarker, start);
    return {start, nextRecord, nextRecord == kNpos ? text.size() : nextRecord};
}

// A stretch of the text from `From` up to `End`.
struct TextSpan {
    std::size_t From = kNpos;
    std::size_t End = 0;
};

void ReadGender(Reader& line, AafRecord& record) {
    if (line.AtEnd() || line.Peek() == ',') {
        record.Gender = '*';
        line.Skip(1);
    } else {
        record.Gender = line.Take();
        line.Skip(1);
    }
}

// Day, month and year, then the calendar letter; a date left out reads as 1900 with no day or
// month, and keeps the calendar of the record before.
void ReadDate(Reader& line, AafRecord& record) {
    record.Month = 0;
    record.Day = 0;
    record.Year = 1900;
    if (line.Peek() == '*') {
        line.Skip(2);
    } else if (line.Peek() == ',') {
        line.Skip(1);
    } else if (!line.AtEnd()) {
        record.Year = 0;
        line.SkipToDigit();
        const std::int32_t day = line.ReadNumber().Value;
        line.SkipToDigit();
        const std::int32_t month = line.ReadNumber().Value;
        record.Month = std::clamp(month, 1, 12);
        record.Day = std::clamp(day, 1, AafDatabase::DaysInMonth[record.Month]);
        const bool beforeCommonEra = line.Peek() == '-';
        if (beforeCommonEra) line.Skip(1);
        const Number year = line.ReadNumber();
        const std::int32_t yearRead = beforeCommonEra ? -year.Value : year.Value;
        record.Year = std::clamp(yearRead, kMinYear, kMaxYear);
        ReadCorrections& corrections = record.Corrections;
        if (record.Month != month) corrections.Add(ChartField::Month, month, record.Month);
        if (record.Day != day) corrections.Add(ChartField::Day, day, record.Day);
        if (record.Year != yearRead) corrections.Add(ChartField::Year, yearRead, record.Year);
        if (year.Terminator == ',') {
            // Without a calendar letter, dates after the Gregorian reform are Gregorian.
            record.Gregorian = record.Year > 1582;
        } else {
            record.Gregorian = year.Terminator != 'j' && year.Terminator != 'J';
            line.Skip(1);
        }
    }
}

// Hours, then minutes and seconds behind any separators; "14h," is a whole hour.
void ReadTime(Reader& line, AafRecord& record) {
    record.Time = 0.0;
    ReadCorrections& corrections = record.Corrections;
    if (line.Peek() == '*') {
        line.Skip(2);
        corrections.Add(ChartField::Time, kValueMissing, 0);
    } else if (line.Peek() == ',') {
        line.Skip(1);
        corrections.Add(ChartField::Time, kValueMissing, 0);
    } else if (!line.AtEnd()) {
        line.SkipToDigit();
        const Number hours = line.ReadNumber();
        std::int32_t minutes = 0;
        std::int32_t seconds = 0;
        if (hours.Terminator == 'h' && line.Peek() == ',') {
            line.Skip(1);
        } else if (hours.Terminator != ',') {
            line.SkipToDigit();
            const Number minuteNumber = line.ReadNumber();
            minutes = ReplaceAbove(minuteNumber.Value, kMaxSixtieths, kMaxSixtieths,
                                   ChartField::Time, corrections);
            if (minuteNumber.Terminator != ',') {
                line.SkipToDigit();
                seconds = ReplaceAbove(line.ReadNumber().Value, kMaxSixtieths, kMaxSixtieths,
                                       ChartField::Time, corrections);
            }
        }
        // 24:00 is the next day's midnight, which AAF holds; hours beyond it are not.
        record.Time = SexagesimalSum(
            ReplaceAbove(hours.Value, 24, 23, ChartField::Time, corrections), minutes, seconds);
    }
}

// The record's "#B93" line, from its marker to its own bound; From is npos when there is none.
// The line belongs to this record when it stands before the next record, or close behind this
// record's first line, which ends at `lineStop`; no search looks further than that.
TextSpan FindLocationLine(std::string_view text, const RecordBounds& bounds, std::size_t lineStop) {
    std::size_t searchEnd = text.size();
    if (bounds.NextRecord != kNpos) {
        searchEnd =
            std::min(text.size(), std::max(bounds.NextRecord, lineStop + kLocationNearby - 1) +
                                      kLocationMarker.size());
    }
    const std::size_t location = FindWithin(text, kLocationMarker, bounds.Start, searchEnd);
    if (location == kNpos) return {kNpos, bounds.End};
    std::size_t locationEnd = bounds.End;
    if (bounds.NextRecord != kNpos && location > bounds.NextRecord) {
        locationEnd = text.find(kNextRecordMarker, location + kLocationMarker.size());
        if (locationEnd == kNpos) locationEnd = text.size();
    }
    return {location, locationEnd};
}

// Lead value, latitude, longitude, zone and daylight code of the "#B93" line, all zero without
// one. Gives where the notes may start: behind these, or behind the first line (`lineStop`).
std::size_t ReadLocationLine(std::string_view text, const TextSpan& location, std::size_t lineStop,
                             AafRecord& record) {
    record.Latitude = 0.0;
    record.Longitude = 0.0;
    record.TimeZone = 0.0;
    record.LeadValue = 0.0;
    record.DaylightCode = 0;
    if (location.From == kNpos) {
        // Without its "#B93" line a chart stands at 0° 0° in zone 0.
        record.Corrections.Add(ChartField::Latitude, kValueMissing, 0);
        return lineStop;
    }
    Reader numbers(text, location.From, location.End);
    numbers.Skip(kLocationPrefix);
    const std::string_view lead = numbers.TakeUntilComma();
    record.LeadValue = lead == "*" ? 0.0 : ConvertLeadValue(lead);
    record.Latitude = ReadAngle(numbers, 90, 'S', ChartField::Latitude, record.Corrections);
    record.Longitude = ReadAngle(numbers, 180, 'W', ChartField::Longitude, record.Corrections);
    record.TimeZone = ReadTimeZone(numbers, record.Corrections);
    record.DaylightCode = DaylightCodeOf(numbers.Peek());
    return numbers.Position();
}

// The notes run from the first "#" of `span` that opens no record to the span's end, without
// the line ends behind them.
void ReadNotes(std::string_view text, const TextSpan& span, AafRecord& record) {
    record.Notes[0] = '\0';
    const std::size_t hash =
        span.From < span.End ? text.substr(0, span.End).find('#', span.From) : kNpos;
    if (hash != kNpos && text.substr(hash, kNextRecordMarker.size()) != kNextRecordMarker) {
        std::string_view notes = text.substr(hash, span.End - hash);
        while (!notes.empty() && IsControl(notes.back()))
            notes.remove_suffix(1);
        if (notes.size() > kMaxNotesLength) {
            record.Corrections.Add(
                ChartField::Notes,
                static_cast<std::int32_t>(std::min<std::size_t>(notes.size(), kNumberCeiling)),
                static_cast<std::int32_t>(kMaxNotesLength));
            notes = notes.substr(0, kMaxNotesLength);
            while (!notes.empty() && IsControl(notes.back()))
                notes.remove_suffix(1);
        }
        std::memcpy(record.Notes, notes.data(), notes.size());
        record.Notes[notes.size()] = '\0';
    }
}

}  // namespace

std::size_t AafDatabase::ParseRecordAt(std::string_view text, std::size_t cursor,
                                       AafRecord& record) {
    const RecordBounds bounds = BoundsOfRecord(text, cursor);
    Reader line(text, bounds.Start, bounds.End);
    ReadCorrections& corrections = record.Corrections;
    corrections.Count = 0;
    StoreTextField(record.LastName, line.TakeUntilComma(), ChartField::Name, corrections);
    StoreGivenNames(record.FirstName, line.TakeGivenNames(), corrections);
    ReadGender(line, record);
    ReadDate(line, record);
    ReadTime(line, record);
    StoreTextField(record.Place, line.TakeUntilComma(), ChartField::Place, corrections);
    StoreTextField(record.Country, line.TakeUntilCommaOrControl(), ChartField::Place, corrections);
    const std::size_t lineStop = line.Position();

    const TextSpan location = FindLocationLine(text, bounds, lineStop);
    const std::size_t notesFrom = ReadLocationLine(text, location, lineStop, record);
    ReadNotes(text, {notesFrom, location.End}, record);
    return bounds.NextRecord;
}

void AafDatabase::ParseRecord() {
    if (CursorOffset == kNoCursor) return;
    ParsedNextMarker = ParseRecordAt(Buffer.View(), CursorOffset, *this);
    ParsedAt = CursorOffset;
}

std::vector<StretchStart> AafDatabase::SplitIntoStretches(std::string_view text, std::size_t first,
                                                          bool gregorian, std::size_t stretchText) {
    // A record's cursor stands behind each "#A93:" of the text and nowhere else, so a stretch
    // may start at the first one found from any point.
    std::vector<StretchStart> stretches{{first, gregorian}};
    AafRecord record;
    while (stretches.back().First < text.size() &&
           text.size() - stretches.back().First > stretchText) {
        const std::size_t next = NextCursor(text, stretches.back().First + stretchText, kNpos);
        if (next == kNoCursor) break;
        // A record without a date keeps the calendar of the record before it: the stretch
        // starts with the calendar of the last dated record before it, found from its end
        // backwards (mostly at once), or with the calendar the stretch before started with.
        bool inForce = stretches.back().Gregorian;
        for (std::size_t marker = next - kRecordMarker.size(); marker > stretches.back().First;) {
            marker = text.rfind(kRecordMarker, marker - 1);
            if (marker == kNpos || marker + kRecordMarker.size() < stretches.back().First) break;
            record.Gregorian = inForce;
            ParseRecordAt(text, marker + kRecordMarker.size(), record);
            if (record.Month != 0) {  // a parsed date always has a month
                inForce = record.Gregorian;
                break;
            }
        }
        stretches.push_back({next, inForce});
    }
    return stretches;
}

template <typename Take>
bool AafDatabase::ConvertRecordsWith(ChartTextWriter form, const Take& take, WalkedText walked,
                                     const ChartInspection* inspection) {
    if (CursorOffset == kNoCursor) return true;
    TextRelease<AafDatabase> release(*this, Buffer, walked);
    const std::string_view text = Buffer.View();
    TakenRecord last{CursorOffset, Gregorian};
    const bool completed = ConvertStretches(
        SplitIntoStretches(text, CursorOffset, Gregorian, kStretchText),
        [text](std::size_t cursor, AafRecord& record) {
            return NextCursor(text, cursor, ParseRecordAt(text, cursor, record));
        },
        form, take, [&release](std::size_t passed) { release.Passed(passed); }, last, inspection);
    // The database ends on the record taken last, parsed as a plain walk parses it.
    Gregorian = last.GregorianBefore;
    CursorOffset = last.Cursor;
    ParseRecord();
    return completed;
}

bool AafDatabase::ConvertRecords(ChartTextWriter form,
                                 const std::function<bool(std::string_view text)>& take,
                                 WalkedText walked) {
    return ConvertRecordsWith(form, take, walked, nullptr);
}

bool AafDatabase::ConvertRecords(
    ChartTextWriter form, const ChartInspection& inspection,
    const std::function<bool(std::string_view text, const MarkedChart* marked)>& take,
    WalkedText walked) {
    ChartInspection within = inspection;
    within.Text = Buffer.View();
    return ConvertRecordsWith(form, take, walked, &within);
}

}  // namespace tervalo
