// ParseCsvCharts, ReadCsvCharts: charts from CSV lines, as Tervalo writes them and as spreadsheets
// save them again.
#include "formats/CsvReader.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "core/ChartRecord.h"
#include "core/CodePage.h"
#include "core/TextBuffer.h"
#include "formats/ReadBounds.h"

namespace tervalo {

namespace {

// The fields of a line, in the order the CSV writer puts them.
constexpr std::size_t kLastNameField = 0;
constexpr std::size_t kFirstNameField = 1;
constexpr std::size_t kGenderField = 2;
constexpr std::size_t kDateField = 3;  // year.month.day
constexpr std::size_t kCalendarField = 4;
constexpr std::size_t kTimeField = 5;      // decimal hours
constexpr std::size_t kZoneField = 6;      // decimal hours, west positive
constexpr std::size_t kDaylightField = 7;  // minutes, -1 for local mean time
constexpr std::size_t kLatitudeField = 8;
constexpr std::size_t kLongitudeField = 9;
constexpr std::size_t kPlaceField = 10;
constexpr std::size_t kCountryField = 11;
constexpr std::size_t kChartFields = 12;
// Spreadsheets leave out empty columns at a line's end: without place and country ten remain.
constexpr std::size_t kFewestFields = kPlaceField;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Longer number fields are no number the writer or a spreadsheet writes.
constexpr std::size_t kLongestNumber = 64;

// A field as it stands in the text: inside its quotes, with doubled quotes still doubled.
struct Field {
    std::string_view Text;
    bool DoubledQuotes = false;
};

// One line's fields (a quoted field may carry it over several physical lines).
struct CsvLine {
    std::array<Field, kChartFields> Fields;
    std::size_t Count = 0;        // all fields found, beyond the twelfth too
    bool TextBeyond = false;      // a field after the twelfth is not empty
    bool Malformed = false;       // text after a closing quote, or a quote never closed
    bool Unclosed = false;        // a quote runs on to the end of the text
    std::uint32_t FirstLine = 0;  // the physical line it starts on, from 1
};

// Three bytes that end a run of field text: the separator or a quote, and the two line ends.
// A million lines pass through the search, so it looks at eight bytes at a time: a byte of the
// word equals a stop where the word XOR the stop repeated eight times has a zero byte, and
// (x - 0x01..01) & ~x & 0x80..80 marks zero bytes, exactly up to the first one, which is all
// the search needs.
class StopBytes {
public:
    StopBytes(char first, char second, char third) : Bytes{first, second, third} {
        for (std::size_t i = 0; i < Bytes.size(); ++i)
            Repeated[i] = kLowBits * static_cast<unsigned char>(Bytes[i]);
    }

    // Where the first stop stands at or after `from`, or text.size().
    std::size_t Find(std::string_view text, std::size_t from) const {
        const char* const bytes = text.data();
        if constexpr (std::endian::native == std::endian::little) {
            while (text.size() - from >= sizeof(std::uint64_t)) {
                std::uint64_t word;
                std::memcpy(&word, bytes + from, sizeof word);
                const std::uint64_t found = ZeroBytes(word ^ Repeated[0]) |
                                            ZeroBytes(word ^ Repeated[1]) |
                                            ZeroBytes(word ^ Repeated[2]);
                if (found != 0) return from + static_cast<std::size_t>(std::countr_zero(found)) / 8;
                from += sizeof word;
            }
        }
        while (from < text.size() && !Holds(bytes[from]))
            ++from;
        return from;
    }
    bool Holds(char c) const { return c == Bytes[0] || c == Bytes[1] || c == Bytes[2]; }

private:
    static constexpr std::uint64_t kLowBits = 0x0101010101010101;
    static constexpr std::uint64_t kHighBits = 0x8080808080808080;
    static std::uint64_t ZeroBytes(std::uint64_t word) {
        return (word - kLowBits) & ~word & kHighBits;
    }

    std::array<char, 3> Bytes;
    std::array<std::uint64_t, 3> Repeated{};
};

// Splits the text into lines of fields, counting physical lines as it goes: CR LF, LF and CR
// each end one, inside quotes too.
class LineScanner {
public:
    LineScanner(std::string_view text, char separator)
        : Text(text),
          Separator(separator),
          FieldEnds(separator, '\r', '\n'),
          QuotedEnds('"', '\r', '\n') {}
    bool AtEnd() const { return At >= Text.size(); }
    void Next(CsvLine& line);

private:
    // Steps over the line end at At.
    void PassLineEnd() {
        At += Text[At] == '\r' && At + 1 < Text.size() && Text[At + 1] == '\n' ? 2 : 1;
        ++Line;
    }
    void ScanQuoted(CsvLine& line, Field& field);

