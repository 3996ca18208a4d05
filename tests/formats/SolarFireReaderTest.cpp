// Tests of the Solar Fire chart file reader on files built field by field.
#include "formats/SolarFireReader.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace tervalo {
namespace {

using namespace std::string_literals;

// The fields a chart record (from its offset 2) and a sub-chart share.
struct Moment {
    std::string Name = "Doe Jane";
    std::string City = "Town";
    std::string Region = "Land";
    float Longitude = 0.0f;  // west positive
    float Latitude = 0.0f;
    std::int16_t Year = 2000;
    std::uint8_t Month = 6, Day = 15, Hour = 12, Minute = 0, Second = 0;
    float Zone = 0.0f;  // west positive
    std::uint8_t LocalMeanTime = 0;
};

struct SubChart {
    Moment Fields;
    std::string Notes;
};

struct Chart {
    Moment Fields;
    std::uint8_t EventType = 1;
    std::vector<SubChart> SubCharts;
    std::string Notes;
};

void Put(std::string& bytes, std::size_t at, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}
void PutFloat(std::string& bytes, std::size_t at, float value) {
    Put(bytes, at, std::bit_cast<std::uint32_t>(value), 4);
}
void PutText(std::string& bytes, std::size_t at, std::string_view text) {
    bytes.replace(at, text.size(), text);
}

// A sub-chart's 115 bytes; a chart record holds the same 2 bytes further on.
std::string MomentBytes(const Moment& m) {
    std::string bytes(115, '\0');
    PutText(bytes, 0, m.Name);
    PutText(bytes, 50, m.City);
    PutText(bytes, 70, m.Region);
    PutFloat(bytes, 90, m.Longitude);
    PutFloat(bytes, 94, m.Latitude);
    Put(bytes, 98, static_cast<std::uint16_t>(m.Year), 2);
    Put(bytes, 100, m.Month, 1);
    Put(bytes, 101, m.Day, 1);
    Put(bytes, 102, m.Hour, 1);
    Put(bytes, 103, m.Minute, 1);
    Put(bytes, 104, m.Second, 1);
    PutFloat(bytes, 105, m.Zone);
    PutText(bytes, 109, "ZONE");
    Put(bytes, 114, m.LocalMeanTime, 1);
    return bytes;
}

std::string Counted(std::string_view text) {
    std::string bytes(4, '\0');
    Put(bytes, 0, text.size(), 4);
    return bytes.append(text);
}

// A whole file; `ends` receives where each chart's bytes end.
std::string BuildFile(const std::vector<Chart>& charts, std::vector<std::size_t>* ends = nullptr) {
    std::string file(86, '\0');
    Put(file, 0, 3, 2);
    PutText(file, 2, "My charts");
    Put(file, 82, charts.size(), 2);
    for (std::size_t i = 0; i < charts.size(); ++i) {
        const Chart& chart = charts[i];
        std::string record(296, '\0');
        Put(record, 0, 0x0101, 2);
        record.replace(2, 115, MomentBytes(chart.Fields));
        Put(record, 117, chart.EventType, 1);
        PutText(record, 118, "AA");
        Put(record, 158, i + 1, 2);
        Put(record, 292, chart.SubCharts.size(), 4);
        file += record;
        for (const SubChart& sub : chart.SubCharts)
            file += MomentBytes(sub.Fields) + Counted(sub.Notes);
        file += Counted(chart.Notes);
        if (ends != nullptr) ends->push_back(file.size());
    }
    return file;
}

// The record's fields on one line, so that a case's expectation reads as one golden text.
std::string Describe(const AafRecord& r) {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "%.10g|%.10g|%.10g|%d|%d-%d-%d%c|%.10g|%c", r.Longitude,
                  r.Latitude, r.TimeZone, r.DaylightCode, r.Year, r.Month, r.Day,
                  r.Gregorian ? 'g' : 'j', r.Time, r.Gender);
    std::string text;
    for (const std::string_view field :
         {FieldText(r.LastName), FieldText(r.FirstName), FieldText(r.Place), FieldText(r.Country)})
        text.append(field).append("|");
    return text + numbers + "|" + std::string(FieldText(r.Notes));
}

