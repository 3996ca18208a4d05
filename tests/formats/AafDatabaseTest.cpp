// AafDatabase: the AAF record read and written, the walk, the buffer's sizing, loads and saves.
#include "formats/AafDatabase.h"

#include <clocale>
#include <cmath>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "formats/QckDatabase.h"

namespace tervalo {
namespace {

using test::TempDir;

const std::string kKovacs = test::AafChart();

// Loads text through a file, as every database text arrives.
bool LoadText(AafDatabase& db, const TempDir& dir, std::string_view text) {
    const std::string path = dir.File("input.aaf");
    test::WriteFile(path, text);
    return db.LoadFromFile(path);
}

std::string Formatted(AafDatabase& db) {
    std::vector<char> out(kFormatRecordSize);
    return db.FormatRecord(out.data());
}

// Parses the first record of a text that holds one.
void ParseFirst(AafDatabase& db, const TempDir& dir, std::string_view text) {
    ASSERT_TRUE(LoadText(db, dir, text)) << test::Printable(text);
    db.ParseRecord();
}

// The standard chart on the day of kKovacs.
void SetKovacs(AafDatabase& db) {
    test::SetKovacs(db);
    db.Day = 15;
    db.Year = 1950;
}

void ExpectDefaults(const AafDatabase& r) {
    EXPECT_EQ(FieldText(r.LastName), "");
    EXPECT_EQ(FieldText(r.FirstName), "");
    EXPECT_EQ(FieldText(r.Place), "");
    EXPECT_EQ(FieldText(r.Country), "");
    EXPECT_EQ(FieldText(r.Notes), "");
    EXPECT_EQ(r.Time, 0.0);
    EXPECT_EQ(r.Latitude, 0.0);
    EXPECT_EQ(r.Longitude, 0.0);
    EXPECT_EQ(r.TimeZone, 0.0);
    EXPECT_EQ(r.LeadValue, 0.0);
    EXPECT_EQ(r.DaylightCode, 0);
    EXPECT_EQ(r.Year, 1900);
    EXPECT_EQ(r.Month, 1);
    EXPECT_EQ(r.Day, 1);
    EXPECT_TRUE(r.Gregorian);
    EXPECT_EQ(r.Gender, '*');
}

TEST(AafDatabase, NewObjectAndClearRecordHoldTheDefaults) {
    TempDir dir;
    AafDatabase db;
    EXPECT_EQ(db.Text(), "");
    EXPECT_FALSE(db.HasCurrentRecord());
    EXPECT_EQ(db.Capacity(), 262144);

    ParseFirst(db, dir, "#A93:A,B,F,02.03.1500j,1:2,P,C\r\n#B93:5,1N1,1E1,1he1,2\r\n#Note\r\n\r\n");
    db.Countries.push_back("Hungary=H");
    const std::size_t cursor = db.Cursor();
    db.ClearRecord();
    ExpectDefaults(db);
    ExpectDefaults(AafDatabase());
    EXPECT_EQ(db.Cursor(), cursor);
    EXPECT_EQ(db.Countries.size(), 1u);
    EXPECT_FALSE(db.Text().empty());
}

TEST(AafDatabase, ResetEmptiesTheTextButKeepsTheRecord) {
    TempDir dir;
    AafDatabase db;
    ParseFirst(db, dir, kKovacs);
    db.Reset();
    EXPECT_EQ(db.Text(), "");
    EXPECT_FALSE(db.HasCurrentRecord());
    EXPECT_EQ(FieldText(db.LastName), "Kovacs");
    EXPECT_EQ(db.Day, 15);
    db.ParseRecord();  // no current record: nothing happens
    EXPECT_EQ(FieldText(db.LastName), "Kovacs");
}

TEST(AafDatabase, WritesTheKovacsRecordExactlyAndReadsItBack) {
    AafDatabase db;
    SetKovacs(db);
    ExpectBytes(Formatted(db),
                "#A93:"         // marker
                "Kovacs,"       // LastName
                "Janos,"        // FirstName
                "M,"            // Gender
                "15.03.1950g,"  // Day, Month, Year, Gregorian
                "14:30,"        // Time, no seconds
                "Budapest,"     // Place
                "H\r\n"         // Country ends the line
                "#B93:"         // marker
                "*,"            // LeadValue 0
                "47N30,"        // Latitude
                "19E05,"        // Longitude
                "1he00,"        // TimeZone: one hour east
                "0\r\n"         // DaylightCode
                "\r\n");        // blank line ends the record
    EXPECT_EQ(db.FormatRecord(nullptr), nullptr);

    TempDir dir;
    AafDatabase reader;
    ParseFirst(reader, dir, kKovacs);
    EXPECT_EQ(FieldText(reader.LastName), "Kovacs");
    EXPECT_EQ(FieldText(reader.FirstName), "Janos");
    EXPECT_EQ(reader.Gender, 'M');
    EXPECT_EQ(reader.Day, 15);
    EXPECT_EQ(reader.Month, 3);
    EXPECT_EQ(reader.Year, 1950);
    EXPECT_TRUE(reader.Gregorian);
    EXPECT_EQ(reader.Time, 14.5);
    EXPECT_EQ(FieldText(reader.Place), "Budapest");
    EXPECT_EQ(FieldText(reader.Country), "H");
    EXPECT_EQ(reader.Latitude, 47.5);
    EXPECT_NEAR(reader.Longitude, 19 + 5 / 60.0, 1e-12);
    EXPECT_EQ(reader.TimeZone, -1.0);
    EXPECT_EQ(reader.LeadValue, 0.0);
    EXPECT_EQ(reader.DaylightCode, 0);
    EXPECT_EQ(FieldText(reader.Notes), "");
}

// Field values, each changed from the Kovacs record, and the two lines they are written as.
TEST(AafDatabase, FormatsEveryFieldInItsFixedShape) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kHuge = 1e300;
    struct Case {
        const char* what;
        void (*change)(AafDatabase&);
        std::string_view aLine;  // behind "#A93:"
        std::string_view bLine;  // behind "#B93:"
    };
    const Case cases[] = {
        {"kovacs", [](AafDatabase&) {}, "Kovacs,Janos,M,15.03.1950g,14:30,Budapest,H",
         "*,47N30,19E05,1he00,0"},
        {"empty texts as stars",
         [](AafDatabase& r) {
             r.LastName[0] = r.FirstName[0] = r.Place[0] = r.Country[0] = '\0';
             r.Gender = '*';
         },
         "*,*,*,15.03.1950g,14:30,*,*", "*,47N30,19E05,1he00,0"},
        {"seconds rounded to the nearest", [](AafDatabase& r) { r.Time = 9.999; },
         "Kovacs,Janos,M,15.03.1950g,09:59:56,Budapest,H", "*,47N30,19E05,1he00,0"},
        {"seconds kept", [](AafDatabase& r) { r.Time = 14 + 30 / 60.0 + 15 / 3600.0; },
         "Kovacs,Janos,M,15.03.1950g,14:30:15,Budapest,H", "*,47N30,19E05,1he00,0"},
        {"sixty minutes carry into the hour", [](AafDatabase& r) { r.Time = 12.99999; },
         "Kovacs,Janos,M,15.03.1950g,13:00,Budapest,H", "*,47N30,19E05,1he00,0"},
        {"sixty minutes carry into degrees and zone",
         [](AafDatabase& r) {
             r.Latitude = -47.99999;
             r.Longitude = 122.99999;
             r.TimeZone = 4.99999;
         },
         "Kovacs,Janos,M,15.03.1950g,14:30,Budapest,H", "*,48S00,123E00,5hw00,0"},
        {"year before the common era, Julian",
         [](AafDatabase& r) {
             r.Year = -44;
             r.Gregorian = false;
         },
         "Kovacs,Janos,M,15.03.-0044j,14:30,Budapest,H", "*,47N30,19E05,1he00,0"},
        {"three-digit year padded", [](AafDatabase& r) { r.Year = 800; },
         "Kovacs,Janos,M,15.03.0800g,14:30,Budapest,H", "*,47N30,19E05,1he00,0"},
        {"years beyond four digits held at 9999",
         [](AafDatabase& r) { r.Year = std::numeric_limits<std::int32_t>::min(); },
         "Kovacs,Janos,M,15.03.-9999g,14:30,Budapest,H", "*,47N30,19E05,1he00,0"},
        {"zero day and month written as 1",
         [](AafDatabase& r) {
             r.Day = 0;
             r.Month = 0;
         },
         "Kovacs,Janos,M,01.01.1950g,14:30,Budapest,H", "*,47N30,19E05,1he00,0"},
        {"west, south, daylight codes",
         [](AafDatabase& r) {
             r.Latitude = -5 - 7 / 60.0;
             r.Longitude = -(122 + 25 / 60.0);
             r.TimeZone = 5.5;
             r.DaylightCode = 30;
         },
         "Kovacs,Janos,M,15.03.1950g,14:30,Budapest,H", "*,05S07,122W25,5hw30,h"},
        {"local mean time", [](AafDatabase& r) { r.DaylightCode = -1; },
         "Kovacs,Janos,M,15.03.1950g,14:30,Budapest,H", "*,47N30,19E05,1he00,L"},
        {"two hours of daylight saving", [](AafDatabase& r) { r.DaylightCode = 120; },
         "Kovacs,Janos,M,15.03.1950g,14:30,Budapest,H", "*,47N30,19E05,1he00,2"},
        {"unknown daylight code written empty", [](AafDatabase& r) { r.DaylightCode = 45; },
         "Kovacs,Janos,M,15.03.1950g,14:30,Budapest,H", "*,47N30,19E05,1he00,"},
        {"lead value in 13 digits", [](AafDatabase& r) { r.LeadValue = 1234.56789012345678; },
         "Kovacs,Janos,M,15.03.1950g,14:30,Budapest,H", "1234.567890123,47N30,19E05,1he00,0"},
        {"small and negative lead values", [](AafDatabase& r) { r.LeadValue = -0.00001; },
         "Kovacs,Janos,M,15.03.1950g,14:30,Budapest,H", "-1e-05,47N30,19E05,1he00,0"},
        {"NaN and huge values stay inside the shape",
         [](AafDatabase& r) {
             r.Time = kNaN;
             r.Latitude = kHuge;
             r.Longitude = -kHuge;
             r.TimeZone = kNaN;
             r.LeadValue = kHuge;
         },
         "Kovacs,Janos,M,15.03.1950g,00:00,Budapest,H",
         "1e+300,1000000000N00,1000000000W00,0hw00,0"},
        {"NUL gender written as not given", [](AafDatabase& r) { r.Gender = '\0'; },
         "Kovacs,Janos,*,15.03.1950g,14:30,Budapest,H", "*,47N30,19E05,1he00,0"},
        {"line break as gender written as not given", [](AafDatabase& r) { r.Gender = '\n'; },
         "Kovacs,Janos,*,15.03.1950g,14:30,Budapest,H", "*,47N30,19E05,1he00,0"},
        {"CR as gender written as not given", [](AafDatabase& r) { r.Gender = '\r'; },
         "Kovacs,Janos,*,15.03.1950g,14:30,Budapest,H", "*,47N30,19E05,1he00,0"},
        {"line breaks in texts stand as spaces",
         [](AafDatabase& r) {
             SetFieldText(r.LastName, "Ko\r\nvacs");
             SetFieldText(r.FirstName, "Ja\nnos\r");
             SetFieldText(r.Place, "\rBuda\n\npest");
             SetFieldText(r.Country, "H\r\n");
         },
         "Ko  vacs,Ja nos ,M,15.03.1950g,14:30, Buda  pest,H  ", "*,47N30,19E05,1he00,0"},
        {"markers in texts lose their #",
         [](AafDatabase& r) {
             SetFieldText(r.LastName, "Kov#A93:Evil");
             SetFieldText(r.FirstName, "#B93:x");
             SetFieldText(r.Place, "#A93");
             SetFieldText(r.Country, "##B93#A93:");
         },
         "Kov A93:Evil, B93:x,M,15.03.1950g,14:30, A93,# B93 A93:", "*,47N30,19E05,1he00,0"},
        {"every other # kept",
         [](AafDatabase& r) {
             SetFieldText(r.LastName, "#1 #A9 #A39");
             SetFieldText(r.FirstName, "#a93:");
             SetFieldText(r.Place, "#");
             SetFieldText(r.Country, "H#");
         },
         "#1 #A9 #A39,#a93:,M,15.03.1950g,14:30,#,H#", "*,47N30,19E05,1he00,0"},
    };
    for (const Case& c : cases) {
        AafDatabase db;
        SetKovacs(db);
        c.change(db);
        ExpectBytes(Formatted(db), "#A93:" + std::string(c.aLine) +
                                       "\r\n#B93:" + std::string(c.bLine) + "\r\n\r\n")
            << c.what;
    }
}

TEST(AafDatabase, WritesNotesBetweenTheSecondLineAndTheBlankLine) {
    AafDatabase db;
    SetKovacs(db);
    SetFieldText(db.Notes, "#COM:first\r\nsecond, with comma");
    ExpectBytes(Formatted(db),
                "#A93:Kovacs,Janos,M,15.03.1950g,14:30,Budapest,H\r\n"  // person
                "#B93:*,47N30,19E05,1he00,0\r\n"                        // location
                "#COM:first\r\nsecond, with comma\r\n"                  // notes
                "\r\n");                                                // end of record
}

TEST(AafDatabase, FormatStaysInsideItsBufferWithFullFields) {
    AafDatabase db;
    SetKovacs(db);
    const std::string full(300, 'x');
    SetFieldText(db.LastName, full);
    SetFieldText(db.FirstName, full);
    SetFieldText(db.Place, full);
    SetFieldText(db.Country, full);
    SetFieldText(db.Notes, "#" + std::string(5000, 'n'));
    db.Day = db.Month = std::numeric_limits<std::int32_t>::min();
    db.LeadValue = -std::numeric_limits<double>::denorm_min();
    db.Time = -1e300;
    const std::string text = Formatted(db);
    EXPECT_LT(text.size(), kFormatRecordSize);
    EXPECT_NE(text.find(std::string(255, 'x') + ","), std::string::npos);
    EXPECT_EQ(text.find(std::string(256, 'x')), std::string::npos);
    EXPECT_NE(text.find("#" + std::string(4091, 'n') + "\r\n"), std::string::npos);
    EXPECT_EQ(text.find(std::string(4092, 'n')), std::string::npos);
}

// Notes without a leading "#" (from other programs) go as a comment, or a reader would not
// find them; a record marker inside them would split the chart when the text is read again.
TEST(AafDatabase, NotesFromOtherProgramsComeBackWhole) {
    struct Case {
        std::string Notes;
        std::string Written;
    };
    const Case cases[] = {
        {"Born at home\r\n#A93:Kovacs", "#COM:Born at home\r\n A93:Kovacs"},
        {"#COM:kept", "#COM:kept"},
        {std::string(5000, 'n'), "#COM:" + std::string(4087, 'n')},
    };
    for (const Case& c : cases) {
        AafDatabase db;
        SetKovacs(db);
        SetFieldText(db.Notes, c.Notes);
        ASSERT_TRUE(db.AppendRecord());
        db.FirstRecord();
        db.ParseRecord();
        EXPECT_EQ(FieldText(db.Notes), c.Written);
        EXPECT_FALSE(db.NextRecord());
    }
}

// The fields a reader gives for one record.
struct Fields {
    std::string_view lastName;
    std::string_view firstName;
    char gender;
    std::int32_t day, month, year;
    bool gregorian;
    double time;
    std::string_view place, country;
    double leadValue, latitude, longitude, timeZone;
    std::int32_t daylightCode;
    std::string_view notes;
};

void ExpectFields(const AafDatabase& r, const Fields& f, std::string_view what) {
    SCOPED_TRACE(test::Printable(what));
    EXPECT_EQ(FieldText(r.LastName), f.lastName);
    EXPECT_EQ(FieldText(r.FirstName), f.firstName);
    EXPECT_EQ(r.Gender, f.gender);
    EXPECT_EQ(r.Day, f.day);
    EXPECT_EQ(r.Month, f.month);
    EXPECT_EQ(r.Year, f.year);
    EXPECT_EQ(r.Gregorian, f.gregorian);
    EXPECT_NEAR(r.Time, f.time, 1e-12);
    EXPECT_EQ(FieldText(r.Place), f.place);
    EXPECT_EQ(FieldText(r.Country), f.country);
    EXPECT_EQ(r.LeadValue, f.leadValue);
    EXPECT_NEAR(r.Latitude, f.latitude, 1e-12);
    EXPECT_NEAR(r.Longitude, f.longitude, 1e-12);
    EXPECT_NEAR(r.TimeZone, f.timeZone, 1e-12);
    EXPECT_EQ(r.DaylightCode, f.daylightCode);
    EXPECT_EQ(FieldText(r.Notes), f.notes);
}

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(AafDatabase, ReadsTheLenientFormsOfEveryField) {
    struct Case {
        std::string text;
        Fields expected;
    };
    const Case cases[] = {
        // The inner comma of the given names becomes a space; no calendar letter after 1582.
        {"#A93:Smith,John, Jr.,M,1.2.1950,12h,London,GB\r\n#B93:*,51N30,0W10,0hw00,0\r\n",
         {"Smith", "John  Jr.", 'M', 1, 2, 1950, true, 12.0, "London", "GB", 0, 51.5, -10 / 60.0, 0,
          0, ""}},
        // No letter up to 1582 is Julian; 31 February is bounded to 29.
        {"#A93:A,B,F,1.2.1500,25:10,P,C\r\n#B93:*,1S0,1E0,1he00,L\r\n",
         {"A", "B", 'F', 1, 2, 1500, false, 23 + 10 / 60.0, "P", "C", 0, -1, 1, -1, -1, ""}},
        {"#A93:A,B,,31.02.1999g,14:30:15,P,C\r\n#B93:*,47N30:40,181E00,13he00,h\r\n",
         {"A", "B", '*', 29, 2, 1999, true, 14 + 30 / 60.0 + 15 / 3600.0, "P", "C", 0,
          47 + 30 / 60.0 + 40 / 3600.0, 179, -13, 30, ""}},
        // Stars and empty fields; the year before the common era with its Julian letter.
        {"#A93:*,*,*,*,*,*,*\r\n#B93:*,*,*,*,*\r\n",
         {"", "", '*', 0, 0, 1900, true, 0, "", "", 0, 0, 0, 0, 0, ""}},
        {"#A93:,,,15.03.-0044j,,,\r\n#B93:,,,,1\r\n",
         {"", "", '*', 15, 3, -44, false, 0, "", "", 0, 0, 0, 0, 60, ""}},
        // Zones without the "h": the hours end in the direction letter.
        {"#A93:A,B,M,1.1.1900G,5:0:0,P,*\r\n#B93:*,91N00,180W00,0E44:0,w\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 89, -180, -44 / 60.0, 60, ""}},
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,90S00,0E00,5W30:0,2\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, -90, 0, 5.5, 120, ""}},
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,0N0,0E0,1E24:0,x\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, -(1 + 24 / 60.0), 0, ""}},
        // Zones with the minutes, and seconds, before the direction letter.
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,0N0,0E0,5:45E,1\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, -5.75, 60, ""}},
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,0N0,0E0,3:30W,0\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, 3.5, 0, ""}},
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,0N0,0E0,2:00e,2\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, -2, 120, ""}},
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,0N0,0E0,0:00W,0\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, 0, 0, ""}},
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,0N0,0E0,5:45:30E,h\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, -(5.75 + 30 / 3600.0), 30, ""}},
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,0N0,0E0,13:75:99E,1\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, -(13 + 59 / 60.0 + 59 / 3600.0), 60,
          ""}},
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,0N0,0E0,4:30,1\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, 4.5, 60, ""}},
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,0N0,0E0,1E,1\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, -1, 60, ""}},
        // Zones reach 14 hours; larger ones are held at 14.
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,0N0,0E0,14he00,0\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, -14, 0, ""}},
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,0N0,0E0,15hw30,0\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, 14.5, 0, ""}},
        {"#A93:A,B,M,1.1.1900G,5,P,*\r\n#B93:*,0N0,0E0,13:00E,1\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, -13, 60, ""}},
        // Leading values: white space and "+" skipped, overflow to infinity, text cut at 63.
        {"#A93:A,B,M,1.1.1900,5,P,*\r\n#B93: +12.5,0N0,0E0,0hw00,0\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 12.5, 0, 0, 0, 0, ""}},
        {"#A93:A,B,M,1.1.1900,5,P,*\r\n#B93:-1e999,0N0,0E0,0hw00,0\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", -kInf, 0, 0, 0, 0, ""}},
        {"#A93:A,B,M,1.1.1900,5,P,*\r\n#B93:abc,0N0,0E0,0hw00,0\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 0, 0, 0, 0, 0, ""}},
        {"#A93:A,B,M,1.1.1900,5,P,*\r\n#B93:1" + std::string(62, '0') + "9,0N0,0E0,0hw00,0\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "", 1e62, 0, 0, 0, 0, ""}},
        // Numbers of many digits saturate and are bounded.
        {"#A93:A,B,M,99999999999999999999.99999999999999.123456789012345g,"
         "99999999999999:99999999999999:9999999999,P,C\r\n"
         "#B93:*,99999999999999N99999999999,99999999999E0,99999999999he99999999999,0\r\n",
         {"A", "B", 'M', 31, 12, 9999, true, 23 + 59 / 60.0 + 59 / 3600.0, "P", "C", 0,
          89 + 59 / 60.0, 179, -(14 + 59 / 60.0), 0, ""}},
        // Country ends at the line end; accented bytes are ordinary characters.
        {"#A93:Kov\xE1"
         "cs,J\xE1nos,M,1.1.1900,5,P\xE9"
         "cs,Magyarorsz\xE1g\r\n#B93:*,0N0,0E0,0hw0,0\r\n",
         {"Kov\xE1"
          "cs",
          "J\xE1nos", 'M', 1, 1, 1900, true, 5,
          "P\xE9"
          "cs",
          "Magyarorsz\xE1g", 0, 0, 0, 0, 0, ""}},
        // Notes: from the next "#", trailing control characters cut.
        {"#A93:A,B,M,1.1.1900,5,P,C\r\n#B93:*,0N0,0E0,0hw00,0\r\n#COM:a, b\r\nsecond\r\n\r\n",
         {"A", "B", 'M', 1, 1, 1900, true, 5, "P", "C", 0, 0, 0, 0, 0, "#COM:a, b\r\nsecond"}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        AafDatabase db;
        ParseFirst(db, dir, c.text);
        ExpectFields(db, c.expected, c.text);
    }
}

TEST(AafDatabase, EmptyDateKeepsTheCalendarAndIsWrittenAsTheFirstOfJanuary) {
    TempDir dir;
    AafDatabase db;
    db.Gregorian = false;
    ParseFirst(db, dir, "#A93:A,B,M,*,*,P,C\r\n#B93:*,0N0,0E0,0hw00,0\r\n");
    EXPECT_EQ(db.Day, 0);
    EXPECT_EQ(db.Month, 0);
    EXPECT_EQ(db.Year, 1900);
    EXPECT_FALSE(db.Gregorian);
    EXPECT_NE(Formatted(db).find(",01.01.1900j,"), std::string::npos);
    EXPECT_EQ(db.Day, 1);
    EXPECT_EQ(db.Month, 1);
}

TEST(AafDatabase, WrittenRecordsReadBackToTheSameText) {
    const std::string_view records[] = {
        kKovacs,
        "#A93:Smith,John  Jr.,F,29.02.1999g,14:30:15,London,GB\r\n"
        "#B93:-3.25,05S07,122W25,5hw30,h\r\n\r\n",
        "#A93:Caesar,Gaius Julius,M,15.03.-0044j,00:00,Roma,I\r\n"
        "#B93:1234.567890123,41N54,12E29,0he49,L\r\n\r\n",
        "#A93:*,*,*,01.01.0800j,23:59:59,*,*\r\n"
        "#B93:1e+20,90N00,180W00,12hw00,2\r\n#COM:line one\r\nline two, too\r\n\r\n",
        "#A93:Nagy,\xC9va,F,31.12.9999g,24:00,Gy\xF5r,H\r\n#B93:*,00N00,00E00,0hw00,1\r\n\r\n",
    };
    for (std::string_view record : records) {
        TempDir dir;
        AafDatabase db;
        ParseFirst(db, dir, record);
        ExpectBytes(Formatted(db), record);
    }
}

// Each record is read only up to the next "#A93": a damaged record never takes the fields of
// the next chart.
TEST(AafDatabase, ReadsOfARecordStopAtTheNextRecord) {
    struct Case {
        std::string_view text;
        Fields expected;
    };
    const Fields next{"", "", '*', 0, 0, 1900, true, 0, "", "", 0, 0, 0, 0, 0, ""};
    const Case cases[] = {
        // No "#B93" line: the next record's is not taken.
        {"#A93:A,B,M,1.2.1950g,10:00,P,C\r\n\r\n#A93:X,Y,F,3.4.1960g,11:00,Q,D\r\n"
         "#B93:*,47N30,19E05,1he00,1\r\n",
         {"A", "B", 'M', 1, 2, 1950, true, 10, "P", "C", 0, 0, 0, 0, 0, ""}},
        // Fields without digits: date and time stay at their bounded zeros.
        {"#A93:A,B,M,date,time\r\n#A93:X,Y,F,3.4.1960g,11:00,Q,D\r\n#B93:*,47N30,19E05,1he00,1\r\n",
         {"A", "B", 'M', 1, 1, 0, true, 0, "", "", 0, 0, 0, 0, 0, ""}},
        // A record of nothing but its marker.
        {"#A93:#A93:X,Y,F,3.4.1960g,11:00,Q,D\r\n#B93:*,47N30,19E05,1he00,1\r\n", next},
        // The given names never find their end: they stop at the next record.
        {"#A93:A,B\r\n#A93:X,Y,F,3.4.1960g,11:00,Q,D\r\n#B93:*,47N30,19E05,1he00,1\r\n",
         {"A", "B\r\n", '*', 0, 0, 1900, true, 0, "", "", 0, 0, 0, 0, 0, ""}},
        // A "#B93" line with no digits reads zeros, not the next record's numbers.
        {"#A93:A,B,M,1.2.1950g,10:00,P,C\r\n#B93:x\r\n#A93:X,Y,F,3.4.1960g,11:00,Q,D\r\n"
         "#B93:*,47N30,19E05,1he00,1\r\n",
         {"A", "B", 'M', 1, 2, 1950, true, 10, "P", "C", 0, 0, 0, 0, 0, ""}},
        // Notes end at the next record.
        {"#A93:A,B,M,1.2.1950g,10:00,P,C\r\n#B93:*,1N0,1E0,1he00,0\r\n#N\r\n#A93:X,Y,F,,,,\r\n",
         {"A", "B", 'M', 1, 2, 1950, true, 10, "P", "C", 0, 1, 1, -1, 0, "#N"}},
        // A record cut short at the very end of the text.
        {"#A93:A,B,M,1.2.1950", {"A", "B", 'M', 1, 2, 1950, true, 0, "", "", 0, 0, 0, 0, 0, ""}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        AafDatabase db;
        ParseFirst(db, dir, c.text);
        ExpectFields(db, c.expected, c.text);
    }
}

TEST(AafDatabase, WalksRecordsWithAndWithoutSecondLinesAndNotes) {
    TempDir dir;
    AafDatabase db;
    ASSERT_TRUE(LoadText(db, dir,
                         "comment before the first record\r\n"
                         "#A93:One,A,M,1.1.1901g,1:00,P,C\r\n#B93:*,1N00,1E00,1he00,0\r\n\r\n"
                         "#A93:Two,B,F,2.2.1902g,2:00,P,C\r\n\r\n"
                         "#A93:Three,C,M,3.3.1903g,3:00,P,C\r\n#B93:*,3N00,3E00,3he00,1\r\n"
                         "#COM:note of three\r\n\r\n"
                         "#A93:Four,D,M,4.4.1904g,4:00,P,C\r\n#B93:*,4N00,4E00,4he00,2\r\n"));
    std::vector<std::string> seen;
    for (int pass = 0; pass < 2; ++pass) {
        seen.clear();
        do {
            db.ParseRecord();
            seen.push_back(std::string(FieldText(db.LastName)) + " " +
                           std::to_string(static_cast<int>(db.Latitude)) + " " +
                           std::string(FieldText(db.Notes)));
        } while (db.NextRecord());
        const std::size_t last = db.Cursor();
        EXPECT_FALSE(db.NextRecord());
        EXPECT_EQ(db.Cursor(), last);
        db.FirstRecord();
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"One 1 ", "Two 0 ", "Three 3 #COM:note of three",
                                              "Four 4 "}));

    AafDatabase empty;
    empty.FirstRecord();
    EXPECT_FALSE(empty.HasCurrentRecord());
    EXPECT_FALSE(empty.NextRecord());
}

// Charts whose texts hold a record marker or line breaks, as QCK lines and Placidus headers
// may, stay one chart each when the collected text is walked again by the writers.
TEST(AafDatabase, TextsWithMarkersOrLineBreaksStayOneChartWhenWalkedAgain) {
    AafDatabase db;
    SetKovacs(db);
    SetFieldText(db.LastName, "Kov#A93:Evil");
    SetFieldText(db.FirstName, "Anna #B93:*");
    ASSERT_TRUE(db.AppendRecord());
    SetKovacs(db);
    SetFieldText(db.LastName, "Nagy");
    SetFieldText(db.FirstName, "Eva");
    SetFieldText(db.Place, "Buda\r\npest");
    SetFieldText(db.Country, "H\r\n#A93:");
    db.Latitude = -33.5;
    ASSERT_TRUE(db.AppendRecord());

    TempDir dir;
    ASSERT_TRUE(db.SaveCsvFile(dir.File("charts.csv")));
    ExpectBytes(test::ReadFile(dir.File("charts.csv")),
                // names with their markers defused, the location line the chart's own
                "Kov A93:Evil,Anna  B93:*,M,1950.03.15,g,14.5,-1,0,47.5,19.083333,Budapest,H\r\n"
                // place and country on the chart's own line, the south latitude its own
                "Nagy,Eva,M,1950.03.15,g,14.5,-1,0,-33.5,19.083333,Buda  pest,H   A93:\r\n");
    ASSERT_TRUE(db.SaveHorFiles(dir.File("charts")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("charts")),
                            std::filesystem::directory_iterator()),
              2);
}

