// CSV output: the line of a chart, quoting of texts, whole files, and reading them back.
#include "formats/AafDatabase.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace tervalo {
namespace {

using test::TempDir;

// The standard chart with notes, which CSV leaves out.
void SetKovacs(AafDatabase& chart) {
    test::SetKovacs(chart);
    SetFieldText(chart.Notes, "never, in CSV");
}

std::string CsvLine(AafDatabase& chart) {
    std::string line;
    chart.FormatCsvLine(&line);
    return line;
}

TEST(CsvWriterTest, FormsTheTwelveFieldsOfAChart) {
    AafDatabase chart;
    SetKovacs(chart);
    ExpectBytes(CsvLine(chart),
                "Kovacs,"     // last name
                "Janos,"      // first name
                "M,"          // gender
                "1975.03.7,"  // year, month padded, day not
                "g,"          // Gregorian
                "14.5,"       // time
                "-1,"         // time zone, west positive
                "0,"          // daylight saving
                "47.5,"       // latitude
                "19.083333,"  // longitude, eight significant digits
                "Budapest,"   // place
                "H\r\n");     // country; the notes are not written
}

struct LineCase {
    const char* What;
    void (*Change)(AafDatabase&);
    const char* Expected;
};

TEST(CsvWriterTest, WritesDatesNumbersAndTextsByTheirRules) {
    const LineCase cases[] = {
        {"year of one digit", [](AafDatabase& c) { c.Year = 5, c.Month = 12, c.Day = 31; },
         "Kovacs,Janos,M,05.12.31,g,14.5,-1,0,47.5,19.083333,Budapest,H\r\n"},
        {"year before the era, Julian",
         [](AafDatabase& c) { c.Year = -44, c.Month = 3, c.Day = 15, c.Gregorian = false; },
         "Kovacs,Janos,M,-44.03.15,j,14.5,-1,0,47.5,19.083333,Budapest,H\r\n"},
        {"no date", [](AafDatabase& c) { c.Year = 0, c.Month = 0, c.Day = 0; },
         "Kovacs,Janos,M,01.01.0,g,14.5,-1,0,47.5,19.083333,Budapest,H\r\n"},
        {"years beyond four digits held at the bound",
         [](AafDatabase& c) { c.Year = std::numeric_limits<std::int32_t>::min(); },
         "Kovacs,Janos,M,-9999.03.7,g,14.5,-1,0,47.5,19.083333,Budapest,H\r\n"},
        {"local mean time, exponent forms",
         [](AafDatabase& c) {
             c.DaylightCode = -1, c.Time = 0, c.TimeZone = 0.00001, c.Latitude = 123456789;
             c.Longitude = -0.0001;
         },
         "Kovacs,Janos,M,1975.03.7,g,0,1e-05,-1,1.2345679e+08,-0.0001,Budapest,H\r\n"},
        {"rounding to eight digits, NaN and huge values",
         [](AafDatabase& c) {
             c.Time = 23.999999999, c.TimeZone = std::numeric_limits<double>::quiet_NaN();
             c.Latitude = 1e300, c.Longitude = 12345678;
         },
         "Kovacs,Janos,M,1975.03.7,g,24,nan,0,1e+300,12345678,Budapest,H\r\n"},
        {"empty texts keep their fields",
         [](AafDatabase& c) {
             c.ClearRecord();
             c.Gender = '\0';
         },
         ",,*,1900.01.1,g,0,0,0,0,0,,\r\n"},
        {"spaces, asterisks and accented bytes go out as stored",
         [](AafDatabase& c) {
             SetFieldText(c.FirstName, " *\xc1gnes");
             SetFieldText(c.Place, "Sz\xe9kesfeh\xe9rv\xe1r");
             c.Gender = 'E';
         },
         "Kovacs, *\xc1gnes,E,1975.03.7,g,14.5,-1,0,47.5,19.083333,Sz\xe9kesfeh\xe9rv\xe1r,H\r\n"},
        {"a comma would add a field: quoted",
         [](AafDatabase& c) { SetFieldText(c.LastName, "Kovacs, Jr"); },
         "\"Kovacs, Jr\",Janos,M,1975.03.7,g,14.5,-1,0,47.5,19.083333,Budapest,H\r\n"},
        {"inner quotes doubled", [](AafDatabase& c) { SetFieldText(c.FirstName, "\"Jani\" Jr"); },
         "Kovacs,\"\"\"Jani\"\" Jr\",M,1975.03.7,g,14.5,-1,0,47.5,19.083333,Budapest,H\r\n"},
        {"line breaks stay inside the quotes",
         [](AafDatabase& c) {
             SetFieldText(c.Place, "Buda\r\npest");
             SetFieldText(c.Country, "H\n");
             c.Gender = '"';
         },
         "Kovacs,Janos,\"\"\"\",1975.03.7,g,14.5,-1,0,47.5,19.083333,\"Buda\r\npest\",\"H\n\"\r\n"},
    };
    AafDatabase chart;
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.What);
        SetKovacs(chart);
        c.Change(chart);
        ExpectBytes(CsvLine(chart), c.Expected);
    }
}

