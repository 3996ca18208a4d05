// HOR output: one chart file per chart, 27 values in the text form of pickle protocol 0.
#include "formats/AafDatabase.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "core/CodePage.h"
#include "core/Sexagesimal.h"
#include "formats/ChartFileWriter.h"

namespace tervalo {

namespace {

constexpr std::string_view kTextEnd = "\np0\n.";
constexpr std::string_view kTrue = "I01\n.";
constexpr std::string_view kFalse = "I00\n.";
constexpr std::string_view kHorExtension = ".hor";
// The chart program reads its zone type as 0 zone time, 1 universal time, 2 local mean time.
constexpr std::int32_t kZoneTime = 0;
constexpr std::int32_t kLocalMeanTime = 2;
// The chart program reads an altitude here; charts carry none, so every file holds this one.
constexpr std::int32_t kAltitude = 100;

void AppendFlag(std::string& out, bool value) {
    out.append(value ? kTrue : kFalse);
}

void AppendInteger(std::string& out, std::int64_t value) {
    out.push_back('I');
    AppendDecimal(out, value);
    out.append("\n.");
}

// The bytes that are not copied as they stand; nearly every byte of a chart's text is.
constexpr std::array<bool, 256> BuildNeedsEscape() {
    std::array<bool, 256> needsEscape{};
    for (const unsigned char c : {'\\', '\n', '\r', '\x1a', ','})
        needsEscape[c] = true;
    for (unsigned byte = 0x80; byte < 0x100; ++byte)
        needsEscape[byte] = Windows1250CodePoint(static_cast<unsigned char>(byte)) > 0xFF;
    return needsEscape;
}
constexpr std::array<bool, 256> kNeedsEscape = BuildNeedsEscape();
// The five bytes the code page leaves out have no code point; they keep their byte.
static_assert(!kNeedsEscape[0x81] && !kNeedsEscape[0x98] && !kNeedsEscape[0xE1]);
static_assert(kNeedsEscape[0xF5] && kNeedsEscape[0x8A] && kNeedsEscape[0x80]);

void AppendCodePoint(std::string& out, char32_t codePoint) {
    static constexpr char kHexDigits[] = "0123456789abcdef";
    const char escape[] = {'\\',
                           'u',
                           kHexDigits[(codePoint >> 12) & 0xF],
                           kHexDigits[(codePoint >> 8) & 0xF],
                           kHexDigits[(codePoint >> 4) & 0xF],
                           kHexDigits[codePoint & 0xF]};
    out.append(escape, sizeof escape);
}

// The chart program unpickles these files, and unpickling runs what it reads: a raw line break
// would end the text early and turn the rest of a name or note into instructions. So the text
// is escaped as protocol 0 escapes it, and no chart text can add, drop or change an item.
// Protocol 0 reads each byte as the character of the same number: right for ASCII and for the
// letters the code page shares with Latin-1 (a acute, o umlaut), wrong for the others (o double
// acute, r caron), which go as "\u" and their code point, as the pickle module writes them.
// Notes keep their line breaks, one "\u000a" for each CR LF pair; their commas become
// semicolons, as HOR files from this program have always had them.
void AppendEscaped(std::string& out, std::string_view text, bool isNotes = false) {
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t at = from;
        while (at < text.size() && !kNeedsEscape[static_cast<unsigned char>(text[at])])
            ++at;
        out.append(text.data() + from, at - from);
        if (at == text.size()) break;
        from = at + 1;
        const char c = text[at];
        switch (c) {
            // Protocol 0 escapes Ctrl-Z too: read in text mode on Windows it ends the file.
            case '\\':
            case '\n':
            case '\x1a':
                AppendCodePoint(out, static_cast<unsigned char>(c));
                break;
            case '\r':
                if (isNotes && from < text.size() && text[from] == '\n') {
                    AppendCodePoint(out, '\n');
                    ++from;
                } else {
                    AppendCodePoint(out, '\r');
                }
                break;
            case ',':
                out.push_back(isNotes ? ';' : ',');
                break;
            default:
                AppendCodePoint(out, Windows1250CodePoint(static_cast<unsigned char>(c)));
        }
    }
}

void AppendHorText(const AafDatabase& chart, std::string& out) {
    out.push_back('V');  // 1: name
    AppendEscaped(out, FieldText(chart.LastName));
    out.push_back(' ');
    AppendEscaped(out, GivenNames(chart));
    out.append(kTextEnd);
    const char gender = GenderLetter(chart.Gender);
    AppendFlag(out, gender == 'M');             // 2: male
    AppendInteger(out, gender == 'E' ? 4 : 0);  // 3: chart type, 4 for an event

    const ChartDate date = WrittenDate(chart, YearZero::AsOne);
    AppendFlag(out, date.Year < 0);  // 4: before the common era
    // 5: plain decimal. The chart program reads leading zeros as an octal number ("I0044" is
    // 36) or fails on them ("I0800").
    AppendInteger(out, date.Year < 0 ? -date.Year : date.Year);
    AppendInteger(out, date.Month);  // 6
    AppendInteger(out, date.Day);    // 7

    // 8 to 10: clock time; a negative time, which no reader gives, keeps its sign throughout.
    const TruncatedSplit time = SplitTruncated(chart.Time);
    const std::int64_t timeSign = time.Negative ? -1 : 1;
    AppendInteger(out, timeSign * time.Units);
    AppendInteger(out, timeSign * time.Minutes);
    AppendInteger(out, timeSign * time.Seconds);
    AppendInteger(out, chart.Gregorian ? 0 : 1);  // 11: calendar
    // 12: zone type. A chart in local mean time has no zone, and the chart program must not
    // apply one.
    AppendInteger(out, chart.DaylightCode == -1 ? kLocalMeanTime : kZoneTime);

    // 13 to 15: the zone, east of Greenwich flagged (the record counts west positive).
    const TruncatedSplit zone = SplitTruncated(chart.TimeZone);
    AppendFlag(out, zone.Negative);
    AppendInteger(out, zone.Units);
    AppendInteger(out, zone.Minutes);
    AppendFlag(out, chart.DaylightCode > 0);  // 16: daylight saving

    // 17: place, and its country in parentheses. A place that ends in parentheses of its own
    // ("Berndorf (Thurnau)") gets empty ones when it has no country, or they would be read back
    // as its country.
    out.push_back('V');
    const std::string_view place = FieldText(chart.Place);
    AppendEscaped(out, place);
    const std::string_view country = FieldText(chart.Country);
    if (!country.empty() || place.ends_with(')')) {
        out.append(" (");
        AppendEscaped(out, country);
        out.push_back(')');
    }
    out.append(kTextEnd);

    const TruncatedSplit longitude = SplitTruncated(chart.Longitude);
    AppendInteger(out, longitude.Units);    // 18
    AppendInteger(out, longitude.Minutes);  // 19
    AppendInteger(out, longitude.Seconds);  // 20
    AppendFlag(out, !longitude.Negative);   // 21: east
    const TruncatedSplit latitude = SplitTruncated(chart.Latitude);
    AppendInteger(out, latitude.Units);    // 22
    AppendInteger(out, latitude.Minutes);  // 23
    AppendInteger(out, latitude.Seconds);  // 24
    AppendFlag(out, !latitude.Negative);   // 25: north
    AppendInteger(out, kAltitude);         // 26
    out.push_back('V');                    // 27: notes
    AppendEscaped(out, FieldText(chart.Notes), true);
    out.append(kTextEnd);
}

}  // namespace

std::string* AafDatabase::FormatHorText(std::string* out) {
    if (out == nullptr) return nullptr;
    out->clear();
    AppendHorText(*this, *out);
    return out;
}

bool AafDatabase::SaveHorFiles(const std::string& folder, WriteFailures* failures,
                               ChartFileClaims* claims) {
    return SaveChartFiles(*this, folder, kHorExtension, &AafDatabase::FormatHorText, failures,
                          claims);
}

}  // namespace tervalo