// NextRecord may reuse what ParseRecord found at the same cursor, but never across a new text:
// here the second file's third record starts where the first file's second one did.
TEST(AafDatabase, WalkAfterANewLoadFollowsTheNewText) {
    TempDir dir;
    AafDatabase db;
    const std::string a = "#A93:A1,x,M,1.1.1901g,1:00,P,C\r\n\r\n";
    ASSERT_TRUE(LoadText(db, dir, a + a));
    db.ParseRecord();  // remembers that the next marker stands at a.size()
    const std::string b1 = "#A93:B1,x\r\n";
    std::string b2 = "#A93:B2,";
    b2.resize(a.size() - b1.size() - 2, 'y');
    ASSERT_TRUE(LoadText(db, dir, b1 + b2 + "\r\n" + a));
    ASSERT_TRUE(db.NextRecord());  // without parsing the new first record
    db.ParseRecord();
    EXPECT_EQ(FieldText(db.LastName), "B2");
    ASSERT_TRUE(db.NextRecord());
    // Appending behind the last record gives it a successor.
    db.ParseRecord();
    ASSERT_FALSE(db.NextRecord());
    SetFieldText(db.LastName, "Appended");
    ASSERT_TRUE(db.AppendRecord());
    EXPECT_TRUE(db.NextRecord());
    db.ParseRecord();
    EXPECT_EQ(FieldText(db.LastName), "Appended");
}