    std::string_view Text;
    char Separator;
    StopBytes FieldEnds;
    StopBytes QuotedEnds;
    std::size_t At = 0;
    std::uint32_t Line = 1;
};

void LineScanner::ScanQuoted(CsvLine& line, Field& field) {
    const std::size_t start = ++At;
    for (;;) {
        At = QuotedEnds.Find(Text, At);
        if (At >= Text.size()) {
            line.Malformed = line.Unclosed = true;
            field.Text = Text.substr(start);
            return;
        }
        if (Text[At] != '"') {
            PassLineEnd();
        } else if (At + 1 < Text.size() && Text[At + 1] == '"') {
            field.DoubledQuotes = true;
            At += 2;
        } else {
            field.Text = Text.substr(start, At - start);
            ++At;
            break;
        }
    }
    if (At < Text.size() && !FieldEnds.Holds(Text[At])) {
        line.Malformed = true;
        At = FieldEnds.Find(Text, At);
    }
}

void LineScanner::Next(CsvLine& line) {
    line.Count = 0;
    line.TextBeyond = line.Malformed = line.Unclosed = false;
    line.FirstLine = Line;
    for (;;) {
        Field field;
        if (At < Text.size() && Text[At] == '"') {
            ScanQuoted(line, field);
        } else {
            // A quote inside an unquoted field is an ordinary character, as spreadsheets take it.
            const std::size_t start = At;
            At = FieldEnds.Find(Text, At);
            field.Text = Text.substr(start, At - start);
        }
        if (line.Count < kChartFields) {
            line.Fields[line.Count] = field;
        } else if (!field.Text.empty()) {
            line.TextBeyond = true;
        }
        ++line.Count;
        if (At >= Text.size()) return;
        if (Text[At] == Separator) {
            ++At;
            continue;
        }
        PassLineEnd();
        return;
    }
}

// A line of empty fields holds nothing: a blank line, or a row a spreadsheet kept empty.
bool IsEmpty(const CsvLine& line) {
    if (line.Malformed || line.TextBeyond) return false;
    const std::size_t stored = line.Count < kChartFields ? line.Count : kChartFields;
    for (std::size_t i = 0; i < stored; ++i) {
        if (!line.Fields[i].Text.empty()) return false;
    }
    return true;
}

// The separator of the first line's fields. Texts may hold the other character unquoted (a
// spreadsheet quotes only its own separator), so the one that gives a chart's count of fields
// wins; failing that, the more frequent one.
char FindSeparator(std::string_view text) {
    std::size_t commas = 0;
    std::size_t semicolons = 0;
    bool quoted = false;
    // Blank lines before the first line say nothing.
    const std::size_t first = text.find_first_not_of("\r\n");
    for (const char c : text.substr(first == std::string_view::npos ? text.size() : first)) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted) {
            if (c == '\r' || c == '\n') break;
            commas += c == ',';
            semicolons += c == ';';
        }
    }
    const auto fits = [](std::size_t separators) {
        return separators + 1 >= kFewestFields && separators + 1 <= kChartFields;
    };
    if (fits(commas) != fits(semicolons)) return fits(semicolons) ? ';' : ',';
    return semicolons > commas ? ';' : ',';
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Reads one to nine digits at `at` (no overflow is possible).
bool ReadDigits(std::string_view text, std::size_t& at, std::int32_t& value) {
    const std::size_t start = at;
    value = 0;
    while (at < text.size() && at - start < 9 && text[at] >= '0' && text[at] <= '9')
        value = value * 10 + (text[at++] - '0');
    return at > start && (at >= text.size() || text[at] < '0' || text[at] > '9');
}

// "year.month.day" as the writer puts it ("1975.03.7", "-44.03.15"); "1975-03-07" as
// spreadsheets rewrite it; "1975. 03. 07." as a Hungarian spreadsheet shows a date. There is
// no year 0; day 0 stands for a chart without a day, which the writer keeps.
bool ReadDate(const Field& field, ChartDate& date) {
    if (field.DoubledQuotes) return false;
    const std::string_view text = TrimSpaces(field.Text);
    std::size_t at = text.starts_with('-') ? 1 : 0;
    std::int32_t year = 0;
    if (!ReadDigits(text, at, year) || at >= text.size()) return false;
    const char separator = text[at++];
    if (separator != '.' && separator != '-') return false;
    const auto skipSpaces = [&] {
        while (separator == '.' && at < text.size() && text[at] == ' ')
            ++at;
    };
    skipSpaces();
    std::int32_t month = 0;
    if (!ReadDigits(text, at, month) || at >= text.size() || text[at++] != separator) return false;
    skipSpaces();
    std::int32_t day = 0;
    if (!ReadDigits(text, at, day)) return false;
    if (separator == '.' && at + 1 == text.size() && text[at] == '.') ++at;
    if (at != text.size() || year == 0 || year > kMaxYear || month < 1 || month > 12 || day > 31)
        return false;
    date = {text.starts_with('-') ? -year : year, month, day};
    return true;
}

// A plain decimal of at most 15 digits (as the writer puts nearly every number) is one exact
// division: the digits and the power of ten are both exact doubles, so the quotient is the
// correctly rounded value, the one std::from_chars gives, at a fraction of its cost.
bool ReadPlainDecimal(std::string_view text, char point, double& value) {
    static constexpr double kPowersOfTen[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    constexpr int kMostDigits = 15;
    const bool negative = text.starts_with('-');
    std::uint64_t digits = 0;
    int digitCount = 0;
    int fractionDigits = 0;
    bool pointSeen = false;
    for (std::size_t at = negative ? 1 : 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c >= '0' && c <= '9') {
            if (++digitCount > kMostDigits) return false;
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            fractionDigits += pointSeen;
        } else if (c == point && !pointSeen) {
            pointSeen = true;
        } else {
            return false;
        }
    }
    if (digitCount == 0) return false;
    value = static_cast<double>(digits) / kPowersOfTen[fractionDigits];
    if (negative) value = -value;
    return true;
}

// A real number, with a decimal comma where the separator is ";". NaN and the infinities are
// no value of a chart.
bool ReadReal(const Field& field, char separator, double& value) {
    if (field.DoubledQuotes) return false;
    std::string_view text = TrimSpaces(field.Text);
    if (text.starts_with('+')) text.remove_prefix(1);
    if (ReadPlainDecimal(text, '.', value)) return true;
    if (separator == ';' && ReadPlainDecimal(text, ',', value)) return true;
    if (text.empty() || text.size() > kLongestNumber) return false;
    char copy[kLongestNumber];
    if (separator == ';') {
        for (std::size_t i = 0; i < text.size(); ++i)
            copy[i] = text[i] == ',' ? '.' : text[i];
        text = std::string_view(copy, text.size());
    }
    const char* end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc{} && result.ptr == end && std::isfinite(value);
}

// Minutes of daylight saving: the codes a chart can hold and nothing else.
bool ReadDaylightCode(const Field& field, std::int32_t& code) {
    if (field.DoubledQuotes) return false;
    const std::string_view text = TrimSpaces(field.Text);
    const char* end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, code);
    return result.ec == std::errc{} && result.ptr == end && !text.empty() &&
           (code == -1 || code == 0 || code == 30 || code == 60 || code == 120);
}