// The real-number form of printf's %.8g, which std::to_chars gives for every double.
std::string EightDigits(double value) {
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 8);
    return std::string(text, result.ptr);
}

TEST(CsvWriterTest, RealNumbersMatchTheEightDigitFormForEveryKindOfValue) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1e-4,
                                  9.99999995e-5,
                                  0.000099999999,
                                  1e8,
                                  99999999.5,
                                  99999999.4,
                                  16777216.5,
                                  0.5,
                                  1.5e-4,
                                  2.5,
                                  9999999.95,
                                  12345678.5,
                                  1e-5,
                                  1e300,
                                  -1e-300,
                                  0.1,
                                  0.3,
                                  1.0 / 3,
                                  2.0 / 3,
                                  47.5,
                                  -122.41941,
                                  1e7,
                                  1e-3,
                                  123456.785,
                                  0.00012345678,
                                  5e-324,
                                  1.7976931348623157e308};
    // Clock times of every second of a day, degrees of every arc second on a grid, and values
    // spread over magnitudes around and beyond the fixed-notation range.
    for (int second = 0; second < 24 * 3600; second += 7)
        values.push_back(second / 3600.0);
    for (int arc = -180 * 3600; arc <= 180 * 3600; arc += 997)
        values.push_back(arc / 3600.0);
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-7, 10);
    for (int i = 0; i < 50000; ++i) {
        const double value = mantissa(random) * std::pow(10.0, exponent(random));
        values.push_back(i % 2 == 0 ? value : -value);
    }
    AafDatabase chart;
    chart.ClearRecord();
    std::string line;
    int wrong = 0;
    for (const double value : values) {
        chart.Time = value;
        chart.FormatCsvLine(&line);
        const std::size_t start = line.find(",g,") + 3;
        const std::string field = line.substr(start, line.find(',', start) - start);
        if (field != EightDigits(value) && ++wrong <= 5)
            ADD_FAILURE() << "value " << EightDigits(value) << " written as " << field;
    }
    EXPECT_EQ(wrong, 0);
}

TEST(CsvWriterTest, FormatReplacesTheStringAndRefusesNone) {
    AafDatabase chart;
    SetKovacs(chart);
    std::string line(5000, 'x');
    EXPECT_EQ(chart.FormatCsvLine(&line), &line);
    EXPECT_EQ(line, "Kovacs,Janos,M,1975.03.7,g,14.5,-1,0,47.5,19.083333,Budapest,H\r\n");
    EXPECT_EQ(chart.FormatCsvLine(nullptr), nullptr);
}

// The lines the database's records give, walked as the writer walks them.
std::string ExpectedFile(AafDatabase& db) {
    std::string all;
    std::string line;
    db.FirstRecord();
    do {
        db.ParseRecord();
        all += *db.FormatCsvLine(&line);
    } while (db.NextRecord());
    return all;
}

TEST(CsvWriterTest, SavesEveryRecordInOrderAcrossManyBlocks) {
    TempDir dir;
    AafDatabase db;
    // Lines of about 800 bytes: several write blocks, and a last block that is not full.
    for (int i = 0; i < 2000; ++i) {
        SetKovacs(db);
        SetFieldText(db.LastName, std::string(250, static_cast<char>('a' + i % 26)));
        SetFieldText(db.Place, std::string(250, 'p') + std::to_string(i));
        db.Day = 1 + i % 28;
        ASSERT_TRUE(db.AppendRecord());
    }
    const std::string path = dir.File("charts.csv");
    test::WriteFile(path, std::string(3'000'000, 'z'));  // an older, longer file is replaced
    ASSERT_TRUE(db.SaveCsvFile(path));
    const std::string written = test::ReadFile(path);
    EXPECT_GT(written.size(), 1'000'000u);
    ExpectBytes(written, ExpectedFile(db));
}