// A record as AAF text, through a database of its own (formatting fills in a zero day).
std::string RecordText(const AafRecord& record) {
    AafDatabase scratch;
    static_cast<AafRecord&>(scratch) = record;
    char out[kFormatRecordSize];
    return scratch.FormatRecord(out);
}

struct WalkedRecord {
    std::size_t Cursor;
    std::string Text;
    bool operator==(const WalkedRecord&) const = default;
};

// Every record a walk with ParseRecord and NextRecord finds, from the first.
std::vector<WalkedRecord> PlainWalk(AafDatabase& db) {
    std::vector<WalkedRecord> walked;
    db.FirstRecord();
    do {
        db.ParseRecord();
        walked.push_back({db.Cursor(), RecordText(db)});
    } while (db.NextRecord());
    return walked;
}

// Every record written as `form` writes it, after a plain walk from the first record.
std::vector<WalkedRecord> PlainlyFormed(AafDatabase& db, ChartTextWriter form) {
    std::vector<WalkedRecord> formed;
    db.FirstRecord();
    do {
        db.ParseRecord();
        AafRecord record = db;
        char out[kChartTextSize];
        formed.push_back({db.Cursor(), std::string(out, form(record, out))});
    } while (db.NextRecord());
    return formed;
}

std::size_t FormQck(AafRecord& record, char* out) {
    return QckDatabase::FormatLine(record, out);
}

