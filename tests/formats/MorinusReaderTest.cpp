// Morinus chart files: the chart program's own files, Python's pickles of every protocol, HOR
// files of this program read back, and pickles that must build and run nothing.
#include "formats/MorinusReader.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CorrectionsText.h"
#include "TestSupport.h"
#include "formats/AafDatabase.h"

namespace tervalo {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

struct Expected {
    const char* LastName;
    const char* FirstName;
    const char* Place;
    const char* Country;
    const char* Notes;
    std::int32_t Year, Month, Day;
    double Time, TimeZone;
    std::int32_t DaylightCode;
    double Longitude, Latitude;
    bool Gregorian;
    char Gender;
};

void ExpectChart(const AafRecord& chart, const Expected& e) {
    EXPECT_EQ(FieldText(chart.LastName), e.LastName);
    EXPECT_EQ(FieldText(chart.FirstName), e.FirstName);
    EXPECT_EQ(FieldText(chart.Place), e.Place);
    EXPECT_EQ(FieldText(chart.Country), e.Country);
    EXPECT_EQ(FieldText(chart.Notes), e.Notes);
    EXPECT_EQ(chart.Year, e.Year);
    EXPECT_EQ(chart.Month, e.Month);
    EXPECT_EQ(chart.Day, e.Day);
    EXPECT_NEAR(chart.Time, e.Time, 1e-9);
    EXPECT_NEAR(chart.TimeZone, e.TimeZone, 1e-9);
    EXPECT_EQ(chart.DaylightCode, e.DaylightCode);
    EXPECT_NEAR(chart.Longitude, e.Longitude, 1e-9);
    EXPECT_NEAR(chart.Latitude, e.Latitude, 1e-9);
    EXPECT_EQ(chart.Gregorian, e.Gregorian);
    EXPECT_EQ(chart.Gender, e.Gender);
}

// One pickler wrote all 27 values in protocol 2 (as the chart program does today): the notes
// are a memo reference to the name.
constexpr std::string_view kOnePickler =
    "\x80\x02X\x0e\x00\x00\x00Sz\xc5\x91ke Gy\xc5\x91z\xc5\x91q\x00.\x80\x02\x88.\x80\x02K\x00."
    "\x80\x02\x89.\x80\x02M\x80\x07.\x80\x02K\x05.\x80\x02K\x01.\x80\x02K\x0e.\x80\x02K\x05."
    "\x80\x02K\x00.\x80\x02K\x00.\x80\x02K\x00.\x80\x02\x88.\x80\x02K\x01.\x80\x02K\x00.\x80\x02"
    "\x88.\x80\x02X\x14\x00\x00\x00Gy\xc5\x91r, Magyarorsz\xc3\xa1gq\x01.\x80\x02K\x11.\x80\x02K&."
    "\x80\x02K\x00.\x80\x02\x88.\x80\x02K/.\x80\x02K).\x80\x02K\x00.\x80\x02\x88.\x80\x02Kd."
    "\x80\x02h\x00."sv;
const Expected kOnePicklerChart = {"Sz\xF5ke",
                                   "Gy\xF5z\xF5",
                                   "Gy\xF5r",
                                   "Magyarorsz\xE1g",
                                   "Sz\xF5ke Gy\xF5z\xF5",
                                   1920,
                                   5,
                                   1,
                                   14 + 5 / 60.0,
                                   -1,
                                   60,
                                   17 + 38 / 60.0,
                                   47 + 41 / 60.0,
                                   true,
                                   'M'};

TEST(MorinusReaderTest, ReadsTheChartProgramsOwnFiles) {
    struct Sample {
        const char* File;
        Expected Chart;
    };
    const Sample samples[] = {
        {"morinus-Alan_Turing.hor",
         {"Alan", "Turing", "London", "GBR", "", 1912, 6, 23, 2.25, 0, 0, -0.1, 51 + 31 / 60.0,
          true, 'M'}},
        {"morinus-J._Sebastian_Bach.hor",
         {"J.", "Sebastian Bach", "Eisenach", "", "", 1685, 3, 31, 5.75, -1, 0, 10.3,
          50 + 58 / 60.0, true, 'M'}},
        {"morinus-Mahatma_Gandhi.hor",
         {"Mahatma", "Gandhi", "Porbandar", "", "", 1869, 10, 2, 6 + 19 / 60.0, -5.5, 0, 69.6,
          21 + 38 / 60.0, true, 'M'}},
        {"morinus-Morinus.hor",  // universal time
         {"Morinus", "", "Villefranche", "", "", 1583, 2, 23, 8 + 29 / 60.0, 0, 0, 4 + 43 / 60.0,
          45 + 59 / 60.0, true, 'M'}},
        {"morinus-Robert_Buell.hor",  // west of Greenwich
         {"Robert", "Buell", "Cincinnati", "", "Asesino y pederasta.", 1940, 9, 10, 21 + 23 / 60.0,
          6, 0, -(84 + 27 / 60.0), 39.15, true, 'M'}},
    };
    for (const Sample& sample : samples) {
        SCOPED_TRACE(sample.File);
        const std::filesystem::path path = test::SamplesDir() / sample.File;
        REQUIRE_SAMPLE(path);
        AafRecord chart;
        ChartFileRead read;
        ASSERT_TRUE(ReadMorinusChart(path.string(), chart, read));
        EXPECT_TRUE(read.Recognised);
        ExpectChart(chart, sample.Chart);
    }
}

TEST(MorinusReaderTest, OnePicklersMemoReferencesReachLaterValues) {
    AafRecord chart;
    ChartFileRead read;
    ASSERT_TRUE(ParseMorinusChart(kOnePickler, chart, read));
    ExpectChart(chart, kOnePicklerChart);
}

// The same values pickled by Python in every protocol, each value on its own and all through
// one pickler: floats, 64-bit integers, non-Latin letters and line breaks come back.
TEST(MorinusReaderTest, ReadsWhatPythonPicklesInEveryProtocol) {
    if (!test::PythonHasModule("pickle"))
        GTEST_SKIP() << "python3 with its pickle module is not available";
    test::TempDir dir;
    test::WriteFile(
        dir.Path() / "make.py",
        "import pickle\n"
        "name = 'Dvo\\u0159\\u00e1k Anton\\u00edn \\u0416'\n"
        "values = [name, False, 4, True, 44, 3, 15, 11, 0, 30.0, 1, 0, False, 3, 30,\n"
        "    False, \"St. John's (Canada)\", 52, 43, 0, False, 47, 34, 0, True, 10**12,\n"
        "    'a\\r\\nb\\nc\\\\ \\u0151\\n\\n']\n"
        "for protocol in range(6):\n"
        "    with open('each%d.hor' % protocol, 'wb') as f:\n"
        "        for value in values: pickle.dump(value, f, protocol)\n"
        "    with open('one%d.hor' % protocol, 'wb') as f:\n"
        "        pickler = pickle.Pickler(f, protocol)\n"
        "        for value in values: pickler.dump(value)\n");
    const test::CommandResult made =
        test::RunCommand("cd " + test::ShellQuoted(dir.Path().string()) + " && python3 make.py");
    ASSERT_EQ(made.ExitCode, 0) << made.Output;
    const Expected expected = {"Dvo\xF8\xE1k",
                               "Anton\xEDn ?",
                               "St. John's",
                               "Canada",
                               "a\r\nb\r\nc\\ \xF5",
                               -44,
                               3,
                               15,
                               11 + 30 / 3600.0,
                               3.5,
                               0,
                               -(52 + 43 / 60.0),
                               47 + 34 / 60.0,
                               false,
                               'E'};
    for (int protocol = 0; protocol <= 5; ++protocol) {
        for (const char* kind : {"each", "one"}) {
            const std::string file = kind + std::to_string(protocol) + ".hor";
            SCOPED_TRACE(file);
            AafRecord chart;
            ChartFileRead read;
            ASSERT_TRUE(ReadMorinusChart(dir.File(file), chart, read));
            ExpectChart(chart, expected);
            EXPECT_EQ(read.Unconvertible, 1u);  // the Cyrillic letter
        }
    }
}

// A chart of this program's HOR target comes back with the fields it wrote.
TEST(MorinusReaderTest, ReadsBackWhatTheHorTargetWrites) {
    struct Case {
        const char* What;
        Expected Chart;
    };
    const Case cases[] = {
        {"east zone, letters beyond Latin-1 and the code page's holes",
         {"Sz\xF5ke", "Anna \x81\x98", "Gy\xF5r", "H", "#a\\b\r\n\r\nc", 1975, 3, 7, 14.5, -1, 0,
          17 + 38 / 60.0, 47.5, true, 'F'}},
        {"west zone with daylight saving, a country in parentheses",
         {"Smith", "John", "Boston", "USA (MA)", "", 1955, 11, 5, 13.5 + 7 / 3600.0, 5, 60,
          -(71 + 3 / 60.0 + 37 / 3600.0), 42.36, true, 'M'}},
        {"a place ending in parentheses, without a country",
         {"Linde", "Carl von", "Berndorf (Thurnau)", "", "", 1842, 6, 11, 8.5, -1, 0, 11.5, 50,
          true, 'M'}},
        {"local mean time, an event before the era, Julian",
         {"Caesar", "", "Roma", "", "", -44, 3, 15, 11, -12.5 / 15, -1, 12.5, -(41.9), false, 'E'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        AafDatabase db;
        SetFieldText(db.LastName, c.Chart.LastName);
        SetFieldText(db.FirstName, c.Chart.FirstName);
        SetFieldText(db.Place, c.Chart.Place);
        SetFieldText(db.Country, c.Chart.Country);
        SetFieldText(db.Notes, c.Chart.Notes);
        db.Year = c.Chart.Year, db.Month = c.Chart.Month, db.Day = c.Chart.Day;
        db.Time = c.Chart.Time, db.TimeZone = c.Chart.TimeZone;
        db.DaylightCode = c.Chart.DaylightCode;
        db.Longitude = c.Chart.Longitude, db.Latitude = c.Chart.Latitude;
        db.Gregorian = c.Chart.Gregorian, db.Gender = c.Chart.Gender;
        std::string text;
        db.FormatHorText(&text);
        AafRecord chart;
        ChartFileRead read;
        ASSERT_TRUE(ParseMorinusChart(text, chart, read)) << test::Printable(text);
        ExpectChart(chart, c.Chart);
        EXPECT_EQ(read.Unconvertible, 0u);
    }
}

TEST(MorinusReaderTest, LocalApparentTimeIsReadAsMeanTimeAndSaidSo) {
    std::string text(kOnePickler);
    const std::size_t zoneType = text.find("K\x00.\x80\x02\x88.\x80\x02K\x01"sv);
    ASSERT_NE(zoneType, std::string::npos);
    text[zoneType + 1] = '\x03';
    AafRecord chart;
    ChartFileRead read;
    ASSERT_TRUE(ParseMorinusChart(text, chart, read));
    EXPECT_TRUE(read.LocalApparentTime);
    EXPECT_EQ(chart.DaylightCode, -1);
    EXPECT_NEAR(chart.TimeZone, -(17 + 38 / 60.0) / 15, 1e-12);
}

TEST(MorinusReaderTest, RefusesWhatIsNotAChartOfPlainValues) {
    test::TempDir dir;
    const std::string witness = dir.File("ran");
    // The first value of the memo file, replaced; the other 26 follow as they are.
    const std::string rest(kOnePickler.substr(kOnePickler.find(".") + 1));
    const std::string valid(kOnePickler);
    struct Case {
        const char* What;
        std::string Bytes;
    };
    const Case cases[] = {
        {"a global called", "cos\nsystem\n(S'touch " + witness + "'\ntR." + rest},
        {"a global from the stack",
         "\x80\x04\x8c\x02os\x94\x8c\x06system\x94\x93\x94\x8c\x04true\x85R."s + rest},
        {"deep marks", std::string(100000, '(') + "." + rest},
        {"an empty list", "]." + rest},
        {"a huge LONG4", "\x8b\xff\xff\xff\x7f\x01."s + rest},
        {"a huge BINUNICODE8", "\x8d\x00\x00\x00\x00\x00\x00\x00\x80x."s + rest},
        {"a number too large", "L99999999999999999999L\n." + rest},
        {"a text where the year is due", valid.substr(0, valid.find("M\x80\x07"sv)) +
                                             "X\x01\x00\x00\x00x"s +
                                             valid.substr(valid.find("M\x80\x07"sv) + 3)},
        {"None where a text is due", "N." + rest},
        {"26 values", valid.substr(0, valid.rfind("\x80\x02h"))},
        {"a memo index never put", "h\x07."s + rest},
        {"a put with nothing to put", "q\x00V\n."s + rest},
        {"protocol 6", "\x80\x06V\n."s + rest},
        {"a frame beyond the file", "\x95\xff\x00\x00\x00\x00\x00\x00\x00V\n."s + rest},
        {"a broken \\u escape", "Vx\\u00\n." + rest},
        {"a text that is not UTF-8", "X\x01\x00\x00\x00\xff."s + rest},
        {"a zone type the program lacks",
         [&] {
             std::string text = valid;
             text[text.find("K\x00.\x80\x02\x88.\x80\x02K\x01"sv) + 1] = '\x07';
             return text;
         }()},
        {"empty", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        AafRecord chart;
        SetFieldText(chart.LastName, "untouched");
        ChartFileRead read;
        read.Recognised = true;
        EXPECT_FALSE(ParseMorinusChart(c.Bytes, chart, read));
        EXPECT_FALSE(read.Recognised);
        EXPECT_EQ(FieldText(chart.LastName), "untouched");
    }
    EXPECT_FALSE(std::filesystem::exists(witness));
}

TEST(MorinusReaderTest, RefusesEveryCutOffFile) {
    AafDatabase db;
    SetFieldText(db.LastName, "Kiss");
    SetFieldText(db.Notes, "#note");
    std::string hor;
    db.FormatHorText(&hor);
    for (const std::string_view file : {std::string_view(hor), kOnePickler}) {
        AafRecord chart;
        ChartFileRead read;
        ASSERT_TRUE(ParseMorinusChart(file, chart, read));
        for (std::size_t length = 0; length < file.size(); ++length)
            EXPECT_FALSE(ParseMorinusChart(file.substr(0, length), chart, read)) << length;
    }
}

// The 27 values as protocol 0 writes them, any of them replaced: "V" a text, "I" a number.
std::string ProtocolZeroChart(std::size_t replaced = 0, const std::string& value = "") {
    std::vector<std::string> values = {
        "VKiss Anna", "I01", "I0",  "I00", "I1950", "I3", "I15", "I14",      "I30",
        "I0",         "I0",  "I0",  "I01", "I1",    "I0", "I00", "VEger, H", "I20",
        "I22",        "I0",  "I01", "I47", "I54",   "I0", "I01", "I0",       "V"};
    if (!value.empty()) values[replaced] = value;
    std::string text;
    for (const std::string& one : values)
        text += one + "\n.";
    return text;
}

TEST(MorinusReaderTest, NotesWhatItBoundsOrCutsAndNothingElse) {
    struct Case {
        std::size_t Replaced;
        std::string Value;
        const char* Corrections;
    };
    const std::string longLines = std::string(3000, 'x') + "\\u000a" + std::string(3000, 'y');
    const Case cases[] = {
        {0, "", ""},
        {4, "I12000", "Year 12000>9999"},
        {4, "I-12000", "Year -12000>-9999"},
        {0, "V" + std::string(300, 'N'), "Name 300>255"},
        {0, "V" + std::string(256, 'N') + " " + std::string(300, 'G'), "Name 300>255"},
        {16, "V" + std::string(256, 'P') + ", H", "Place 256>255"},
        {26, "V" + std::string(5000, 'n'), "Notes 5000>4092"},
        {26, "V" + longLines, "Notes 6002>4092"},  // the line feed becomes CR LF
        {11, "I3", "Zone 3>2"},                    // apparent time read as mean time
        {11, "I2", ""},
        {7, "I25", ""},  // an hour is taken as read
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Value.substr(0, 20));
        AafRecord chart;
        chart.Corrections.Add(ChartField::Day, 1, 2);  // left from an earlier chart
        ChartFileRead read;
        ASSERT_TRUE(ParseMorinusChart(ProtocolZeroChart(c.Replaced, c.Value), chart, read));
        EXPECT_EQ(test::CorrectionsText(chart), c.Corrections);
        EXPECT_EQ(chart.SourceLine, 1u);
    }
}

}  // namespace
}  // namespace tervalo
