// Tests of QCK reading: loading, walking lines, the fixed columns and their bounding, appending.
#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "formats/AafDatabase.h"
#include "formats/QckDatabase.h"

namespace tervalo {
namespace {

// Columns as this program writes them: 101 of them and CR LF.
constexpr std::string_view kAnna =
    "Sample,Anna            MAR 07, 196102:30:00 PM    -01:00019E03'00 47N30'00 Budapest,H     "
    "           \r\n";
constexpr std::string_view kBen =
    "Sample,Ben             NOV 23, 189000:15:00 AM    +05:00074W00'22 40N42'51 New York,USNY  "
    "           \r\n";
static_assert(kAnna.size() == kQckLineLength + 2 && kBen.size() == kQckLineLength + 2);

class QckRead : public ::testing::Test {
protected:
    // Loads `text` as a file; the test fails when the load does.
    void Load(std::string_view text) {
        const std::string path = Folder.File("input.qck");
        test::WriteFile(path, text);
        ASSERT_TRUE(Db.LoadFromFile(path));
    }
    std::size_t CountLines() {
        std::size_t lines = 1;
        while (Db.NextRecord())
            ++lines;
        return lines;
    }

    test::TempDir Folder;
    QckDatabase Db;
};

TEST_F(QckRead, ReadsTheExampleLines) {
    Load(std::string(kAnna) + std::string(kBen));
    Db.Gender = 'F';
    Db.DaylightCode = -1;
    Db.LeadValue = 3;
    Db.ParseRecord();
    EXPECT_STREQ(Db.LastName, "Sample");
    EXPECT_STREQ(Db.FirstName, "Anna");
    EXPECT_EQ(Db.Month, 3);
    EXPECT_EQ(Db.Day, 7);
    EXPECT_EQ(Db.Year, 1961);
    EXPECT_TRUE(Db.Gregorian);
    EXPECT_DOUBLE_EQ(Db.Time, 14.5);
    EXPECT_DOUBLE_EQ(Db.TimeZone, -1);
    EXPECT_DOUBLE_EQ(Db.Longitude, 19.05);
    EXPECT_DOUBLE_EQ(Db.Latitude, 47.5);
    EXPECT_STREQ(Db.Place, "Budapest");
    EXPECT_STREQ(Db.Country, "H");
    EXPECT_EQ(Db.Gender, 'M');
    EXPECT_EQ(Db.DaylightCode, 0);
    EXPECT_EQ(Db.LeadValue, 0);

    ASSERT_TRUE(Db.NextRecord());
    Db.ParseRecord();
    EXPECT_EQ(Db.Month, 11);
    EXPECT_DOUBLE_EQ(Db.Time, 0.25);
    EXPECT_DOUBLE_EQ(Db.TimeZone, 5);
    EXPECT_NEAR(Db.Longitude, -(74 + 22.0 / 3600), 1e-12);
    EXPECT_STREQ(Db.Country, "USNY");
    EXPECT_FALSE(Db.NextRecord());
}

// Anna's line with a few columns replaced, and the one value they give.
TEST_F(QckRead, BoundsAndDecodesEachColumn) {
    struct Case {
        std::size_t column;
        std::string_view patch;
        double (*value)(const QckDatabase&);
        double expected;
    };
    auto time = [](const QckDatabase& d) { return d.Time; };
    auto month = [](const QckDatabase& d) { return double(d.Month); };
    auto day = [](const QckDatabase& d) { return double(d.Day); };
    auto year = [](const QckDatabase& d) { return double(d.Year); };
    auto gregorian = [](const QckDatabase& d) { return double(d.Gregorian); };
    auto zone = [](const QckDatabase& d) { return d.TimeZone; };
    auto longitude = [](const QckDatabase& d) { return d.Longitude; };
    auto latitude = [](const QckDatabase& d) { return d.Latitude; };
    const Case cases[] = {
        // The 12-hour dial: noon and midnight as others write them and as this program does.
        {35, "12:15:00 PM", time, 12.25},
        {35, "12:15:00 AM", time, 0.25},
        {35, "00:15:00 PM", time, 12.25},
        {35, "00:15:00 AM", time, 0.25},
        {35, "11:59:59 PM", time, 23 + 3599.0 / 3600},
        {35, "13:00:00 AM", time, 11},
        {35, "13:00:00 PM", time, 23},
        {35, "02:75:75 AM", time, 2 + 59.0 / 60 + 59.0 / 3600},
        {35, "02:30:00 pM", time, 2.5},
        // Numbers padded with spaces, as other programs write them; other bytes count as their
        // code minus 48.
        {27, " 5", day, 5},
        {27, "/5", day, -5},
        {35, " 7:05:09 AM", time, 7 + 5 / 60.0 + 9 / 3600.0},
        {35, "10: 5: 9 PM", time, 22 + 5 / 60.0 + 9 / 3600.0},
        // Month names in any case.
        {23, "jan", month, 1},
        {23, "Mar", month, 3},
        {23, "dEc", month, 12},
        {23, "XYZ", month, 1},
        {23, "DEC", month, 12},
        // A "-" anywhere in the year makes it negative and counts as 0.
        {30, "-0044", year, -44},
        {30, "-0044", gregorian, 0},
        {30, " 1582", gregorian, 0},
        {30, " 1583", gregorian, 1},
        {30, "  800", year, 800},
        {30, "  800", gregorian, 0},
        {30, "    9", year, 9},
        {30, "  -43", year, -43},
        {30, "   -1", year, -1},
        {30, "-  43", year, -43},
        {30, " 19-6", year, -1906},
        {30, "     ", year, 0},
        {30, "-    ", year, 0},
        {30, " 1:61", year, 2061},
        // Zones up to 14 hours stand; larger ones are held at 14.
        {50, "+13:75", zone, 13 + 59.0 / 60},
        {50, "-13:00", zone, -13},
        {50, "-14:00", zone, -14},
        {50, "+15:30", zone, 14.5},
        {50, "+99:00", zone, 14},
        {50, "-12:30", zone, -12.5},
        {50, "+ 5: 0", zone, 5},
        {56, "  5W 7' 3", longitude, -(5 + 7 / 60.0 + 3 / 3600.0)},
        {66, " 5S 7' 3", latitude, -(5 + 7 / 60.0 + 3 / 3600.0)},
        {56, "181E00'00", longitude, 179},
        {56, "180W00'00", longitude, -180},
        {56, "010W30'90", longitude, -(10.5 + 59.0 / 3600)},
        {66, "91N00'00", latitude, 89},
        {66, "90S00'00", latitude, -90},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.column) + " " + std::string(c.patch));
        std::string line(kAnna);
        line.replace(c.column, c.patch.size(), c.patch);
        Load(line + line);
        Db.ParseRecord();
        EXPECT_NEAR(c.value(Db), c.expected, 1e-9);
    }
}