// Large texts are parsed and written a stretch at a time on two threads; the texts must come
// out as a plain walk writes them, wherever the stretches' edges fall, with the calendar of a
// record without a date carried over from the record before it, and from the database's own
// calendar before the first record.
TEST(AafDatabase, FormRecordsGivesTheTextsOfAPlainWalkInOrder) {
    const struct {
        const char* Name;
        ChartTextWriter Form;
    } forms[] = {{"aaf", &AafDatabase::FormatRecordText}, {"qck", &FormQck}};
    for (const auto& [name, form] : forms) {
        for (const std::size_t size : {std::size_t{20000}, std::size_t{3'000'000}}) {
            for (const bool gregorianBefore : {true, false}) {
                for (const WalkedText walked : {WalkedText::Kept, WalkedText::Released}) {
                    SCOPED_TRACE(testing::Message() << name << " " << size << " " << gregorianBefore
                                                    << " " << (walked == WalkedText::Kept));
                    TempDir dir;
                    AafDatabase db;
                    // The first record has no date: it takes the calendar the database holds.
                    ASSERT_TRUE(
                        LoadText(db, dir, "#A93:Undated\r\n\r\n" + test::MixedAafText(size, 5)));
                    const std::int32_t capacity = db.Capacity();
                    db.Gregorian = gregorianBefore;
                    std::vector<WalkedRecord> expected = PlainlyFormed(db, form);
                    ASSERT_GT(expected.size(), 10u);
                    db.FirstRecord();
                    db.Gregorian = gregorianBefore;
                    const std::string lastParsed = PlainWalk(db).back().Text;

                    db.FirstRecord();
                    db.Gregorian = gregorianBefore;
                    std::vector<std::string> taken;
                    EXPECT_TRUE(db.ConvertRecords(
                        form,
                        [&](std::string_view text) {
                            taken.emplace_back(text);
                            return true;
                        },
                        walked));
                    ASSERT_EQ(taken.size(), expected.size());
                    for (std::size_t i = 0; i < expected.size(); ++i)
                        ASSERT_EQ(taken[i], expected[i].Text) << "record " << i;
                    // Either way the record fields are those of the last record.
                    EXPECT_EQ(RecordText(db), lastParsed);
                    EXPECT_EQ(db.Capacity(), capacity);
                    if (walked == WalkedText::Kept) {
                        EXPECT_EQ(db.Cursor(), expected.back().Cursor);
                        EXPECT_FALSE(db.NextRecord());
                    } else {
                        EXPECT_FALSE(db.HasCurrentRecord());
                        EXPECT_TRUE(db.Text().empty());
                    }
                }
            }
        }
    }
}

