// ReadSzkChart: single-chart SZK files, INI text with a [BirthInfo] and a [Notes] section.
#include "formats/SzkReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/CodePage.h"
#include "core/Sexagesimal.h"
#include "formats/ChartFileReading.h"

namespace tervalo {

namespace {

enum Key : std::size_t {
    kName,
    kGender,
    kYear,
    kMonth,
    kDay,
    kHour,
    kMinute,
    kSecond,
    kBeforeEra,
    kZoneHour,
    kZoneMinute,
    kZoneWest,
    kZoneCode,
    kDaylightSaving,
    kCity,
    kCountry,
    kCountryCode,
    kLongitudeDegree,
    kLongitudeMinute,
    kLongitudeSecond,
    kLatitudeDegree,
    kLatitudeMinute,
    kLatitudeSecond,
    kKeyCount
};

// The keys of [BirthInfo], by Key. Others (TZoneIsManual, LocAltitude) carry nothing the record
// holds.
constexpr std::array<std::string_view, kKeyCount> kKeyNames = {
    "Name",          "Gender",
    "Year",          "Month",
    "Day",           "Hour",
    "Minute",        "Second",
    "BirthDateIsBC", "TZoneHour",
    "TZoneMinute",   "TZoneWest",
    "TZoneCode",     "IsDayLightSavingTime",
    "LocCity",       "LocCountry",
    "LocCountryID",  "LocLongDegree",
    "LocLongMinute", "LocLongSecond",
    "LocLatDegree",  "LocLatMinute",
    "LocLatSecond"};

constexpr std::int32_t kLocalMeanTimeCode = -1;
constexpr std::int32_t kDaylightHour = 60;
// Beyond this a number means nothing to any field, and sums stay far from overflow.
constexpr std::int64_t kLargestNumber = 999'999'999;

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The INI reader trims every byte up to the space, tabs and stray control bytes alike.
std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

// A signed decimal number; 0 where the value is none, as the chart program takes it.
std::int64_t NumberOf(std::optional<std::string_view> value, std::int64_t missing = 0) {
    if (!value) return missing;
    std::string_view text = *value;
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    if (text.empty()) return 0;
    std::int64_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return 0;
        number = std::min(number * 10 + (c - '0'), kLargestNumber);
    }
    return negative ? -number : number;
}

bool IsNegative(std::optional<std::string_view> value) {
    return value && !value->empty() && value->front() == '-';
}

// The chart program takes a flag as true when its value holds a T anywhere: "T", "True".
bool IsTrue(std::optional<std::string_view> value) {
    return value && value->find_first_of("Tt") != std::string_view::npos;
}

long double Magnitude(std::optional<std::string_view> value) {
    const std::int64_t number = NumberOf(value);
    return static_cast<long double>(number < 0 ? -number : number);
}

// "[Name]" lines and "Key=Value" lines; line ends are CR LF, LF or CR alike.
struct IniText {
    std::array<std::optional<std::string_view>, kKeyCount> BirthInfo;
    std::vector<std::string_view> Notes;
};

void ReadIni(std::string_view text, IniText& ini) {
    enum class Section { Other, BirthInfo, Notes } section = Section::Other;
    for (std::size_t from = 0; from < text.size();) {
        std::size_t end = from;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const std::string_view line = Trimmed(text.substr(from, end - from));
        from = end + 1;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::string_view name = Trimmed(line.substr(1, line.find(']') - 1));
            section = EqualIgnoringCase(name, "BirthInfo") ? Section::BirthInfo
                      : EqualIgnoringCase(name, "Notes")   ? Section::Notes
                                                           : Section::Other;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || section == Section::Other) continue;
        const std::string_view value = Trimmed(line.substr(equals + 1));
        if (section == Section::Notes) {
            ini.Notes.push_back(value);
            continue;
        }
        const std::string_view key = Trimmed(line.substr(0, equals));
        for (std::size_t k = 0; k < kKeyCount; ++k) {
            if (!EqualIgnoringCase(key, kKeyNames[k])) continue;
            if (!ini.BirthInfo[k]) ini.BirthInfo[k] = value;  // the first of a name wins
            break;
        }
    }
}