bool ReadCalendar(const Field& field, bool& gregorian) {
    const std::string_view text = TrimSpaces(field.Text);
    if (text.size() != 1 || field.DoubledQuotes) return false;
    gregorian = text[0] == 'g' || text[0] == 'G';
    return gregorian || text[0] == 'j' || text[0] == 'J';
}

// The writer puts the gender byte as it is; an empty field means "not given", as "*" does.
bool ReadGender(const Field& field, char& gender) {
    if (field.DoubledQuotes) {
        gender = '"';
        return field.Text == "\"\"";
    }
    if (field.Text.size() > 1) return false;
    gender = field.Text.empty() ? '*' : field.Text[0];
    return true;
}

// A text into its record field, doubled quotes made single, cut at the field's capacity; a cut
// is noted as the chart's `kind` of text.
void StoreText(char (&target)[kTextFieldSize], const Field& field, ChartField kind,
               AafRecord& chart) {
    if (!field.DoubledQuotes) {
        SetNotedFieldText(target, field.Text, kind, chart);
        return;
    }
    std::size_t length = 0;
    std::size_t whole = 0;
    for (std::size_t i = 0; i < field.Text.size(); ++i, ++whole) {
        if (length < kMaxTextLength) target[length++] = field.Text[i];
        if (field.Text[i] == '"') ++i;  // the second of the pair
    }
    target[length] = '\0';
    NoteTextCut(kind, whole, kMaxTextLength, chart);
}