TEST(AafDatabase, FormRecordsStopsWhereTakeSaysAndEndsOnThatRecordAsParsed) {
    TempDir dir;
    AafDatabase db;
    ASSERT_TRUE(LoadText(db, dir, test::MixedAafText(3'000'000, 13)));
    const std::vector<WalkedRecord> expected = PlainWalk(db);
    ASSERT_GT(expected.size(), 4000u);
    // Within the first stretch, in one the second thread formed, and in a later one.
    for (const std::size_t stop : {std::size_t{1}, std::size_t{300}, std::size_t{4000}}) {
        SCOPED_TRACE(stop);
        db.FirstRecord();
        db.Gregorian = true;
        std::size_t count = 0;
        EXPECT_FALSE(db.ConvertRecords(&AafDatabase::FormatRecordText,
                                       [&](std::string_view) { return ++count < stop; }));
        EXPECT_EQ(count, stop);
        EXPECT_EQ((WalkedRecord{db.Cursor(), RecordText(db)}), expected[stop - 1]);
    }
    // A walk that starts on a later record converts from there.
    ASSERT_TRUE(db.NextRecord());
    std::size_t count = 0;
    EXPECT_TRUE(db.ConvertRecords(&AafDatabase::FormatRecordText, [&](std::string_view) {
        ++count;
        return true;
    }));
    EXPECT_EQ(count, expected.size() - 4000);

    db.FirstRecord();
    EXPECT_THROW(db.ConvertRecords(&AafDatabase::FormatRecordText,
                                   [](std::string_view text) -> bool {
                                       if (text.find("Szabo") != std::string_view::npos)
                                           throw std::runtime_error("take failed");
                                       return true;
                                   }),
                 std::runtime_error);
}

