// CSV output: one spreadsheet line of twelve fields per chart.
#include "aaf/AafDatabase.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>

#include "aaf/TextScan.h"

namespace tervalo {

namespace {

// Real numbers carry eight significant digits, in the form of printf's %.8g.
constexpr int kRealDigits = 8;

void AppendInteger(std::string& out, std::int32_t value) {
    char digits[16];
    const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

// Times, zones and coordinates are written four to the line, so the usual case is worked out
// here: the value scaled to eight digits in double (the powers of ten are exact; the product is
// off by at most half a unit in the last place, below 1e-8 of a digit), rounded, and laid out
// in fixed notation. Rounding only turns on the fraction's side of one half, so an error that
// small matters only next to a tie, which is left to the exact conversion. Values whose exponent is
// outside the fixed range, or that lie so close to a rounding tie that the error could matter, fall
// back to std::to_chars, which gives the same text for every double.
bool AppendRealFixed(std::string& out, double value) {
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
    if (value < 0) out.push_back('-');
    if (exponent >= 0) {
        const int wholeDigits = exponent + 1;
        out.append(text, static_cast<std::size_t>(wholeDigits));
        if (used > wholeDigits) {
            out.push_back('.');
            out.append(text + wholeDigits, static_cast<std::size_t>(used - wholeDigits));
        }
    } else {
        out.append("0.");
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out.append(text, static_cast<std::size_t>(used));
    }
    return true;
}

// Any double, NaN and the infinities included, fits the buffer.
void AppendReal(std::string& out, double value) {
    if (AppendRealFixed(out, value)) return;
    char digits[32];
    const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, value,
                                                      std::chars_format::general, kRealDigits);
    if (result.ec == std::errc{}) out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

void AppendWithLeadingZero(std::string& out, std::int32_t value) {
    if (value >= 1 && value <= 9) out.push_back('0');
    AppendInteger(out, value);
}

// Ordinary texts go out byte for byte; only a text that would break the line's twelve fields
// is quoted, with its inner quotes doubled as spreadsheets expect.
void AppendText(std::string& out, std::string_view text) {
    // A spreadsheet would split or merge fields at these bytes unless the field is quoted.
    if (FindFirstOf<',', '"', '\r', '\n'>(text) == text.size()) {
        out.append(text);
        return;
    }
    out.push_back('"');
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t quote = FindFirstOf<'"'>(text, from);
        out.append(text.substr(from, quote - from));
        if (quote < text.size()) out.append("\"\"");
        from = quote + 1;
    }
    out.push_back('"');
}

void AppendCsvLine(const AafRecord& chart, std::string& out) {
    AppendText(out, FieldText(chart.LastName));
    out.push_back(',');
    AppendText(out, FieldText(chart.FirstName));
    out.push_back(',');
    // A NUL gender would put a NUL byte into the text file; it means "not given", as "*" does.
    const char gender = chart.Gender != '\0' ? chart.Gender : '*';
    AppendText(out, std::string_view(&gender, 1));
    out.push_back(',');

    // Readers bound the year to four digits; a larger value set directly is held there too.
    const std::int32_t year = chart.Year == 0 ? 1 : std::clamp(chart.Year, kMinYear, kMaxYear);
    AppendWithLeadingZero(out, year);
    out.push_back('.');
    AppendWithLeadingZero(out, chart.Month == 0 ? 1 : chart.Month);
    out.push_back('.');
    AppendInteger(out, chart.Day);
    out.push_back(',');
    out.push_back(chart.Gregorian ? 'g' : 'j');
    out.push_back(',');

    AppendReal(out, chart.Time);
    out.push_back(',');
    AppendReal(out, chart.TimeZone);
    out.push_back(',');
    AppendInteger(out, chart.DaylightCode);
    out.push_back(',');
    AppendReal(out, chart.Latitude);
    out.push_back(',');
    AppendReal(out, chart.Longitude);
    out.push_back(',');
    AppendText(out, FieldText(chart.Place));
    out.push_back(',');
    AppendText(out, FieldText(chart.Country));
    out.append("\r\n");
}

}  // namespace

std::string* AafDatabase::FormatCsvLine(std::string* out) {
    if (out == nullptr) return nullptr;
    out->clear();
    AppendCsvLine(*this, *out);
    return out;
}

bool AafDatabase::SaveCsvFile(const std::string& path) {
    return SaveRecordLines(path, AppendCsvLine);
}

}  // namespace tervalo
