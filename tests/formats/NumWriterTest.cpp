// NUM output: the line of a chart, its date, name, type and notes rules, and whole files.
#include "formats/AafDatabase.h"

#include <filesystem>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace tervalo {
namespace {

using test::TempDir;

using test::SetKovacs;

std::string NumLine(AafDatabase& chart) {
    std::string line;
    chart.FormatNumLine(&line);
    return line;
}

TEST(NumWriterTest, FormsTheFiveFieldsOfAChart) {
    AafDatabase chart;
    SetKovacs(chart);
    SetFieldText(chart.Notes, "Rising, Leo");
    ExpectBytes(NumLine(chart),
                "1975.03.07,"        // date, all parts padded
                "Janos Kovacs,"      // given name first
                "1,"                 // chart type: a person of the common era
                "F,"                 // gender letter: a man
                "Rising; Leo\r\n");  // notes, the comma kept out of the field list
}

struct LineCase {
    const char* What;
    void (*Change)(AafDatabase&);
    const char* Expected;
};

TEST(NumWriterTest, WritesDatesNamesTypesAndNotesByTheirRules) {
    const LineCase cases[] = {
        {"three-digit year", [](AafDatabase& c) { c.Year = 975, c.Month = 12, c.Day = 31; },
         "0975.12.31,Janos Kovacs,1,F,\r\n"},
        {"year before the era", [](AafDatabase& c) { c.Year = -44, c.Gender = 'F'; },
         "0044.03.07,Janos Kovacs,3,N,\r\n"},
        {"no date", [](AafDatabase& c) { c.Year = 0, c.Month = 0, c.Day = 0; },
         "0001.01.01,Janos Kovacs,1,F,\r\n"},
        {"years beyond four digits held at the bound",
         [](AafDatabase& c) { c.Year = std::numeric_limits<std::int32_t>::min(); },
         "9999.03.07,Janos Kovacs,3,F,\r\n"},
        {"event before the era", [](AafDatabase& c) { c.Year = -44, c.Gender = 'E'; },
         "0044.03.07,Janos Kovacs,2,,\r\n"},
        {"gender not given", [](AafDatabase& c) { c.Gender = '*'; },
         "1975.03.07,Janos Kovacs,1,,\r\n"},
        {"lower-case man", [](AafDatabase& c) { c.Gender = 'm'; },
         "1975.03.07,Janos Kovacs,1,F,\r\n"},
        {"lower-case woman", [](AafDatabase& c) { c.Gender = 'f'; },
         "1975.03.07,Janos Kovacs,1,N,\r\n"},
        {"lower-case event before the era", [](AafDatabase& c) { c.Year = -44, c.Gender = 'e'; },
         "0044.03.07,Janos Kovacs,2,,\r\n"},
        {"other letters are no gender", [](AafDatabase& c) { c.Gender = 'x'; },
         "1975.03.07,Janos Kovacs,1,,\r\n"},
        {"no given name", [](AafDatabase& c) { SetFieldText(c.FirstName, ""); },
         "1975.03.07,Kovacs,1,F,\r\n"},
        {"given name of spaces and asterisks",
         [](AafDatabase& c) { SetFieldText(c.FirstName, " * *"); }, "1975.03.07, Kovacs,1,F,\r\n"},
        {"given name behind spaces and asterisks, accented",
         [](AafDatabase& c) { SetFieldText(c.FirstName, " *\xc1gnes *"); },
         "1975.03.07,\xc1gnes * Kovacs,1,F,\r\n"},
        {"line breaks inside names",
         [](AafDatabase& c) {
             SetFieldText(c.FirstName, "Ja\r\nnos");
             SetFieldText(c.LastName, "Ko\rva\ncs");
         },
         "1975.03.07,Ja  nos Ko va cs,1,F,\r\n"},
        {"every kind of line break in the notes",
         [](AafDatabase& c) { SetFieldText(c.Notes, "a\r\nb\rc\nd\r\r\ne\n\r"); },
         "1975.03.07,Janos Kovacs,1,F,a\vb\vc\vd\v\ve\v\v\r\n"},
    };
    AafDatabase chart;
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.What);
        SetKovacs(chart);
        c.Change(chart);
        ExpectBytes(NumLine(chart), c.Expected);
    }
}

TEST(NumWriterTest, FormatReplacesTheStringAndRefusesNone) {
    AafDatabase chart;
    SetKovacs(chart);
    SetFieldText(chart.Notes, std::string(kMaxNotesLength, 'n'));
    std::string line = "previous line";
    EXPECT_EQ(chart.FormatNumLine(&line), &line);
    EXPECT_EQ(line, "1975.03.07,Janos Kovacs,1,F," + std::string(kMaxNotesLength, 'n') + "\r\n");
    EXPECT_EQ(chart.FormatNumLine(nullptr), nullptr);
}

TEST(NumWriterTest, SavesEveryRecordInOrderAcrossManyBlocks) {
    TempDir dir;
    AafDatabase db;
    // Lines of about 4 KiB: several write blocks, and a last block that is not full.
    for (int i = 0; i < 300; ++i) {
        SetKovacs(db);
        SetFieldText(db.Notes, "#" + std::to_string(i) + std::string(4000, 'n') + "\r\nend");
        db.Day = 1 + i % 28;
        ASSERT_TRUE(db.AppendRecord());
    }
    const std::string path = dir.File("charts.num");
    ASSERT_TRUE(db.SaveNumFile(path));

    std::string expected;
    std::string line;
    db.FirstRecord();
    do {
        db.ParseRecord();
        expected += *db.FormatNumLine(&line);
    } while (db.NextRecord());
    const std::string written = test::ReadFile(path);
    EXPECT_GT(written.size(), 1'000'000u);
    ExpectBytes(written, expected);
    EXPECT_EQ(written.substr(0, 30), "1975.03.01,Janos Kovacs,1,F,#0");
    EXPECT_EQ(written.substr(written.size() - 6), "\vend\r\n");
}

TEST(NumWriterTest, FailsWithoutRecordsPathOrRoom) {
    TempDir dir;
    AafDatabase db;
    const std::string path = dir.File("empty.num");
    EXPECT_FALSE(db.SaveNumFile(path));
    EXPECT_FALSE(std::filesystem::exists(path));

    SetKovacs(db);
    ASSERT_TRUE(db.AppendRecord());
    EXPECT_FALSE(db.SaveNumFile(""));
    EXPECT_FALSE(db.SaveNumFile(dir.File("missing/charts.num")));
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(db.SaveNumFile("/dev/full"));
    }
    ASSERT_TRUE(db.SaveNumFile(path));
    ExpectBytes(test::ReadFile(path), "1975.03.07,Janos Kovacs,1,F,\r\n");
}

}  // namespace
}  // namespace tervalo
