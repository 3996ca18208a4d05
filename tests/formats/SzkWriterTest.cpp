// SZK output: the lines of a chart, their rules, the notes section, and whole saves.
#include "formats/AafDatabase.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "formats/CountryCodeTable.h"

namespace tervalo {
namespace {

using test::TempDir;

// The standard chart with the accents of its names and its country written out.
void SetKovacs(AafDatabase& chart) {
    test::SetKovacs(chart);
    SetFieldText(chart.LastName,
                 "Kov\xE1"
                 "cs");
    SetFieldText(chart.FirstName, "B\xE9la");
    SetFieldText(chart.Country, "Hungary");
    SetFieldText(chart.Notes, "alpha\r\nbeta,gamma");
}

void AddCountryTable(AafDatabase& db) {
    db.AddCountries(
        std::vector<std::string_view>(kCountryCodeTable.begin(), kCountryCodeTable.end()));
}

std::string SzkText(AafDatabase& chart) {
    std::string text;
    chart.FormatSzkText(&text);
    return text;
}

TEST(SzkWriterTest, WritesTheWorkedExampleLineByLine) {
    AafDatabase chart;
    AddCountryTable(chart);
    SetKovacs(chart);
    ExpectBytes(SzkText(chart),
                "\r\n"             // opening empty line
                "[BirthInfo]\r\n"  //
                "Name=Kov\xE1"
                "cs B\xE9la\r\n"              // name as written
                "Gender=0\r\n"                // a man
                "Year=1975\r\n"               //
                "Month=3\r\n"                 //
                "Day=7\r\n"                   //
                "Hour=14\r\n"                 //
                "Minute=30\r\n"               //
                "Second=0\r\n"                //
                "TZoneWest=F\r\n"             // Central European Time lies east
                "TZoneHour=1\r\n"             //
                "TZoneMinute=0\r\n"           //
                "TZoneIsManual=T\r\n"         //
                "LocCity=Budapest\r\n"        //
                "LocCountry=Hungary\r\n"      //
                "LocCountryID=H\r\n"          // looked up in the country list
                "LocLongDegree=19\r\n"        //
                "LocLongMinute=4\r\n"         // minutes and seconds truncated
                "LocLongSecond=59\r\n"        //
                "LocLatDegree=47\r\n"         //
                "LocLatMinute=30\r\n"         //
                "LocLatSecond=0\r\n"          //
                "IsDayLightSavingTime=F\r\n"  //
                "BirthDateIsBC=F\r\n"         //
                "\r\n"                        // end of the section
                "[Notes]\r\n"                 //
                "Note1=alpha\r\n"             // one key per line of the notes
                "Note2=beta;gamma\r\n"        // commas kept out of the value
                "\r\n");                      // closing empty line
    EXPECT_EQ(chart.FormatSzkText(nullptr), nullptr);
}

struct LineCase {
    const char* What;
    void (*Change)(AafDatabase&);
    const char* Expected;  // lines that must stand in the text, CR LF each
};

TEST(SzkWriterTest, FormsEachLineByItsRule) {
    const LineCase cases[] = {
        {"no given name keeps the space", [](AafDatabase& c) { SetFieldText(c.FirstName, ""); },
         "\r\nName=Kov\xE1"
         "cs \r\n"},
        {"given name behind spaces and asterisks",
         [](AafDatabase& c) { SetFieldText(c.FirstName, "* B\xE9la"); },
         "\r\nName=Kov\xE1"
         "cs B\xE9la\r\n"},
        {"line breaks in a name are spaces",
         [](AafDatabase& c) { SetFieldText(c.LastName, "a\r\nb\rc\nd"); },
         "\r\nName=a  b c d B\xE9la\r\n"},
        {"line breaks in place and country are spaces",
         [](AafDatabase& c) {
             SetFieldText(c.Place, "Buda\npest");
             SetFieldText(c.Country, "H\r\n");
         },
         "\r\nLocCity=Buda pest\r\nLocCountry=H  \r\nLocCountryID=H  \r\n"},
        {"woman", [](AafDatabase& c) { c.Gender = 'F'; }, "\r\nGender=1\r\n"},
        {"lower-case man", [](AafDatabase& c) { c.Gender = 'm'; }, "\r\nGender=0\r\n"},
        {"lower-case woman", [](AafDatabase& c) { c.Gender = 'f'; }, "\r\nGender=1\r\n"},
        {"event is neither", [](AafDatabase& c) { c.Gender = 'E'; }, "\r\nGender=2\r\n"},
        {"no gender is neither", [](AafDatabase& c) { c.Gender = '*'; }, "\r\nGender=2\r\n"},
        {"NUL gender is neither", [](AafDatabase& c) { c.Gender = '\0'; }, "\r\nGender=2\r\n"},
        {"year before the era", [](AafDatabase& c) { c.Year = -44; }, "\r\nYear=44\r\n"},
        {"year before the era flagged", [](AafDatabase& c) { c.Year = -44; },
         "\r\nBirthDateIsBC=T\r\n"},
        {"year 0 counts as 1", [](AafDatabase& c) { c.Year = 0; }, "\r\nYear=1\r\n"},
        {"year held at the bound",
         [](AafDatabase& c) { c.Year = std::numeric_limits<std::int32_t>::min(); },
         "\r\nYear=9999\r\n"},
        {"month and day 0 count as 1", [](AafDatabase& c) { c.Month = 0, c.Day = 0; },
         "\r\nMonth=1\r\nDay=1\r\n"},
        {"zone 0 is east", [](AafDatabase& c) { c.TimeZone = 0; },
         "\r\nTZoneWest=F\r\nTZoneHour=0\r\nTZoneMinute=0\r\n"},
        {"a zone seconds west is written as 0 east", [](AafDatabase& c) { c.TimeZone = 0.001; },
         "\r\nTZoneWest=F\r\nTZoneHour=0\r\nTZoneMinute=0\r\n"},
        {"west zone hour signed", [](AafDatabase& c) { c.TimeZone = 5; },
         "\r\nTZoneWest=T\r\nTZoneHour=-5\r\nTZoneMinute=0\r\n"},
        {"west zone under an hour", [](AafDatabase& c) { c.TimeZone = 0.5; },
         "\r\nTZoneWest=T\r\nTZoneHour=-0\r\nTZoneMinute=30\r\n"},
        {"local mean time east", [](AafDatabase& c) { c.DaylightCode = -1, c.TimeZone = -1.2722; },
         "\r\nTZoneCode=LMT\r\nTZoneWest=F\r\nTZoneHour=1\r\nTZoneMinute=16\r\n"},
        {"local mean time west follows the longitude",
         [](AafDatabase& c) { c.DaylightCode = -1, c.Longitude = -73.5, c.TimeZone = 4.9; },
         "\r\nTZoneCode=LMT\r\nTZoneWest=T\r\nTZoneHour=-4\r\nTZoneMinute=54\r\n"},
        {"east zone with minutes", [](AafDatabase& c) { c.TimeZone = -5.75; },
         "\r\nTZoneWest=F\r\nTZoneHour=5\r\nTZoneMinute=45\r\n"},
        {"short country is a code", [](AafDatabase& c) { SetFieldText(c.Country, "H"); },
         "\r\nLocCountryID=H\r\n"},
        {"short unknown text is a code too", [](AafDatabase& c) { SetFieldText(c.Country, "XyZ"); },
         "\r\nLocCountryID=XyZ\r\n"},
        {"lookup ignores case", [](AafDatabase& c) { SetFieldText(c.Country, "hungary"); },
         "\r\nLocCountryID=H\r\n"},
        {"unknown country", [](AafDatabase& c) { SetFieldText(c.Country, "Magyarorsz\xE1g"); },
         "\r\nLocCountryID=\r\n"},
        {"no country", [](AafDatabase& c) { SetFieldText(c.Country, ""); },
         "\r\nLocCountry=\r\nLocCountryID=\r\n"},
        {"west longitude", [](AafDatabase& c) { c.Longitude = -73.5; },
         "\r\nLocLongDegree=-73\r\nLocLongMinute=30\r\nLocLongSecond=0\r\n"},
        {"sign lost between -1 and 0", [](AafDatabase& c) { c.Longitude = -0.5; },
         "\r\nLocLongDegree=0\r\nLocLongMinute=30\r\n"},
        {"south latitude", [](AafDatabase& c) { c.Latitude = -33.8688; },
         "\r\nLocLatDegree=-33\r\nLocLatMinute=52\r\nLocLatSecond=7\r\n"},
        {"daylight saving", [](AafDatabase& c) { c.DaylightCode = 60; },
         "\r\nIsDayLightSavingTime=T\r\n"},
        {"local mean time is no daylight saving", [](AafDatabase& c) { c.DaylightCode = -1; },
         "\r\nIsDayLightSavingTime=F\r\n"},
        {"no notes", [](AafDatabase& c) { SetFieldText(c.Notes, ""); }, "\r\n[Notes]\r\n\r\n"},
        {"every kind of line break starts a note, nothing after a lone CR lost",
         [](AafDatabase& c) { SetFieldText(c.Notes, "a\rb\nc\r\n\r\nd,e\n\rf"); },
         "\r\n[Notes]\r\nNote1=a\r\nNote2=b\r\nNote3=c\r\nNote4=\r\nNote5=d;e\r\nNote6=\r\n"
         "Note7=f\r\n\r\n"},
        {"a closing line break adds no empty note",
         [](AafDatabase& c) { SetFieldText(c.Notes, "a\r\n"); }, "\r\n[Notes]\r\nNote1=a\r\n\r\n"},
    };
    AafDatabase chart;
    AddCountryTable(chart);
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.What);
        SetKovacs(chart);
        c.Change(chart);
        const std::string text = SzkText(chart);
        EXPECT_NE(text.find(c.Expected), std::string::npos) << test::Printable(text);
    }
}

