// Charts written by another astrology program, converted to every target: each keeps the date,
// time, zone and place that program shows for it, as far as the target holds them.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TestSupport.h"
#include "formats/AafDatabase.h"
#include "formats/QckDatabase.h"
#include "run/ConversionRun.h"

namespace tervalo {
namespace {

namespace fs = std::filesystem;

// One chart as the other program reads it back from its own AAF and QCK files. Both files hold
// the same charts; the QCK file has the daylight shift inside its one zone column, seconds in
// every time, and ", " between place and country.
struct SampleChart {
    int Number;
    std::int32_t Year, Month, Day;
    std::int32_t AafTime;    // seconds of the day, as the AAF file holds the time
    std::int32_t QckTime;    // seconds of the day, as the QCK file holds it
    std::int32_t Zone;       // standard zone, minutes west of Greenwich
    bool Daylight;           // one hour of daylight saving on top of it
    std::int32_t Longitude;  // arc seconds, east positive, as both files hold them
    std::int32_t Latitude;   // arc seconds, north positive
    std::string_view Place;
    std::string_view AafCountry;  // the rest of the place: "Region (Country)", "Country" or none
    std::string_view QckCountry;  // the text behind the place's last comma
};

// clang-format off
constexpr SampleChart kSampleCharts[] = {
        {1, 1950, 1, 2, 25500, 25500, 0, false, -420, 185400, "London", "England", " England"},
        {2, 1985, 9, 9, 43200, 43200, -60, true, 68700, 171000, "Budapest", "Magyarorsz\xE1""g", " Magyarorsz\xE1""g"},
        {3, 1996, 2, 29, 60, 60, -345, false, 307140, 99720, "Kathmandu", "Nepal", " Nepal"},
        {4, 1999, 12, 31, 86340, 86399, 210, false, -189780, 171240, "St. John's", "NL (Canada)", " Canada"},
        {5, 1976, 7, 4, 56700, 56700, 210, true, -189780, 171240, "St. John's", "Canada", " Canada"},
        {6, 1960, 3, 8, 58800, 58800, -570, false, 498960, -125760, "Adelaide", "SA (Australia)", " Australia"},
        {7, 1990, 10, 27, 33300, 33300, -570, true, 498960, -125760, "Adelaide", "Australia", " Australia"},
        {8, 800, 12, 25, 43200, 43200, -60, false, 44940, 150840, "Roma", "Italia", " Italia"},
        {9, 9, 6, 9, 23400, 23400, -120, false, 126780, 114420, "Jerusalem", "", ""},
        {10, -43, 3, 15, 39600, 39600, -60, false, 44940, 150840, "Roma", "Italia", " Italia"},
        {11, 1955, 11, 5, 48600, 48600, 480, false, -440340, 171360, "Seattle", "WA (USA)", " USA"},
        {12, 1972, 5, 17, 31500, 31500, 600, false, -568260, 76680, "Honolulu", "HI (USA)", " USA"},
        {13, 2001, 1, 15, 65400, 65400, -720, true, 629160, -132660, "Auckland", "New Zealand", " New Zealand"},
        {14, 1988, 8, 6, 51600, 51600, 0, true, -420, 185400, "London", "England", " England"},
        {15, 1970, 4, 14, 72000, 72000, -330, false, 262200, 68280, "Mumbai", "India", " India"},
        {16, 1987, 6, 24, 15000, 15000, 180, false, -210120, -124560, "Buenos Aires", "Argentina", " Argentina"},
        {17, 1965, 2, 3, 37500, 37500, 300, false, -282600, -780, "Quito", "Ecuador", " Ecuador"},
        {18, 2010, 9, 21, 63300, 63300, -210, false, 185100, 128460, "Tehran", "Iran", " Iran"},
        {19, 1944, 11, 11, 81600, 81600, -540, false, 502860, 128460, "Tokyo", "Japan", " Japan"},
        {20, 1841, 9, 8, 1800, 1800, -60, false, 51480, 180960, "Nelahozeves", "\xC8""echy", " \xC8""echy"},
        {21, 1920, 5, 1, 50700, 50700, -60, true, 63480, 171660, "Gy\xF5""r", "Magyarorsz\xE1""g", " Magyarorsz\xE1""g"},
        {22, 1890, 1, 9, 10800, 10800, -60, false, 57720, 181680, "Mal\xE9"" Svato\xF2""ovice", "\xC8""esko", " \xC8""esko"},
        {23, 1977, 7, 7, 68820, 68820, -60, false, 58920, 173520, "Wien", "\xD6""sterreich", " \xD6""sterreich"},
        {24, 1957, 10, 4, 70080, 70114, -180, false, 117300, 1140, "Kampala", "Uganda", " Uganda"},
        {25, 2000, 6, 21, 49643, 49643, 300, true, -266421, 146571, "New York", "NY (USA)", " USA"},
        {26, 2005, 1, 5, 14589, 14589, 240, true, -254408, -120376, "Santiago", "Chile", " Chile"},
        {27, 1993, 8, 8, 30, 30, 0, false, -441, -824, "Gulf of Guinea", "", ""},
        {28, 1966, 11, 30, 34867, 34867, -345, false, 307139, 99736, "Kathmandu", "Nepal", " Nepal"},
        {29, 999, 2, 7, 58576, 58576, -120, false, 109884, 181620, "Kyiv", "", ""},
        {30, 1961, 4, 30, 10690, 10690, -570, true, 498957, -125744, "Adelaide", "SA (Australia)", " Australia"},
};
// clang-format on

// What an output holds of one chart; what the format can't hold stays unset.
struct Seen {
    std::int32_t Year = 0, Month = 0, Day = 0;
    std::optional<std::int32_t> Time;             // seconds of the day
    std::optional<std::int32_t> ZoneInForce;      // minutes west, daylight shift included
    std::optional<std::int32_t> Zone;             // where the format keeps the shift apart
    std::optional<std::int32_t> DaylightMinutes;  //
    std::optional<std::int32_t> Longitude;        // arc seconds
    std::optional<std::int32_t> Latitude;         //
    bool AnglesToTheMinute = false;               // seconds not held
    bool AngleSignBelowOneDegree = true;          // held between -1 and 0 degrees
    std::optional<std::string> Place, Country;    //
    std::optional<std::string> PlaceWithCountry;  // "Place (Country)" as one text
};

std::int32_t Rounded(double value) {
    return static_cast<std::int32_t>(std::lround(value));
}

Seen SeenInRecord(const ChartRecord& record, bool keepsDaylightApart, bool anglesToTheMinute) {
    Seen seen;
    seen.Year = record.Year;
    seen.Month = record.Month;
    seen.Day = record.Day;
    seen.Time = Rounded(record.Time * 3600);
    const std::int32_t zone = Rounded(record.TimeZone * 60);
    const std::int32_t daylight = record.DaylightCode > 0 ? record.DaylightCode : 0;
    seen.ZoneInForce = zone - daylight;
    if (keepsDaylightApart) {
        seen.Zone = zone;
        seen.DaylightMinutes = record.DaylightCode;
    }
    seen.Longitude = Rounded(record.Longitude * 3600);
    seen.Latitude = Rounded(record.Latitude * 3600);
    seen.AnglesToTheMinute = anglesToTheMinute;
    seen.Place = std::string(FieldText(record.Place));
    seen.Country = std::string(FieldText(record.Country));
    return seen;
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string> parts;
    for (std::size_t from = 0;;) {
        const std::size_t at = text.find(separator, from);
        parts.emplace_back(text.substr(from, at - from));
        if (at == std::string_view::npos) return parts;
        from = at + separator.size();
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines = Split(text, "\r\n");
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

// year.month.day, then the fields of time, zone, daylight, latitude, longitude, place, country.
Seen SeenInCsvLine(const std::string& line) {
    const std::vector<std::string> fields = Split(line, ",");
    Seen seen;
    if (fields.size() != 12) {
        ADD_FAILURE() << "CSV line of " << fields.size() << " fields: " << line;
        return seen;
    }
    const std::vector<std::string> date = Split(fields[3], ".");
    seen.Year = std::stoi(date.at(0));
    seen.Month = std::stoi(date.at(1));
    seen.Day = std::stoi(date.at(2));
    seen.Time = Rounded(std::stod(fields[5]) * 3600);
    seen.Zone = Rounded(std::stod(fields[6]) * 60);
    seen.DaylightMinutes = std::stoi(fields[7]);
    seen.ZoneInForce = *seen.Zone - (*seen.DaylightMinutes > 0 ? *seen.DaylightMinutes : 0);
    seen.Latitude = Rounded(std::stod(fields[8]) * 3600);
    seen.Longitude = Rounded(std::stod(fields[9]) * 3600);
    seen.AnglesToTheMinute = true;  // the charts pass through AAF text on their way
    seen.Place = fields[10];
    seen.Country = fields[11];
    return seen;
}

// The date and the chart type, which marks a year before the common era.
Seen SeenInNumLine(const std::string& line) {
    const std::vector<std::string> fields = Split(line, ",");
    Seen seen;
    if (fields.size() != 5) {
        ADD_FAILURE() << "NUM line of " << fields.size() << " fields: " << line;
        return seen;
    }
    const std::vector<std::string> date = Split(fields[0], ".");
    seen.Year = std::stoi(date.at(0)) * (fields[2] == "3" ? -1 : 1);
    seen.Month = std::stoi(date.at(1));
    seen.Day = std::stoi(date.at(2));
    return seen;
}

// The 27 items of a chart file: integers, and texts up to their memo mark.
std::vector<std::string> HorItems(std::string_view text) {
    std::vector<std::string> items;
    while (!text.empty()) {
        const std::string_view end = text[0] == 'V' ? "\np0\n." : "\n.";
        const std::size_t at = text.find(end);
        if (at == std::string_view::npos) break;
        items.emplace_back(text.substr(1, at - 1));
        text.remove_prefix(at + end.size());
    }
    return items;
}

Seen SeenInHorText(const std::string& text) {
    const std::vector<std::string> items = HorItems(text);
    Seen seen;
    if (items.size() != 27) {
        ADD_FAILURE() << "HOR text of " << items.size() << " items: " << test::Printable(text);
        return seen;
    }
    auto number = [&](std::size_t item) { return std::stoi(items[item - 1]); };
    seen.Year = number(5) * (number(4) == 1 ? -1 : 1);
    seen.Month = number(6);
    seen.Day = number(7);
    seen.Time = number(8) * 3600 + number(9) * 60 + number(10);
    seen.Zone = (number(14) * 60 + number(15)) * (number(13) == 1 ? -1 : 1);
    seen.DaylightMinutes = number(16) == 1 ? 60 : 0;
    seen.ZoneInForce = *seen.Zone - *seen.DaylightMinutes;
    seen.Longitude = (number(18) * 3600 + number(19) * 60 + number(20)) * (number(21) ? 1 : -1);
    seen.Latitude = (number(22) * 3600 + number(23) * 60 + number(24)) * (number(25) ? 1 : -1);
    seen.AnglesToTheMinute = true;  // the charts pass through AAF text on their way
    seen.PlaceWithCountry = items[16];
    return seen;
}

Seen SeenInSzkText(const std::string& text) {
    std::map<std::string, std::string> keys;
    for (const std::string& line : Lines(text)) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
    auto number = [&](const char* key) { return std::stoi(keys.at(key)); };
    auto flag = [&](const char* key) { return keys.at(key) == "T"; };
    Seen seen;
    seen.Year = number("Year") * (flag("BirthDateIsBC") ? -1 : 1);
    seen.Month = number("Month");
    seen.Day = number("Day");
    seen.Time = number("Hour") * 3600 + number("Minute") * 60 + number("Second");
    // The hour carries the minus of a west zone; TZoneWest=T says so for zones under an hour.
    const bool west = flag("TZoneWest") || keys.at("TZoneHour").front() == '-';
    seen.Zone = (std::abs(number("TZoneHour")) * 60 + number("TZoneMinute")) * (west ? 1 : -1);
    seen.DaylightMinutes = flag("IsDayLightSavingTime") ? 60 : 0;
    seen.ZoneInForce = *seen.Zone - *seen.DaylightMinutes;
    auto angle = [&](const char* degree, const char* minute, const char* second) {
        const std::int32_t degrees = number(degree);
        const std::int32_t magnitude =
            std::abs(degrees) * 3600 + number(minute) * 60 + number(second);
        return degrees < 0 ? -magnitude : magnitude;
    };
    seen.Longitude = angle("LocLongDegree", "LocLongMinute", "LocLongSecond");
    seen.Latitude = angle("LocLatDegree", "LocLatMinute", "LocLatSecond");
    seen.AnglesToTheMinute = true;         // the charts pass through AAF text on their way
    seen.AngleSignBelowOneDegree = false;  // only the whole degrees carry a sign
    seen.Place = keys.at("LocCity");
    seen.Country = keys.at("LocCountry");
    return seen;
}

// Whole minutes toward zero, as a format without seconds holds an angle.
std::int32_t ToTheMinute(std::int32_t arcSeconds) {
    return arcSeconds / 60 * 60;
}

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

void ExpectChart(const Seen& seen, const SampleChart& chart, bool fromQck) {
    SCOPED_TRACE("chart " + std::to_string(chart.Number));
    EXPECT_EQ(seen.Year, chart.Year);
    EXPECT_EQ(seen.Month, chart.Month);
    EXPECT_EQ(seen.Day, chart.Day);
    if (seen.Time) {
        EXPECT_EQ(*seen.Time, fromQck ? chart.QckTime : chart.AafTime);
    }
    const std::int32_t daylight = chart.Daylight ? 60 : 0;
    if (seen.ZoneInForce) {
        EXPECT_EQ(*seen.ZoneInForce, chart.Zone - daylight);
    }
    // The QCK file holds only the zone in force, so that is what its charts carry on.
    if (seen.Zone) {
        EXPECT_EQ(*seen.Zone, fromQck ? chart.Zone - daylight : chart.Zone);
    }
    if (seen.DaylightMinutes) {
        EXPECT_EQ(*seen.DaylightMinutes, fromQck ? 0 : daylight);
    }
    auto expectAngle = [&](std::optional<std::int32_t> angle, std::int32_t expected) {
        if (!angle) return;
        if (seen.AnglesToTheMinute) expected = ToTheMinute(expected);
        if (!seen.AngleSignBelowOneDegree && std::abs(expected) < 3600) {
            EXPECT_EQ(std::abs(*angle), std::abs(expected));
        } else {
            EXPECT_EQ(*angle, expected);
        }
    };
    expectAngle(seen.Longitude, chart.Longitude);
    expectAngle(seen.Latitude, chart.Latitude);
    const std::string_view country = fromQck ? chart.QckCountry : chart.AafCountry;
    if (seen.Place) {
        EXPECT_EQ(*seen.Place, chart.Place);
    }
    if (seen.Country) {
        EXPECT_EQ(*seen.Country, country);
    }
    if (seen.PlaceWithCountry && IsAscii(chart.Place) && IsAscii(country)) {
        std::string expected(chart.Place);
        if (!country.empty()) expected += " (" + std::string(country) + ")";
        EXPECT_EQ(*seen.PlaceWithCountry, expected);
    }
}

void ExpectAllCharts(const std::vector<Seen>& seen, bool fromQck) {
    ASSERT_EQ(seen.size(), std::size(kSampleCharts));
    for (std::size_t i = 0; i < seen.size(); ++i)
        ExpectChart(seen[i], kSampleCharts[i], fromQck);
}

class SampleConversion : public ::testing::TestWithParam<const char*>, protected test::RunObjects {
protected:
    fs::path Sample() const { return test::SamplesDir() / GetParam(); }
    bool FromQck() const { return Sample().extension() == ".qck"; }

    // A whole run of the sample to one target in per-file mode; the path of its output.
    std::string Run(Target target) {
        const fs::path folder = Dir.Path() / std::to_string(static_cast<int>(target));
        fs::create_directory(folder);
        const RunReport report =
            Convert({Sample().string()}, static_cast<int>(target), false, folder.string());
        EXPECT_TRUE(report.Items.empty());
        EXPECT_EQ(report.WrittenOutputs.size(), 1u);
        return report.WrittenOutputs.empty() ? std::string() : report.WrittenOutputs[0];
    }

    // The sample's charts gathered into the output AAF database, as a run gathers them.
    void GatherIntoOutputAaf() {
        OutputAaf.Reset();
        auto append = [&](const ChartRecord& chart) {
            OutputAaf.ClearRecord();
            CopyCommonFields(chart, OutputAaf);
            EXPECT_TRUE(OutputAaf.AppendRecord());
            return true;
        };
        if (FromQck()) {
            ASSERT_TRUE(InputQck.LoadFromFile(Sample().string()));
            VisitEachRecord(InputQck, append);
        } else {
            ASSERT_TRUE(InputAaf.LoadFromFile(Sample().string()));
            VisitEachRecord(InputAaf, append);
        }
    }

    test::TempDir Dir;
};

TEST_P(SampleConversion, InputReadsAsTheWritingProgramShowsIt) {
    REQUIRE_SAMPLE(Sample());
    std::vector<Seen> seen;
    if (FromQck()) {
        ASSERT_TRUE(InputQck.LoadFromFile(Sample().string()));
        VisitEachRecord(InputQck, [&](const QckDatabase& chart) {
            seen.push_back(SeenInRecord(chart, false, false));
            return true;
        });
    } else {
        ASSERT_TRUE(InputAaf.LoadFromFile(Sample().string()));
        VisitEachRecord(InputAaf, [&](const AafRecord& chart) {
            seen.push_back(SeenInRecord(chart, true, false));
            return true;
        });
    }
    ExpectAllCharts(seen, FromQck());
}

TEST_P(SampleConversion, WholeRunsToAafAndQckReadBackThroughTheirReaders) {
    REQUIRE_SAMPLE(Sample());
    {
        SCOPED_TRACE("AAF");
        AafDatabase output;
        ASSERT_TRUE(output.LoadFromFile(Run(Target::Aaf)));
        std::vector<Seen> seen;
        VisitEachRecord(output, [&](const AafRecord& chart) {
            seen.push_back(SeenInRecord(chart, true, true));
            return true;
        });
        ExpectAllCharts(seen, FromQck());
    }
    {
        SCOPED_TRACE("QCK");
        QckDatabase output;
        ASSERT_TRUE(output.LoadFromFile(Run(Target::Qck)));
        std::vector<Seen> seen;
        VisitEachRecord(output, [&](const QckDatabase& chart) {
            seen.push_back(SeenInRecord(chart, false, false));
            return true;
        });
        ExpectAllCharts(seen, FromQck());
    }
}

TEST_P(SampleConversion, WholeRunsToCsvAndNumHoldTheirFields) {
    REQUIRE_SAMPLE(Sample());
    std::vector<Seen> seen;
    for (const std::string& line : Lines(test::ReadFile(Run(Target::Csv))))
        seen.push_back(SeenInCsvLine(line));
    ExpectAllCharts(seen, FromQck());
    seen.clear();
    for (const std::string& line : Lines(test::ReadFile(Run(Target::Num))))
        seen.push_back(SeenInNumLine(line));
    ExpectAllCharts(seen, FromQck());
}

TEST_P(SampleConversion, ChartFilesHoldEveryChart) {
    REQUIRE_SAMPLE(Sample());
    GatherIntoOutputAaf();
    std::vector<Seen> hor;
    std::vector<Seen> szk;
    std::string text;
    OutputAaf.FirstRecord();
    do {
        OutputAaf.ParseRecord();
        hor.push_back(SeenInHorText(*OutputAaf.FormatHorText(&text)));
        szk.push_back(SeenInSzkText(*OutputAaf.FormatSzkText(&text)));
    } while (OutputAaf.NextRecord());
    {
        SCOPED_TRACE("HOR");
        ExpectAllCharts(hor, FromQck());
    }
    {
        SCOPED_TRACE("SZK");
        ExpectAllCharts(szk, FromQck());
    }
    // A whole run writes one file per chart.
    for (const Target target : {Target::Hor, Target::Szk}) {
        const std::string folder = Run(target);
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(folder)) {
            (void)entry;
            ++files;
        }
        EXPECT_EQ(files, std::size(kSampleCharts));
    }
}

// Test names after the sample's format.
std::string SampleName(const ::testing::TestParamInfo<const char*>& sample) {
    return fs::path(sample.param).extension() == ".aaf" ? "Aaf" : "Qck";
}

INSTANTIATE_TEST_SUITE_P(WrittenByAnotherProgram, SampleConversion,
                         ::testing::Values("astrolog-written.aaf", "astrolog-written.qck"),
                         SampleName);

}  // namespace
}  // namespace tervalo
