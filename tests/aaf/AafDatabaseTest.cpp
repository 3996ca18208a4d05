// AafDatabase: the AAF record read and written, the walk, the buffer's sizing, loads and saves.
#include "aaf/AafDatabase.h"

#include <clocale>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace tervalo {
namespace {

using test::TempDir;

constexpr std::string_view kKovacs =
    "#A93:Kovacs,Janos,M,15.03.1950g,14:30,Budapest,H\r\n"
    "#B93:*,47N30,19E05,1he00,0\r\n"
    "\r\n";

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

void SetKovacs(AafDatabase& db) {
    db.ClearRecord();
    SetFieldText(db.LastName, "Kovacs");
    SetFieldText(db.FirstName, "Janos");
    db.Gender = 'M';
    db.Day = 15;
    db.Month = 3;
    db.Year = 1950;
    db.Time = 14.5;
    SetFieldText(db.Place, "Budapest");
    SetFieldText(db.Country, "H");
    db.Latitude = 47.5;
    db.Longitude = 19 + 5 / 60.0;
    db.TimeZone = -1;
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
    SetFieldText(db.Notes, std::string(5000, 'n'));
    db.Day = db.Month = std::numeric_limits<std::int32_t>::min();
    db.LeadValue = -std::numeric_limits<double>::denorm_min();
    db.Time = -1e300;
    const std::string text = Formatted(db);
    EXPECT_LT(text.size(), kFormatRecordSize);
    EXPECT_NE(text.find(std::string(255, 'x') + ","), std::string::npos);
    EXPECT_EQ(text.find(std::string(256, 'x')), std::string::npos);
    EXPECT_NE(text.find(std::string(4092, 'n') + "\r\n"), std::string::npos);
    EXPECT_EQ(text.find(std::string(4093, 'n')), std::string::npos);
}

}  // namespace
}  // namespace tervalo