// The chart program refuses an hour of 24: such times are the next day's early hours.
TEST(SzkWriterTest, TimesOf24HoursAndMoreAreWrittenOnTheNextDay) {
    struct Case {
        const char* what;
        std::int32_t year, month, day;
        bool gregorian;
        double time;
        const char* expected;  // the date and time lines, then the era flag
    };
    const Case cases[] = {
        {"AAF 24:30", 1975, 3, 7, true, 24.5,
         "Year=1975\r\nMonth=3\r\nDay=8\r\nHour=0\r\nMinute=30\r\nSecond=0\r\n"},
        {"year's end", 1999, 12, 31, true, 24,
         "Year=2000\r\nMonth=1\r\nDay=1\r\nHour=0\r\nMinute=0\r\nSecond=0\r\n"},
        {"Gregorian 1900 is common", 1900, 2, 28, true, 24 + 59.0 / 60 + 59.0 / 3600,
         "Year=1900\r\nMonth=3\r\nDay=1\r\nHour=0\r\nMinute=59\r\nSecond=59\r\n"},
        {"Julian 1900 is a leap year", 1900, 2, 28, false, 24,
         "Year=1900\r\nMonth=2\r\nDay=29\r\nHour=0\r\n"},
        {"year -1 is followed by 1, no longer before the era", -1, 12, 31, false, 24,
         "Year=1\r\nMonth=1\r\nDay=1\r\nHour=0\r\n"},
        {"a leap year before the era", -5, 2, 28, false, 24.25,
         "Year=5\r\nMonth=2\r\nDay=29\r\nHour=0\r\nMinute=15\r\n"},
        {"day and month 0 count as 1", 1975, 0, 0, true, 24,
         "Year=1975\r\nMonth=1\r\nDay=2\r\nHour=0\r\n"},
        {"year 0 counts as 1", 0, 12, 31, false, 24, "Year=2\r\nMonth=1\r\nDay=1\r\n"},
        {"the last day four digits hold", 9999, 12, 31, true, 24.5,
         "Year=9999\r\nMonth=12\r\nDay=31\r\nHour=0\r\nMinute=30\r\n"},
        {"up to 48 hours", 1975, 3, 7, true, 47.75,
         "Year=1975\r\nMonth=3\r\nDay=8\r\nHour=23\r\nMinute=45\r\n"},
        {"larger times stand", 1975, 3, 7, true, 50.5,
         "Year=1975\r\nMonth=3\r\nDay=7\r\nHour=50\r\nMinute=30\r\n"},
        {"below 24 stays", 1975, 3, 7, true, 23.999,
         "Year=1975\r\nMonth=3\r\nDay=7\r\nHour=23\r\nMinute=59\r\nSecond=56\r\n"},
    };
    AafDatabase chart;
    AddCountryTable(chart);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetKovacs(chart);
        chart.Year = c.year;
        chart.Month = c.month;
        chart.Day = c.day;
        chart.Gregorian = c.gregorian;
        chart.Time = c.time;
        const std::string text = SzkText(chart);
        EXPECT_NE(text.find(std::string("\r\n") + c.expected), std::string::npos)
            << test::Printable(text);
        EXPECT_EQ(chart.Time, c.time);
    }
}

