// Tests of QCK line writing: exact columns, bounding of values no column holds, read-back.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "formats/QckDatabase.h"

namespace tervalo {
namespace {

// Pads a line's columns with spaces to the written width and adds the line end.
std::string Padded(std::string_view columns) {
    std::string line(columns);
    line.resize(kQckLineLength, ' ');
    return line + "\r\n";
}

std::string Format(QckDatabase& db) {
    char out[kQckFormatSize];
    return db.FormatRecord(out);
}

void SetAnna(QckDatabase& db) {
    db.ClearRecord();
    SetFieldText(db.LastName, "Sample");
    SetFieldText(db.FirstName, "Anna");
    db.Month = 3;
    db.Day = 7;
    db.Year = 1961;
    db.Time = 14.5;
    db.TimeZone = -1;
    db.Longitude = 19.05;
    db.Latitude = 47.5;
    SetFieldText(db.Place, "Budapest");
    SetFieldText(db.Country, "H");
}

TEST(QckFormat, WritesTheTwoExampleLines) {
    QckDatabase db;
    SetAnna(db);
    ExpectBytes(Format(db), Padded("Sample,Anna            "  // name, comma, padding to 23
                                   "MAR 07,"                  // month, day
                                   " 1961"                    // year sign and four digits
                                   "02:30:00 PM    "          // time on the 12-hour dial
                                   "-01:00"                   // zone, east of Greenwich
                                   "019E03'00 "               // longitude
                                   "47N30'00 "                // latitude
                                   "Budapest,H"));            // place, country

    db.ClearRecord();
    SetFieldText(db.LastName, "Sample");
    SetFieldText(db.FirstName, "Ben");
    db.Month = 11;
    db.Day = 23;
    db.Year = 1890;
    db.Time = 0.25;
    db.TimeZone = 5;
    db.Longitude = -(74 + 22.0 / 3600);
    db.Latitude = 40 + 42.0 / 60 + 51.0 / 3600;
    SetFieldText(db.Place, "New York");
    SetFieldText(db.Country, "USNY");
    ExpectBytes(Format(db), Padded("Sample,Ben             "  // name, comma, padding to 23
                                   "NOV 23,"                  // month, day
                                   " 1890"                    // year sign and four digits
                                   "00:15:00 AM    "          // time on the 12-hour dial
                                   "+05:00"                   // zone, west of Greenwich
                                   "074W00'22 "               // longitude
                                   "40N42'51 "                // latitude
                                   "New York,USNY"));         // place, country
}

// One field set, one column range expected. Covers the dial, the carry and the bounding of
// values no column can hold.
TEST(QckFormat, WritesEachValueInsideItsColumns) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kHuge = 1e300;
    struct Case {
        const char* name;
        void (*set)(QckDatabase&);
        std::size_t column;
        std::string_view expected;
    };
    const Case cases[] = {
        {"quarter past noon", [](QckDatabase& d) { d.Time = 12.25; }, 35, "00:15:00 PM"},
        {"quarter past midnight", [](QckDatabase& d) { d.Time = 0.25; }, 35, "00:15:00 AM"},
        {"late evening", [](QckDatabase& d) { d.Time = 23.999; }, 35, "11:59:56 PM"},
        {"AAF 24:30", [](QckDatabase& d) { d.Time = 24.5; }, 23, "MAR 08, 196100:30:00 AM"},
        {"damaged 50:30", [](QckDatabase& d) { d.Time = 50.5; }, 23, "MAR 07, 196138:30:00 PM"},
        {"carry to noon", [](QckDatabase& d) { d.Time = 12 - 0.3 / 3600; }, 35, "00:00:00 PM"},
        {"carry to midnight", [](QckDatabase& d) { d.Time = 24 - 0.3 / 3600; }, 23,
         "MAR 08, 196100:00:00 AM"},
        {"carry to the second midnight", [](QckDatabase& d) { d.Time = 48 - 0.3 / 3600; }, 23,
         "MAR 09, 196100:00:00 AM"},
        {"carry into the hour", [](QckDatabase& d) { d.Time = 9 + 3599.7 / 3600; }, 35,
         "10:00:00 AM"},
        {"negative time", [](QckDatabase& d) { d.Time = -3.5; }, 35, "00:00:00 AM"},
        {"NaN time", [](QckDatabase& d) { d.Time = kNaN; }, 35, "00:00:00 AM"},
        {"huge time", [](QckDatabase& d) { d.Time = kHuge; }, 35, "99:59:59 PM"},
        {"year -44", [](QckDatabase& d) { d.Year = -44; }, 30, "-0044"},
        {"year 5", [](QckDatabase& d) { d.Year = 5; }, 30, " 0005"},
        {"year too large", [](QckDatabase& d) { d.Year = 123456; }, 30, " 9999"},
        {"year too small", [](QckDatabase& d) { d.Year = -2147483647 - 1; }, 30, "-9999"},
        {"month 13", [](QckDatabase& d) { d.Month = 13; }, 23, "DEC 07"},
        {"month -4", [](QckDatabase& d) { d.Month = -4; }, 23, "JAN 07"},
        {"day 150", [](QckDatabase& d) { d.Day = 150; }, 27, "99,"},
        {"day -5", [](QckDatabase& d) { d.Day = -5; }, 27, "00,"},
        {"zone of many hours", [](QckDatabase& d) { d.TimeZone = -250.5; }, 50, "-99:59"},
        {"zone minute carry", [](QckDatabase& d) { d.TimeZone = 2 - 0.2 / 3600; }, 50, "+02:00"},
        {"NaN zone", [](QckDatabase& d) { d.TimeZone = kNaN; }, 50, "+00:00"},
        {"longitude 0", [](QckDatabase& d) { d.Longitude = 0; }, 56, "000E00'00 "},
        {"longitude carry", [](QckDatabase& d) { d.Longitude = -(19 + 3599.6 / 3600); }, 56,
         "020W00'00 "},
        {"longitude 1500", [](QckDatabase& d) { d.Longitude = 1500; }, 56, "999E59'59 "},
        {"NaN longitude", [](QckDatabase& d) { d.Longitude = kNaN; }, 56, "000E00'00 "},
        {"latitude -0.5", [](QckDatabase& d) { d.Latitude = -0.5; }, 66, "00S30'00 "},
        {"latitude -300", [](QckDatabase& d) { d.Latitude = -300; }, 66, "99S59'59 "},
        {"latitude -huge", [](QckDatabase& d) { d.Latitude = -kHuge; }, 66, "99S59'59 "},
        {"line end in a name", [](QckDatabase& d) { SetFieldText(d.LastName, "Ab\r\nCd\tE"); }, 0,
         "Ab  Cd E,Anna"},
        {"line end in a place", [](QckDatabase& d) { SetFieldText(d.Country, "H\nX\r"); }, 75,
         "Budapest,H X  "},
    };
    QckDatabase db;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetAnna(db);
        c.set(db);
        char out[kQckFormatSize];
        std::memset(out, '#', sizeof out);
        ASSERT_EQ(db.FormatRecord(out), out);
        const std::string_view line(out, kQckLineLength + 3);
        ExpectBytes(line.substr(c.column, c.expected.size()), c.expected);
        ExpectBytes(line.substr(kQckLineLength), std::string_view("\r\n\0", 3));
        EXPECT_EQ(std::memchr(out, '\n', kQckLineLength), nullptr);
        EXPECT_EQ(out[kQckLineLength + 3], '#');  // nothing written past the NUL
    }
}