TEST_F(QckRead, SplitsNamesAndPlacesAtTheirCommas) {
    struct Case {
        std::string_view name;   // columns 0-22
        std::string_view place;  // from column 75 to the line end
        const char* lastName;
        const char* firstName;
        const char* placeName;
        const char* country;
    };
    const Case cases[] = {
        {"A,B,C", "Budapest,H          ", "A", "C", "Budapest", "H"},
        {"", "Budapest            ", " ", "", "Budapest", ""},
        {"Nocomma", "A,B,C", "Nocomma", "", "A", "C"},
        {",Solo", "Gy\xF5r ,  ", "", "Solo", "Gy\xF5r ", ""},
        {"Kov\xE1"
         "cs,J\xE1nos",
         "  ",
         "Kov\xE1"
         "cs",
         "J\xE1nos", "", ""},
        {"Ab,Cd", "Ny\xEDregyh\xE1za,H\tjunk", "Ab", "Cd", "Ny\xEDregyh\xE1za", "H"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name));
        std::string line(kAnna.substr(0, 75));
        line.replace(0, 23, std::string(c.name) + std::string(23 - c.name.size(), ' '));
        line += std::string(c.place) + "\r\n";
        Load(line + line);
        Db.ParseRecord();
        EXPECT_STREQ(Db.LastName, c.lastName);
        EXPECT_STREQ(Db.FirstName, c.firstName);
        EXPECT_STREQ(Db.Place, c.placeName);
        EXPECT_STREQ(Db.Country, c.country);
    }
}