TEST(SzkWriterTest, SavesEachChartUnderItsFoldedName) {
    TempDir dir;
    AafDatabase db;
    AddCountryTable(db);
    SetKovacs(db);
    // AAF keeps as notes only what starts with "#".
    SetFieldText(db.Notes, "#alpha\r\nbeta,gamma");
    ASSERT_TRUE(db.AppendRecord());
    SetFieldText(db.FirstName, "");
    SetFieldText(db.LastName, "");
    ASSERT_TRUE(db.AppendRecord());
    const std::string folder = dir.File("charts");
    WriteFailures failures;
    ASSERT_TRUE(db.SaveSzkFiles(folder, &failures));
    EXPECT_TRUE(failures.empty());

    db.FirstRecord();
    db.ParseRecord();
    const std::string text = test::ReadFile(folder + "/Kovacs Bela.szk");
    ExpectBytes(text, SzkText(db));
    EXPECT_NE(text.find("\r\nNote2=beta;gamma\r\n"), std::string::npos);
    EXPECT_NE(test::ReadFile(folder + "/Nevtelen.szk").find("\r\nName= \r\n"), std::string::npos);

    AafDatabase empty;
    EXPECT_FALSE(empty.SaveSzkFiles(dir.File("empty")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("empty")));
    EXPECT_FALSE(db.SaveSzkFiles(dir.File("missing/charts")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

TEST(SzkWriterTest, AnIniReaderTakesTheGenderOfEveryLetter) {
    if (!test::PythonHasModule("configparser"))
        GTEST_SKIP() << "python3 with its configparser module is not available";
    struct GenderCase {
        const char* LastName;
        char Gender;
        const char* Read;  // 0 man, 1 woman, 2 neither
    };
    const GenderCase cases[] = {
        {"Adam", 'M', "0"},    {"Bela", 'm', "0"},   {"Cecilia", 'F', "1"}, {"Dora", 'f', "1"},
        {"Esemeny", 'E', "2"}, {"Ferenc", '*', "2"}, {"Gizella", 'x', "2"},
    };
    TempDir dir;
    AafDatabase db;
    std::string paths;
    for (const GenderCase& c : cases) {
        SetKovacs(db);
        SetFieldText(db.LastName, c.LastName);
        SetFieldText(db.FirstName, "");
        db.Gender = c.Gender;
        ASSERT_TRUE(db.AppendRecord());
        paths += " " + test::ShellQuoted(dir.File("charts") + "/" + c.LastName + ".szk");
    }
    ASSERT_TRUE(db.SaveSzkFiles(dir.File("charts")));
    const test::CommandResult read = test::RunCommand(
        "python3 -c \"import configparser, sys\n"
        "for path in sys.argv[1:]:\n"
        "    ini = configparser.ConfigParser(interpolation=None)\n"
        "    ini.read(path, encoding='cp1250')\n"
        "    print(ini['BirthInfo']['Name'], ini['BirthInfo']['Gender'], sep='=')\"" +
        paths);
    ASSERT_EQ(read.ExitCode, 0) << read.Output;
    std::string expected;
    for (const GenderCase& c : cases)
        expected += std::string(c.LastName) + "=" + c.Read + "\n";
    EXPECT_EQ(read.Output, expected);
}

}  // namespace
}  // namespace tervalo