TEST(QckFormat, ChangesMonthDayAndZoneOfTheRecordAsItWrites) {
    QckDatabase db;
    SetAnna(db);
    db.Month = 0;
    db.Day = 0;
    db.DaylightCode = -1;  // local mean time: the zone follows the longitude
    const std::string line = Format(db);
    ExpectBytes(line.substr(23, 6), "JAN 01");
    ExpectBytes(line.substr(50, 6), "-01:16");
    EXPECT_EQ(db.Month, 1);
    EXPECT_EQ(db.Day, 1);
    EXPECT_NEAR(db.TimeZone, -1.27, 1e-12);

    SetAnna(db);
    db.DaylightCode = 60;  // the zone column holds the daylight shift; the record keeps its zone
    ExpectBytes(Format(db).substr(50, 6), "-02:00");
    EXPECT_EQ(db.TimeZone, -1);

    EXPECT_EQ(db.FormatRecord(nullptr), nullptr);
}

// Reads a written line back through the reader.
void ReadBack(const std::string& line, QckDatabase& input) {
    test::TempDir folder;
    const std::string path = folder.File("line.qck");
    test::WriteFile(path, line);
    ASSERT_TRUE(input.LoadFromFile(path));
    input.ParseRecord();
}

TEST(QckFormat, ZoneColumnHoldsTheDaylightShift) {
    QckDatabase db;
    SetAnna(db);
    db.DaylightCode = 60;
    ExpectBytes(Format(db), Padded("Sample,Anna            "  // name, comma, padding to 23
                                   "MAR 07,"                  // month, day
                                   " 1961"                    // year sign and four digits
                                   "02:30:00 PM    "          // time on the 12-hour dial
                                   "-02:00"                   // zone in force: CET and the shift
                                   "019E03'00 "               // longitude
                                   "47N30'00 "                // latitude
                                   "Budapest,H"));            // place, country
    EXPECT_EQ(db.TimeZone, -1);
    EXPECT_EQ(db.DaylightCode, 60);

    struct Case {
        double timeZone;
        std::int32_t daylightCode;
        std::string_view written;  // columns 50-55
        double readBack;
    };
    const Case cases[] = {
        {5, 60, "+04:00", 4},         // New York in summer
        {-1, 0, "-01:00", -1},        // no shift
        {-1, 30, "-01:30", -1.5},     //
        {-1, 120, "-03:00", -3},      //
        {-1, 45, "-01:45", -1.75},    // an unusual shift moves the zone all the same
        {0.5, 60, "-00:30", -0.5},    // the shift crosses Greenwich
        {0, 60, "-01:00", -1},        // London in summer
        {-12, 60, "-13:00", -13},     // Auckland in summer
        {-13, 60, "-14:00", -14},     // Kiribati's hours and a shift
        {3.5, 60, "+02:30", 2.5},     // Newfoundland in summer
        {-5.75, 0, "-05:45", -5.75},  //
        {-1, -1, "-01:16", -1.27},    // local mean time: the zone follows the longitude
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.timeZone) + " " + std::to_string(c.daylightCode));
        SetAnna(db);
        db.TimeZone = c.timeZone;
        db.DaylightCode = c.daylightCode;
        const std::string line = Format(db);
        ExpectBytes(line.substr(50, 6), c.written);
        if (c.daylightCode >= 0) {
            EXPECT_EQ(db.TimeZone, c.timeZone);
        }
        QckDatabase input;
        ReadBack(line, input);
        EXPECT_NEAR(input.TimeZone, c.readBack, 0.5 / 60);
        EXPECT_EQ(input.DaylightCode, 0);
    }
}

