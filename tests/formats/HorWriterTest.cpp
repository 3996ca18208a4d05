// HOR output: the 27 items of a chart, their rules and escaping, whole saves and their paths,
// and a read-back of every saved file by Python's unpickler.
#include "formats/AafDatabase.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/Platform.h"

namespace tervalo {
namespace {

using test::NamesIn;
using test::TempDir;

// The standard chart with the accents of its names and its country written out.
void SetKovacs(AafDatabase& chart) {
    test::SetKovacs(chart);
    SetFieldText(chart.LastName,
                 "Kov\xE1"
                 "cs");
    SetFieldText(chart.FirstName, "B\xE9la");
    SetFieldText(chart.Country, "Hungary");
}

std::string HorText(AafDatabase& chart) {
    std::string text;
    chart.FormatHorText(&text);
    return text;
}

// The items of a HOR text, each with its bytes; a text item runs to "\np0\n.", a number to
// "\n.". Anything left over, or an item of another kind, becomes an item of its own, so that
// a broken shape shows in the count.
std::vector<std::string> Items(std::string_view text) {
    std::vector<std::string> items;
    while (!text.empty()) {
        const std::string_view end = text.front() == 'V' ? "\np0\n." : "\n.";
        const std::size_t at = text.find(end);
        const std::size_t length = at == std::string_view::npos ? text.size() : at + end.size();
        items.emplace_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return items;
}

TEST(HorWriterTest, WritesTheWorkedExampleItemByItem) {
    AafDatabase chart;
    SetKovacs(chart);
    ExpectBytes(HorText(chart),
                "VKov\xE1"
                "cs B\xE9la\np0\n."           // 1: name
                "I01\n."                      // 2: male
                "I0\n."                       // 3: chart type
                "I00\n."                      // 4: before the common era
                "I1975\n."                    // 5: year
                "I3\n."                       // 6: month
                "I7\n."                       // 7: day
                "I14\n."                      // 8: hour
                "I30\n."                      // 9: minute
                "I0\n."                       // 10: second
                "I0\n."                       // 11: Gregorian
                "I0\n."                       // 12: zone time
                "I01\n."                      // 13: zone east of Greenwich
                "I1\n."                       // 14: zone hours
                "I0\n."                       // 15: zone minutes
                "I00\n."                      // 16: no daylight saving
                "VBudapest (Hungary)\np0\n."  // 17: place and country
                "I19\n."                      // 18: longitude degrees
                "I4\n."                       // 19: minutes, truncated
                "I59\n."                      // 20: seconds, truncated
                "I01\n."                      // 21: east
                "I47\n."                      // 22: latitude degrees
                "I30\n."                      // 23: minutes
                "I0\n."                       // 24: seconds
                "I01\n."                      // 25: north
                "I100\n."                     // 26: altitude
                "V\np0\n.");                  // 27: no notes, no line end behind
    EXPECT_EQ(chart.FormatHorText(nullptr), nullptr);
}

struct ItemCase {
    const char* What;
    void (*Change)(AafDatabase&);
    std::size_t Item;  // counted from 1
    const char* Expected;
};

TEST(HorWriterTest, FormsEachItemByItsRule) {
    const ItemCase cases[] = {
        {"no given name keeps the space", [](AafDatabase& c) { SetFieldText(c.FirstName, ""); }, 1,
         "VKov\xE1"
         "cs \np0\n."},
        {"given name behind spaces and asterisks",
         [](AafDatabase& c) { SetFieldText(c.FirstName, " **B\xE9la"); }, 1,
         "VKov\xE1"
         "cs B\xE9la\np0\n."},
        {"line feed in a name is escaped", [](AafDatabase& c) { SetFieldText(c.LastName, "a\nb"); },
         1, "Va\\u000ab B\xE9la\np0\n."},
        {"backslash in a name is escaped",
         [](AafDatabase& c) { SetFieldText(c.LastName, "a\\u0041"); }, 1,
         "Va\\u005cu0041 B\xE9la\np0\n."},
        {"CR LF in a name stays two characters",
         [](AafDatabase& c) { SetFieldText(c.LastName, "a\r\nb"); }, 1,
         "Va\\u000d\\u000ab B\xE9la\np0\n."},
        {"letters beyond Latin-1 as their code points",
         [](AafDatabase& c) {
             SetFieldText(c.LastName, "Sz\xF5ke");
             SetFieldText(c.FirstName, "L\xF5rinc");
         },
         1, "VSz\\u0151ke L\\u0151rinc\np0\n."},
        {"Latin-1 letters stay bytes among escaped ones",
         [](AafDatabase& c) {
             SetFieldText(c.LastName,
                          "\x8A\x9D"
                          "astn\xFD \xA3ukasz Dvo\xF8\xE1k");
         },
         1, "V\\u0160\\u0165astn\xFD \\u0141ukasz Dvo\\u0159\xE1k B\xE9la\np0\n."},
        {"code page edges: euro, dot above, no-break space, holes kept",
         [](AafDatabase& c) { SetFieldText(c.LastName, "\x80\xFF\xA0\x81\x83\x88\x90\x98"); }, 1,
         "V\\u20ac\\u02d9\xA0\x81\x83\x88\x90\x98 B\xE9la\np0\n."},
        {"event", [](AafDatabase& c) { c.Gender = 'E'; }, 2, "I00\n."},
        {"event type", [](AafDatabase& c) { c.Gender = 'E'; }, 3, "I4\n."},
        {"lower-case event type", [](AafDatabase& c) { c.Gender = 'e'; }, 3, "I4\n."},
        {"lower-case man", [](AafDatabase& c) { c.Gender = 'm'; }, 2, "I01\n."},
        {"lower-case woman", [](AafDatabase& c) { c.Gender = 'f'; }, 2, "I00\n."},
        {"no gender", [](AafDatabase& c) { c.Gender = '*'; }, 2, "I00\n."},
        {"year before the era flagged", [](AafDatabase& c) { c.Year = -44; }, 4, "I01\n."},
        {"year without leading zeros, never octal", [](AafDatabase& c) { c.Year = -44; }, 5,
         "I44\n."},
        {"three-digit year", [](AafDatabase& c) { c.Year = 800; }, 5, "I800\n."},
        {"year 0 counts as 1", [](AafDatabase& c) { c.Year = 0; }, 5, "I1\n."},
        {"year held at the bound",
         [](AafDatabase& c) { c.Year = std::numeric_limits<std::int32_t>::min(); }, 5, "I9999\n."},
        {"month 0 counts as 1", [](AafDatabase& c) { c.Month = 0; }, 6, "I1\n."},
        {"day 0 counts as 1", [](AafDatabase& c) { c.Day = 0; }, 7, "I1\n."},
        {"10:06 stored as 10.1 is minute 6", [](AafDatabase& c) { c.Time = 10.1; }, 9, "I6\n."},
        {"10:06 stored as 10.1 is second 0", [](AafDatabase& c) { c.Time = 10.1; }, 10, "I0\n."},
        {"seconds truncated", [](AafDatabase& c) { c.Time = 23.9999; }, 10, "I59\n."},
        {"NaN time is midnight", [](AafDatabase& c) { c.Time = std::nan(""); }, 8, "I0\n."},
        {"Julian calendar", [](AafDatabase& c) { c.Gregorian = false; }, 11, "I1\n."},
        {"local mean time zone type", [](AafDatabase& c) { c.DaylightCode = -1; }, 12, "I2\n."},
        {"daylight saving keeps zone time", [](AafDatabase& c) { c.DaylightCode = 60; }, 12,
         "I0\n."},
        {"zone 0 is not east", [](AafDatabase& c) { c.TimeZone = 0; }, 13, "I00\n."},
        {"zone minutes of a west zone", [](AafDatabase& c) { c.TimeZone = 5.5; }, 15, "I30\n."},
        {"zone hours of an east zone", [](AafDatabase& c) { c.TimeZone = -5.75; }, 14, "I5\n."},
        {"zone minutes of an east zone", [](AafDatabase& c) { c.TimeZone = -5.75; }, 15, "I45\n."},
        {"local mean time is no daylight saving", [](AafDatabase& c) { c.DaylightCode = -1; }, 16,
         "I00\n."},
        {"half an hour of daylight saving", [](AafDatabase& c) { c.DaylightCode = 30; }, 16,
         "I01\n."},
        {"no country, no parentheses", [](AafDatabase& c) { SetFieldText(c.Country, ""); }, 17,
         "VBudapest\np0\n."},
        {"place and country escaped, commas kept",
         [](AafDatabase& c) {
             SetFieldText(c.Place, "Buda\rpest\x1a\\");
             SetFieldText(c.Country, "H,U\n");
         },
         17, "VBuda\\u000dpest\\u001a\\u005c (H,U\\u000a)\np0\n."},
        {"place and country letters as code points",
         [](AafDatabase& c) {
             SetFieldText(c.Place, "Plze\xF2");
             SetFieldText(c.Country,
                          "\xC8"
                          "esko");
         },
         17, "VPlze\\u0148 (\\u010cesko)\np0\n."},
        {"west longitude minutes", [](AafDatabase& c) { c.Longitude = -73.5; }, 19, "I30\n."},
        {"west longitude", [](AafDatabase& c) { c.Longitude = -73.5; }, 21, "I00\n."},
        {"longitude 0 is east", [](AafDatabase& c) { c.Longitude = 0; }, 21, "I01\n."},
        {"huge longitude held at a bound", [](AafDatabase& c) { c.Longitude = 1e300; }, 18,
         "I1000000000\n."},
        {"south latitude seconds", [](AafDatabase& c) { c.Latitude = -33.8688; }, 24, "I7\n."},
        {"south latitude", [](AafDatabase& c) { c.Latitude = -33.8688; }, 25, "I00\n."},
        {"latitude 0 is north", [](AafDatabase& c) { c.Latitude = 0; }, 25, "I01\n."},
        {"notes: CR LF one line feed, commas semicolons",
         [](AafDatabase& c) { SetFieldText(c.Notes, "a,b\r\nc"); }, 27, "Va;b\\u000ac\np0\n."},
        {"notes: lone CR and lone LF each kept",
         [](AafDatabase& c) { SetFieldText(c.Notes, "a\rb\nc\n\rd"); }, 27,
         "Va\\u000db\\u000ac\\u000a\\u000dd\np0\n."},
        {"notes: backslashes escaped", [](AafDatabase& c) { SetFieldText(c.Notes, "C:\\x\\\\"); },
         27, "VC:\\u005cx\\u005c\\u005c\np0\n."},
        {"notes: letters as code points beside line breaks",
         [](AafDatabase& c) { SetFieldText(c.Notes, "#\x9A\r\n\xE8,\xF5"); }, 27,
         "V#\\u0161\\u000a\\u010d;\\u0151\np0\n."},
    };
    AafDatabase chart;
    for (const ItemCase& c : cases) {
        SCOPED_TRACE(c.What);
        SetKovacs(chart);
        c.Change(chart);
        const std::vector<std::string> items = Items(HorText(chart));
        ASSERT_EQ(items.size(), 27u);
        ExpectBytes(items[c.Item - 1], c.Expected);
    }
}

TEST(HorWriterTest, SavesTheWorkedExampleUnderItsFoldedName) {
    TempDir dir;
    AafDatabase db;
    SetKovacs(db);
    ASSERT_TRUE(db.AppendRecord());
    const std::string folder = dir.File("charts");
    WriteFailures failures;
    ASSERT_TRUE(db.SaveHorFiles(folder, &failures));
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(NamesIn(folder), std::vector<std::string>{"Kovacs Bela.hor"});
    ExpectBytes(test::ReadFile(folder + "/Kovacs Bela.hor"), HorText(db));
}

TEST(HorWriterTest, NumbersChartsWhoseNamesFoldAlikeAndReplacesOlderFiles) {
    TempDir dir;
    const std::string folder = dir.File("charts");
    std::filesystem::create_directory(folder);
    test::WriteFile(folder + "/Kovacs Bela.hor", "left by an earlier run, and longer than a chart");
    AafDatabase db;
    const char* const lastNames[] = {
        "Kov\xE1"
        "cs",
        "KOVACS", "Kiss", "kovacs"};
    for (const char* lastName : lastNames) {
        SetKovacs(db);
        SetFieldText(db.LastName, lastName);
        ASSERT_TRUE(db.AppendRecord());
    }
    ASSERT_TRUE(db.SaveHorFiles(folder));
    const std::map<std::string, std::string> expected = {
        {"Kovacs Bela.hor",
         "VKov\xE1"
         "cs B\xE9la\np0\n."},
        {"Kovacs Bela (2).hor", "VKOVACS B\xE9la\np0\n."},
        {"Kiss Bela.hor", "VKiss B\xE9la\np0\n."},
        {"Kovacs Bela (3).hor", "Vkovacs B\xE9la\np0\n."}};
    ASSERT_EQ(NamesIn(folder).size(), expected.size());
    for (const auto& [name, firstItem] : expected) {
        SCOPED_TRACE(name);
        const std::vector<std::string> items = Items(test::ReadFile(folder + "/" + name));
        ASSERT_EQ(items.size(), 27u);
        ExpectBytes(items[0], firstItem);
    }
}

TEST(HorWriterTest, NamesFilesAfterTheTrimmedFoldedNameOrNevtelen) {
    struct NameCase {
        const char* LastName;
        const char* FirstName;
        const char* File;
    };
    const NameCase cases[] = {
        {"", "", "Nevtelen.hor"},     {"?!", "~", "Nevtelen (2).hor"},
        {"", "B\xE9la", "Bela.hor"},  {"Kiss", "?", "Kiss.hor"},
        {"Kiss", "", "Kiss (2).hor"}, {"Nevtelen", "", "Nevtelen (3).hor"},
        {"a/b", "..", "Ab.hor"},
    };
    TempDir dir;
    AafDatabase db;
    std::vector<std::string> expected;
    for (const NameCase& c : cases) {
        SetKovacs(db);
        SetFieldText(db.LastName, c.LastName);
        SetFieldText(db.FirstName, c.FirstName);
        ASSERT_TRUE(db.AppendRecord());
        expected.push_back(c.File);
    }
    std::sort(expected.begin(), expected.end());
    ASSERT_TRUE(db.SaveHorFiles(dir.File("charts")));
    EXPECT_EQ(NamesIn(dir.File("charts")), expected);
}

TEST(HorWriterTest, CreatesOnlyTheLastFolderAndNothingWithoutCharts) {
    TempDir dir;
    AafDatabase db;
    EXPECT_FALSE(db.SaveHorFiles(dir.File("empty")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("empty")));

    SetKovacs(db);
    ASSERT_TRUE(db.AppendRecord());
    EXPECT_FALSE(db.SaveHorFiles(""));
    EXPECT_FALSE(db.SaveHorFiles(dir.File("missing/charts")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
    test::WriteFile(dir.File("plain"), "a file, not a folder");
    EXPECT_FALSE(db.SaveHorFiles(dir.File("plain")));
    EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"plain"});

    EXPECT_TRUE(db.SaveHorFiles(dir.File("charts") + "/"));
    EXPECT_EQ(NamesIn(dir.File("charts")), std::vector<std::string>{"Kovacs Bela.hor"});
}

TEST(HorWriterTest, ListsAndRemovesChartFilesThatCouldNotBeWritten) {
    TempDir dir;
    const std::string folder = dir.File("charts");
    std::filesystem::create_directory(folder);
    // A folder where the first chart's file belongs can't be opened for writing; a link to a
    // full device takes the open but not the write.
    std::filesystem::create_directory(folder + "/Kovacs Bela.hor");
    const bool fullDevice = std::filesystem::exists("/dev/full");
    if (fullDevice) std::filesystem::create_symlink("/dev/full", folder + "/Kiss Bela.hor");
    AafDatabase db;
    const char* const lastNames[] = {"Kovacs", "Kiss", "Nagy"};
    for (const char* lastName : lastNames) {
        SetKovacs(db);
        SetFieldText(db.LastName, lastName);
        ASSERT_TRUE(db.AppendRecord());
    }
    WriteFailures failures;
    EXPECT_TRUE(db.SaveHorFiles(folder, &failures));
    // The writer joins folder and name with the system's separator.
    const auto inFolder = [&](const char* name) {
        return Utf8FromPath(PathFromUtf8(folder) / name);
    };
    WriteFailures expected = {inFolder("Kovacs Bela.hor")};
    if (fullDevice) expected.push_back(inFolder("Kiss Bela.hor"));
    EXPECT_EQ(failures, expected);
    EXPECT_FALSE(std::filesystem::is_symlink(folder + "/Kiss Bela.hor"));
    EXPECT_EQ(Items(test::ReadFile(folder + "/Nagy Bela.hor")).size(), 27u);
}

// The values of every HOR file that Python's unpickler loads from the files given, by file
// name; each value as its kind letter and text ("s" texts as the hex of their UTF-8).
std::map<std::string, std::vector<std::string>> LoadWithPython(
    const std::vector<std::string>& paths) {
    // Beside this file; found from the tests' folder, since __FILE__ may be relative to the build.
    const std::filesystem::path script =
        std::filesystem::path(TERVALO_TESTS_DIR) / "formats" / "load_hor.py";
    std::string command = "python3 '" + script.string() + "'";
    for (const std::string& path : paths)
        command += " '" + path + "'";
    std::map<std::string, std::vector<std::string>> files;
    const test::CommandResult loaded = test::RunCommand(command);
    if (loaded.ExitCode != 0) return files;
    const std::string& output = loaded.Output;
    std::vector<std::string>* values = nullptr;
    for (std::size_t from = 0; from < output.size();) {
        const std::size_t lineEnd = std::min(output.find('\n', from), output.size());
        const std::string line = output.substr(from, lineEnd - from);
        from = lineEnd + 1;
        if (line.rfind("file ", 0) == 0) {
            values = &files[std::filesystem::path(line.substr(5)).filename().string()];
        } else if (line != "end" && values != nullptr) {
            values->push_back(line);
        }
    }
    return files;
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        hex.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
        hex.push_back(kDigits[static_cast<unsigned char>(c) & 15]);
    }
    return hex;
}

TEST(HorWriterTest, PythonsUnpicklerLoadsEverySavedChartWithItsTexts) {
    if (!test::PythonHasModule("pickle"))
        GTEST_SKIP() << "python3 with its pickle module is not available";
    struct Chart {
        const char* LastName;
        const char* Place;
        const char* Notes;  // AAF notes start with "#"
        const char* File;
        // UTF-8. Names and places reach the chart files through the collected AAF text, where
        // their line breaks stand as spaces; notes keep theirs.
        const char* LoadedName;
        const char* LoadedPlace;
        const char* LoadedNotes;
    };
    const Chart charts[] = {
        {"Kov\xE1"
         "cs",
         "Budapest", "", "Kovacs Bela.hor",
         "Kov\xC3\xA1"
         "cs B\xC3\xA9la",
         "Budapest", ""},
        {"\ncos\nsystem\n(S'echo x'\ntR.", "\ncos\nsystem\n(S'echo y'\ntR.",
         "#\ncos\nsystem\n(S'echo z'\ntR.", "Cos System Secho X Tr Bela.hor",
         " cos system (S'echo x' tR. B\xC3\xA9la", " cos system (S'echo y' tR.",
         "#\ncos\nsystem\n(S'echo z'\ntR."},
        {"C:\\u0041\\", "back\\slash", "#a\\b,c\r\nd\re\nf", "Cu0041 Bela.hor",
         "C:\\u0041\\ B\xC3\xA9la", "back\\slash", "#a\\b;c\nd\re\nf"},
        {"Line\r\nBreak", "p0\n.", "#\np0\n.I01\n.", "Line  Break Bela.hor",
         "Line  Break B\xC3\xA9la", "p0 .", "#\np0\n.I01\n."},
    };
    TempDir dir;
    AafDatabase db;
    for (const Chart& chart : charts) {
        SetKovacs(db);
        SetFieldText(db.LastName, chart.LastName);
        SetFieldText(db.Place, chart.Place);
        SetFieldText(db.Notes, chart.Notes);
        db.DaylightCode = -1;
        db.Year = -44;
        ASSERT_TRUE(db.AppendRecord());
    }
    const std::string folder = dir.File("charts");
    ASSERT_TRUE(db.SaveHorFiles(folder));
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        paths.push_back(entry.path().string());
    const std::filesystem::path sample = test::SamplesDir() / "morinus-Morinus.hor";
    const bool haveSample = std::filesystem::exists(sample);
    if (haveSample) paths.push_back(sample.string());
    const auto loaded = LoadWithPython(paths);
    ASSERT_EQ(loaded.size(), std::size(charts) + (haveSample ? 1 : 0));
    for (const Chart& chart : charts) {
        SCOPED_TRACE(chart.File);
        ASSERT_EQ(loaded.count(chart.File), 1u) << [&] {
            std::string names;
            for (const auto& file : loaded)
                names += "\n" + file.first;
            return names;
        }();
        const std::vector<std::string> expected = {
            "s " + Hex(chart.LoadedName), "b 1", "i 0", "b 1", "i 44", "i 3", "i 7", "i 14", "i 30",
            "i 0", "i 0", "i 2", "b 1", "i 1", "i 0", "b 0",
            // The AAF text keeps whole arc minutes: 19.0833333 comes back as 19 degrees 5.
            "s " + Hex(std::string(chart.LoadedPlace) + " (Hungary)"), "i 19", "i 5", "i 0", "b 1",
            "i 47", "i 30", "i 0", "b 1", "i 100", "s " + Hex(chart.LoadedNotes)};
        EXPECT_EQ(loaded.at(chart.File), expected);
    }
    // The chart program's own file has the same kinds of item in the same order.
    if (!haveSample) GTEST_SKIP() << "sample not found: " << sample.string();
    const std::vector<std::string>& own = loaded.at("Kovacs Bela.hor");
    const std::vector<std::string>& theirs = loaded.at(sample.filename().string());
    ASSERT_EQ(theirs.size(), own.size());
    for (std::size_t i = 0; i < own.size(); ++i)
        EXPECT_EQ(theirs[i].front(), own[i].front()) << "item " << i + 1;
}

// Every byte from the space up, in the meaning Python's own Windows-1250 codec gives it (the
// five bytes it leaves undefined as the character of their number), as the hex of its UTF-8.
std::string Windows1250ByPython(std::string_view bytes) {
    const test::CommandResult decoded = test::RunCommand(
        "python3 -c \"import sys\n"
        "text = ''.join(bytes([b]).decode('cp1250', 'ignore') or chr(b) "
        "for b in bytes.fromhex(sys.argv[1]))\n"
        "print(text.encode('utf-8').hex())\" " +
        Hex(bytes));
    if (decoded.ExitCode != 0) return {};
    return decoded.Output.substr(0, decoded.Output.find('\n'));
}

TEST(HorWriterTest, PythonsUnpicklerReadsEveryLetterOfTheCodePage) {
    if (!test::PythonHasModule("pickle"))
        GTEST_SKIP() << "python3 with its pickle module is not available";
    struct Chart {
        const char* LastName;  // Windows-1250
        const char* FirstName;
        const char* Place;
        const char* File;
        const char* LoadedName;  // UTF-8
        const char* LoadedPlace;
    };
    const Chart charts[] = {
        {"Sz\xF5ke", "L\xF5rinc", "Gy\xF5r", "Szoke Lorinc.hor",
         "Sz\xC5\x91ke L\xC5\x91rinc",  // Szőke Lőrinc
         "Gy\xC5\x91r (H)"},
        {"Dvo\xF8\xE1k", "Anton\xEDn", "Nelahozeves", "Dvorak Antonin.hor",
         "Dvo\xC5\x99\xC3\xA1k Anton\xC3\xADn",  // Dvořák Antonín
         "Nelahozeves (H)"},
        {"\x8A\x9D"
         "astn\xFD",
         "\xA3ukasz", "\x8Atramberk", "Stastny Lukasz.hor",
         "\xC5\xA0\xC5\xA5"
         "astn\xC3\xBD \xC5\x81ukasz",  // Šťastný Łukasz
         "\xC5\xA0tramberk (H)"},
    };
    // Notes of every byte from the space up; the comma would come back as a semicolon.
    std::string everyByte = "#";
    for (int byte = 0x20; byte < 0x100; ++byte)
        if (byte != ',') everyByte.push_back(static_cast<char>(byte));
    const std::string loadedNotes = Windows1250ByPython(everyByte);
    ASSERT_FALSE(loadedNotes.empty()) << "Python could not decode Windows-1250";

    TempDir dir;
    AafDatabase db;
    for (const Chart& chart : charts) {
        SetKovacs(db);
        SetFieldText(db.LastName, chart.LastName);
        SetFieldText(db.FirstName, chart.FirstName);
        SetFieldText(db.Place, chart.Place);
        SetFieldText(db.Country, "H");
        SetFieldText(db.Notes, everyByte);
        ASSERT_TRUE(db.AppendRecord());
    }
    const std::string folder = dir.File("charts");
    ASSERT_TRUE(db.SaveHorFiles(folder));
    std::vector<std::string> paths;
    for (const Chart& chart : charts)
        paths.push_back(folder + "/" + chart.File);
    const auto loaded = LoadWithPython(paths);
    ASSERT_EQ(loaded.size(), std::size(charts));
    for (const Chart& chart : charts) {
        SCOPED_TRACE(chart.File);
        const std::vector<std::string>& values = loaded.at(chart.File);
        ASSERT_EQ(values.size(), 27u);
        EXPECT_EQ(values[0], "s " + Hex(chart.LoadedName));
        EXPECT_EQ(values[16], "s " + Hex(chart.LoadedPlace));
        EXPECT_EQ(values[26], "s " + loadedNotes);
    }
}

}  // namespace
}  // namespace tervalo
