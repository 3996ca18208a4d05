// Tests of ReadPlacidusChart on headers built byte by byte.
#include "formats/PlacidusReader.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "CorrectionsText.h"
#include "TestSupport.h"
#include "formats/AafDatabase.h"
#include "formats/QckDatabase.h"

namespace tervalo {
namespace {

using test::TempDir;

// A valid 200-byte header: the identifying text and zeros, with setters by offset.
struct PlacidusFile {
    std::string Bytes = std::string("PLACIDUS v4.0 Horoscope File") + std::string(172, '\0');

    PlacidusFile& Set(std::size_t offset, unsigned value) {
        Bytes[offset] = static_cast<char>(value);
        return *this;
    }
    PlacidusFile& Text(std::size_t offset, std::string_view text) {
        Bytes.replace(offset, text.size(), text);
        return *this;
    }
};

class PlacidusChartTest : public ::testing::Test {
protected:
    TempDir Dir;
    AafDatabase Aaf;
    QckDatabase Qck;
    int Files = 0;

    std::string Write(std::string_view bytes) {
        const std::string path = Dir.File("chart" + std::to_string(++Files) + ".hor");
        test::WriteFile(path, bytes);
        return path;
    }
    bool ReadAaf(const PlacidusFile& file) { return ReadPlacidusChart(Write(file.Bytes), Aaf); }
    bool ReadQck(const PlacidusFile& file) { return ReadPlacidusChart(Write(file.Bytes), Qck); }