// The chart of a line into `chart`; false when the line holds no chart. Every field of the
// chart is set anew, so one record serves every line.
bool ReadChart(const CsvLine& line, char separator, AafRecord& chart) {
    if (line.Malformed || line.TextBeyond || line.Count < kFewestFields) return false;
    const auto& fields = line.Fields;
    ChartDate date;
    if (!ReadDate(fields[kDateField], date) ||
        !ReadCalendar(fields[kCalendarField], chart.Gregorian) ||
        !ReadGender(fields[kGenderField], chart.Gender) ||
        !ReadReal(fields[kTimeField], separator, chart.Time) ||
        !ReadReal(fields[kZoneField], separator, chart.TimeZone) ||
        !ReadDaylightCode(fields[kDaylightField], chart.DaylightCode) ||
        !ReadReal(fields[kLatitudeField], separator, chart.Latitude) ||
        !ReadReal(fields[kLongitudeField], separator, chart.Longitude))
        return false;
    chart.Year = date.Year;
    chart.Month = date.Month;
    chart.Day = date.Day;
    chart.Corrections.Count = 0;
    chart.SourceLine = line.FirstLine;
    StoreText(chart.LastName, fields[kLastNameField], ChartField::Name, chart);
    StoreText(chart.FirstName, fields[kFirstNameField], ChartField::Name, chart);
    const Field none;
    StoreText(chart.Place, line.Count > kPlaceField ? fields[kPlaceField] : none, ChartField::Place,
              chart);
    StoreText(chart.Country, line.Count > kCountryField ? fields[kCountryField] : none,
              ChartField::Place, chart);
    return true;
}

// A first line laid out like a chart whose date field holds no date names the columns. A date
// field with digits is a chart's broken date, which is reported rather than taken for a name.
bool IsHeader(const CsvLine& line) {
    if (line.Malformed || line.TextBeyond || line.Count < kFewestFields) return false;
    const std::string_view date = line.Fields[kDateField].Text;
    for (const char c : date) {
        if (c >= '0' && c <= '9') return false;
    }
    return true;
}

// Reads Windows-1250 text: UTF-8 was converted before.
ChartFileRead ParseText(std::string_view text, const ChartVisitor& visit, ChartFileRead read) {
    // A mark left in front of text that proved not to be UTF-8 says nothing.
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    const char separator = FindSeparator(text);
    LineScanner scanner(text, separator);
    CsvLine line;
    AafRecord chart;  // no notes, no lead value: CSV carries neither
    bool first = true;
    while (!scanner.AtEnd()) {
        scanner.Next(line);
        if (IsEmpty(line)) continue;
        if (ReadChart(line, separator, chart)) {
            first = false;
            read.Recognised = true;
            if (visit && !visit(chart)) {
                read.Stopped = true;
                return read;
            }
            continue;
        }
        // A quote never closed took the rest of the text with it: the file breaks off there.
        if (line.Unclosed) {
            read.BrokenOffAt = line.FirstLine;
            break;
        }
        if (!std::exchange(first, false) || !IsHeader(line))
            read.SkippedLines.push_back(line.FirstLine);
    }
    // Without a single chart the text is no CSV of charts, and none of its lines is news.
    if (!read.Recognised) return {};
    return read;
}

}  // namespace

ChartFileRead ParseCsvCharts(std::string_view text, const ChartVisitor& visit) {
    text = text.substr(0, text.find('\0'));
    const auto isHigh = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
    std::size_t high = 0;
    while (high < text.size() && !isHigh(text[high]))
        ++high;
    // Windows-1250 text nearly always fails at its first accented letter: it is read as it is.
    char32_t codePoint = 0;
    if (high == text.size() || DecodeUtf8At(text, high, codePoint) == 0)
        return ParseText(text, visit, {});
    std::string converted(text);
    std::size_t length = converted.size();
    const Utf8InPlace outcome = ConvertUtf8InPlace(converted.data(), length);
    if (outcome.Spoiled || !outcome.Conversion.Converted) return ParseText(text, visit, {});
    ChartFileRead read;
    read.Unconvertible = outcome.Conversion.Unconvertible;
    return ParseText(std::string_view(converted.data(), length), visit, std::move(read));
}

ChartFileRead ReadCsvCharts(const std::string& path, const ChartVisitor& visit) {
    // The load converts UTF-8 once and ends the text at a NUL; a file under its 16 bytes holds
    // no chart line anyway.
    TextBuffer text;
    if (text.LoadFile(path) != LoadFailure::None) return {};
    ChartFileRead read;
    read.Unconvertible = text.LastConversion().Unconvertible;
    return ParseText(text.View(), visit, std::move(read));
}

}  // namespace tervalo
