// AafDatabase: loading, walking, parsing, formatting, appending and saving AAF text.
#include "formats/AafDatabase.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "core/Sexagesimal.h"
#include "core/TextScan.h"

namespace tervalo {

namespace {

constexpr std::string_view kRecordMarker = "#A93:";
// The bound of a record is the next "#A93" even without its colon: nothing of one record is
// read from behind it.
constexpr std::string_view kNextRecordMarker = "#A93";
constexpr std::string_view kLocationMarker = "#B93";
constexpr std::string_view kCommentMarker = "#COM:";
constexpr std::size_t kLocationPrefix = 5;  // "#B93" and its ":"
// A "#B93" line that starts this close behind the "#A93:" line belongs to it, wherever the
// next record starts.
constexpr std::size_t kLocationNearby = 8;
constexpr std::size_t kLeadValueDigits = 63;
constexpr std::size_t kNpos = std::string_view::npos;
// A load that leaves the last line unterminated appends this, so that a record cut short at
// the end of the file still finds the commas its fields end with.
constexpr std::string_view kUnterminatedFill = ",,,,,,";

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

template <std::size_t N>
void StoreTextField(char (&field)[N], std::string_view text) {
    if (text == "*") text = {};
    SetFieldText(field, text.substr(0, std::min(text.size(), kMaxTextLength)));
}

// A comma inside the given names can't be told from a field separator, so it is kept as a space.
void StoreGivenNames(char (&field)[kTextFieldSize], std::string_view text) {
    if (text == "*") text = {};
    const std::size_t length = std::min(text.size(), kMaxTextLength);
    for (std::size_t i = 0; i < length; ++i)
        field[i] = text[i] == ',' ? ' ' : text[i];
    field[length] = '\0';
}

// Reads minutes directly behind a letter, then seconds when the minutes end in other than a
// comma.
void ReadMinutesAndSeconds(Reader& reader, std::int32_t& minutes, std::int32_t& seconds) {
    const Number minuteNumber = reader.ReadNumber();
    minutes = ReplaceAbove(minuteNumber.Value, kMaxSixtieths, kMaxSixtieths);
    if (minuteNumber.Terminator != ',')
        seconds = ReplaceAbove(reader.ReadNumber().Value, kMaxSixtieths, kMaxSixtieths);
}

// Latitude or longitude: degrees, the hemisphere letter, minutes, optional seconds.
double ReadAngle(Reader& reader, std::int32_t maxDegrees, char negativeLetter) {
    const char first = reader.Peek();
    if (first == '*') {
        reader.Skip(2);
        return 0.0;
    }
    if (first == ',' || reader.AtEnd()) {
        reader.Skip(1);
        return 0.0;
    }
    reader.SkipToDigit();
    const Number degrees = reader.ReadNumber();
    const char letter = degrees.Terminator;
    std::int32_t minutes = 0;
    std::int32_t seconds = 0;
    if (letter != ',') ReadMinutesAndSeconds(reader, minutes, seconds);
    const double value =
        SexagesimalSum(ReplaceAbove(degrees.Value, maxDegrees, maxDegrees - 1), minutes, seconds);
    const bool negative = letter == negativeLetter || letter == negativeLetter + ('a' - 'A');
    return negative ? -value : value;
}

bool IsZoneDirection(char c) {
    return c == 'e' || c == 'E' || c == 'w' || c == 'W';
}

// Written zones carry an "h" before the direction letter; many files leave it out (0E44:0),
// and then the hours end in the direction letter itself. Some programs write the minutes, and
// seconds, before the letter instead (5:45E, 3:30:00W).
double ReadTimeZone(Reader& reader) {
    const char first = reader.Peek();
    if (first == '*') {
        reader.Skip(2);
        return 0.0;
    }
    if (first == ',' || reader.AtEnd()) {
        reader.Skip(1);
        return 0.0;
    }
    reader.SkipToDigit();
    const Number hours = reader.ReadNumber();
    std::int32_t minutes = 0;
    std::int32_t seconds = 0;
    char direction = '\0';
    if (hours.Terminator == ':') {
        const Number minuteNumber = reader.ReadNumber();
        minutes = ReplaceAbove(minuteNumber.Value, kMaxSixtieths, kMaxSixtieths);
        direction = minuteNumber.Terminator;
        if (direction == ':') {
            const Number secondNumber = reader.ReadNumber();
            seconds = ReplaceAbove(secondNumber.Value, kMaxSixtieths, kMaxSixtieths);
            direction = secondNumber.Terminator;
        }
        // The field ends behind its letter.
        if (direction != ',' && reader.Peek() == ',') reader.Skip(1);
    } else {
        direction = IsZoneDirection(hours.Terminator) ? hours.Terminator : reader.Take();
        if (direction != ',') ReadMinutesAndSeconds(reader, minutes, seconds);
    }
    const double value =
        SexagesimalSum(ReplaceAbove(hours.Value, kMaxZoneHours, kMaxZoneHours), minutes, seconds);
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

// Writes into a caller's buffer of kFormatRecordSize bytes; never past its end.
class RecordWriter {
public:
    explicit RecordWriter(char* out) : Out(out) {}

    void Put(char c) {
        if (Used < kLimit) Out[Used++] = c;
    }
    void Put(std::string_view text) {
        const std::size_t count = std::min(text.size(), kLimit - Used);
        if (count == 0) return;
        std::memcpy(Out + Used, text.data(), count);
        Used += count;
    }
    // A name, place or country of the "#A93:" line, "*" when empty. The line is read again when
    // the collected text is walked, and by other programs line by line: a line break in the text
    // would cut the line, and a marker in it would open a record or a location line of its own.
    // So line breaks stand as spaces, and so does the "#" of a marker.
    void PutLineText(std::string_view text) {
        if (text.empty()) {
            Put('*');
            return;
        }
        for (std::size_t from = 0;;) {
            const std::size_t at = FindFirstOf<'\r', '\n', '#'>(text, from);
            Put(text.substr(from, at - from));
            if (at == text.size()) return;
            Put(text[at] == '#' && !StartsMarker(text.substr(at)) ? '#' : ' ');
            from = at + 1;
        }
    }
    // A reader finds the notes by their leading "#", so notes from other programs, which have
    // none, go as a comment line, as AAF programs write comments; the whole stays within what a
    // reader takes. A record marker inside them would open a record of its own when the text is
    // read again: its "#" stands as a space.
    void PutNotes(std::string_view notes) {
        std::size_t room = kMaxNotesLength;
        if (notes.front() != '#') {
            Put(kCommentMarker);
            room -= kCommentMarker.size();
        }
        notes = notes.substr(0, std::min(notes.size(), room));
        for (std::size_t from = 0;;) {
            const std::size_t marker = notes.find(kNextRecordMarker, from);
            if (marker == kNpos) {
                Put(notes.substr(from));
                return;
            }
            Put(notes.substr(from, marker - from));
            Put(' ');
            from = marker + 1;
        }
    }
    void PutNumber(std::int64_t value) {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        Put(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
    }
    // A leading "0" for the values 0 to 9.
    void PutTwoDigits(std::int64_t value) {
        if (value >= 0 && value <= 99) {
            Put(static_cast<char>('0' + value / 10));
            Put(static_cast<char>('0' + value % 10));
            return;
        }
        PutNumber(value);
    }
    std::size_t Finish() {
        Out[Used] = '\0';
        return Used;
    }

private:
    static constexpr std::size_t kLimit = kFormatRecordSize - 1;  // room for the NUL
    static bool StartsMarker(std::string_view text) {
        return text.starts_with(kNextRecordMarker) || text.starts_with(kLocationMarker);
    }
    char* Out;
    std::size_t Used = 0;
};

void PutAngle(RecordWriter& writer, double value, char positive, char negative) {
    const long double clamped = BoundForWriting(value);
    const RoundedUnits split = SplitRounded(std::fabs(clamped));
    writer.PutTwoDigits(split.Units);
    writer.Put(clamped >= 0 ? positive : negative);
    writer.PutTwoDigits(split.Minutes);
}

void PutTime(RecordWriter& writer, double time) {
    const RoundedUnits split = SplitRounded(BoundForWriting(time));
    writer.PutTwoDigits(split.Units);
    writer.Put(':');
    writer.PutTwoDigits(split.Minutes);
    if (split.Seconds != 0) {
        writer.Put(':');
        writer.PutTwoDigits(split.Seconds);
    }
}

void PutLeadValue(RecordWriter& writer, double leadValue) {
    if (leadValue == 0) {
        writer.Put('*');
        return;
    }
    char digits[64];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, leadValue, std::chars_format::general, 13);
    const std::size_t length =
        result.ec == std::errc() ? static_cast<std::size_t>(result.ptr - digits) : 0;
    if (length == 0) {
        writer.Put('*');
        return;
    }
    writer.Put(std::string_view(digits, length));
}

std::string_view DaylightCodeText(std::int32_t code) {
    switch (code) {
        case 0:
            return "0";
        case 30:
            return "h";
        case 60:
            return "1";
        case 120:
            return "2";
        case -1:
            return "L";
        default:
            return {};
    }
}

// The record as AAF text; returns its length. A zero Day or Month becomes 1 in the record.
std::size_t FormatText(AafRecord& record, char* out) {
    RecordWriter writer(out);
    writer.Put(kRecordMarker);
    writer.PutLineText(FieldText(record.LastName));
    writer.Put(',');
    writer.PutLineText(FieldText(record.FirstName));
    writer.Put(',');
    // A NUL would end the whole text on the next load and lose every record behind it, and a
    // line break would split the record line; both are written as "not given".
    const char gender = record.Gender;
    writer.Put(gender != '\0' && gender != '\r' && gender != '\n' ? gender : '*');
    writer.Put(',');

    // Writing marks the record: a day or month of 0 becomes 1 in it too.
    const ChartDate date = WrittenDate(record, YearZero::Kept);
    record.Day = date.Day;
    writer.PutTwoDigits(record.Day);
    writer.Put('.');
    record.Month = date.Month;
    writer.PutTwoDigits(record.Month);
    writer.Put('.');
    const std::int32_t year = date.Year;
    if (year < 0) writer.Put('-');
    const std::int32_t yearDigits = year < 0 ? -year : year;
    writer.Put(static_cast<char>('0' + yearDigits / 1000));
    writer.Put(static_cast<char>('0' + yearDigits / 100 % 10));
    writer.Put(static_cast<char>('0' + yearDigits / 10 % 10));
    writer.Put(static_cast<char>('0' + yearDigits % 10));
    writer.Put(record.Gregorian ? 'g' : 'j');
    writer.Put(',');

    PutTime(writer, record.Time);
    writer.Put(',');
    writer.PutLineText(FieldText(record.Place));
    writer.Put(',');
    writer.PutLineText(FieldText(record.Country));
    writer.Put("\r\n");

    writer.Put("#B93:");
    PutLeadValue(writer, record.LeadValue);
    writer.Put(',');
    PutAngle(writer, record.Latitude, 'N', 'S');
    writer.Put(',');
    PutAngle(writer, record.Longitude, 'E', 'W');
    writer.Put(',');

    const long double zone = BoundForWriting(record.TimeZone);
    const RoundedUnits zoneSplit = SplitRounded(std::fabs(zone));
    writer.PutNumber(zoneSplit.Units);
    writer.Put('h');
    writer.Put(zone >= 0 ? 'w' : 'e');
    writer.PutTwoDigits(zoneSplit.Minutes);
    writer.Put(',');
    writer.Put(DaylightCodeText(record.DaylightCode));
    writer.Put("\r\n");

    const std::string_view notes = FieldText(record.Notes);
    if (!notes.empty()) {
        writer.PutNotes(notes);
        writer.Put("\r\n");
    }
    writer.Put("\r\n");
    return writer.Finish();
}

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(std::string_view left, std::string_view right) {
    if (left.size() != right.size()) return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (FoldAscii(left[i]) != FoldAscii(right[i])) return false;
    }
    return true;
}

}  // namespace

AafDatabase::AafDatabase() {
    ClearRecord();
}

void AafDatabase::AddCountries(const std::vector<std::string_view>& rows) {
    Countries.reserve(Countries.size() + rows.size());
    for (std::string_view row : rows)
        Countries.emplace_back(row);
}

std::string_view AafDatabase::LookupCountryCode(std::string_view name) const {
    for (const std::string& row : Countries) {
        const std::string_view text = row;
        const std::size_t equals = text.find('=');
        if (equals == kNpos) continue;
        if (EqualIgnoringAsciiCase(text.substr(0, equals), name)) return text.substr(equals + 1);
    }
    return {};
}

void AafDatabase::Reset() {
    Buffer.Clear();
    CursorOffset = kNoCursor;
    ParsedAt = kNoCursor;
}

void AafDatabase::ClearRecord() {
    static_cast<ChartRecord&>(*this) = ChartRecord{};
    Notes[0] = '\0';
}

bool AafDatabase::LoadFromFile(const std::string& path) {
    ParsedAt = kNoCursor;  // a new text, even where a failed load left the old one
    LoadError = path.empty() ? LoadFailure::NoPath : Buffer.LoadFile(path);
    if (LoadError == LoadFailure::ShortOrTiny) CursorOffset = kNoCursor;  // the text is emptied
    if (LoadError != LoadFailure::None) return false;
    CursorOffset = kNoCursor;
    const std::string_view text = Buffer.View();
    if (!text.empty() && text.back() == '\n') {
        Buffer.CutTrailingEmptyLines();
    } else if (!text.empty()) {
        const std::size_t hash = text.rfind('#');
        if (hash != kNpos && text.substr(hash).size() >= 5 && text.substr(hash + 2, 3) == "93:")
            Buffer.AppendUnchecked(kUnterminatedFill);
    }
    const std::size_t first = Buffer.View().find(kRecordMarker);
    if (first == kNpos) {
        Buffer.Clear();
        LoadError = LoadFailure::NoRecord;
        return false;
    }
    CursorOffset = first + kRecordMarker.size();
    LoadError = LoadFailure::None;
    return true;
}

bool AafDatabase::SaveToFile(const std::string& path) {
    if (Buffer.Length() < 5 || path.empty()) return false;
    // A saved file ends with its last line; the blank line between records comes back on the
    // next append.
    Buffer.CutTrailingEmptyLines();
    return Buffer.SaveFile(path);
}

void AafDatabase::FirstRecord() {
    if (CursorOffset == kNoCursor) return;
    const std::size_t first = Buffer.View().find(kRecordMarker);
    CursorOffset = first == kNpos ? kNoCursor : first + kRecordMarker.size();
}

bool AafDatabase::NextRecord() {
    if (CursorOffset == kNoCursor) return false;
    const std::size_t bound = ParsedAt == CursorOffset ? ParsedNextMarker : kNpos;
    const std::size_t next = NextCursor(Buffer.View(), CursorOffset, bound);
    if (next == kNoCursor) return false;
    CursorOffset = next;
    return true;
}

std::size_t AafDatabase::NextCursor(std::string_view text, std::size_t cursor, std::size_t bound) {
    if (cursor >= text.size()) return kNoCursor;
    // Text only ever grows at its end or is replaced whole (which forgets the parse), so a
    // marker found while parsing at this cursor still stands where it was.
    const bool parsedHere =
        bound != kNpos && text.substr(bound, kRecordMarker.size()) == kRecordMarker;
    const std::size_t next = parsedHere ? bound : text.find(kRecordMarker, cursor);
    return next == kNpos ? kNoCursor : next + kRecordMarker.size();
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

std::size_t AafDatabase::ParseRecordAt(std::string_view text, std::size_t cursor,
                                       AafRecord& record) {
    const std::size_t start = std::min(cursor, text.size());
    // Every read of this record stops at the next one, so that a damaged record never takes
    // its numbers from the next chart, and a walk stays linear.
    const std::size_t nextRecord = text.find(kNextRecordMarker, start);
    const std::size_t recordEnd = nextRecord == kNpos ? text.size() : nextRecord;

    Reader line(text, start, recordEnd);
    StoreTextField(record.LastName, line.TakeUntilComma());
    StoreGivenNames(record.FirstName, line.TakeGivenNames());

    if (line.AtEnd() || line.Peek() == ',') {
        record.Gender = '*';
        line.Skip(1);
    } else {
        record.Gender = line.Take();
        line.Skip(1);
    }

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
        record.Day = line.ReadNumber().Value;
        line.SkipToDigit();
        record.Month = std::clamp(line.ReadNumber().Value, 1, 12);
        record.Day = std::clamp(record.Day, 1, AafDatabase::DaysInMonth[record.Month]);
        const bool beforeCommonEra = line.Peek() == '-';
        if (beforeCommonEra) line.Skip(1);
        const Number year = line.ReadNumber();
        record.Year = std::clamp(beforeCommonEra ? -year.Value : year.Value, kMinYear, kMaxYear);
        if (year.Terminator == ',') {
            // Without a calendar letter, dates after the Gregorian reform are Gregorian.
            record.Gregorian = record.Year > 1582;
        } else {
            record.Gregorian = year.Terminator != 'j' && year.Terminator != 'J';
            line.Skip(1);
        }
    }

    record.Time = 0.0;
    if (line.Peek() == '*') {
        line.Skip(2);
    } else if (line.Peek() == ',') {
        line.Skip(1);
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
            minutes = ReplaceAbove(minuteNumber.Value, kMaxSixtieths, kMaxSixtieths);
            if (minuteNumber.Terminator != ',') {
                line.SkipToDigit();
                seconds = ReplaceAbove(line.ReadNumber().Value, kMaxSixtieths, kMaxSixtieths);
            }
        }
        record.Time = SexagesimalSum(ReplaceAbove(hours.Value, 24, 23), minutes, seconds);
    }

