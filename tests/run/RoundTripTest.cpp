// Whole runs from AAF through HOR, SZK and CSV and back give the charts of AAF to AAF, but for
// what the middle format cannot hold.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/Platform.h"
#include "core/Sexagesimal.h"
#include "formats/AafDatabase.h"
#include "formats/CountryCodeTable.h"
#include "formats/QckDatabase.h"

namespace tervalo {
namespace {

namespace fs = std::filesystem;

// Charts that reach the corners of each format: east and west, zone minutes and seconds,
// daylight saving of 60, 30 and 120 minutes, local mean time, a Julian date before the era, an
// event, south and west positions down to 0°41' S, notes with line breaks and commas, and
// letters of the code page inside and beyond Latin-1. Each last name is a chart's key.
constexpr std::string_view kCharts =
    "#A93:Kov\xE1"
    "cs,J\xE1nos,M,15.03.1950g,14:30:15,Budapest,H\r\n"
    "#B93:*,47N30,19E05,1he00,0\r\n"
    "#COM:Els\xF5 sor, vessz\xF5vel\r\nm\xE1sodik sor\r\n\r\n"
    "#A93:Smith,John,F,04.07.1976g,09:05,New York,USA\r\n"
    "#B93:*,40N43,74W00,5hw00,1\r\n#Rodden AA, birth certificate\r\n\r\n"
    "#A93:Sharma,Priya,F,21.06.1988g,23:59:59,Mumbai,IND\r\n#B93:*,19N04,72E53,5he30,h\r\n\r\n"
    "#A93:Brown,Mary,F,01.06.1941g,10:00,London,GB\r\n#B93:*,51N30,0W07,0hw00,2\r\n\r\n"
    "#A93:Visser,Jan,M,12.05.1930g,08:15,Amsterdam,NL\r\n#B93:*,52N22,4E54,0:19:32E,0\r\n\r\n"
    "#A93:Dvo\xF8\xE1k,Anton\xEDn,M,08.09.1841g,12:00,Nelahozeves,CZ\r\n"
    "#B93:*,50N16,14E18,0hw00,L\r\n\r\n"
    "#A93:Eclipse,,E,28.05.-0584j,18:00,Halys,TR\r\n#B93:*,39N00,34E00,2he00,0\r\n\r\n"
    "#A93:Silva,Ana,F,01.01.2000g,00:00,Quito,EC\r\n#B93:*,00S41,78W30,5hw00,0\r\n\r\n"
    "#A93:Nemo,,*,29.02.1964g,06:45,St. John's,CA\r\n#B93:*,47N34,52W43,3hw30,0\r\n\r\n"
    "#A93: Linde, Carl von,M,11.06.1842g,08:30,Berndorf (Thurnau),*\r\n"
    "#B93:*,50N01,11E23,0he46,0\r\n\r\n";

// A value in hours or degrees as AAF text holds it: sign, units, minutes and seconds.
std::string Sexagesimal(double value) {
    const RoundedUnits split = SplitRounded(std::fabs(static_cast<long double>(value)));
    char text[48];
    std::snprintf(text, sizeof text, "%s%lld:%02lld:%02lld", value < 0 ? "-" : "",
                  static_cast<long long>(split.Units), static_cast<long long>(split.Minutes),
                  static_cast<long long>(split.Seconds));
    return text;
}

struct Field {
    const char* Name;
    std::string (*Shown)(const AafRecord& chart);
};
const Field kFields[] = {
    {"LastName", [](const AafRecord& c) { return std::string(FieldText(c.LastName)); }},
    {"FirstName", [](const AafRecord& c) { return std::string(FieldText(c.FirstName)); }},
    {"Gender", [](const AafRecord& c) { return std::string(1, c.Gender); }},
    {"Date",
     [](const AafRecord& c) {
         return std::to_string(c.Year) + "." + std::to_string(c.Month) + "." +
                std::to_string(c.Day) + (c.Gregorian ? "g" : "j");
     }},
    {"Time", [](const AafRecord& c) { return Sexagesimal(c.Time); }},
    {"Place", [](const AafRecord& c) { return std::string(FieldText(c.Place)); }},
    {"Country", [](const AafRecord& c) { return std::string(FieldText(c.Country)); }},
    {"Latitude", [](const AafRecord& c) { return Sexagesimal(c.Latitude); }},
    {"Longitude", [](const AafRecord& c) { return Sexagesimal(c.Longitude); }},
    {"TimeZone", [](const AafRecord& c) { return Sexagesimal(c.TimeZone); }},
    {"DaylightCode", [](const AafRecord& c) { return std::to_string(c.DaylightCode); }},
    {"LeadValue", [](const AafRecord& c) { return std::to_string(c.LeadValue); }},
    {"Notes", [](const AafRecord& c) { return std::string(FieldText(c.Notes)); }},
};

constexpr const char* kKovacs =
    "Kov\xE1"
    "cs";

// Where a round trip may differ from AAF to AAF, and what comes back instead.
struct Difference {
    Target Middle;
    const char* LastName;
    const char* Field;
    const char* Value;
};
const Difference kDifferences[] = {
    // Both chart programs keep daylight saving as a flag, and on means one hour.
    {Target::Hor, "Sharma", "DaylightCode", "60"},
    {Target::Hor, "Brown", "DaylightCode", "60"},
    {Target::Szk, "Sharma", "DaylightCode", "60"},
    {Target::Szk, "Brown", "DaylightCode", "60"},
    // Their zones have hours and minutes: 0:19:32 is cut to 0:19, where AAF rounds it to 0:20.
    {Target::Hor, "Visser", "TimeZone", "-0:19:00"},
    {Target::Szk, "Visser", "TimeZone", "-0:19:00"},
    // Their files from this program have always had the notes' commas as semicolons.
    {Target::Hor, kKovacs, "Notes", "#COM:Els\xF5 sor; vessz\xF5vel\r\nm\xE1sodik sor"},
    {Target::Hor, "Smith", "Notes", "#Rodden AA; birth certificate"},
    {Target::Szk, kKovacs, "Notes", "#COM:Els\xF5 sor; vessz\xF5vel\r\nm\xE1sodik sor"},
    {Target::Szk, "Smith", "Notes", "#Rodden AA; birth certificate"},
    // Local mean time is marked there without a zone: it comes back with the longitude's,
    // 14°18' E being 57 minutes and 12 seconds east, written to the minute.
    {Target::Hor, "Dvo\xF8\xE1k", "TimeZone", "-0:57:00"},
    {Target::Szk, "Dvo\xF8\xE1k", "TimeZone", "-0:57:00"},
    // Morinus has a flag for a man and a chart type for an event; every other chart is a
    // woman's.
    {Target::Hor, "Nemo", "Gender", "F"},
    // Regiomontanus has a man, a woman and everything else, an event among it.
    {Target::Szk, "Eclipse", "Gender", "*"},
    // Only the whole degrees carry the sign there, and 0 has none: 0°41' S comes back north
    // and 0°07' W east.
    {Target::Szk, "Silva", "Latitude", "0:41:00"},
    {Target::Szk, "Brown", "Longitude", "0:07:00"},
    // There is no calendar key: a date comes back Gregorian, its digits unchanged.
    {Target::Szk, "Eclipse", "Date", "-584.5.28g"},
    // The chart files hold one name, the family name parted from the given names by a space;
    // the spaces AAF files carry before either are no part of them and don't come back.
    {Target::Hor, "Linde", "LastName", "Linde"},
    {Target::Hor, "Linde", "FirstName", "Carl von"},
    {Target::Szk, "Linde", "LastName", "Linde"},
    {Target::Szk, "Linde", "FirstName", "Carl von"},
    // CSV has no column for notes. (Notes read from AAF begin with their "#", so the "#COM:"
    // that AAF text puts before other programs' notes never arises on this road.)
    {Target::Csv, kKovacs, "Notes", ""},
    {Target::Csv, "Smith", "Notes", ""},
};

// A chart's key: its last name, without the spaces before it that the chart files drop.
std::string KeyOf(const AafRecord& chart) {
    const std::string_view name = FieldText(chart.LastName);
    return std::string(name.substr(std::min(name.find_first_not_of(' '), name.size())));
}

const char* MiddleName(Target middle) {
    return middle == Target::Hor ? "HOR" : middle == Target::Szk ? "SZK" : "CSV";
}

class RoundTripTest : public ::testing::Test {
protected:
    RoundTripTest() { OutputAaf.AddCountries(CountryCodeRows()); }