TEST_F(QckRead, KeepsAVeryLongPlaceInsideItsField) {
    std::string line(kAnna.substr(0, 75));
    line += std::string(400, 'p') + "," + std::string(300, 'c') + "\r\n";
    Load(line);
    Db.ParseRecord();
    EXPECT_EQ(FieldText(Db.Place), std::string(kMaxTextLength, 'p'));
    EXPECT_EQ(FieldText(Db.Country), std::string(kMaxTextLength, 'c'));
}

// A short or damaged line reads spaces past its end, never the next chart's columns.
TEST_F(QckRead, ShortLineDoesNotBorrowFromTheNextLine) {
    Load("Kurz,Karl\r\n" + std::string(kAnna));
    Db.ParseRecord();
    EXPECT_STREQ(Db.LastName, "Kurz");
    EXPECT_STREQ(Db.FirstName, "Karl");
    EXPECT_EQ(Db.Month, 1);
    EXPECT_EQ(Db.Day, 0);
    EXPECT_EQ(Db.Year, 0);
    EXPECT_STREQ(Db.Place, "");
    EXPECT_STREQ(Db.Country, "");
    ASSERT_TRUE(Db.NextRecord());
    Db.ParseRecord();
    EXPECT_EQ(Db.Year, 1961);

    // A last line without its line end is read as far as it goes.
    Load(std::string(kAnna) + "Sample,Ben             NOV 23");
    ASSERT_TRUE(Db.NextRecord());
    Db.ParseRecord();
    EXPECT_EQ(Db.Month, 11);
    EXPECT_EQ(Db.Day, 23);
    EXPECT_EQ(Db.Year, 0);
}