// Large files are formed a stretch at a time on two threads; the stretches must join up to
// exactly the walk of the whole text, wherever their edges fall among damaged records.
TEST(CsvWriterTest, LargeDamagedFilesGiveTheLinesOfAWalkInOrder) {
    TempDir dir;
    const std::string input = dir.File("damaged.aaf");
    test::WriteFile(input, test::MixedAafText(3'000'000, 20261208));
    AafDatabase db;
    ASSERT_TRUE(db.LoadFromFile(input));
    const std::string path = dir.File("damaged.csv");
    ASSERT_TRUE(db.SaveCsvFile(path));
    // The database ends on its last record, as a walk does.
    const std::string lastLine = CsvLine(db);
    EXPECT_FALSE(db.NextRecord());
    ExpectBytes(test::ReadFile(path), ExpectedFile(db));
    EXPECT_EQ(lastLine, CsvLine(db));
}

TEST(CsvWriterTest, FailsWithoutRecordsPathOrRoom) {
    TempDir dir;
    AafDatabase db;
    const std::string path = dir.File("empty.csv");
    EXPECT_FALSE(db.SaveCsvFile(path));
    EXPECT_FALSE(std::filesystem::exists(path));

    SetKovacs(db);
    ASSERT_TRUE(db.AppendRecord());
    EXPECT_FALSE(db.SaveCsvFile(""));
    EXPECT_FALSE(db.SaveCsvFile(dir.File("missing/charts.csv")));
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(db.SaveCsvFile("/dev/full"));
        // Also when a second thread is forming stretches ahead of the failed write.
        SetFieldText(db.Place, std::string(250, 'p'));
        while (db.Text().size() < 4'000'000)
            ASSERT_TRUE(db.AppendRecord());
        EXPECT_FALSE(db.SaveCsvFile("/dev/full"));
    }
}

std::vector<std::string> TextsOf(const AafDatabase& chart) {
    return {std::string(FieldText(chart.LastName)), std::string(FieldText(chart.FirstName)),
            std::string(FieldText(chart.Place)), std::string(FieldText(chart.Country))};
}

TEST(CsvWriterTest, SpreadsheetReadersFindTwelveFieldsWithTheOriginalTexts) {
    if (!test::PythonHasModule("csv"))
        GTEST_SKIP() << "python3 with its csv module is not available";
    const char* const texts[] = {"Kovacs, Jr",     "\"Jani\"",   "O\"Neil",
                                 "Buda\r\npest",   "line\nfeed", "carriage\r",
                                 "\xc1rp\xe1\xe8", ",\",\r\n",   ""};
    TempDir dir;
    AafDatabase db;
    // Records formed directly, each text in each place, and the same records saved through
    // the database, which may change what its own format can't hold.
    std::string direct;
    std::vector<std::vector<std::string>> directTexts;
    std::string line;
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        SetKovacs(db);
        SetFieldText(db.LastName, texts[i]);
        SetFieldText(db.FirstName, texts[(i + 1) % std::size(texts)]);
        SetFieldText(db.Place, texts[(i + 2) % std::size(texts)]);
        SetFieldText(db.Country, texts[(i + 3) % std::size(texts)]);
        db.Gender = i % 2 == 0 ? '"' : ',';
        direct += *db.FormatCsvLine(&line);
        directTexts.push_back(TextsOf(db));
        ASSERT_TRUE(db.AppendRecord());
    }
    const std::string directPath = dir.File("direct.csv");
    test::WriteFile(directPath, direct);
    const std::string savedPath = dir.File("saved.csv");
    ASSERT_TRUE(db.SaveCsvFile(savedPath));
    std::vector<std::vector<std::string>> savedTexts;
    db.FirstRecord();
    do {
        db.ParseRecord();
        savedTexts.push_back(TextsOf(db));
    } while (db.NextRecord());

    for (const auto& [path, expected] :
         {std::pair{directPath, directTexts}, std::pair{savedPath, savedTexts}}) {
        SCOPED_TRACE(path);
        const auto rows = test::ReadCsvWithPython(path);
        ASSERT_EQ(rows.size(), expected.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(rows[i].size(), 12u);
            EXPECT_EQ(rows[i][0], expected[i][0]);
            EXPECT_EQ(rows[i][1], expected[i][1]);
            EXPECT_EQ(rows[i][10], expected[i][2]);
            EXPECT_EQ(rows[i][11], expected[i][3]);
        }
    }
}

}  // namespace
}  // namespace tervalo