    StoreTextField(record.Place, line.TakeUntilComma());
    StoreTextField(record.Country, line.TakeUntilCommaOrControl());
    const std::size_t lineStop = line.Position();

    record.Latitude = 0.0;
    record.Longitude = 0.0;
    record.TimeZone = 0.0;
    record.LeadValue = 0.0;
    record.DaylightCode = 0;
    // The "#B93" line belongs to this record when it stands before the next record, or close
    // behind this record's first line; no search looks further than that.
    std::size_t searchEnd = text.size();
    if (nextRecord != kNpos) {
        searchEnd = std::min(text.size(), std::max(nextRecord, lineStop + kLocationNearby - 1) +
                                              kLocationMarker.size());
    }
    const std::size_t location = FindWithin(text, kLocationMarker, start, searchEnd);
    std::size_t notesFrom = lineStop;
    std::size_t notesEnd = recordEnd;
    if (location != kNpos) {
        std::size_t locationEnd = recordEnd;
        if (nextRecord != kNpos && location > nextRecord) {
            locationEnd = text.find(kNextRecordMarker, location + kLocationMarker.size());
            if (locationEnd == kNpos) locationEnd = text.size();
        }
        Reader numbers(text, location, locationEnd);
        numbers.Skip(kLocationPrefix);
        const std::string_view lead = numbers.TakeUntilComma();
        record.LeadValue = lead == "*" ? 0.0 : ConvertLeadValue(lead);
        record.Latitude = ReadAngle(numbers, 90, 'S');
        record.Longitude = ReadAngle(numbers, 180, 'W');
        record.TimeZone = ReadTimeZone(numbers);
        record.DaylightCode = DaylightCodeOf(numbers.Peek());
        notesFrom = numbers.Position();
        notesEnd = locationEnd;
    }