struct Parsed {
    ChartFileRead Read;
    std::vector<std::string> Charts;
};

Parsed Parse(std::string_view bytes, std::size_t stopAfter = SIZE_MAX) {
    Parsed parsed;
    parsed.Read = ParseSolarFireCharts(bytes, [&](const AafRecord& chart) {
        parsed.Charts.push_back(Describe(chart));
        return parsed.Charts.size() < stopAfter;
    });
    return parsed;
}

Moment With(void (*change)(Moment&)) {
    Moment m;
    change(m);
    return m;
}

TEST(SolarFireReaderTest, MapsEachFieldOfAChart) {
    struct Case {
        Moment Fields;
        std::uint8_t EventType;
        std::string Notes;
        std::string Expected;
        std::size_t Unconvertible;
    };
    const Case cases[] = {
        {With([](Moment& m) {
             m = {"Kovacs Janos Pal",
                  "Budapest",
                  "Hungary",
                  -19.05f,
                  47.5f,
                  1950,
                  3,
                  15,
                  14,
                  30,
                  36,
                  -1.0f,
                  0};
         }),
         1, "", "Kovacs|Janos Pal|Budapest|Hungary|19.05|47.5|-1|0|1950-3-15g|14.51|M|", 0},
        {With([](Moment& m) {
             m = {"  Smith   John ", "New York", "NY", 74.0f, 40.7f, 1980, 7, 4, 9, 5, 0, 4.0f, 0};
         }),
         2, "", "Smith|John|New York|NY|-74|40.7|4|0|1980-7-4g|9.083333333|F|", 0},
        {With([](Moment& m) {
             m.Longitude = 74.0f, m.Latitude = -33.5f, m.Zone = 5.0f, m.LocalMeanTime = 1;
         }),
         3, "", "Doe|Jane|Town|Land|-74|-33.5|4.933333333|-1|2000-6-15g|12|E|", 0},
        {Moment{}, 4, "", "Doe|Jane|Town|Land|0|0|0|0|2000-6-15g|12|E|", 0},
        {Moment{}, 0, "", "Doe|Jane|Town|Land|0|0|0|0|2000-6-15g|12|*|", 0},
        {Moment{}, 9, "", "Doe|Jane|Town|Land|0|0|0|0|2000-6-15g|12|*|", 0},
        // Windows-1252 letters: š and á are Windows-1250's too, ñ and å lose their accent, æ,
        // Œ and ƒ have nothing and become "?". A control byte becomes a space.
        {With([](Moment& m) {
             m.Name = "Dvo\x9A\xE1k Mu\xF1oz\xE5", m.City = "\xE6\x8C\x83",
             m.Region = "Z\xFCr\tich";
         }),
         0, "", "Dvo\x9A\xE1k|Munoza|???|Z\xFCr ich|0|0|0|0|2000-6-15g|12|*|", 3},
        // Years as the file keeps them: negative before the common era, no calendar kept.
        {With([](Moment& m) { m.Year = -44, m.Month = 3, m.Day = 15; }), 0, "",
         "Doe|Jane|Town|Land|0|0|0|0|-44-3-15j|12|*|", 0},
        {With([](Moment& m) { m.Year = 0; }), 0, "", "Doe|Jane|Town|Land|0|0|0|0|-1-6-15j|12|*|",
         0},
        {With([](Moment& m) { m.Year = 1582, m.Month = 10, m.Day = 4; }), 0, "",
         "Doe|Jane|Town|Land|0|0|0|0|1582-10-4j|12|*|", 0},
        {With([](Moment& m) { m.Year = 1582, m.Month = 10, m.Day = 15; }), 0, "",
         "Doe|Jane|Town|Land|0|0|0|0|1582-10-15g|12|*|", 0},
        {With([](Moment& m) { m.Year = -32768; }), 0, "",
         "Doe|Jane|Town|Land|0|0|0|0|-9999-6-15j|12|*|", 0},
        // Notes: every line break becomes CR LF, empty lines and NULs go, 1252 becomes 1250.
        {Moment{}, 0, "\r\nFirst\r\n\r\nsecond\nthird\rl\xE9\0x\x9C\r\n\n"s,
         "Doe|Jane|Town|Land|0|0|0|0|2000-6-15g|12|*|First\r\nsecond\r\nthird\r\nl\xE9x?", 1},
    };
    for (const Case& c : cases) {
        Chart chart{c.Fields, c.EventType, {}, c.Notes};
        const Parsed parsed = Parse(BuildFile({chart}));
        ASSERT_EQ(parsed.Charts.size(), 1u) << c.Expected;
        ExpectBytes(parsed.Charts[0], c.Expected);
        EXPECT_EQ(parsed.Read.Unconvertible, c.Unconvertible) << c.Expected;
        EXPECT_TRUE(parsed.Read.Recognised);
        EXPECT_EQ(parsed.Read.BrokenOffAt, 0u);
    }
}