    // A whole per-file run into a folder of its own; the paths it wrote.
    std::vector<std::string> Convert(std::vector<std::string> entries, Target target) {
        const fs::path folder = Dir.Path() / ("run" + std::to_string(++Runs));
        fs::create_directory(folder);
        RunRequest request;
        request.Entries = std::move(entries);
        request.TargetIndex = static_cast<int>(target);
        request.ModeIndex = 0;
        request.ExecutablePath = Utf8FromPath(folder / "tervalo");
        test::QuietFront front;
        std::atomic<bool> abort{false};
        RunDatabases databases{OutputAaf, OutputQck, InputAaf, InputQck};
        const RunReport report =
            ConversionRun(request, abort, front, front, databases, [] { return 45000.5; });
        EXPECT_EQ(report.Ending, RunEnding::Completed);
        EXPECT_TRUE(report.Items.empty()) << front.Message;
        return report.WrittenOutputs;
    }

    // AAF to the middle format and back to AAF; the AAF written last.
    std::string ThroughMiddle(const std::string& input, Target middle) {
        const std::vector<std::string> written = Convert({input}, middle);
        if (written.size() != 1) return {};
        std::vector<std::string> back = written;
        if (middle != Target::Csv) {  // a folder of chart files, each an entry of the list
            back.clear();
            for (const auto& file : fs::directory_iterator(PathFromUtf8(written[0])))
                back.push_back(Utf8FromPath(file.path()));
            std::sort(back.begin(), back.end());
        }
        const std::vector<std::string> aaf = Convert(back, Target::Aaf);
        return aaf.size() == 1 ? aaf[0] : std::string();
    }

