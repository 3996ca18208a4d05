// ParseCsvCharts, ReadCsvCharts: charts from CSV lines, as Tervalo writes them and as spreadsheets
// save them again.
#include "formats/CsvReader.h"

#include <array>
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

// Splits the text into lines of fields, counting physical lines as it goes: CR LF, LF and CR
// each end one, inside quotes too.
class LineScanner {
public:
    LineScanner(std::string_view text, char separator) : Text(text), Separator(separator) {}
    bool AtEnd() const { return At >= Text.size(); }
    void Next(CsvLine& line);

private:
    bool EndsField(char c) const { return c == Separator || c == '\r' || c == '\n'; }
    // Steps over the line end at At.
    void PassLineEnd() {
        At += Text[At] == '\r' && At + 1 < Text.size() && Text[At + 1] == '\n' ? 2 : 1;
        ++Line;
    }
    void ScanQuoted(CsvLine& line, Field& field);

    std::string_view Text;
    char Separator;
    std::size_t At = 0;
    std::uint32_t Line = 1;
};

void LineScanner::ScanQuoted(CsvLine& line, Field& field) {
    const std::size_t start = ++At;
    for (;;) {
        while (At < Text.size() && Text[At] != '"' && Text[At] != '\r' && Text[At] != '\n')
            ++At;
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
    if (At < Text.size() && !EndsField(Text[At])) {
        line.Malformed = true;
        while (At < Text.size() && !EndsField(Text[At]))
            ++At;
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
            while (At < Text.size() && !EndsField(Text[At]))
                ++At;
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
    for (const char c : text) {
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

// A real number, with a decimal comma where the separator is ";". NaN and the infinities are
// no value of a chart.
bool ReadReal(const Field& field, char separator, double& value) {
    if (field.DoubledQuotes) return false;
    std::string_view text = TrimSpaces(field.Text);
    if (text.starts_with('+')) text.remove_prefix(1);
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
    const char letter = GenderLetter(text[0]);  // the capital of an ASCII letter
    gregorian = letter == 'G';
    return letter == 'G' || letter == 'J';
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

// A text into its record field, doubled quotes made single, cut at the field's capacity.
void StoreText(char (&target)[kTextFieldSize], const Field& field) {
    if (!field.DoubledQuotes) {
        SetFieldText(target, field.Text);
        return;
    }
    std::size_t length = 0;
    for (std::size_t i = 0; i < field.Text.size() && length < kMaxTextLength; ++i) {
        target[length++] = field.Text[i];
        if (field.Text[i] == '"') ++i;  // the second of the pair
    }
    target[length] = '\0';
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
    StoreText(chart.LastName, fields[kLastNameField]);
    StoreText(chart.FirstName, fields[kFirstNameField]);
    const Field none;
    StoreText(chart.Place, line.Count > kPlaceField ? fields[kPlaceField] : none);
    StoreText(chart.Country, line.Count > kCountryField ? fields[kCountryField] : none);
    return true;
}

// A first line laid out like a chart whose date field holds no date names the columns.
bool IsHeader(const CsvLine& line) {
    ChartDate date;
    return !line.Malformed && !line.TextBeyond && line.Count >= kFewestFields &&
           !ReadDate(line.Fields[kDateField], date);
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
    if (high == text.size()) return ParseText(text, visit, {});
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