// Notes longer than the field are cut, and a cut never leaves half a line break.
TEST(SolarFireReaderTest, LongNotesAreCutToTheField) {
    const std::string line(kMaxNotesLength - 2, 'x');
    const Parsed parsed = Parse(BuildFile({{Moment{}, 1, {}, line + "\r\nyy" + line}}));
    ASSERT_EQ(parsed.Charts.size(), 1u);
    EXPECT_TRUE(parsed.Charts[0].ends_with("|" + line));
}

// Each sub-chart follows its main chart; its notes begin with the main chart's name.
std::vector<Chart> ChartsWithSubCharts() {
    Moment transit = With([](Moment& m) { m.Name = "Transit", m.Year = 2024, m.Zone = -2.0f; });
    return {
        {With([](Moment& m) { m.Name = "Curie Marie"; }),
         2,
         {{transit, "Return\r\nsolar"}, {transit, ""}},
         "Physicist"},
        {Moment{}, 1, {}, ""},
    };
}

TEST(SolarFireReaderTest, SubChartsFollowTheirChartNamingIt) {
    const Parsed parsed = Parse(BuildFile(ChartsWithSubCharts()));
    const std::vector<std::string> expected = {
        "Curie|Marie|Town|Land|0|0|0|0|2000-6-15g|12|F|Physicist",
        "Transit||Town|Land|0|0|-2|0|2024-6-15g|12|*|Curie Marie\r\nReturn\r\nsolar",
        "Transit||Town|Land|0|0|-2|0|2024-6-15g|12|*|Curie Marie",
        "Doe|Jane|Town|Land|0|0|0|0|2000-6-15g|12|M|",
    };
    EXPECT_EQ(parsed.Charts, expected);
    EXPECT_EQ(parsed.Read.BrokenOffAt, 0u);

    for (std::size_t stopAfter = 1; stopAfter <= expected.size(); ++stopAfter) {
        const Parsed stopped = Parse(BuildFile(ChartsWithSubCharts()), stopAfter);
        EXPECT_EQ(stopped.Charts.size(), stopAfter);
        EXPECT_TRUE(stopped.Read.Stopped);
    }
}