TEST(AafDatabase, SizesTheBufferByTheGrowthRule) {
    const std::pair<std::int64_t, std::int64_t> growth[] = {
        {0, 65536}, {100, 65536}, {5000, 69632}, {200000, 262144}, {253953, 319488}};
    for (const auto& [content, capacity] : growth)
        EXPECT_EQ(GrownCapacity(content), capacity) << content;

    TempDir dir;
    AafDatabase db;
    std::string hundred(kKovacs);
    hundred.resize(100, '.');
    ASSERT_TRUE(LoadText(db, dir, hundred));
    EXPECT_EQ(db.Capacity(), 65536);
}

// Appends records with notes until the text is exactly `length` bytes long.
void FillTo(AafDatabase& db, std::size_t length) {
    SetKovacs(db);
    const std::size_t bare = Formatted(db).size();
    const std::size_t withNotes = bare + 2;  // notes are followed by CR LF
    while (db.Text().size() < length) {
        const std::size_t rest = length - db.Text().size();
        std::size_t notes = 0;
        if (rest >= withNotes + kMaxNotesLength + withNotes + 1)
            notes = kMaxNotesLength;
        else if (rest > withNotes + kMaxNotesLength)
            notes = 2000;
        else if (rest != bare)
            notes = rest - withNotes;
        SetFieldText(db.Notes, "#" + std::string(notes - (notes > 0 ? 1 : 0), 'n'));
        if (notes == 0) db.Notes[0] = '\0';
        ASSERT_TRUE(db.AppendRecord());
    }
    ASSERT_EQ(db.Text().size(), length);
}

TEST(AafDatabase, AppendGrowsOnlyWhenLessThan8KiBWouldRemain) {
    const std::pair<std::size_t, std::int32_t> cases[] = {{253952, 262144}, {253953, 319488}};
    for (const auto& [length, capacity] : cases) {
        AafDatabase db;
        FillTo(db, length);
        EXPECT_EQ(db.Capacity(), 262144);
        SetKovacs(db);
        ASSERT_TRUE(db.AppendRecord());
        EXPECT_EQ(db.Capacity(), capacity) << length;
        EXPECT_TRUE(db.Text().ends_with(kKovacs));
    }
}