    record.Notes[0] = '\0';
    const std::size_t hash =
        notesFrom < notesEnd ? text.substr(0, notesEnd).find('#', notesFrom) : kNpos;
    if (hash != kNpos && text.substr(hash, kNextRecordMarker.size()) != kNextRecordMarker) {
        std::string_view notes = text.substr(hash, std::min(notesEnd - hash, kMaxNotesLength));
        while (!notes.empty() && IsControl(notes.back()))
            notes.remove_suffix(1);
        std::memcpy(record.Notes, notes.data(), notes.size());
        record.Notes[notes.size()] = '\0';
    }
    return nextRecord;
}

void AafDatabase::ParseRecord() {
    if (CursorOffset == kNoCursor) return;
    ParsedNextMarker = ParseRecordAt(Buffer.View(), CursorOffset, *this);
    ParsedAt = CursorOffset;
}

char* AafDatabase::FormatRecord(char* out) {
    if (out == nullptr) return nullptr;
    FormatText(*this, out);
    return out;
}

std::size_t AafDatabase::FormatRecordText(AafRecord& record, char* out) {
    return FormatText(record, out);
}

bool AafDatabase::AppendRecord() {
    char record[kFormatRecordSize];
    const std::size_t recordLength = FormatText(*this, record);
    return AppendFormatted(std::string_view(record, recordLength));
}

bool AafDatabase::AppendFormatted(std::string_view record) {
    const std::size_t length = Buffer.Length();
    if (static_cast<std::int64_t>(length) + kAafAppendReserve > Buffer.Capacity()) {
        if (!Buffer.Reallocate(GrownCapacity(static_cast<std::int64_t>(length)))) return false;
    }
    // Records are kept apart by a blank line, however the text before ended.
    if (length > 3) {
        while (Buffer.Data()[Buffer.Length() - 3] != '\n')
            Buffer.AppendUnchecked("\r\n");
    }
    Buffer.AppendUnchecked(record);
    if (CursorOffset == kNoCursor) {
        const std::size_t first = Buffer.View().find(kRecordMarker);
        CursorOffset = first == kNpos ? kNoCursor : first + kRecordMarker.size();
    }
    return true;
}

}  // namespace tervalo