// QCK readers know no hour 24: such a time is the next day's early hours, by the calendar.
TEST(QckFormat, TimesOf24HoursAndMoreAreWrittenOnTheNextDay) {
    struct Case {
        const char* what;
        std::int32_t year, month, day;
        bool gregorian;
        double time;
        std::string_view written;  // columns 23-45: month, day, year and time
        std::int32_t readYear, readMonth, readDay;
        double readTime;
    };
    const Case cases[] = {
        {"midnight at the year's end", 1999, 12, 31, true, 24, "JAN 01, 200000:00:00 AM", 2000, 1,
         1, 0},
        {"AAF 24:30", 1961, 3, 7, true, 24.5, "MAR 08, 196100:30:00 AM", 1961, 3, 8, 0.5},
        {"Gregorian 1900 is common", 1900, 2, 28, true, 24.5, "MAR 01, 190000:30:00 AM", 1900, 3, 1,
         0.5},
        {"Julian 1900 is a leap year", 1900, 2, 28, false, 24.5, "FEB 29, 190000:30:00 AM", 1900, 2,
         29, 0.5},
        {"29 February", 1996, 2, 29, true, 24.25, "MAR 01, 199600:15:00 AM", 1996, 3, 1, 0.25},
        {"no year 0", -1, 12, 31, false, 24 + 59.0 / 60, "JAN 01, 000100:59:00 AM", 1, 1, 1,
         59.0 / 60},
        {"day and month 0 count as 1", 1961, 0, 0, true, 24.5, "JAN 02, 196100:30:00 AM", 1961, 1,
         2, 0.5},
        {"the last day four digits hold", 9999, 12, 31, true, 24.5, "DEC 31, 999900:30:00 AM", 9999,
         12, 31, 0.5},
        {"up to 48 hours", 1961, 3, 7, true, 47.5, "MAR 08, 196111:30:00 PM", 1961, 3, 8, 23.5},
        {"below 24 stays", 1961, 3, 7, true, 23.999, "MAR 07, 196111:59:56 PM", 1961, 3, 7,
         23 + 3596.0 / 3600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QckDatabase db;
        SetAnna(db);
        db.Year = c.year;
        db.Month = c.month;
        db.Day = c.day;
        db.Gregorian = c.gregorian;
        db.Time = c.time;
        const std::string line = Format(db);
        ExpectBytes(line.substr(23, 23), c.written);
        EXPECT_EQ(db.Time, c.time);  // only the line moves to the next day
        QckDatabase input;
        ReadBack(line, input);
        EXPECT_EQ(input.Year, c.readYear);
        EXPECT_EQ(input.Month, c.readMonth);
        EXPECT_EQ(input.Day, c.readDay);
        EXPECT_NEAR(input.Time, c.readTime, 1e-9);
    }
}

TEST(QckFormat, FitsNamesAndPlacesIntoTheirColumns) {
    struct Case {
        const char* lastName;
        const char* firstName;
        const char* place;
        const char* country;
        std::string_view name;      // columns 0-22
        std::string_view freeText;  // columns 75-100
    };
    const std::string letters(40, 'x');
    const Case cases[] = {
        {"", "", "", "", ",                      ", ",                         "},
        {"Abcdefghijklmnopqrstuvw", "Z", "P", "", "Abcdefghijklmnopqrstuvw",
         "P,                        "},
        {"Abcdefghijklmnopqrstuv", "Z", "P", "", "Abcdefghijklmnopqrstuv,",
         "P,                        "},
        {"A", "Bcdefghijklmnopqrstuvwxyz", "123456789012345678901234567890", "ABCD",
         "A,Bcdefghijklmnopqrstuv", "123456789012345678901,ABCD"},
        {"A", "B", "Szeged", letters.c_str(), "A,B                    ",
         "Szeged,xxxxxxxxxxxxxxxxxxx"},
    };
    QckDatabase db;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lastName);
        SetAnna(db);
        SetFieldText(db.LastName, c.lastName);
        SetFieldText(db.FirstName, c.firstName);
        SetFieldText(db.Place, c.place);
        SetFieldText(db.Country, c.country);
        const std::string line = Format(db);
        ASSERT_EQ(line.size(), kQckLineLength + 2);
        ExpectBytes(line.substr(0, 23), c.name);
        ExpectBytes(line.substr(75, 26), c.freeText);
    }
}