// Whatever the cut, the charts wholly before it are kept and the next one is named broken.
TEST(SolarFireReaderTest, EveryTruncatedPrefixKeepsTheChartsBeforeTheCut) {
    std::vector<std::size_t> ends;
    std::vector<Chart> charts = ChartsWithSubCharts();
    charts.push_back({Moment{}, 2, {{Moment{}, "n"}}, "last"});
    const std::string file = BuildFile(charts, &ends);
    const std::size_t chartsPerBlock[] = {3, 1, 2};
    for (std::size_t size = 0; size < file.size(); ++size) {
        // A copy of just the prefix, so that the sanitizers see any read past it.
        const std::string prefix = file.substr(0, size);
        const Parsed parsed = Parse(prefix);
        EXPECT_EQ(parsed.Read.Recognised, size >= 86) << size;
        std::size_t whole = 0;
        std::size_t expectedCharts = 0;
        while (ends[whole] <= size)
            expectedCharts += chartsPerBlock[whole++];
        EXPECT_EQ(parsed.Charts.size(), expectedCharts) << size;
        EXPECT_EQ(parsed.Read.BrokenOffAt, size >= 86 ? whole + 1 : 0) << size;
    }
    EXPECT_EQ(Parse(file).Charts.size(), 6u);
}

TEST(SolarFireReaderTest, DamageStopsTheFileWhereItLies) {
    const std::string sound = BuildFile({{Moment{}, 1, {}, "a"}, {Moment{}, 1, {}, "b"}});
    constexpr std::size_t kSecond = 86 + 296 + 5;  // the second chart record
    struct Case {
        const char* What;
        std::size_t At;
        std::uint64_t Value;
        int Size;
        bool Recognised;
        std::size_t Charts;
        std::uint32_t BrokenOffAt;
        std::vector<std::uint32_t> Skipped;
    };
    const std::uint32_t nan = std::bit_cast<std::uint32_t>(std::numeric_limits<float>::quiet_NaN());
    const Case cases[] = {
        {"sound", 0, 3, 2, true, 2, 0, {}},
        {"another version", 0, 4, 2, false, 0, 0, {}},
        {"count beyond the file", 82, 3, 2, true, 2, 3, {}},
        {"largest count", 82, 0xFFFF, 2, true, 2, 3, {}},
        {"fewer counted than present", 82, 1, 2, true, 1, 0, {}},
        {"bad marker", kSecond, 0x0102, 2, true, 1, 2, {}},
        {"sub-charts past the end", kSecond + 292, 1, 4, true, 1, 2, {}},
        {"largest sub-chart count", 86 + 292, 0xFFFFFFFF, 4, true, 0, 1, {}},
        {"notes past the end by one", kSecond + 296, 2, 4, true, 1, 2, {}},
        {"largest notes length", 86 + 296, 0xFFFFFFFF, 4, true, 0, 1, {}},
        {"longitude not a number", 86 + 92, nan, 4, true, 1, 0, {1}},
        {"zone not a number", kSecond + 107, nan, 4, true, 1, 0, {2}},
    };
    for (const Case& c : cases) {
        std::string file = sound;
        Put(file, c.At, c.Value, c.Size);
        const Parsed parsed = Parse(file);
        EXPECT_EQ(parsed.Read.Recognised, c.Recognised) << c.What;
        EXPECT_EQ(parsed.Charts.size(), c.Charts) << c.What;
        EXPECT_EQ(parsed.Read.BrokenOffAt, c.BrokenOffAt) << c.What;
        EXPECT_EQ(parsed.Read.SkippedLines, c.Skipped) << c.What;
    }
}

TEST(SolarFireReaderTest, ReadsAFileByItsPath) {
    test::TempDir dir;
    const std::string path = dir.File("Charts \xC3\xA9.SFcht");
    test::WriteFile(path, BuildFile(ChartsWithSubCharts()));
    std::size_t charts = 0;
    const auto count = [&](const AafRecord&) { return ++charts > 0; };
    const ChartFileRead read = ReadSolarFireCharts(path, count);
    EXPECT_TRUE(read.Recognised);
    EXPECT_EQ(charts, 4u);
    EXPECT_FALSE(ReadSolarFireCharts(dir.File("absent.SFcht"), count).Recognised);
    EXPECT_FALSE(ReadSolarFireCharts(dir.Path().string(), count).Recognised);
}

}  // namespace
}  // namespace tervalo