TEST(AafDatabase, AppendSeparatesRecordsByOneBlankLineAndSetsTheCursorOnce) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"#A93:Xxxxx,Yyyyy,M,,,,\r\n\r\n", "#A93:Xxxxx,Yyyyy,M,,,,\r\n\r\n"},
        {"#A93:Xxxxx,Yyyyy,M,,,,\r\n", "#A93:Xxxxx,Yyyyy,M,,,,\r\n\r\n"},
        // The load's six commas, then two line ends.
        {"#A93:Xxxxx,Yyyyy,M,,,,", "#A93:Xxxxx,Yyyyy,M,,,,,,,,,,\r\n\r\n"},
    };
    for (const auto& [loaded, before] : cases) {
        TempDir dir;
        AafDatabase db;
        ASSERT_TRUE(LoadText(db, dir, std::string(loaded)));
        const std::size_t cursor = db.Cursor();
        SetKovacs(db);
        ASSERT_TRUE(db.AppendRecord());
        ExpectBytes(db.Text(), std::string(before) + std::string(kKovacs));
        EXPECT_EQ(db.Cursor(), cursor);
    }
    AafDatabase db;
    SetKovacs(db);
    ASSERT_TRUE(db.AppendRecord());
    EXPECT_EQ(db.Cursor(), 5u);
    ASSERT_TRUE(db.AppendRecord());
    EXPECT_EQ(db.Cursor(), 5u);
    ExpectBytes(db.Text(), std::string(kKovacs) + std::string(kKovacs));
}

TEST(AafDatabase, LoadFailuresLeaveNoCurrentRecordOrNothingChanged) {
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "folder");
    test::WriteFile(dir.File("tiny.aaf"), std::string(kKovacs).substr(0, 15));
    test::WriteFile(dir.File("norecord.aaf"), "#B93:*,47N30,19E05,1he00,0\r\n no record here\r\n");
    test::WriteFile(dir.File("good.aaf"), kKovacs);
    struct Case {
        std::string path;
        LoadFailure failure;
        bool keepsText;  // the loaded text survives the failure
    };
    const Case cases[] = {
        {"", LoadFailure::NoPath, true},
        {dir.File("missing.aaf"), LoadFailure::NotOpened, true},
        {dir.File("tiny.aaf"), LoadFailure::ShortOrTiny, false},
        {dir.File("norecord.aaf"), LoadFailure::NoRecord, false},
    };
    for (const Case& c : cases) {
        AafDatabase db;
        ASSERT_TRUE(db.LoadFromFile(dir.File("good.aaf")));
        EXPECT_FALSE(db.LoadFromFile(c.path)) << c.path;
        EXPECT_EQ(db.LastLoadFailure(), c.failure) << c.path;
        EXPECT_EQ(db.HasCurrentRecord(), c.keepsText) << c.path;
        EXPECT_EQ(db.Text(), c.keepsText ? kKovacs.substr(0, kKovacs.size() - 2) : "") << c.path;
    }
    AafDatabase db;
    EXPECT_FALSE(db.LoadFromFile(dir.File("folder")));
    EXPECT_FALSE(db.HasCurrentRecord());
}

TEST(AafDatabase, RefusesFilesOf2GiBWithoutReadingThem) {
    TempDir dir;
    const std::string path = dir.File("huge.aaf");
    test::WriteFile(path, kKovacs);
    std::error_code error;
    std::filesystem::resize_file(path, std::uintmax_t{1} << 31, error);
    if (error) GTEST_SKIP() << "no sparse file here: " << error.message();
    AafDatabase db;
    test::WriteFile(dir.File("good.aaf"), kKovacs);
    ASSERT_TRUE(db.LoadFromFile(dir.File("good.aaf")));
    const std::int32_t capacity = db.Capacity();
    EXPECT_FALSE(db.LoadFromFile(path));
    EXPECT_EQ(db.LastLoadFailure(), LoadFailure::TooLarge);
    EXPECT_EQ(db.Capacity(), capacity);
    EXPECT_TRUE(db.HasCurrentRecord());
    std::filesystem::remove(path);
}

TEST(AafDatabase, LoadAppendsSixCommasOnlyBehindAnUnterminatedRecordLine) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"#A93:A,B,M,1.2.1950g,10:00,P,C\r\n#B93:*,47N30,19E05",
         "#A93:A,B,M,1.2.1950g,10:00,P,C\r\n#B93:*,47N30,19E05,,,,,,"},
        {"#A93:A,B,M,1.2.1950g,10:00,P,C", "#A93:A,B,M,1.2.1950g,10:00,P,C,,,,,,"},
        {"#A93:A,B,M,1.2.1950g,10:00,P,C\r\n#note", "#A93:A,B,M,1.2.1950g,10:00,P,C\r\n#note"},
        {"#A93:A,B,M,1.2.1950g,10:00,P,C\r\n\r\n\r\n\r\n", "#A93:A,B,M,1.2.1950g,10:00,P,C\r\n"},
    };
    for (const auto& [file, text] : cases) {
        TempDir dir;
        AafDatabase db;
        ASSERT_TRUE(LoadText(db, dir, file));
        ExpectBytes(db.Text(), text);
    }
    TempDir dir;
    AafDatabase db;
    ParseFirst(db, dir, "#A93:A,B,M,1.2.1950g,10:00,P,C\r\n#B93:*,47N30,19E05");
    EXPECT_EQ(db.Latitude, 47.5);
    EXPECT_NEAR(db.Longitude, 19 + 5 / 60.0, 1e-12);
    EXPECT_EQ(db.TimeZone, 0.0);
}

TEST(AafDatabase, SaveCutsTheFinalBlankLineAndAppendRestoresIt) {
    TempDir dir;
    AafDatabase db;
    SetKovacs(db);
    EXPECT_FALSE(db.SaveToFile(dir.File("empty.aaf")));  // below five characters
    ASSERT_TRUE(db.AppendRecord());
    ASSERT_TRUE(db.AppendRecord());
    EXPECT_FALSE(db.SaveToFile(""));
    EXPECT_FALSE(db.SaveToFile(dir.File("no/such/folder.aaf")));
    ASSERT_TRUE(db.SaveToFile(dir.File("out.aaf")));
    const std::string both = std::string(kKovacs) + std::string(kKovacs);
    ExpectBytes(test::ReadFile(dir.File("out.aaf")), both.substr(0, both.size() - 2));
    ExpectBytes(db.Text(), both.substr(0, both.size() - 2));
    ASSERT_TRUE(db.AppendRecord());
    ExpectBytes(db.Text(), both + std::string(kKovacs));
}

TEST(AafDatabase, LeadValueIgnoresTheProcessLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    bool commaLocale = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "hu_HU.UTF-8", "hu_HU.utf8"})
        commaLocale = commaLocale || std::setlocale(LC_NUMERIC, name) != nullptr;
    if (!commaLocale) GTEST_SKIP() << "no locale with a decimal comma installed";
    TempDir dir;
    AafDatabase db;
    ParseFirst(db, dir, "#A93:A,B,M,1.1.1900,5,P,*\r\n#B93:12.75,0N0,0E0,0hw00,0\r\n");
    const std::string text = Formatted(db);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(db.LeadValue, 12.75);
    EXPECT_NE(text.find("#B93:12.75,"), std::string::npos);
}