// Writing then reading gives the record back within the half second the writer rounds to.
TEST(QckFormat, GeneratedRecordsReadBack) {
    std::mt19937 random(20240607);
    auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    auto number = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    // Texts of Windows-1250 bytes without commas, control bytes or trailing spaces.
    auto text = [&](int maxLength) {
        std::string t(static_cast<std::size_t>(number(0, maxLength)), ' ');
        for (char& c : t) {
            do {
                c = static_cast<char>(number(32, 255));
            } while (c == ',' || c == '\x7F');
        }
        while (!t.empty() && t.back() == ' ')
            t.pop_back();
        return t;
    };

    test::TempDir folder;
    QckDatabase output;
    struct Expected {
        std::string lastName, firstName, place, country;
        double time, latitude, longitude, timeZone;
        int year, month, day;
    };
    std::vector<Expected> written;
    for (int i = 0; i < 3000; ++i) {
        output.ClearRecord();
        Expected e;
        e.lastName = text(22);
        e.firstName = text(22 - static_cast<int>(e.lastName.size()));
        e.place = text(21);
        e.country = text(25 - static_cast<int>(e.place.size()));
        SetFieldText(output.LastName, e.lastName);
        SetFieldText(output.FirstName, e.firstName);
        SetFieldText(output.Place, e.place);
        SetFieldText(output.Country, e.country);
        output.Year = number(-9999, 9999);
        output.Month = number(1, 12);
        output.Day = number(1, 99);
        output.Time = i % 10 == 0 ? number(0, 23) + 1 - number(1, 9) * 0.1 / 3600 : uniform(0, 24);
        output.Latitude = uniform(-90, 90);
        output.Longitude = uniform(-180, 180);
        output.TimeZone = uniform(-12.5, 12.5);
        output.DaylightCode = number(0, 4) == 0 ? -1 : 60;
        output.Gregorian = number(0, 1) == 1;
        output.Gender = 'F';
        output.LeadValue = 7;
        ASSERT_TRUE(output.AppendRecord());
        // Captured after appending: local mean time sets the zone as the line is written.
        e.time = output.Time;
        e.latitude = output.Latitude;
        e.longitude = output.Longitude;
        // The line holds the offset in force: the daylight shift is in it.
        e.timeZone = output.TimeZone - (output.DaylightCode > 0 ? 1 : 0);
        // Half a second before midnight the dial rolls over to the next day's 00:00:00 AM.
        const ChartDate date =
            output.Time >= 24 - 0.5 / 3600
                ? NextDay({output.Year, output.Month, output.Day}, output.Gregorian)
                : ChartDate{output.Year, output.Month, output.Day};
        e.year = date.Year;
        e.month = date.Month;
        e.day = date.Day;
        written.push_back(e);
    }
    const std::string path = folder.File("generated.qck");
    ASSERT_TRUE(output.SaveToFile(path));

    QckDatabase input;
    ASSERT_TRUE(input.LoadFromFile(path));
    constexpr double kSecond = 1.0 / 3600;
    std::size_t read = 0;
    do {
        ASSERT_LT(read, written.size());
        const Expected& e = written[read++];
        SCOPED_TRACE(read);
        input.ParseRecord();
        EXPECT_EQ(FieldText(input.LastName), e.lastName);
        EXPECT_EQ(FieldText(input.FirstName), e.firstName);
        EXPECT_EQ(FieldText(input.Place), e.place);
        EXPECT_EQ(FieldText(input.Country), e.country);
        EXPECT_EQ(input.Year, e.year);
        EXPECT_EQ(input.Month, e.month);
        EXPECT_EQ(input.Day, e.day);
        EXPECT_EQ(input.Gregorian, e.year > 1582);
        const double timeError = std::fabs(input.Time - e.time);
        EXPECT_LE(std::fmin(timeError, 24 - timeError), kSecond) << e.time;
        EXPECT_NEAR(input.Latitude, e.latitude, kSecond);
        EXPECT_NEAR(input.Longitude, e.longitude, kSecond);
        EXPECT_NEAR(input.TimeZone, e.timeZone, 60 * kSecond);
        EXPECT_EQ(input.Gender, 'M');
        EXPECT_EQ(input.DaylightCode, 0);
        EXPECT_EQ(input.LeadValue, 0);
    } while (input.NextRecord());
    EXPECT_EQ(read, written.size());
}

}  // namespace
}  // namespace tervalo