TEST_F(QckRead, WalksLinesByTheirEnds) {
    struct Case {
        const char* name;
        std::string text;
        std::size_t lines;
    };
    const std::string anna(kAnna);
    const std::string annaLf = anna.substr(0, kQckLineLength) + "\n";
    const std::string annaCr = anna.substr(0, kQckLineLength) + "\r";
    const Case cases[] = {
        {"CR LF", anna + anna + anna, 3},
        {"LF only", annaLf + annaLf, 2},
        {"CR only is one line", annaCr + annaCr + annaCr, 1},
        {"trailing empty lines", anna + anna + "\r\n\r\n\r\n", 2},
        {"no final line end", anna + anna.substr(0, 40), 2},
        {"accented letters are no line ends",
         "\xC1rp\xE1"
         "d,\xC9va" +
             anna.substr(10) + anna,
         2},
        {"a control byte ends a line", anna.substr(0, 50) + "\x01" + anna.substr(51), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load(c.text);
        EXPECT_EQ(CountLines(), c.lines);
        EXPECT_FALSE(Db.NextRecord());
    }
}

std::size_t FormQck(AafRecord& record, char* out) {
    return QckDatabase::FormatLine(record, out);
}

// Large texts are parsed and written a stretch at a time on two threads; the texts must come
// out as a plain walk writes them, wherever the stretches' edges fall among lines of every
// length and ending.
TEST_F(QckRead, FormRecordsGivesTheTextsOfAPlainWalkInOrder) {
    const std::string anna(kAnna);
    const std::string shapes[] = {
        anna,
        std::string(kBen),
        anna.substr(0, kQckLineLength) + "\n",
        anna.substr(0, 40) + "\r\n",                  // short
        "\r\n",                                       // empty
        anna.substr(0, 50) + "\t" + anna.substr(51),  // a control byte ends a line
        anna.substr(0, kQckLineLength) + "\r",        // a CR alone ends none
    };
    const struct {
        const char* Name;
        ChartTextWriter Form;
    } forms[] = {{"aaf", &AafDatabase::FormatRecordText}, {"qck", &FormQck}};
    for (const std::size_t size : {std::size_t{20000}, std::size_t{3'000'000}}) {
        std::string text;
        for (unsigned i = 0; text.size() < size; i = i * 7 + 3)
            text += shapes[i % std::size(shapes)];
        text += anna;
        for (const auto& [name, form] : forms) {
            Load(text);
            std::vector<std::string> expected;
            std::string lastParsed;
            do {
                Db.ParseRecord();
                AafRecord record;
                static_cast<ChartRecord&>(record) = Db;
                char out[kChartTextSize];
                expected.emplace_back(out, form(record, out));
                QckDatabase copy;
                static_cast<ChartRecord&>(copy) = Db;
                char line[kQckFormatSize];
                lastParsed = copy.FormatRecord(line);
            } while (Db.NextRecord());
            const std::size_t lastCursor = Db.Cursor();
            ASSERT_GT(expected.size(), 10u);

            for (const WalkedText walked : {WalkedText::Kept, WalkedText::Released}) {
                SCOPED_TRACE(testing::Message()
                             << name << " " << size << " " << (walked == WalkedText::Kept));
                Load(text);
                std::vector<std::string> taken;
                EXPECT_TRUE(Db.ConvertRecords(
                    form,
                    [&](std::string_view formed) {
                        taken.emplace_back(formed);
                        return true;
                    },
                    walked));
                ASSERT_EQ(taken.size(), expected.size());
                for (std::size_t i = 0; i < expected.size(); ++i)
                    ASSERT_EQ(taken[i], expected[i]) << "record " << i;
                char line[kQckFormatSize];
                EXPECT_EQ(std::string(Db.FormatRecord(line)), lastParsed);
                if (walked == WalkedText::Kept) {
                    EXPECT_EQ(Db.Cursor(), lastCursor);
                    EXPECT_FALSE(Db.NextRecord());
                } else {
                    EXPECT_FALSE(Db.HasCurrentRecord());
                    EXPECT_TRUE(Db.Text().empty());
                }
            }
        }
    }
}

TEST_F(QckRead, FormRecordsStopsWhereTakeSays) {
    std::string text;
    while (text.size() < 3'000'000)
        text += std::string(kAnna) + std::string(kBen);
    Load(text);
    for (const std::size_t stop : {std::size_t{1}, std::size_t{2000}, std::size_t{20001}}) {
        SCOPED_TRACE(stop);
        Load(text);
        std::size_t count = 0;
        EXPECT_FALSE(Db.ConvertRecords(&FormQck, [&](std::string_view) { return ++count < stop; }));
        EXPECT_EQ(count, stop);
        EXPECT_EQ(Db.Cursor(), (stop - 1) * kAnna.size());
        EXPECT_EQ(std::string(FieldText(Db.FirstName)), stop % 2 == 1 ? "Anna" : "Ben");
    }
}

TEST_F(QckRead, LoadCutsTrailingEmptyLinesAndRefusesTinyFiles) {
    Load(std::string(kAnna) + "\r\n\r\n\r\n");
    ExpectBytes(Db.Text(), kAnna);
    EXPECT_EQ(Db.Cursor(), 0u);

    const std::string tiny = Folder.File("tiny.qck");
    test::WriteFile(tiny, "0123456789abcde");  // 15 bytes
    EXPECT_FALSE(Db.LoadFromFile(tiny));
    EXPECT_EQ(Db.LastLoadFailure(), LoadFailure::ShortOrTiny);
    EXPECT_FALSE(Db.HasCurrentRecord());
    EXPECT_TRUE(Db.Text().empty());
    Db.ParseRecord();  // no current line: nothing happens
    EXPECT_FALSE(Db.NextRecord());

    test::WriteFile(tiny, "0123456789abcdef");  // 16 bytes
    EXPECT_TRUE(Db.LoadFromFile(tiny));

    // A missing file leaves the loaded text in place.
    EXPECT_FALSE(Db.LoadFromFile(Folder.File("missing.qck")));
    EXPECT_EQ(Db.LastLoadFailure(), LoadFailure::NotOpened);
    ExpectBytes(Db.Text(), "0123456789abcdef");
    EXPECT_FALSE(Db.LoadFromFile(""));
    EXPECT_EQ(Db.LastLoadFailure(), LoadFailure::NoPath);
}

// Every prefix of a valid text loads and walks; the sanitizer build catches any overread.
TEST_F(QckRead, EveryPrefixOfAValidTextIsWalkedSafely) {
    // Another program's line: padded numbers, a right-aligned negative year, a zone name.
    const std::string text = std::string(kAnna) + "Kurz\n" + std::string(kBen) +
                             "Julius Caesar          Mar 15,  -4311:00:00 AM CET-01:00012E29'00 "
                             "41N54'00 Roma, Italia              \n";
    char line[kQckFormatSize];
    for (std::size_t size = 0; size <= text.size(); ++size) {
        const std::string path = Folder.File("prefix.qck");
        test::WriteFile(path, std::string_view(text).substr(0, size));
        if (!Db.LoadFromFile(path)) {
            EXPECT_LT(size, 16u);
            continue;
        }
        std::size_t lines = 0;
        do {
            Db.ParseRecord();
            ASSERT_EQ(Db.FormatRecord(line), line);
            ASSERT_LT(++lines, 5u);
        } while (Db.NextRecord());
    }
}

TEST_F(QckRead, AppendGrowsByPagesWhenLittleRoomIsLeft) {
    QckDatabase output;
    EXPECT_FALSE(output.HasCurrentRecord());
    // Each line takes 103 bytes; after 2506 lines, fewer than 4096 bytes of 262144 remain free.
    for (int i = 0; i < 2506; ++i)
        ASSERT_TRUE(output.AppendRecord());
    EXPECT_EQ(output.Capacity(), 262144);
    EXPECT_EQ(output.Cursor(), 0u);
    ASSERT_TRUE(output.AppendRecord());
    EXPECT_EQ(output.Capacity(), (2506 * 103 + 65536) / 4096 * 4096);
    EXPECT_EQ(output.Text().size(), 2507u * 103);

    // A text that does not end in a line feed gets one before the new line.
    Load(std::string(kAnna) + "Kurz,Karl");
    Db.AppendRecord();
    EXPECT_EQ(Db.Text().substr(kAnna.size(), 11), "Kurz,Karl\r\n");
    EXPECT_EQ(Db.Text().size(), kAnna.size() + 11 + 103);
}

TEST_F(QckRead, SavesTheCollectedText) {
    QckDatabase output;
    const std::string path = Folder.File("out.qck");
    EXPECT_FALSE(output.SaveToFile(path));
    EXPECT_FALSE(std::filesystem::exists(path));

    Load(std::string(kAnna) + std::string(kBen));
    do {
        Db.ParseRecord();
        CopyCommonFields(Db, output);
        ASSERT_TRUE(output.AppendRecord());
    } while (Db.NextRecord());
    EXPECT_FALSE(output.SaveToFile(""));
    ASSERT_TRUE(output.SaveToFile(path));
    ExpectBytes(test::ReadFile(path), std::string(kAnna) + std::string(kBen));
}

}  // namespace
}  // namespace tervalo
