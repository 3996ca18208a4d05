// Tests of the Solar Fire chart file reader on files built field by field.
#include "formats/SolarFireReader.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CorrectionsText.h"
#include "TestSupport.h"
#include "core/Platform.h"

namespace tervalo {
namespace {

using namespace std::string_literals;

// The fields a chart record (from its offset 2) and a sub-chart share, then what only a chart
// record has.
struct Chart {
    std::string Name = "Doe Jane", City = "Town", Region = "Land";
    float LongitudeWest = 0, Latitude = 0;
    std::int16_t Year = 2000;
    std::uint8_t Month = 6, Day = 15, Hour = 12, Minute = 0, Second = 0;
    float ZoneWest = 0;
    std::uint8_t LocalMeanTime = 0, EventType = 1;
    std::string Notes = {};
    std::vector<Chart> SubCharts = {};
};

void Put(std::string& bytes, std::size_t at, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

std::string Counted(const std::string& text) {
    std::string bytes(4, '\0');
    Put(bytes, 0, text.size(), 4);
    return bytes + text;
}

// A sub-chart's 115 bytes; a chart record holds the same at its offset 2.
std::string SharedFields(const Chart& c) {
    std::string bytes(115, '\0');
    bytes.replace(0, c.Name.size(), c.Name).replace(50, c.City.size(), c.City);
    bytes.replace(70, c.Region.size(), c.Region).replace(109, 3, "EST");
    Put(bytes, 90, std::bit_cast<std::uint32_t>(c.LongitudeWest), 4);
    Put(bytes, 94, std::bit_cast<std::uint32_t>(c.Latitude), 4);
    Put(bytes, 98, static_cast<std::uint16_t>(c.Year), 2);
    std::size_t at = 100;  // month, day, hour, minute, second
    for (const std::uint8_t value : {c.Month, c.Day, c.Hour, c.Minute, c.Second})
        bytes[at++] = static_cast<char>(value);
    bytes[114] = static_cast<char>(c.LocalMeanTime);
    Put(bytes, 105, std::bit_cast<std::uint32_t>(c.ZoneWest), 4);
    return bytes;
}

// A whole file; `ends` receives where each chart record's bytes end.
std::string BuildFile(const std::vector<Chart>& charts, std::vector<std::size_t>* ends = nullptr) {
    std::string file(86, '\0');
    Put(file, 0, 3, 2);
    Put(file, 82, charts.size(), 2);
    for (std::size_t i = 0; i < charts.size(); ++i) {
        std::string record(296, '\0');
        Put(record, 0, 0x0101, 2);
        record.replace(2, 115, SharedFields(charts[i])).replace(118, 2, "AA");
        Put(record, 117, charts[i].EventType, 1);
        Put(record, 158, i + 1, 2);
        Put(record, 292, charts[i].SubCharts.size(), 4);
        file += record;
        for (const Chart& sub : charts[i].SubCharts)
            file += SharedFields(sub) + Counted(sub.Notes);
        file += Counted(charts[i].Notes);
        if (ends != nullptr) ends->push_back(file.size());
    }
    return file;
}

struct Parsed {
    ChartFileRead Read;
    std::vector<std::string> Charts;  // each as one line of its fields
};

Parsed Parse(std::string_view bytes, std::size_t stopAfter = SIZE_MAX) {
    Parsed parsed;
    parsed.Read = ParseSolarFireCharts(bytes, [&](const AafRecord& r) {
        char numbers[160];
        std::snprintf(numbers, sizeof numbers, "%.10g|%.10g|%.10g|%d|%d-%d-%d%c|%.10g|%c|",
                      r.Longitude, r.Latitude, r.TimeZone, r.DaylightCode, r.Year, r.Month, r.Day,
                      r.Gregorian ? 'g' : 'j', r.Time, r.Gender);
        std::string& line = parsed.Charts.emplace_back();
        for (const std::string_view text : {FieldText(r.LastName), FieldText(r.FirstName),
                                            FieldText(r.Place), FieldText(r.Country)})
            line.append(text).append("|");
        line.append(numbers).append(FieldText(r.Notes));
        return parsed.Charts.size() < stopAfter;
    });
    return parsed;
}

TEST(SolarFireReaderTest, MapsEachFieldOfAChart) {
    struct Case {
        Chart Input;
        std::string Expected;
        std::size_t Unconvertible = 0;
    };
    const Case cases[] = {
        {{.Name = "Kovacs Janos Pal", .LongitudeWest = -19.05f, .Latitude = 47.5f, .ZoneWest = -1},
         "Kovacs|Janos Pal|Town|Land|19.05|47.5|-1|0|2000-6-15g|12|M|"},
        {{.Name = "  Smith   John ", .LongitudeWest = 74, .ZoneWest = 4, .EventType = 2},
         "Smith|John|Town|Land|-74|0|4|0|2000-6-15g|12|F|"},
        // Local mean time: the zone is the longitude's, whatever the file's zone says.
        {{.LongitudeWest = 74, .Latitude = 40.7f, .ZoneWest = 5, .LocalMeanTime = 1},
         "Doe|Jane|Town|Land|-74|40.7|4.933333333|-1|2000-6-15g|12|M|"},
        {{.Hour = 14, .Minute = 30, .Second = 36},
         "Doe|Jane|Town|Land|0|0|0|0|2000-6-15g|14.51|M|"},
        {{.EventType = 3}, "Doe|Jane|Town|Land|0|0|0|0|2000-6-15g|12|E|"},
        {{.EventType = 4}, "Doe|Jane|Town|Land|0|0|0|0|2000-6-15g|12|E|"},
        {{.EventType = 0}, "Doe|Jane|Town|Land|0|0|0|0|2000-6-15g|12|*|"},
        {{.EventType = 9}, "Doe|Jane|Town|Land|0|0|0|0|2000-6-15g|12|*|"},
        // š and á are Windows-1250's too, ñ and å lose their accent, æ, Œ and ƒ have nothing.
        // A control byte becomes a space.
        {{.Name = "Dvo\x9A\xE1k Mu\xF1oz\xE5", .City = "\xE6\x8C\x83", .Region = "Z\xFCr\tich"},
         "Dvo\x9A\xE1k|Munoza|???|Z\xFCr ich|0|0|0|0|2000-6-15g|12|M|",
         3},
        // Years as the file keeps them, negative before the common era; no calendar is kept.
        {{.Year = -44, .Month = 3}, "Doe|Jane|Town|Land|0|0|0|0|-44-3-15j|12|M|"},
        {{.Year = 0}, "Doe|Jane|Town|Land|0|0|0|0|-1-6-15j|12|M|"},
        {{.Year = 1582, .Month = 10, .Day = 4}, "Doe|Jane|Town|Land|0|0|0|0|1582-10-4j|12|M|"},
        {{.Year = 1582, .Month = 10}, "Doe|Jane|Town|Land|0|0|0|0|1582-10-15g|12|M|"},
        {{.Year = -32768}, "Doe|Jane|Town|Land|0|0|0|0|-9999-6-15j|12|M|"},
        // Every line break becomes CR LF; empty lines and NULs go.
        {{.Notes = "\r\nFirst\r\n\r\nsecond\nthird\rl\xE9\0x\x9C\r\n\n"s},
         "Doe|Jane|Town|Land|0|0|0|0|2000-6-15g|12|M|First\r\nsecond\r\nthird\r\nl\xE9x?",
         1},
    };
    for (const Case& c : cases) {
        const Parsed parsed = Parse(BuildFile({c.Input}));
        ASSERT_EQ(parsed.Charts.size(), 1u) << c.Expected;
        ExpectBytes(parsed.Charts[0], c.Expected);
        EXPECT_EQ(parsed.Read.Unconvertible, c.Unconvertible) << c.Expected;
    }
    // Notes longer than the field are cut, never leaving half a line break.
    const std::string line(kMaxNotesLength - 2, 'x');
    const Parsed cut = Parse(BuildFile({{.Notes = line + "\r\nyy" + line}}));
    EXPECT_TRUE(cut.Charts.at(0).ends_with("|" + line));
}

// Each sub-chart follows its main chart; its notes begin with the main chart's name.
const std::vector<Chart> kWithSubCharts = {
    {.Name = "Curie Marie",
     .EventType = 2,
     .Notes = "Physicist",
     .SubCharts = {{.Name = "Transit", .Year = 2024, .ZoneWest = -2, .Notes = "Return\nsolar"},
                   {.Name = "Transit", .Year = 2024, .ZoneWest = -2}}},
    {},
};

TEST(SolarFireReaderTest, SubChartsFollowTheirChartNamingIt) {
    const std::vector<std::string> expected = {
        "Curie|Marie|Town|Land|0|0|0|0|2000-6-15g|12|F|Physicist",
        "Transit||Town|Land|0|0|-2|0|2024-6-15g|12|*|Curie Marie\r\nReturn\r\nsolar",
        "Transit||Town|Land|0|0|-2|0|2024-6-15g|12|*|Curie Marie",
        "Doe|Jane|Town|Land|0|0|0|0|2000-6-15g|12|M|",
    };
    EXPECT_EQ(Parse(BuildFile(kWithSubCharts)).Charts, expected);
    for (std::size_t stopAfter = 1; stopAfter <= expected.size(); ++stopAfter) {
        const Parsed stopped = Parse(BuildFile(kWithSubCharts), stopAfter);
        EXPECT_EQ(stopped.Charts.size(), stopAfter);
        EXPECT_TRUE(stopped.Read.Stopped);
    }
}

// Whatever the cut, the charts wholly before it are kept and the next one is named broken.
TEST(SolarFireReaderTest, EveryTruncatedPrefixKeepsTheChartsBeforeTheCut) {
    std::vector<Chart> charts = kWithSubCharts;
    charts.push_back({.Notes = "last", .SubCharts = {{.Notes = "n"}}});
    std::vector<std::size_t> ends;
    const std::string file = BuildFile(charts, &ends);
    const std::size_t chartsBefore[] = {0, 3, 4, 6};
    for (std::size_t size = 0; size <= file.size(); ++size) {
        // Just the prefix, so that the sanitizers see any read past it.
        const Parsed parsed = Parse(file.substr(0, size));
        std::size_t whole = 0;
        while (whole < ends.size() && ends[whole] <= size)
            ++whole;
        EXPECT_EQ(parsed.Read.Recognised, size >= 86) << size;
        EXPECT_EQ(parsed.Charts.size(), chartsBefore[whole]) << size;
        EXPECT_EQ(parsed.Read.BrokenOffAt, size >= 86 && whole < 3 ? whole + 1 : 0) << size;
    }
}

TEST(SolarFireReaderTest, DamageStopsTheFileWhereItLies) {
    const std::string sound = BuildFile({{.Notes = "a"}, {.Notes = "b"}});
    constexpr std::size_t kFirst = 86, kSecond = 86 + 296 + 5;  // the chart records
    const auto nan = std::bit_cast<std::uint32_t>(std::numeric_limits<float>::quiet_NaN());
    struct Case {
        const char* What;
        std::size_t At;
        std::uint64_t Value;
        int Size;
        std::size_t Charts;
        std::uint32_t BrokenOffAt;
        std::vector<std::uint32_t> Skipped = {};
    };
    const Case cases[] = {
        {"count beyond the file", 82, 3, 2, 2, 3},
        {"fewer counted than present", 82, 1, 2, 1, 0},
        {"bad marker", kSecond, 0x0102, 2, 1, 2},
        {"sub-charts past the end", kSecond + 292, 1, 4, 1, 2},
        {"largest sub-chart count", kFirst + 292, 0xFFFFFFFF, 4, 0, 1},
        {"notes past the end by one", kSecond + 296, 2, 4, 1, 2},
        {"largest notes length", kFirst + 296, 0xFFFFFFFF, 4, 0, 1},
        {"longitude not a number", kFirst + 92, nan, 4, 1, 0, {1}},
        {"zone not a number", kSecond + 107, nan, 4, 1, 0, {2}},
    };
    for (const Case& c : cases) {
        std::string file = sound;
        Put(file, c.At, c.Value, c.Size);
        const Parsed parsed = Parse(file);
        EXPECT_TRUE(parsed.Read.Recognised) << c.What;
        EXPECT_EQ(parsed.Charts.size(), c.Charts) << c.What;
        EXPECT_EQ(parsed.Read.BrokenOffAt, c.BrokenOffAt) << c.What;
        EXPECT_EQ(parsed.Read.SkippedLines, c.Skipped) << c.What;
    }
    std::string otherVersion = sound;
    Put(otherVersion, 0, 4, 2);
    EXPECT_FALSE(Parse(otherVersion).Read.Recognised);
}

TEST(SolarFireReaderTest, ReadsAFileByItsPath) {
    test::TempDir dir;
    const std::string path = dir.File("Charts \xC3\xA9.SFcht");
    test::WriteFile(PathFromUtf8(path), BuildFile(kWithSubCharts));
    std::size_t charts = 0;
    const auto count = [&](const AafRecord&) { return ++charts > 0; };
    EXPECT_TRUE(ReadSolarFireCharts(path, count).Recognised);
    EXPECT_EQ(charts, 4u);
    for (const std::string& unreadable : {dir.File("absent.SFcht"), dir.Path().string()})
        EXPECT_FALSE(ReadSolarFireCharts(unreadable, count).Recognised) << unreadable;
}

// Sub-charts stand at the number of their chart; notes are noted with the length they had.
TEST(SolarFireReaderTest, NotesWhatItBoundsOrCutsByTheChartsNumber) {
    const std::string line(kMaxNotesLength - 2, 'x');
    const std::vector<Chart> charts = {
        {.Hour = 30, .SubCharts = {{.Notes = std::string(5000, 'n')}}},  // an hour is as read
        {.Year = 0},
        {.Year = 12000},
        {.Year = -32768},
        {.Notes = line + "\r\nyy" + line},  // no half line break is kept
    };
    std::vector<std::string> read;
    ParseSolarFireCharts(BuildFile(charts), [&](const AafRecord& chart) {
        read.push_back(std::to_string(chart.SourceLine) + " " + test::CorrectionsText(chart));
        return true;
    });
    const std::vector<std::string> expected = {"1 ",
                                               "1 Notes 5010>4092",
                                               "2 Year 0>-1",
                                               "3 Year 12000>9999",
                                               "4 Year -32768>-9999",
                                               "5 Notes 8184>4090"};
    EXPECT_EQ(read, expected);
}

}  // namespace
}  // namespace tervalo
