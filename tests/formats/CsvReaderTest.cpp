// Tests of ParseCsvCharts and ReadCsvCharts: the CSV writer's lines read back, and the forms
// spreadsheets save them in.
#include "formats/CsvReader.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CorrectionsText.h"
#include "TestSupport.h"
#include "formats/AafDatabase.h"

namespace tervalo {
namespace {

// The fields CSV carries, one text: numbers in their shortest exact form, so that equal texts
// are equal doubles.
std::string Dump(const AafRecord& chart) {
    std::string out;
    const auto put = [&out](auto value) {
        char text[32];
        out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
        out += '|';
    };
    for (const std::string_view text : {FieldText(chart.LastName), FieldText(chart.FirstName)})
        out.append(text) += '|';
    out += chart.Gender;
    out += '|';
    put(chart.Year), put(chart.Month), put(chart.Day);
    out += chart.Gregorian ? "g|" : "j|";
    put(chart.Time), put(chart.TimeZone), put(chart.DaylightCode);
    put(chart.Latitude), put(chart.Longitude);
    out.append(FieldText(chart.Place)) += '|';
    out.append(FieldText(chart.Country)) += FieldText(chart.Notes);
    return out;
}

struct Parsed {
    ChartFileRead Read;
    std::vector<std::string> Charts;
};

Parsed Parse(std::string_view text) {
    Parsed parsed;
    parsed.Read = ParseCsvCharts(text, [&](const AafRecord& chart) {
        parsed.Charts.push_back(Dump(chart));
        return true;
    });
    return parsed;
}

const char* const kKovacs = "Kovacs|Janos|M|1975|3|7|g|14.5|-1|0|47.5|19.083333|Budapest|H";

// Charts whose every value the writer's eight digits hold, in lines the CSV writer forms.
std::string WriterLines(std::vector<std::string>& dumps) {
    using Change = void (*)(AafDatabase&);
    const Change changes[] = {
        [](AafDatabase&) {},
        [](AafDatabase& c) {
            SetFieldText(c.LastName, "Kovacs, \"Jr\""), SetFieldText(c.FirstName, "\"Jani\"");
            SetFieldText(c.Place, "Buda\r\npest"), SetFieldText(c.Country, "H\n"), c.Gender = '"';
        },
        [](AafDatabase& c) { c.Year = -44, c.Month = 3, c.Day = 15, c.Gregorian = false; },
        [](AafDatabase& c) {
            c.DaylightCode = -1, c.TimeZone = 1e-05, c.Time = -0.0, c.Latitude = -33.86785;
            c.Longitude = -151.20732, c.Gender = ',';
        },
        [](AafDatabase& c) {
            c.ClearRecord();  // empty texts, "*", 1900.01.1
            c.Day = 0, c.DaylightCode = 120, c.Year = 5;
        },
        [](AafDatabase& c) {
            SetFieldText(c.LastName, std::string(255, ';')), c.DaylightCode = 30;
            SetFieldText(c.Place, "Sz\xe9kesfeh\xe9rv\xe1r"), c.Gender = 'e', c.Latitude = 1e+300;
        },
    };
    AafDatabase chart;
    std::string text;
    std::string line;
    for (const Change change : changes) {
        chart.ClearRecord();
        SetFieldText(chart.LastName, "Kovacs"), SetFieldText(chart.FirstName, "Janos");
        chart.Gender = 'M', chart.Year = 1975, chart.Month = 3, chart.Day = 7, chart.Time = 14.5;
        chart.TimeZone = -1, chart.Latitude = 47.5, chart.Longitude = 19.083333;
        SetFieldText(chart.Place, "Budapest"), SetFieldText(chart.Country, "H");
        change(chart);
        text += *chart.FormatCsvLine(&line);
        dumps.push_back(Dump(chart));
    }
    return text;
}

TEST(CsvReaderTest, ReadsTheFormsSpreadsheetsSave) {
    struct Case {
        const char* What;
        std::string Text;
        std::vector<std::string> Charts;
    };
    const std::string line = "Kovacs,Janos,M,1975.03.7,g,14.5,-1,0,47.5,19.083333,Budapest,H";
    const Case cases[] = {
        {"LF, CR and CR LF",
         line + "\n" + line + "\r" + line + "\r\n",
         {kKovacs, kKovacs, kKovacs}},
        {"semicolons, decimal commas, every field quoted",
         "\"Kovacs\";\"Janos\";\"M\";\"1975.03.7\";\"g\";\"14,5\";-1;0;47,5;19,083333;Budapest;H",
         {kKovacs}},
        {"semicolons, commas in texts",
         "Kovacs, Jr;Janos;M;1975.03.7;g;14.5;-1;0;47,5;19.083333;,;",
         {"Kovacs, Jr|Janos|M|1975|3|7|g|14.5|-1|0|47.5|19.083333|,|"}},
        {"a header, and a row kept empty",
         "Last,First,Gender,Date,Calendar,Time,Zone,DST,Latitude,Longitude,Place,Country\r\n"
         ",,,,,,,,,,,\r\n" +
             line,
         {kKovacs}},
        {"dates rewritten",
         "Kovacs;Janos;M;1975. 03. 07.;G;14,5;-1;0;47,5;19,083333;Budapest;H\n"
         "Kovacs;Janos;M;1975-03-07;g;14,5;-1;0;47,5;19,083333;Budapest;H",
         {kKovacs, kKovacs}},
        {"UTF-8 after a byte-order mark",
         "\xEF\xBB\xBFKov\xC3\xA1"
         "cs,J\xC3\xA1nos,M,1975.03.7,g,14.5,-1,0,47.5,19.083333,"
         "Sz\xC3\xA9kesfeh\xC3\xA9rv\xC3\xA1r,H",
         {"Kov\xE1"
          "cs|J\xE1nos|M|1975|3|7|g|14.5|-1|0|47.5|19.083333|Sz\xE9kesfeh\xE9rv\xE1r|H"}},
        {"doubled quotes, a field over two lines",
         "\"K \"\"Jr\"\"\",Janos,M,1975.03.7,g,14.5,-1,0,47.5,19.083333,\"Buda\npest\",H",
         {"K \"Jr\"|Janos|M|1975|3|7|g|14.5|-1|0|47.5|19.083333|Buda\npest|H"}},
        {"empty trailing columns dropped or added",
         line.substr(0, 51) + "\n" + line.substr(0, 60) + "\n" + line + ",,\n",
         {"Kovacs|Janos|M|1975|3|7|g|14.5|-1|0|47.5|19.083333||",
          "Kovacs|Janos|M|1975|3|7|g|14.5|-1|0|47.5|19.083333|Budapest|", kKovacs}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const Parsed parsed = Parse(c.Text);
        EXPECT_TRUE(parsed.Read.SkippedLines.empty());
        EXPECT_EQ(parsed.Charts, c.Charts);
    }
}

TEST(CsvReaderTest, PassesOverWhatHoldsNoChartByItsLine) {
    struct Case {
        const char* What;
        std::string Text;
        std::size_t Charts;
        std::vector<std::uint32_t> Skipped;
        std::uint32_t BrokenOffAt;
    };
    const std::string line = "Kovacs,Janos,M,1975.03.7,g,14.5,-1,0,47.5,19.083333,Budapest,H\r\n";
    const auto with = [&line](std::size_t at, std::size_t size, const char* field) {
        return std::string(line).replace(at, size, field);
    };
    const Case cases[] = {
        {"bad fields",
         line + with(20, 2, "13") + "K,J,M,1975.03.7,g,14.5,-1,0,\"Buda\r\npest\",H,x\r\n\r\n" +
             with(15, 4, "0") + with(15, 4, "10000") + with(27, 4, "nan") + with(35, 1, "45") +
             with(13, 1, "MM") + with(25, 1, "x") + with(0, 6, "\"K\"x") + with(27, 4, "1,5") +
             with(42, 9, "19.08.3") + line.substr(0, 36) + "\r\n" + line,
         2,
         {2, 3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
         0},
        {"a first line unlike a chart", "a,b,c\r\n" + line, 1, {1}, 0},
        {"a first chart with a broken date", with(20, 2, "13") + line, 1, {1}, 0},
        {"a quote never closed", line + with(52, 0, "\"") + line, 1, {}, 2},
        {"no chart at all", "Last,First,Gender,Date\r\nsome,other,text\r\n", 0, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const Parsed parsed = Parse(c.Text);
        EXPECT_EQ(parsed.Read.Recognised, c.Charts > 0);
        EXPECT_EQ(parsed.Charts.size(), c.Charts);
        EXPECT_EQ(parsed.Read.SkippedLines, c.Skipped);
        EXPECT_EQ(parsed.Read.BrokenOffAt, c.BrokenOffAt);
    }
}

// The whole text reads back to the same fields. Each prefix is read in a buffer of its own, so
// that a read past its end is caught by the sanitizer; only its last chart may be cut short.
TEST(CsvReaderTest, LinesOfTheWriterReadBackWholeAndSafelyWhenCut) {
    std::vector<std::string> dumps;
    const std::string text = WriterLines(dumps);
    const Parsed whole = Parse(text);
    EXPECT_TRUE(whole.Read.Recognised && whole.Read.SkippedLines.empty());
    EXPECT_EQ(whole.Charts, dumps);
    for (std::size_t size = 0; size < text.size(); ++size) {
        const std::vector<char> prefix(text.data(), text.data() + size);
        const Parsed parsed = Parse(std::string_view(prefix.data(), size));
        ASSERT_LE(parsed.Charts.size(), dumps.size());
        for (std::size_t i = 0; i + 1 < parsed.Charts.size(); ++i)
            ASSERT_EQ(parsed.Charts[i], dumps[i]) << "prefix of " << size;
    }
}

TEST(CsvReaderTest, ReadsFilesAndStopsWhenAsked) {
    test::TempDir dir;
    const std::string path = dir.File("charts.csv");
    test::WriteFile(path,
                    "K\xE2\x98\x83,J\xC3\xA1nos,M,1975.03.7,g,14.5,-1,0,47.5,19.083333,,\n"
                    "X,Y,F,2000.01.1,j,0,0,0,0,0,,\r\n");
    std::vector<std::string> charts;
    const ChartFileRead read = ReadCsvCharts(path, [&](const AafRecord& chart) {
        charts.push_back(Dump(chart));
        return false;
    });
    EXPECT_TRUE(read.Recognised && read.Stopped);
    EXPECT_EQ(read.Unconvertible, 1u);
    EXPECT_EQ(charts,
              std::vector<std::string>{"K?|J\xE1nos|M|1975|3|7|g|14.5|-1|0|47.5|19.083333||"});
    EXPECT_FALSE(ReadCsvCharts(dir.File("missing.csv"), nullptr).Recognised);
}

TEST(CsvReaderTest, NotesTextsItCutsByTheLineEachChartBeginsOn) {
    const std::string rest = ",M,1975.03.7,g,14.5,-1,0,47.5,19.08,";
    const std::string text =
        "Last,First,Gender,Date,Cal,Time,Zone,DST,Lat,Lon,Place,Country\n"
        "Kovacs,Janos" +
        rest + "Budapest,H\n" + std::string(300, 'N') + ",Janos" + rest + "Budapest,H\n" +
        "Kovacs,\"" + std::string(254, 'a') + "\"\"\"\"\"" + rest + "Eger,H\n" + "Kovacs,Janos" +
        rest + "\"Buda\r\npest\",H\r\n" + "Kovacs,Janos" + rest + "Eger," + std::string(300, 'C') +
        "\n" + "Kovacs,Janos" + rest + "Eger,H\n";
    std::vector<std::string> charts;
    ParseCsvCharts(text, [&](const AafRecord& chart) {
        charts.push_back(std::to_string(chart.SourceLine) + " " + test::CorrectionsText(chart));
        return true;
    });
    const std::vector<std::string> expected = {
        "2 ", "3 Name 300>255",  "4 Name 256>255",  // doubled quotes count once
        "5 ", "7 Place 300>255", "8 "};
    EXPECT_EQ(charts, expected);
}

}  // namespace
}  // namespace tervalo