    static std::vector<AafRecord> ReadCharts(const std::string& path) {
        std::vector<AafRecord> charts;
        AafDatabase database;
        EXPECT_TRUE(database.LoadFromFile(path)) << path;
        VisitEachRecord(database, [&](const AafRecord& chart) {
            charts.push_back(chart);
            return true;
        });
        return charts;
    }

    test::TempDir Dir;
    int Runs = 0;
    AafDatabase OutputAaf;
    QckDatabase OutputQck;
    AafDatabase InputAaf;
    QckDatabase InputQck;
};

TEST_F(RoundTripTest, ChartsComeBackFromEveryMiddleFormatButForWhatItCannotHold) {
    const std::string input = Dir.File("charts.aaf");
    test::WriteFile(input, kCharts);
    const std::vector<std::string> direct = Convert({input}, Target::Aaf);
    ASSERT_EQ(direct.size(), 1u);
    const std::vector<AafRecord> expected = ReadCharts(direct[0]);
    ASSERT_EQ(expected.size(), 10u);

    for (const Target middle : {Target::Hor, Target::Szk, Target::Csv}) {
        SCOPED_TRACE(MiddleName(middle));
        std::map<std::string, AafRecord> back;  // chart files come back in the order of names
        for (const AafRecord& chart : ReadCharts(ThroughMiddle(input, middle)))
            back.emplace(KeyOf(chart), chart);
        ASSERT_EQ(back.size(), expected.size());
        std::size_t differences = 0;
        for (const AafRecord& chart : expected) {
            const std::string key = KeyOf(chart);
            ASSERT_TRUE(back.count(key)) << test::Printable(key);
            for (const Field& field : kFields) {
                std::string want = field.Shown(chart);
                for (const Difference& difference : kDifferences) {
                    if (difference.Middle == middle && key == difference.LastName &&
                        std::string_view(field.Name) == difference.Field) {
                        want = difference.Value;
                        ++differences;
                    }
                }
                EXPECT_EQ(test::Printable(field.Shown(back.at(key))), test::Printable(want))
                    << test::Printable(key) << ' ' << field.Name;
            }
        }
        // Every row of the table names a field of a chart that it differs in.
        EXPECT_EQ(differences, static_cast<std::size_t>(std::count_if(
                                   std::begin(kDifferences), std::end(kDifferences),
                                   [&](const Difference& d) { return d.Middle == middle; })));
    }
}

// A real database of fifty charts, its notes left aside, through CSV and back.
TEST_F(RoundTripTest, RealChartsComeBackFromCsvInEveryFieldButTheNotes) {
    const fs::path sample = test::SamplesDir() / "erfinder.aaf";
    REQUIRE_SAMPLE(sample);
    const std::vector<std::string> direct = Convert({Utf8FromPath(sample)}, Target::Aaf);
    ASSERT_EQ(direct.size(), 1u);
    const std::vector<AafRecord> expected = ReadCharts(direct[0]);
    const std::vector<AafRecord> back =
        ReadCharts(ThroughMiddle(Utf8FromPath(sample), Target::Csv));
    ASSERT_EQ(expected.size(), 50u);
    ASSERT_EQ(back.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        for (const Field& field : kFields) {
            if (std::string_view(field.Name) == "Notes") continue;
            EXPECT_EQ(test::Printable(field.Shown(back[i])),
                      test::Printable(field.Shown(expected[i])))
                << "chart " << i + 1 << ' ' << field.Name;
        }
    }
}

}  // namespace
}  // namespace tervalo
