// Tests of the Astro-Databank XML reader on exports built entry by entry.
#include "formats/AdbXmlReader.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "CorrectionsText.h"
#include "TestSupport.h"

namespace tervalo {
namespace {

// One adb_entry; every part can be replaced by a case.
struct EntryXml {
    std::string Id = "1019";
    std::string Name = "Fegelein, Hermann";
    std::string Sex = "m";
    std::string Date = R"(ccalendar="g" iyear="1906" imonth="10" iday="30")";
    std::string Time = R"(ctimetype="s" stmerid="h1e" jd_ut="2417513.833333")";
    std::string Clock = "09:00";
    std::string Place = R"(slati="49n18" slong="10e35")";
    std::string Country = R"(<country sctr="GER">Germany</country>)";
    std::string Biography = "Officer.";

    std::string Xml() const {
        return "  <adb_entry adb_id=\"" + Id + "\">\n    <public_data>\n      <name>" + Name +
               "</name>\n      <gender csex=\"" + Sex +
               "\">M</gender>\n      <roddenrating rrc=\"1\">AA</roddenrating>\n      <bdata>\n"
               "        <sbdate " +
               Date + ">x</sbdate>\n        <sbtime " + Time + ">" + Clock +
               "</sbtime>\n        <place " + Place + ">Ansbach</place>\n        " + Country +
               "\n      </bdata>\n    </public_data>\n    <text_data><shortbiography>" + Biography +
               "</shortbiography></text_data>\n    <research_data><sbdate iyear=\"1\"/>"
               "</research_data>\n  </adb_entry>\n";
    }
};

std::string Export(const std::vector<EntryXml>& entries, std::string_view head = "") {
    std::string text = std::string(head) + "<astrodatabank_export export_format=\"160715\">\n";
    for (const EntryXml& entry : entries)
        text += entry.Xml();
    return text + "</astrodatabank_export>\n";
}

struct Parsed {
    ChartFileRead Read;
    std::vector<AafRecord> Charts;
};

Parsed Parse(std::string_view text) {
    Parsed parsed;
    parsed.Read = ParseAdbXml(text, [&](const AafRecord& chart) {
        parsed.Charts.push_back(chart);
        return true;
    });
    return parsed;
}

std::uint32_t LineOf(std::string_view text, std::string_view needle) {
    return 1 + static_cast<std::uint32_t>(
                   std::count(text.begin(), text.begin() + text.find(needle), '\n'));
}

TEST(AdbXmlReaderTest, MapsMomentZoneAndCalendar) {
    struct Case {
        const char* Label;
        std::string Date, Time, Clock;
        double Hours, Zone;
        int Daylight, Year;
        bool Gregorian, Untimed;
    };
    const std::string g1906 = R"(ccalendar="g" iyear="1906" imonth="10" iday="30")";
    const Case cases[] = {
        {"jd_ut, east", g1906, R"(ctimetype="s" stmerid="h5w" jd_ut="2417513.833333")", "09:00", 9,
         -1, 0, 1906, true, false},
        {"jd_ut, seconds", g1906, R"(stmerid="h1e" jd_ut="2417513.833681")", "09:00:30",
         9 + 30 / 3600.0, -1, 0, 1906, true, false},
        {"jd_ut, daylight west", R"(iyear="1960" imonth="7" iday="4")",
         R"(ctimetype="d" stmerid="h5w" jd_ut="2437120.270833")", "14:30", 14.5, 5, 60, 1960, true,
         false},
        {"jd_ut, UT the day before", R"(iyear="1950" imonth="3" iday="1")",
         R"(stmerid="h2e" jd_ut="2433341.437500")", "00:30", 0.5, -2, 0, 1950, true, false},
        {"jd_ut, daylight east of 12", R"(iyear="1980" imonth="1" iday="1")",
         R"(ctimetype="d" stmerid="h12e" jd_ut="2444239.375000")", "10:00", 10, -12, 60, 1980, true,
         false},
        {"meridian west with minutes", g1906, R"(stmerid="h5w30")", "09:00", 9, 5.5, 0, 1906, true,
         false},
        {"meridian east with minutes", g1906, R"(stmerid="h5e30")", "09:00", 9, -5.5, 0, 1906, true,
         false},
        {"meridian in degrees, LMT", g1906, R"(ctimetype="l" stmerid="m19e05")", "09:00", 9,
         -(19 + 5 / 60.0) / 15, -1, 1906, true, false},
        {"Julian", R"(ccalendar="j" iyear="1600" imonth="2" iday="29")", R"(stmerid="h0w")",
         "12:15", 12.25, 0, 0, 1600, false, false},
        {"year 1", R"(ccalendar="j" iyear="1" imonth="1" iday="1")", R"(stmerid="h0e")", "06:00", 6,
         0, 0, 1, false, false},
        {"year 0 is 1 BC", R"(ccalendar="j" iyear="0" imonth="1" iday="1")", R"(stmerid="h0e")",
         "06:00", 6, 0, 0, -1, false, false},
        {"year -1 is 2 BC", R"(ccalendar="j" iyear="-1" imonth="1" iday="1")", R"(stmerid="h0e")",
         "06:00", 6, 0, 0, -2, false, false},
        {"no time", g1906, R"(stmerid="h1e" jd_ut="2417513.833333")", "", 12, -1, 0, 1906, true,
         true},
        {"no zone", g1906, R"(ctimetype="s")", "09:00", 12, 0, 0, 1906, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Label);
        EntryXml entry;
        entry.Date = c.Date;
        entry.Time = c.Time;
        entry.Clock = c.Clock;
        const Parsed parsed = Parse(Export({entry}));
        ASSERT_EQ(parsed.Charts.size(), 1u);
        const AafRecord& chart = parsed.Charts[0];
        EXPECT_NEAR(chart.Time, c.Hours, 1e-9);
        EXPECT_NEAR(chart.TimeZone, c.Zone, 1e-9);
        EXPECT_EQ(chart.DaylightCode, c.Daylight);
        EXPECT_EQ(chart.Year, c.Year);
        EXPECT_EQ(chart.Gregorian, c.Gregorian);
        EXPECT_EQ(parsed.Read.UntimedLines.size(), c.Untimed ? 1u : 0u);
    }
}

TEST(AdbXmlReaderTest, MapsNamesPlacesAndNotesToWindows1250) {
    struct Case {
        std::string Name, Sex, Place, Country;
        std::string_view Last, First, PlaceText, CountryText;
        char Gender;
        double Latitude, Longitude;
        std::size_t Unconvertible;
    };
    const Case cases[] = {
        {"Fegelein, Hermann", "m", R"(slati="49n18" slong="10e35")",
         R"(<country sctr="GER">Germany</country>)", "Fegelein", "Hermann", "Ansbach", "Germany",
         'M', 49.3, 10 + 35 / 60.0, 0},
        {"Bart\xC3\xB3k, B\xC3\xA9la, Jr.", "f", R"(slati="52n0445" slong="74w00")",
         R"(<country sctr="H"></country>)", "Bart\xF3k", "B\xE9la, Jr.", "Ansbach", "H", 'F',
         52 + 4 / 60.0 + 45 / 3600.0, -74, 0},
        {"  Cs&#337;k &amp; &#x4E2D;  ", "e", R"(slati="33s52" slong="151e12")", "", "Cs\xF5k & ?",
         "", "Ansbach", "", '*', -(33 + 52 / 60.0), 151.2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EntryXml entry;
        entry.Name = c.Name;
        entry.Sex = c.Sex;
        entry.Place = c.Place;
        entry.Country = c.Country;
        const Parsed parsed = Parse(Export({entry}));
        ASSERT_EQ(parsed.Charts.size(), 1u);
        const AafRecord& chart = parsed.Charts[0];
        EXPECT_EQ(FieldText(chart.LastName), c.Last);
        EXPECT_EQ(FieldText(chart.FirstName), c.First);
        EXPECT_EQ(FieldText(chart.Place), c.PlaceText);
        EXPECT_EQ(FieldText(chart.Country), c.CountryText);
        EXPECT_EQ(chart.Gender, c.Gender);
        EXPECT_NEAR(chart.Latitude, c.Latitude, 1e-9);
        EXPECT_NEAR(chart.Longitude, c.Longitude, 1e-9);
        EXPECT_EQ(parsed.Read.Unconvertible, c.Unconvertible);
    }

    // Blank lines of the biography would end the AAF record: they are left out.
    EntryXml entry;
    entry.Biography = "  Officer,\n\n \t\nborn in Ansbach&#13;&#10;\xC5\x91 \xE2\x82\xAC\n";
    ExpectBytes(FieldText(Parse(Export({entry})).Charts.at(0).Notes),
                "#COM:Astro-Databank 1019, Rodden AA\r\nOfficer,\r\nborn in Ansbach\r\n\xF5 \x80");
    // Long notes are cut to what the record holds, never inside a line break.
    entry.Biography = std::string(4000, 'a') + "\n" + std::string(100, 'b');
    const Parsed cut = Parse(Export({entry}));
    const std::string_view notes = FieldText(cut.Charts.at(0).Notes);
    EXPECT_EQ(notes.size(), kMaxNotesLength);
    EXPECT_EQ(notes.substr(notes.size() - 2), "bb");
    // A biography beyond what is kept of a text is cut at a whole character, and converts.
    entry.Biography = "a";
    for (int i = 0; i < 40000; ++i)
        entry.Biography += "\xC5\x91";
    ExpectBytes(FieldText(Parse(Export({entry})).Charts.at(0).Notes).substr(37, 3), "a\xF5\xF5");
}

TEST(AdbXmlReaderTest, PassesOverUnreadableEntriesAndForeignFiles) {
    std::vector<EntryXml> entries(10);
    entries[1].Date = R"(iyear="1906" imonth="10")";
    entries[2].Date = R"(iyear="1906" imonth="2" iday="30")";
    entries[3].Clock = "9h";
    entries[4].Place = R"(slati="49x18" slong="10e35")";
    entries[5].Time = R"(stmerid="q1e")";
    entries[6].Time = R"(jd_ut="nan")";
    entries[7].Id = std::string(100, '7');  // an attribute longer than any value of the format
    entries[8].Date = R"(iyear="-2147483648" imonth="1" iday="1")";
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i].Name = "Entry" + std::to_string(i);
    const std::string text = Export(entries);
    const Parsed parsed = Parse(text);
    ASSERT_TRUE(parsed.Read.Recognised);
    ASSERT_EQ(parsed.Charts.size(), 2u);
    EXPECT_EQ(FieldText(parsed.Charts[1].LastName), "Entry9");
    std::vector<std::uint32_t> lines;
    for (int i = 1; i <= 8; ++i)
        lines.push_back(LineOf(text, "<name>Entry" + std::to_string(i)) - 2);
    EXPECT_EQ(parsed.Read.SkippedLines, lines);
    EXPECT_EQ(parsed.Read.BrokenOffAt, 0u);

    for (const std::string_view foreign :
         {"", "plain text", "<astrodatabank>\n</astrodatabank>\n", "<?xml version=\"1.0\"?>"}) {
        SCOPED_TRACE(foreign);
        EXPECT_FALSE(Parse(foreign).Read.Recognised);
    }
}

TEST(AdbXmlReaderTest, HostileInputReadsNothingOutsideAndStaysBounded) {
    std::string bomb = "<!DOCTYPE astrodatabank_export [<!ENTITY a0 \"lol\">";
    for (int i = 1; i < 10; ++i) {
        bomb += "<!ENTITY a" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j)
            bomb += "&a" + std::to_string(i - 1) + ";";
        bomb += "\">";
    }
    EntryXml laughs;
    laughs.Name = "&a9;";
    std::string nested;
    for (int i = 0; i < 10000; ++i)
        nested += "<a>";
    for (int i = 0; i < 10000; ++i)
        nested += "</a>";
    EntryXml huge;
    huge.Place = "slati=\"" + std::string(10 << 20, '4') + "\" slong=\"10e35\"";
    struct Case {
        const char* Label;
        std::string Text;
        bool Recognised;
        std::size_t Charts, Skipped;
        bool BrokenOff;
    };
    const std::string two = EntryXml{}.Xml() + EntryXml{}.Xml();
    const Case cases[] = {
        {"external entity",
         Export({{}}, "<!DOCTYPE astrodatabank_export [<!ENTITY x SYSTEM \"/etc/passwd\">]>\n"),
         false, 0, 0, false},
        {"entity bomb", Export({laughs}, bomb + "]>\n"), false, 0, 0, false},
        {"external DTD", Export({{}}, "<!DOCTYPE astrodatabank_export SYSTEM \"/etc/x.dtd\">\n"),
         false, 0, 0, false},
        {"undeclared entity", "<astrodatabank_export>" + two + "&x;" + two, true, 2, 0, true},
        {"deep nesting", "<astrodatabank_export>" + two + nested + two + "</astrodatabank_export>",
         true, 2, 0, true},
        {"10 MB attribute", Export({{}, huge, {}}), true, 2, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Label);
        const Parsed parsed = Parse(c.Text);
        EXPECT_EQ(parsed.Read.Recognised, c.Recognised);
        EXPECT_EQ(parsed.Charts.size(), c.Charts);
        EXPECT_EQ(parsed.Read.SkippedLines.size(), c.Skipped);
        EXPECT_EQ(parsed.Read.BrokenOffAt != 0, c.BrokenOff);
    }
}

TEST(AdbXmlReaderTest, EveryCutKeepsExactlyTheEntriesBeforeIt) {
    const std::string text = Export({{}, {}, {}});
    for (std::size_t size = 0; size <= text.size(); ++size) {
        const std::string_view cut(text.data(), size);
        const Parsed parsed = Parse(cut);
        std::size_t complete = 0;
        for (std::size_t at = cut.find("</adb_entry>"); at != std::string_view::npos;
             at = cut.find("</adb_entry>", at + 1))
            complete += at + 12 <= size;
        ASSERT_EQ(parsed.Charts.size(), complete) << size;
        const bool whole = size + 1 >= text.size();
        ASSERT_EQ(parsed.Read.Recognised, cut.find("160715\">") != std::string_view::npos);
        if (parsed.Read.Recognised && !whole) {
            ASSERT_GE(parsed.Read.BrokenOffAt, 1u) << size;
            ASSERT_LE(parsed.Read.BrokenOffAt, 1 + std::count(cut.begin(), cut.end(), '\n'));
        } else {
            ASSERT_EQ(parsed.Read.BrokenOffAt, 0u) << size;
        }
    }
}

TEST(AdbXmlReaderTest, FileIsReadInBlocksAndTheVisitorStopsIt) {
    test::TempDir dir;
    const std::string path = dir.File("export.xml");
    std::vector<EntryXml> entries(1000);
    entries[500].Biography = std::string(200000, 'x');  // across several blocks
    test::WriteFile(path, Export(entries));
    std::size_t charts = 0;
    ChartFileRead read = ReadAdbXmlCharts(path, [&](const AafRecord&) { return ++charts < 700; });
    EXPECT_EQ(charts, 700u);
    EXPECT_TRUE(read.Stopped);
    EXPECT_EQ(read.BrokenOffAt, 0u);

    charts = 0;
    const std::string text = Export(entries);
    test::WriteFile(path, text.substr(0, text.size() - 300));
    read = ReadAdbXmlCharts(path, [&](const AafRecord&) { return ++charts > 0; });
    EXPECT_EQ(charts, 999u);
    EXPECT_GE(read.BrokenOffAt, LineOf(text, "</adb_entry>\n</astrodatabank_export>") - 14);
    EXPECT_FALSE(ReadAdbXmlCharts(dir.File("missing.xml"), {}).Recognised);
}

// Entries are numbered in the file, the ones passed over too.
TEST(AdbXmlReaderTest, NotesWhatItReplacesOrCutsByTheEntrysNumber) {
    std::vector<EntryXml> entries(9);
    entries[1].Time = R"(stmerid="h1e" jd_ut="2417514.833333")";  // a day after the date
    entries[2].Date = R"(iyear="1906" imonth="13" iday="30")";
    entries[3].Clock = "";
    entries[4].Time = R"(ctimetype="s")";
    entries[5].Time = entries[5].Clock = "";
    entries[6].Name = std::string(300, 'N') + ", Given";
    entries[7].Country = "<country>" + std::string(300, 'C') + "</country>";
    entries[8].Biography = std::string(5000, 'b');
    std::vector<std::string> read;
    ParseAdbXml(Export(entries), [&](const AafRecord& chart) {
        read.push_back(std::to_string(chart.SourceLine) + " " + test::CorrectionsText(chart));
        return true;
    });
    const std::vector<std::string> expected = {"1 ",
                                               "2 Zone 23>-1",
                                               "4 Time none>12",
                                               "5 Time 9>12, Zone none>0",
                                               "6 Time none>12, Zone none>0",
                                               "7 Name 300>255",
                                               "8 Place 300>255",
                                               "9 Notes 5037>4092"};  // its head and rating too
    EXPECT_EQ(read, expected);
}

}  // namespace
}  // namespace tervalo