// Real files written by another program: LF line ends, zones without the "h", seconds in times,
// "G" letters, notes made of "#CWORD:" and "#COM:" lines.
TEST(AafDatabase, ReadsTheRealSamples) {
    const std::filesystem::path path = test::SamplesDir() / "erfinder.aaf";
    REQUIRE_SAMPLE(path);
    AafDatabase db;
    ASSERT_TRUE(db.LoadFromFile(path.string()));
    AafDatabase output;
    std::size_t count = 0;
    do {
        db.ParseRecord();
        ++count;
        EXPECT_GE(db.Year, 1700);
        EXPECT_LE(db.Year, 1900);
        EXPECT_TRUE(db.Gregorian);
        EXPECT_TRUE(FieldText(db.Notes).starts_with("#CWORD:")) << FieldText(db.LastName);
        const std::string_view name = FieldText(db.LastName);
        if (name == "Amundsen") {
            EXPECT_EQ(FieldText(db.FirstName), " Roald");
            EXPECT_EQ(db.Gender, 'M');
            EXPECT_EQ(db.Day, 16);
            EXPECT_EQ(db.Month, 7);
            EXPECT_EQ(db.Year, 1872);
            EXPECT_EQ(db.Time, 5.0);
            EXPECT_EQ(FieldText(db.Place), "Sarpsborg");
            EXPECT_EQ(FieldText(db.Country), "");
            EXPECT_NEAR(db.Latitude, 59 + 17 / 60.0, 1e-12);
            EXPECT_NEAR(db.Longitude, 11 + 7 / 60.0, 1e-12);
            EXPECT_NEAR(db.TimeZone, -0.7333333333333333, 1e-12);
            EXPECT_EQ(db.DaylightCode, 0);
            EXPECT_EQ(FieldText(db.Notes).substr(0, 40),
                      "#CWORD:Rodden Rating C, norwegischer Pol");
        } else if (name == "Edison") {
            EXPECT_EQ(FieldText(db.FirstName), " Thomas Alva");
            EXPECT_EQ(db.Time, 1.5);
            EXPECT_NEAR(db.Longitude, -(82 + 37 / 60.0), 1e-12);
            EXPECT_EQ(db.TimeZone, 5.5);
        } else if (name == " Bell. Alexander Graham") {
            EXPECT_EQ(FieldText(db.FirstName), "");
            EXPECT_NEAR(db.TimeZone, 13 / 60.0, 1e-12);
            EXPECT_NEAR(db.Longitude, -3.2, 1e-12);
        } else if (name == "Curie" && FieldText(db.FirstName) == " Marie") {
            EXPECT_EQ(db.Gender, 'F');
            EXPECT_NEAR(db.TimeZone, -1.4, 1e-12);
        }
        // Every chart survives being written and read back.
        CopyCommonFields(db, output);
        SetFieldText(output.Notes, FieldText(db.Notes));
        ASSERT_TRUE(output.AppendRecord());
    } while (db.NextRecord());
    EXPECT_EQ(count, 50u);

    TempDir dir;
    ASSERT_TRUE(output.SaveToFile(dir.File("copy.aaf")));
    AafDatabase copy;
    ASSERT_TRUE(copy.LoadFromFile(dir.File("copy.aaf")));
    db.FirstRecord();
    std::size_t compared = 0;
    do {
        db.ParseRecord();
        copy.ParseRecord();
        ++compared;
        EXPECT_EQ(FieldText(copy.LastName), FieldText(db.LastName));
        EXPECT_EQ(FieldText(copy.FirstName), FieldText(db.FirstName));
        EXPECT_EQ(copy.Time, db.Time) << FieldText(db.LastName);
        EXPECT_EQ(copy.Latitude, db.Latitude) << FieldText(db.LastName);
        EXPECT_EQ(copy.Longitude, db.Longitude) << FieldText(db.LastName);
        EXPECT_EQ(copy.TimeZone, db.TimeZone) << FieldText(db.LastName);
        EXPECT_EQ(FieldText(copy.Notes), FieldText(db.Notes));
    } while (db.NextRecord() && copy.NextRecord());
    EXPECT_EQ(compared, 50u);
}

TEST(AafDatabase, ReadsTheOneRecordSampleEndingInEmptyLines) {
    const std::filesystem::path path = test::SamplesDir() / "one-record.aaf";
    REQUIRE_SAMPLE(path);
    AafDatabase db;
    ASSERT_TRUE(db.LoadFromFile(path.string()));
    db.ParseRecord();
    EXPECT_EQ(FieldText(db.LastName), "Amundsen");
    EXPECT_NEAR(db.TimeZone, -44 / 60.0, 1e-12);
    EXPECT_TRUE(FieldText(db.Notes).ends_with("1h00m00s"));
    EXPECT_FALSE(db.NextRecord());
}

// Every cut of a valid text loads, walks, parses and formats without reading past its end
// (the sanitizer build catches any overread).
TEST(AafDatabase, EveryPrefixOfAValidTextIsReadSafely) {
    const std::string text =
        "header\r\n"
        "#A93:Smith,John, Jr.,M,31.02.-0044j,14:30:15,London,GB\r\n"
        "#B93:  +1.5e3,47N30:40,122W25,5hw30,h\r\n"
        "#COM:note, with comma\r\n\r\n"
        "#A93:Amundsen, Roald,M,16.7.1872G,5:0:0,Sarpsborg,*\n"
        "#B93:*,59N17,11E07,0E44:0,*\n#CWORD:x\n\n"
        "#A93:*,*,,*,*,*,*\r\n"
        "#A93:*,Sita Sharma,*,29.2.1996, 0:01,Kathmandu,Nepal\n"
        "#B93:2450142.261111,27N42,85E19,5:45:30E,1\n"
        "#A93:Kovacs,Janos,M,15.03.1950g,12h,Budapest,H\r\n#B93:*,47N30,19E05,1he00,0\r\n\r\n";
    TempDir dir;
    AafDatabase db;
    AafDatabase output;
    std::vector<char> formatted(kFormatRecordSize);
    for (std::size_t length = 0; length <= text.size(); ++length) {
        const std::string path = dir.File("prefix.aaf");
        test::WriteFile(path, std::string_view(text).substr(0, length));
        if (!db.LoadFromFile(path)) continue;
        std::size_t records = 0;
        do {
            db.ParseRecord();
            db.FormatRecord(formatted.data());
            CopyCommonFields(db, output);
            ASSERT_TRUE(output.AppendRecord());
            ++records;
        } while (db.NextRecord());
        EXPECT_LE(records, 5u);
        output.Reset();
    }
}

}  // namespace
}  // namespace tervalo
