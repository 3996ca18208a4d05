// SZK input: the INI rules, and the chart program's files, this program's old files and its
// present ones read to the same moment.
#include "formats/SzkReader.h"

#include <string>

#include <gtest/gtest.h>

#include "CorrectionsText.h"
#include "TestSupport.h"
#include "formats/AafDatabase.h"

namespace tervalo {
namespace {

constexpr double kBudapestLongitude = 19 + 5 / 60.0;

// A chart of 5 November 1955, 13:30 in Budapest, with the zone lines given: the chart program
// writes its altitude and two-digit note keys.
std::string SzkFile(const char* zoneLines, bool chartProgram) {
    return std::string(
               "\r\n[BirthInfo]\r\nName=Kiss Anna Maria\r\nGender=1\r\nYear=1955\r\n"
               "Month=11\r\nDay=5\r\nHour=13\r\nMinute=30\r\nSecond=0\r\n") +
           zoneLines +
           "LocCity=Budapest\r\nLocCountry=Hungary\r\nLocLongDegree=19\r\nLocLongMinute=5\r\n"
           "LocLongSecond=0\r\nLocLatDegree=47\r\nLocLatMinute=30\r\nLocLatSecond=0\r\n" +
           (chartProgram ? "LocAltitude=120\r\n\r\n[Notes]\r\nNote01=first\r\nNote02=second\r\n"
                         : "BirthDateIsBC=F\r\n\r\n[Notes]\r\nNote1=first\r\nNote2=second\r\n") +
           "\r\n";
}

TEST(SzkReaderTest, EveryFormOfTheZoneReadsToTheSameMoment) {
    struct Case {
        const char* What;
        double TimeZone;
        std::int32_t DaylightCode;
        const char* ChartProgram;  // the chart program's zone lines
        const char* Old;           // this program's before west zones were signed; null: none
    };
    const Case cases[] = {
        {"west with daylight saving", 8, 60,
         "TZoneHour=-8\r\nTZoneMinute=0\r\nTZoneWest=T\r\nTZoneCode=PST\r\n"
         "IsDayLightSavingTime=T\r\n",
         "TZoneWest=T\r\nTZoneHour=8\r\nTZoneMinute=0\r\nTZoneIsManual=T\r\n"
         "IsDayLightSavingTime=T\r\n"},
        {"west with minutes", 3.5, 0,
         "TZoneHour=-3\r\nTZoneMinute=30\r\nTZoneWest=T\r\nIsDayLightSavingTime=F\r\n",
         "TZoneWest=T\r\nTZoneHour=3\r\nTZoneMinute=30\r\nIsDayLightSavingTime=F\r\n"},
        {"zone 0 with daylight saving", 0, 60,
         "TZoneHour=0\r\nTZoneMinute=0\r\nTZoneWest=F\r\nTZoneCode=GMT\r\n"
         "IsDayLightSavingTime=True\r\n",
         "TZoneWest=T\r\nTZoneHour=0\r\nTZoneMinute=0\r\nIsDayLightSavingTime=T\r\n"},
        {"east with minutes", -5.75, 0,
         "TZoneHour=5\r\nTZoneMinute=45\r\nTZoneWest=F\r\nIsDayLightSavingTime=F\r\n",
         "TZoneWest=F\r\nTZoneHour=5\r\nTZoneMinute=45\r\nIsDayLightSavingTime=F\r\n"},
        {"local mean time", -kBudapestLongitude / 15, -1,
         "TZoneHour=1\r\nTZoneMinute=16\r\nTZoneWest=F\r\nTZoneCode=LMT\r\n"
         "IsDayLightSavingTime=F\r\n",
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        AafDatabase db;
        SetFieldText(db.LastName, "Kiss");
        SetFieldText(db.FirstName, "Anna Maria");
        SetFieldText(db.Place, "Budapest");
        SetFieldText(db.Country, "Hungary");
        SetFieldText(db.Notes, "first\r\nsecond");
        db.Gender = 'F';
        db.Year = 1955, db.Month = 11, db.Day = 5, db.Time = 13.5;
        db.Longitude = kBudapestLongitude, db.Latitude = 47.5;
        db.TimeZone = c.TimeZone, db.DaylightCode = c.DaylightCode;
        std::string present;
        db.FormatSzkText(&present);
        for (const std::string& text :
             {present, SzkFile(c.ChartProgram, true), SzkFile(c.Old ? c.Old : "", false)}) {
            if (text.find("TZone") == std::string::npos) continue;
            AafRecord chart;
            ChartFileRead read;
            ASSERT_TRUE(ParseSzkChart(text, chart, read)) << test::Printable(text);
            EXPECT_NEAR(chart.TimeZone, c.TimeZone, 1e-9) << test::Printable(text);
            EXPECT_EQ(chart.DaylightCode, c.DaylightCode) << test::Printable(text);
            EXPECT_EQ(chart.Time, db.Time);
            EXPECT_EQ(chart.Year, 1955);
            EXPECT_NEAR(chart.Longitude, db.Longitude, 1e-9);
            EXPECT_EQ(chart.Latitude, db.Latitude);
            EXPECT_EQ(chart.Gender, 'F');
            EXPECT_EQ(FieldText(chart.LastName), "Kiss");
            EXPECT_EQ(FieldText(chart.FirstName), "Anna Maria");
            EXPECT_EQ(FieldText(chart.Place), "Budapest");
            EXPECT_EQ(FieldText(chart.Country), "Hungary");
            EXPECT_EQ(FieldText(chart.Notes), "first\r\nsecond");
            // What is read and written again is the same file.
            CopyCommonFields(chart, db);
            SetFieldText(db.Notes, FieldText(chart.Notes));
            std::string again;
            db.FormatSzkText(&again);
            if (text == present) {
                ExpectBytes(again, present);
            }
        }
    }
}

TEST(SzkReaderTest, ReadsTheKeysAsTheIniRulesSay) {
    struct Case {
        const char* What;
        const char* Text;
        const char* LastName;
        const char* FirstName;
        const char* Country;
        const char* Notes;
        std::int32_t Year;
        char Gender;
        double Latitude;
        std::size_t Unconvertible;
    };
    const Case cases[] = {
        {"any case, first key wins, comments, CR line ends",
         "[birthinfo]\r name = Nagy  \ryear=1990\r; Year=1\rYEAR=2000\rgender=0\r", "Nagy", "", "",
         "", 1990, 'M', 0, 0},
        {"before the era, no country but its code, south",
         "[BirthInfo]\nYear=44\nBirthDateIsBC=T\nGender=2\nLocCountry=\nLocCountryID=I\n"
         "LocLatDegree=-33\nLocLatMinute=52\n",
         "", "", "I", "", -44, '*', -(33 + 52 / 60.0), 0},
        {"UTF-8 text",
         "[BirthInfo]\nYear=1920\nName=Sz\xC5\x91ke \xD0\x96\nLocCountry=Gy\xC5\x91r\n", "Sz\xF5ke",
         "?", "Gy\xF5r", "", 1920, '*', 0, 1},
        {"every note key in file order, empty ones at the end dropped",
         "[BirthInfo]\r\nYear=1\r\n[Notes]\r\nNote2=a\r\nZ=\r\nNote1=b;c\r\nNote4=\r\nNote5=\r\n",
         "", "", "", "a\r\n\r\nb;c", 1, '*', 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        AafRecord chart;
        ChartFileRead read;
        ASSERT_TRUE(ParseSzkChart(c.Text, chart, read));
        EXPECT_TRUE(read.Recognised);
        EXPECT_EQ(FieldText(chart.LastName), c.LastName);
        EXPECT_EQ(FieldText(chart.FirstName), c.FirstName);
        EXPECT_EQ(FieldText(chart.Country), c.Country);
        EXPECT_EQ(FieldText(chart.Notes), c.Notes);
        EXPECT_EQ(chart.Year, c.Year);
        EXPECT_EQ(chart.Gender, c.Gender);
        EXPECT_NEAR(chart.Latitude, c.Latitude, 1e-9);
        EXPECT_EQ(read.Unconvertible, c.Unconvertible);
    }
    for (const char* text : {"", "[Notes]\r\nYear=1990\r\n", "[BirthInfo]\r\nName=A\r\n",
                             "Year=1990\r\n[BirthInfo]\r\n"}) {
        AafRecord chart;
        ChartFileRead read;
        EXPECT_FALSE(ParseSzkChart(text, chart, read)) << test::Printable(text);
        EXPECT_FALSE(read.Recognised);
    }
}

TEST(SzkReaderTest, ReadsAFileAndPassesOverWhatIsNone) {
    test::TempDir dir;
    test::WriteFile(dir.Path() / "chart.szk", SzkFile("TZoneHour=-8\r\n", true));
    AafRecord chart;
    ChartFileRead read;
    ASSERT_TRUE(ReadSzkChart(dir.File("chart.szk"), chart, read));
    EXPECT_EQ(chart.TimeZone, 8);
    EXPECT_FALSE(ReadSzkChart(dir.File("missing.szk"), chart, read));
    EXPECT_FALSE(ReadSzkChart(dir.Path().string(), chart, read));
    EXPECT_FALSE(read.Recognised);
}

TEST(SzkReaderTest, NotesWhatItBoundsOrLeavesAtDefaultsAndNothingElse) {
    struct Case {
        std::string Keys;  // before the plain chart's, so that they win
        std::string Notes;
        const char* Corrections;
    };
    const std::string x(3000, 'x');
    const Case cases[] = {
        {"", "Note1=" + x + "\r\nNote2=\r\n", ""},
        {"Year=12000\r\n", "", "Year 12000>9999"},
        {"Year=10000\r\nBirthDateIsBC=T\r\n", "", "Year -10000>-9999"},
        {"Name=" + std::string(256, 'N') + "\r\n", "", "Name 256>255"},
        {"LocCity=" + std::string(300, 'P') + "\r\nLocCountry=" + std::string(260, 'C') + "\r\n",
         "", "Place 300>255"},
        {"Hour=\r\n", "", "Time none>0"},
        {"TZoneHour=\r\n", "", "Zone none>0"},
        {"TZoneHour=\r\nTZoneCode=LMT\r\n", "", ""},  // the longitude gives the zone
        {"Hour=99\r\n", "", ""},                      // an hour is taken as read
        {"", "Note1=" + x + "\r\nNote2=\r\nNote3=" + x + "\r\nNote4=\r\n", "Notes 6004>4092"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Keys.substr(0, 30));
        AafRecord chart;
        chart.Corrections.Add(ChartField::Day, 1, 2);  // left from an earlier chart
        ChartFileRead read;
        ASSERT_TRUE(ParseSzkChart("[BirthInfo]\r\n" + c.Keys +
                                      "Year=1955\r\nHour=13\r\nTZoneHour=1\r\n[Notes]\r\n" +
                                      c.Notes,
                                  chart, read));
        EXPECT_EQ(test::CorrectionsText(chart), c.Corrections);
        EXPECT_EQ(chart.SourceLine, 1u);
    }
}

}  // namespace
}  // namespace tervalo