    // Fills the record with values that no header here decodes to.
    static void Stain(ChartRecord& record) {
        SetFieldText(record.LastName, "stain");
        SetFieldText(record.FirstName, "stain");
        SetFieldText(record.Place, "stain");
        SetFieldText(record.Country, "stain");
        record.Time = record.Latitude = record.Longitude = record.TimeZone = 77.0;
        record.LeadValue = 77.0;
        record.DaylightCode = record.Year = record.Month = record.Day = 77;
        record.Gregorian = false;
        record.Gender = '#';
    }
    static void ExpectStained(const ChartRecord& record) {
        EXPECT_EQ(FieldText(record.LastName), "stain");
        EXPECT_EQ(FieldText(record.Country), "stain");
        EXPECT_EQ(record.Time, 77.0);
        EXPECT_EQ(record.LeadValue, 77.0);
        EXPECT_EQ(record.Year, 77);
        EXPECT_FALSE(record.Gregorian);
        EXPECT_EQ(record.Gender, '#');
    }
};

TEST_F(PlacidusChartTest, AcceptsOnlyWholeHeadersWithTheExactIdentifyingText) {
    struct Case {
        std::string Bytes;
        bool Accepted;
    };
    const std::string valid = PlacidusFile{}.Bytes;
    const Case cases[] = {
        {valid, true},
        {valid.substr(0, 199), false},
        {valid + std::string(500, '\xFF'), true},  // longer files are read up to byte 199
        {"placidus" + valid.substr(8), false},
        {"PLACIDUS V4.0" + valid.substr(13), false},
        {"PLACIDUS v4.0 horoscope File" + valid.substr(28), false},
        {"PLACIDUS v4.0 Horoscope FilE" + valid.substr(28), false},
        {"PLACIDUS v4.0 Horoscope File\xFF\xFF\xFF\xFF" + valid.substr(32), true},
        {"PLACIDUS v4.0 Horoscope FileXYZ\x01" + valid.substr(32), true},
        {"PLACIDUS v4.0\0Horoscope File" + valid.substr(28), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(test::Printable(c.Bytes.substr(0, 32)) + " size " +
                     std::to_string(c.Bytes.size()));
        Stain(Aaf);
        EXPECT_EQ(ReadPlacidusChart(Write(c.Bytes), Aaf), c.Accepted);
        if (!c.Accepted) ExpectStained(Aaf);
    }
}

TEST_F(PlacidusChartTest, EveryCutOfAValidHeaderIsRefusedUntouched) {
    const std::string valid =
        PlacidusFile{}.Text(32, "Kiss Anna").Text(143, "Eger, Hungary").Set(129, 0xD0).Bytes;
    const std::string path = Dir.File("cut.hor");
    for (std::size_t size = 0; size < valid.size(); ++size) {
        test::WriteFile(path, valid.substr(0, size));
        Stain(Qck);
        ASSERT_FALSE(ReadPlacidusChart(path, Qck)) << size;
        ExpectStained(Qck);
    }
    test::WriteFile(path, valid);
    EXPECT_TRUE(ReadPlacidusChart(path, Qck));
    EXPECT_EQ(FieldText(Qck.FirstName), "Anna");
}

TEST_F(PlacidusChartTest, UnreadablePathsLeaveTheRecordUntouched) {
    const std::filesystem::path folder = Dir.Path() / "folder.hor";
    std::filesystem::create_directory(folder);
    for (const std::string& path : {Dir.File("missing.hor"), folder.string(), std::string()}) {
        Stain(Aaf);
        Stain(Qck);
        EXPECT_FALSE(ReadPlacidusChart(path, Aaf)) << path;
        EXPECT_FALSE(ReadPlacidusChart(path, Qck)) << path;
        ExpectStained(Aaf);
        ExpectStained(Qck);
    }
}

TEST_F(PlacidusChartTest, MorinusChartFilesSharingTheExtensionAreRefused) {
    const std::filesystem::path samples = test::SamplesDir();
    const std::filesystem::path first = samples / "morinus-Morinus.hor";
    REQUIRE_SAMPLE(first);
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(samples)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("morinus-", 0) != 0) continue;
        ++seen;
        Stain(Aaf);
        EXPECT_FALSE(ReadPlacidusChart(entry.path().string(), Aaf)) << name;
        ExpectStained(Aaf);
    }
    EXPECT_GE(seen, 1);
}

TEST_F(PlacidusChartTest, AcceptedHeaderClearsWhatItDoesNotDecode) {
    Stain(Aaf);
    SetFieldText(Aaf.Notes, "old notes");
    ASSERT_TRUE(ReadAaf(PlacidusFile{}));
    EXPECT_EQ(Aaf.LeadValue, 0.0);
    EXPECT_EQ(FieldText(Aaf.Notes), "");
    EXPECT_EQ(FieldText(Aaf.FirstName), "");
    EXPECT_EQ(FieldText(Aaf.Country), "");
    // An all-zero chart: Julian calendar, year 0, universal time, an event.
    EXPECT_FALSE(Aaf.Gregorian);
    EXPECT_EQ(Aaf.Year, 0);
    EXPECT_EQ(Aaf.Gender, 'E');
    EXPECT_FALSE(std::signbit(Aaf.TimeZone));
    EXPECT_FALSE(std::signbit(Aaf.Longitude));
}

TEST_F(PlacidusChartTest, SecondsCodeDiffersBetweenAafAndQckRecords) {
    struct Case {
        unsigned Code;
        unsigned Marker;
        int AafSeconds;
        int QckSeconds;
    };
    const Case cases[] = {
        {72, 0x40, 40, 40}, {73, 0x40, 48, 41},    {80, 0x40, 57, 50},
        {83, 0x40, 60, 53}, {255, 0x40, 515, 508}, {0, 0x40, 0, 0},
        {255, 0x00, 0, 0},  {83, 0x41, 0, 0},      {83, '@' + 0x80, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("code " + std::to_string(c.Code) + " marker " + std::to_string(c.Marker));
        const PlacidusFile file =
            PlacidusFile{}.Set(133, 10).Set(134, 20).Set(141, c.Code).Set(142, c.Marker);
        ASSERT_TRUE(ReadAaf(file));
        ASSERT_TRUE(ReadQck(file));
        EXPECT_NEAR(Aaf.Time, 10 + 20 / 60.0 + c.AafSeconds / 3600.0, 1e-12);
        EXPECT_NEAR(Qck.Time, 10 + 20 / 60.0 + c.QckSeconds / 3600.0, 1e-12);
    }
}

TEST_F(PlacidusChartTest, TimeModeZoneAndCoordinateSigns) {
    struct Case {
        unsigned Mode, ZoneHours, ZoneMinutes, ZoneDirection;
        double TimeZone;
        int DaylightCode;
    };
    const Case cases[] = {
        {0, 5, 30, 1, 0.0, 0},     // universal time forces the zone to 0
        {1, 5, 30, 1, 5.5, -1},    // local mean time keeps the zone and marks the chart
        {2, 5, 30, 1, 5.5, 0},     // zone time
        {255, 5, 30, 0, -5.5, 0},  // east of Greenwich is negative
        {2, 1, 0, 0, -1.0, 0},    {2, 1, 0, 1, 1.0, 0}, {2, 1, 0, 200, 1.0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.Mode) + " direction " +
                     std::to_string(c.ZoneDirection));
        ASSERT_TRUE(ReadAaf(PlacidusFile{}
                                .Set(124, c.Mode)
                                .Set(125, c.ZoneHours)
                                .Set(126, c.ZoneMinutes)
                                .Set(127, c.ZoneDirection)));
        EXPECT_DOUBLE_EQ(Aaf.TimeZone, c.TimeZone);
        EXPECT_EQ(Aaf.DaylightCode, c.DaylightCode);
    }

    // Budapest: 19E05, 47N30; then the same degrees west and south.
    ASSERT_TRUE(ReadQck(PlacidusFile{}.Set(102, 19).Set(104, 5).Set(113, 47).Set(115, 30)));
    EXPECT_DOUBLE_EQ(Qck.Longitude, 19 + 5 / 60.0);
    EXPECT_DOUBLE_EQ(Qck.Latitude, 47.5);
    ASSERT_TRUE(ReadQck(
        PlacidusFile{}.Set(102, 19).Set(103, 1).Set(104, 5).Set(113, 47).Set(114, 9).Set(115, 30)));
    EXPECT_DOUBLE_EQ(Qck.Longitude, -(19 + 5 / 60.0));
    EXPECT_DOUBLE_EQ(Qck.Latitude, -47.5);
}

TEST_F(PlacidusChartTest, DateCalendarAndSexBytes) {
    struct Case {
        unsigned YearLow, YearHigh, Calendar, Month, Day, Sex;
        int Year;
        bool Gregorian;
        char Gender;
    };
    const Case cases[] = {
        {0xD0, 0x07, 1, 3, 15, 1, 2000, true, 'M'},
        {0xFF, 0xFF, 0, 12, 31, 0, -1, false, 'E'},
        {0x0F, 0x27, 9, 1, 1, 2, 9999, true, 'F'},
        {0xFF, 0x7F, 1, 1, 1, 255, 9999, true, 'F'},    // 32767, bounded
        {0x00, 0x80, 1, 1, 1, 7, -9999, true, 'F'},     // -32768, bounded
        {0xF1, 0xD8, 1, 0, 0, 1, -9999, true, 'M'},     // -9999 itself; zero month and day pass
        {0x6C, 0x07, 1, 255, 200, 1, 1900, true, 'M'},  // month and day are not checked
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("year bytes " + std::to_string(c.YearLow) + " " + std::to_string(c.YearHigh));
        ASSERT_TRUE(ReadAaf(PlacidusFile{}
                                .Set(128, c.Calendar)
                                .Set(129, c.YearLow)
                                .Set(130, c.YearHigh)
                                .Set(131, c.Month)
                                .Set(132, c.Day)
                                .Set(174, c.Sex)));
        EXPECT_EQ(Aaf.Year, c.Year);
        EXPECT_EQ(Aaf.Month, static_cast<int>(c.Month));
        EXPECT_EQ(Aaf.Day, static_cast<int>(c.Day));
        EXPECT_EQ(Aaf.Gregorian, c.Gregorian);
        EXPECT_EQ(Aaf.Gender, c.Gender);
    }
}

TEST_F(PlacidusChartTest, NameSplitsAtTheFirstSeparator) {
    struct Case {
        std::string Name;
        std::string LastName, FirstName;
    };
    const Case cases[] = {
        {"Kiss Anna", "Kiss", "Anna"},
        {"Kiss, Anna", "Kiss", " Anna"},
        {"Kiss;Anna Maria", "Kiss", "Anna Maria"},
        {"Madonna", "Madonna", ""},
        {"", "", ""},
        {"Kov\xE1"
         "cs,J\xE1nos",
         "Kov\xE1"
         "cs",
         "J\xE1nos"},
        {"Kov\xE1"
         "cs J\xE1nos, dr",
         "Kov\xE1"
         "cs",
         "J\xE1nos  dr"},
        {"Kiss Anna;Maria,", "Kiss", "Anna;Maria "},
        {" Anna", "", "Anna"},
        // No zero byte in the stretch: the name ends at offset 102, before the longitude.
        {std::string(70, 'N'), std::string(70, 'N'), ""},
        {"A " + std::string(68, 'n'), "A", std::string(68, 'n')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(test::Printable(c.Name));
        // The longitude degrees byte follows the stretch; 'Z' shows up if it is read as text.
        ASSERT_TRUE(ReadAaf(PlacidusFile{}.Text(32, c.Name).Set(102, 'Z')));
        ExpectBytes(FieldText(Aaf.LastName), c.LastName);
        ExpectBytes(FieldText(Aaf.FirstName), c.FirstName);
    }
}

TEST_F(PlacidusChartTest, PlaceIsBeforeTheFirstCommaAndCountryAfterTheLast) {
    struct Case {
        std::string Text;
        std::string Place, Country;
    };
    const Case cases[] = {
        {"Budapest, Hungary", "Budapest", "Hungary"},
        {"Szeged, Csongrad, Hungary", "Szeged", "Hungary"},
        {"Eger", "Eger", ""},
        {"P\xE9"
         "cs,Magyarorsz\xE1g",
         "P\xE9"
         "cs",
         "Magyarorsz\xE1g"},
        {"Gyor,  Hungary", "Gyor", " Hungary"},
        {"Gyor,", "Gyor", ""},
        {", Hungary", "", "Hungary"},
        {"A, B C, ", "A", ""},
        // No zero byte in the stretch: the place ends at offset 174, before the sex byte.
        {std::string(31, 'p'), std::string(31, 'p'), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(test::Printable(c.Text));
        ASSERT_TRUE(ReadQck(PlacidusFile{}.Text(143, c.Text).Set(174, 'Z')));
        ExpectBytes(FieldText(Qck.Place), c.Place);
        ExpectBytes(FieldText(Qck.Country), c.Country);
    }
}

TEST_F(PlacidusChartTest, NotesTheYearsItBoundsAndNothingElse) {
    struct Case {
        unsigned YearLow, YearHigh;
        const char* Corrections;
    };
    const Case cases[] = {
        {0xD0, 0x07, ""},  // 2000, with every other byte at its widest below
        {0xFF, 0x7F, "Year 32767>9999"},
        {0x00, 0x80, "Year -32768>-9999"},
        {0xF1, 0xD8, ""},  // -9999 itself
    };
    for (const Case& c : cases) {
        Aaf.Corrections.Add(ChartField::Day, 1, 2);  // left from an earlier chart
        ASSERT_TRUE(ReadAaf(PlacidusFile{}
                                .Set(129, c.YearLow)
                                .Set(130, c.YearHigh)
                                .Set(133, 255)
                                .Set(113, 255)
                                .Text(32, std::string(70, 'N'))
                                .Text(143, std::string(31, 'P'))));
        EXPECT_EQ(test::CorrectionsText(Aaf), c.Corrections) << c.YearLow << " " << c.YearHigh;
        EXPECT_EQ(Aaf.SourceLine, 1u);
    }
}

}  // namespace
}  // namespace tervalo