// Each note key is one line; empty keys at the end add nothing. Only what the record can hold is
// joined; the length of all the lines is counted for the note of a cut.
void SetNotes(const std::vector<std::string_view>& lines, AafRecord& chart) {
    std::string notes;
    std::size_t whole = 0;
    std::size_t lastText = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        whole += (i > 0 ? 2 : 0) + lines[i].size();
        if (!lines[i].empty()) lastText = whole;
        if (notes.size() > kMaxNotesLength) continue;
        if (i > 0) notes.append("\r\n");
        notes.append(lines[i]);
    }
    SetNotesLines(notes, chart);
    NoteNotesCut(lastText, chart);
}

// A key the file leaves out or empty holds nothing; the chart program reads it as 0.
bool IsMissing(std::optional<std::string_view> value) {
    return !value || value->empty();
}

}  // namespace

bool ParseSzkChart(std::string_view bytes, AafRecord& chart, ChartFileRead& read) {
    read = ChartFileRead{};
    if (bytes.size() > static_cast<std::size_t>(kLargestChartFile)) return false;
    std::string text(bytes);
    std::size_t length = text.size();
    const Utf8Conversion conversion = ConvertUtf8ToWindows1250(text.data(), length);
    text.resize(length);
    IniText ini;
    ReadIni(text, ini);
    const auto& info = ini.BirthInfo;
    if (!info[kYear]) return false;

    static_cast<ChartRecord&>(chart) = ChartRecord{};
    chart.SourceLine = 1;  // the file's one chart
    SplitNameAtSpace(info[kName].value_or(""), chart);
    const std::int64_t gender = NumberOf(info[kGender], -1);
    chart.Gender = gender == 0 ? 'M' : gender == 1 ? 'F' : '*';

    const std::int64_t year = NumberOf(info[kYear]);
    chart.Year = BoundedYear(IsTrue(info[kBeforeEra]) ? -year : year, chart);
    chart.Month = static_cast<std::int32_t>(NumberOf(info[kMonth], 1));
    chart.Day = static_cast<std::int32_t>(NumberOf(info[kDay], 1));
    chart.Time = SignedSexagesimalSum(static_cast<long double>(NumberOf(info[kHour])),
                                      static_cast<long double>(NumberOf(info[kMinute])),
                                      static_cast<long double>(NumberOf(info[kSecond])), false);
    if (IsMissing(info[kHour])) chart.Corrections.Add(ChartField::Time, kValueMissing, 0);

    SetNotedFieldText(chart.Place, info[kCity].value_or(""), ChartField::Place, chart);
    const std::string_view country = info[kCountry].value_or("");
    SetNotedFieldText(chart.Country, country.empty() ? info[kCountryCode].value_or("") : country,
                      ChartField::Place, chart);

    // Only the degrees carry the sign.
    chart.Longitude =
        SignedSexagesimalSum(Magnitude(info[kLongitudeDegree]), Magnitude(info[kLongitudeMinute]),
                             Magnitude(info[kLongitudeSecond]), IsNegative(info[kLongitudeDegree]));
    chart.Latitude =
        SignedSexagesimalSum(Magnitude(info[kLatitudeDegree]), Magnitude(info[kLatitudeMinute]),
                             Magnitude(info[kLatitudeSecond]), IsNegative(info[kLatitudeDegree]));

    // The chart program writes a west zone's hour with its minus and TZoneWest=T; older files
    // of this program wrote the hour without its sign. The record counts west positive.
    const bool west = IsTrue(info[kZoneWest]) || IsNegative(info[kZoneHour]);
    chart.TimeZone =
        SignedSexagesimalSum(Magnitude(info[kZoneHour]), Magnitude(info[kZoneMinute]), 0, !west);
    if (EqualIgnoringCase(info[kZoneCode].value_or(""), "LMT")) {
        chart.DaylightCode = kLocalMeanTimeCode;
        chart.TimeZone = LocalMeanTimeZone(chart.Longitude);
    } else {
        if (IsMissing(info[kZoneHour])) chart.Corrections.Add(ChartField::Zone, kValueMissing, 0);
        if (IsTrue(info[kDaylightSaving])) chart.DaylightCode = kDaylightHour;
    }
    SetNotes(ini.Notes, chart);

    read.Recognised = true;
    read.Unconvertible = conversion.Unconvertible;
    return true;
}

bool ReadSzkChart(const std::string& path, AafRecord& chart, ChartFileRead& read) {
    return ReadAndParseChartFile(path, chart, read, ParseSzkChart);
}

}  // namespace tervalo
