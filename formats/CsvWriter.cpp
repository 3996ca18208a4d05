// CSV output: one spreadsheet line of twelve fields per chart.
#include "formats/AafDatabase.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <system_error>

#include "core/TextScan.h"

namespace tervalo {

namespace {

// Real numbers carry eight significant digits, in the form of printf's %.8g.
constexpr int kRealDigits = 8;

// A line is formed in a buffer of this size and appended whole: four texts quoted with every
// byte doubled, the gender likewise, three integers, four reals, the separators and the line end
// take less.
constexpr std::size_t kLineRoom = 4 * (2 * kMaxTextLength + 2) + 4 + 3 * 12 + 4 * 32 + 16;

// Writes forward through a line buffer that the caller sized for the longest line.
class LineWriter {
public:
    explicit LineWriter(char* at) : At(at) {}
    char* Position() const { return At; }

    void Put(char c) { *At++ = c; }
    void Put(std::string_view text) {
        std::memcpy(At, text.data(), text.size());
        At += text.size();
    }
    void PutInteger(std::int32_t value) {
        At = std::to_chars(At, At + 12, value).ptr;  // "-2147483648" is the longest
    }
    void PutReal(double value);
    void PutText(std::string_view text);
    void PutWithLeadingZero(std::int32_t value) {
        if (value >= 1 && value <= 9) Put('0');
        PutInteger(value);
    }

private:
    bool PutRealFixed(double value);
    char* At;
};

// Times, zones and coordinates are written four to the line, so the usual case is worked out
// here: the value scaled to eight digits in double (the powers of ten are exact; the product is
// off by at most half a unit in the last place, below 1e-8 of a digit), rounded, and laid out
// in fixed notation. Rounding only turns on the fraction's side of one half, so an error that
// small matters only next to a tie, which is left to the exact conversion. Values whose exponent is
// outside the fixed range, or that lie so close to a rounding tie that the error could matter, fall
// back to std::to_chars, which gives the same text for every double.
bool LineWriter::PutRealFixed(double value) {
    static constexpr double kScale[12] = {1e0, 1e1, 1e2, 1e3, 1e4,  1e5,
                                          1e6, 1e7, 1e8, 1e9, 1e10, 1e11};
    static constexpr double kPowers[13] = {1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2,
                                           1e3,  1e4,  1e5,  1e6,  1e7, 1e8};
    constexpr std::int64_t kLowestDigits = 10'000'000;
    constexpr std::int64_t kBeyondDigits = 100'000'000;
    const double magnitude = std::fabs(value);
    if (!(magnitude >= kPowers[0] && magnitude < kPowers[12])) return false;  // NaN as well
    int exponent = -4;  // 10^exponent <= magnitude < 10^(exponent + 1)
    while (exponent < 7 && magnitude >= kPowers[exponent + 5])
        ++exponent;
    const double scaled = magnitude * kScale[7 - exponent];
    const auto whole = static_cast<std::int64_t>(scaled);  // the floor: scaled is positive
    const double fraction = scaled - static_cast<double>(whole);
    if (std::fabs(fraction - 0.5) < 1e-6) return false;
    const std::int64_t digits = whole + (fraction > 0.5 ? 1 : 0);
    // A power of ten inexact in binary, or rounding up to the next exponent, lands outside.
    if (digits < kLowestDigits || digits >= kBeyondDigits) return false;

    char text[8];
    std::int64_t rest = digits;
    for (int i = 7; i >= 0; --i) {
        text[i] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    int used = 8;
    while (text[used - 1] == '0')
        --used;
    if (value < 0) Put('-');
    if (exponent >= 0) {
        const int wholeDigits = exponent + 1;
        Put(std::string_view(text, static_cast<std::size_t>(wholeDigits)));
        if (used > wholeDigits) {
            Put('.');
            Put(std::string_view(text + wholeDigits, static_cast<std::size_t>(used - wholeDigits)));
        }
    } else {
        Put("0.");
        for (int zero = 0; zero < -exponent - 1; ++zero)
            Put('0');
        Put(std::string_view(text, static_cast<std::size_t>(used)));
    }
    return true;
}

// Any double, NaN and the infinities included, fits the 32 bytes a real has.
void LineWriter::PutReal(double value) {
    if (PutRealFixed(value)) return;
    const std::to_chars_result result =
        std::to_chars(At, At + 32, value, std::chars_format::general, kRealDigits);
    if (result.ec == std::errc{}) At = result.ptr;
}

// Ordinary texts go out byte for byte; only a text that would break the line's twelve fields
// is quoted, with its inner quotes doubled as spreadsheets expect.
void LineWriter::PutText(std::string_view text) {
    // A spreadsheet would split or merge fields at these bytes unless the field is quoted.
    if (FindFirstOf<',', '"', '\r', '\n'>(text) == text.size()) {
        Put(text);
        return;
    }
    Put('"');
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t quote = FindFirstOf<'"'>(text, from);
        Put(text.substr(from, quote - from));
        if (quote < text.size()) Put("\"\"");
        from = quote + 1;
    }
    Put('"');
}

static_assert(kLineRoom <= kChartTextSize);

// The line, CR LF included, into `line` (kChartTextSize bytes); gives its length.
std::size_t WriteCsvLine(AafRecord& chart, char* line) {
    LineWriter writer(line);
    writer.PutText(FieldText(chart.LastName));
    writer.Put(',');
    writer.PutText(FieldText(chart.FirstName));
    writer.Put(',');
    // A NUL gender would put a NUL byte into the text file; it means "not given", as "*" does.
    const char gender = chart.Gender != '\0' ? chart.Gender : '*';
    writer.PutText(std::string_view(&gender, 1));
    writer.Put(',');

    const ChartDate date = WrittenDate(chart, YearZero::AsOne);
    writer.PutWithLeadingZero(date.Year);
    writer.Put('.');
    writer.PutWithLeadingZero(date.Month);
    writer.Put('.');
    // The day goes out as the record holds it: CSV files from this program have always had it so.
    writer.PutInteger(chart.Day);
    writer.Put(',');
    writer.Put(chart.Gregorian ? 'g' : 'j');
    writer.Put(',');

    writer.PutReal(chart.Time);
    writer.Put(',');
    writer.PutReal(chart.TimeZone);
    writer.Put(',');
    writer.PutInteger(chart.DaylightCode);
    writer.Put(',');
    writer.PutReal(chart.Latitude);
    writer.Put(',');
    writer.PutReal(chart.Longitude);
    writer.Put(',');
    writer.PutText(FieldText(chart.Place));
    writer.Put(',');
    writer.PutText(FieldText(chart.Country));
    writer.Put("\r\n");
    return static_cast<std::size_t>(writer.Position() - line);
}

}  // namespace

std::string* AafDatabase::FormatCsvLine(std::string* out) {
    if (out == nullptr) return nullptr;
    char line[kChartTextSize];
    out->assign(line, WriteCsvLine(*this, line));
    return out;
}

bool AafDatabase::SaveCsvFile(const std::string& path) {
    return SaveLineFile(path, WriteCsvLine);
}

}  // namespace tervalo
