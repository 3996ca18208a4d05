// Whole conversion runs on real files in a fresh temporary folder, with the clock held still.
#include "run/ConversionRun.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "TestSupport.h"
#include "core/CodePage.h"
#include "core/Platform.h"
#include "formats/AafDatabase.h"
#include "formats/QckDatabase.h"
#include "run/FileList.h"

namespace tervalo {
namespace {

namespace fs = std::filesystem;
using test::AafChart;
using test::AafCharts;
using test::kFixedNow;
using test::NamesIn;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// 45000.5 days: 45000 mod 32 = 8 whole days of 32768 steps, and half a day.
constexpr int kFixedStamp = 8 * 32768 + 16384;

// Records what the run does to the front, in order.
class RecordingFront final : public ProgressSink, public RunEffects {
public:
    void ShowCount(std::int32_t count) override {
        Counts.push_back(count);
        if (OnCount) OnCount(count);
    }
    void ProcessEvents() override { ++EventPasses; }
    void SetControlEnabled(RunControl control, bool enabled) override {
        Events.push_back(std::string(enabled ? "enable " : "disable ") +
                         std::to_string(static_cast<int>(control)));
    }
    void SelectEntry(int index) override {
        if (ThrowOnSelect && index >= 0) throw std::runtime_error("front failed");
        Events.push_back("select " + std::to_string(index));
    }
    void ShowMessage(MessageKind kind, const std::string& text) override {
        Events.push_back(std::string(kind == MessageKind::Information ? "info: " : "warning: ") +
                         text);
        Messages.push_back(text);
    }

    std::vector<std::int32_t> Counts;
    std::vector<std::string> Events;
    std::vector<std::string> Messages;
    int EventPasses = 0;
    bool ThrowOnSelect = false;
    std::function<void(std::int32_t)> OnCount;
};

class ConversionRunTest : public ::testing::Test, protected test::RunObjects {
protected:
    ConversionRunTest() {
        fs::create_directory(Dir.Path() / "prog");
        fs::create_directory(Dir.Path() / "in");
    }

    std::string Input(const std::string& name, const std::string& bytes) {
        const std::string path = Dir.File("in/" + name);
        WriteFile(PathFromUtf8(path), bytes);
        return path;
    }
    std::string Output(const std::string& name) const { return Dir.File("prog/" + name); }

    RunReport Convert(std::vector<std::string> entries, Target target, bool combined) {
        return RunObjects::Convert(std::move(entries), static_cast<int>(target), combined,
                                   Dir.File("prog"), Front, Front);
    }

    std::vector<std::string> OutputNames() const { return NamesIn(Dir.Path() / "prog"); }

    TempDir Dir;
    RecordingFront Front;
};

TEST(StampNumber, CountsStepsOfTheDayAndRepeatsEveryThirtyTwoDays) {
    const std::pair<double, std::int32_t> cases[] = {
        {0.0, 0},
        {1.0, 32768},
        {32.0, 0},  // the number repeats after 32 days
        {kFixedNow, kFixedStamp},
        {1.0 + 1.0 / 32768, 32769},
        {31.99999999, 1048575},  // the last step before the repeat
        {-1.0, 0},               // no date before 1899 reaches here, but nothing breaks
    };
    for (const auto& [dateTime, stamp] : cases)
        EXPECT_EQ(StampNumber(dateTime), stamp) << dateTime;
}

TEST(StampNumber, LocalClockIsAfterTheYear2020) {
    EXPECT_GT(LocalDateTimeNow(), 43831.0);  // 1 January 2020
}

TEST_F(ConversionRunTest, EmptyListOrNoSelectionDoesNothingAtAll) {
    EXPECT_EQ(Convert({}, Target::Aaf, false).Ending, RunEnding::NotStarted);
    RunRequest request;
    request.Entries = {Input("a.aaf", AafChart("A"))};
    request.ExecutablePath = Output("tervalo");
    request.TargetIndex = -1;
    EXPECT_EQ(ConversionRun(request, Abort, Front, Front, Databases).Ending, RunEnding::NotStarted);
    request.TargetIndex = 0;
    request.ModeIndex = -1;
    EXPECT_EQ(ConversionRun(request, Abort, Front, Front, Databases).Ending, RunEnding::NotStarted);
    EXPECT_TRUE(Front.Events.empty());
    EXPECT_TRUE(Front.Counts.empty());
    EXPECT_TRUE(OutputNames().empty());
}

TEST_F(ConversionRunTest, PerFileWritesOneOutputNamedAfterEachInput) {
    const std::string family = Input("Family.aaf", AafChart("Kovacs") + AafChart("Nagy"));
    const std::string friends = Input("friends.aaf", AafChart("Szabo"));
    const RunReport report = Convert({family, friends}, Target::Aaf, false);

    EXPECT_EQ(report.Ending, RunEnding::Completed);
    EXPECT_TRUE(report.Items.empty());
    EXPECT_EQ(OutputNames(), (std::vector<std::string>{"family.aaf", "friends.aaf"}));
    // The written file has no final blank line; the charts keep their order.
    ExpectBytes(ReadFile(Output("family.aaf")),
                AafChart("Kovacs") + AafChart("Nagy").substr(0, AafChart("Nagy").size() - 2));
    ASSERT_EQ(Front.Messages.size(), 1u);
    EXPECT_EQ(Front.Messages[0], "Az átalakítás sikerült!");
}

TEST_F(ConversionRunTest, ControlsAreDisabledInOrderAndComeBackAfterTheMessage) {
    Convert({Input("a.aaf", AafChart("A"))}, Target::Aaf, false);
    const std::vector<std::string> expected = {
        "disable 0", "disable 1", "disable 2", "disable 3", "disable 4",
        "disable 5", "disable 6", "disable 7", "select 0",  "info: Az átalakítás sikerült!",
        "enable 0",  "enable 1",  "enable 2",  "enable 3",  "enable 4",
        "enable 5",  "enable 6",  "enable 7",  "select -1"};
    EXPECT_EQ(Front.Events, expected);
}

TEST_F(ConversionRunTest, CounterShowsEveryTenthChartAndTheTotalAfterEachFile) {
    Convert({Input("a.aaf", AafCharts("A", 25))}, Target::Aaf, false);
    // Start, end of the Placidus pass, 0/10/20 during the file, 25 after it.
    EXPECT_EQ(Front.Counts, (std::vector<std::int32_t>{0, 0, 0, 10, 20, 25}));
}

TEST_F(ConversionRunTest, CounterStartsAgainPerFileAndRunsOnWhenCombined) {
    const std::string a = Input("a.aaf", AafCharts("A", 12));
    const std::string b = Input("b.aaf", AafCharts("B", 3));
    Convert({a, b}, Target::Aaf, false);
    EXPECT_EQ(Front.Counts, (std::vector<std::int32_t>{0, 0, 0, 10, 12, 0, 3}));
    Front.Counts.clear();
    Convert({a, b}, Target::Aaf, true);
    EXPECT_EQ(Front.Counts, (std::vector<std::int32_t>{0, 0, 0, 10, 12, 15}));
}

TEST_F(ConversionRunTest, CombinedOutputHoldsEveryChartInListOrderUnderAStampedName) {
    const std::string b = Input("b.aaf", AafChart("Second"));
    const std::string a = Input("a.aaf", AafChart("First"));
    const RunReport report = Convert({a, b}, Target::Aaf, true);
    const std::string name = "egybe" + std::to_string(kFixedStamp) + ".aaf";
    EXPECT_EQ(OutputNames(), std::vector<std::string>{name});
    const std::string text = ReadFile(Output(name));
    EXPECT_LT(text.find("First"), text.find("Second"));
    EXPECT_EQ(report.WrittenOutputs, std::vector<std::string>{Output(name)});
}

TEST_F(ConversionRunTest, StampedNameNeverReplacesAnExistingFile) {
    const std::string taken = Output("egybe" + std::to_string(kFixedStamp) + ".aaf");
    WriteFile(taken, "earlier run");
    Convert({Input("a.aaf", AafChart("A"))}, Target::Aaf, true);
    EXPECT_EQ(ReadFile(taken), "earlier run");
    EXPECT_TRUE(fs::exists(Output("egybe" + std::to_string(kFixedStamp + 1) + ".aaf")));
}

TEST_F(ConversionRunTest, OnlyPassedOverFilesGivesNoOutputButSaysWhy) {
    const std::string text = Input("notes.txt", "hello, this is not a chart database");
    const std::string tiny = Input("tiny.aaf", "#A93:x");  // under 16 bytes
    const std::string missing = Dir.File("in/missing.qck");
    const RunReport report = Convert({missing, text, tiny}, Target::Aaf, false);
    EXPECT_TRUE(OutputNames().empty());
    EXPECT_EQ(Front.Counts.back(), 0);
    ASSERT_EQ(report.Items.size(), 3u);
    EXPECT_EQ(Front.Messages.back(), "Az átalakítás részben sikerült!\nKihagyott fájl: " + missing +
                                         "\nKihagyott fájl: " + text + "\nKihagyott fájl: " + tiny);
    EXPECT_NE(Front.Events[Front.Events.size() - 10].find("warning: "), std::string::npos);
}

TEST_F(ConversionRunTest, CombinedRunWithoutChartsDeclinesQuietly) {
    const RunReport report =
        Convert({Input("x.dat", "not a chart file at all")}, Target::Csv, true);
    EXPECT_TRUE(OutputNames().empty());
    ASSERT_EQ(report.Items.size(), 1u);  // only the passed-over file
    EXPECT_EQ(report.Items[0].Kind, ReportKind::SkippedFile);
}

TEST_F(ConversionRunTest, OutputNeverReplacesAnInputOrAnotherOutputOfTheRun) {
    // An input that lies in the output folder, and two inputs with the same name.
    const std::string inside = Output("family.aaf");
    WriteFile(inside, AafChart("Inside"));
    fs::create_directory(Dir.Path() / "in" / "other");
    const std::string first = Input("friends.aaf", AafChart("First"));
    const std::string second = Input("other/friends.aaf", AafChart("Second"));
    const RunReport report = Convert({inside, first, second}, Target::Aaf, false);

    EXPECT_TRUE(report.Items.empty());
    EXPECT_EQ(ReadFile(inside), AafChart("Inside"));
    EXPECT_NE(ReadFile(Output("family (2).aaf")).find("Inside"), std::string::npos);
    EXPECT_NE(ReadFile(Output("friends.aaf")).find("First"), std::string::npos);
    EXPECT_NE(ReadFile(Output("friends (2).aaf")).find("Second"), std::string::npos);
}

TEST_F(ConversionRunTest, OutputsOfEarlierRunsAreReplaced) {
    WriteFile(Output("family.aaf"), "stale");
    Convert({Input("family.aaf", AafChart("Fresh"))}, Target::Aaf, false);
    EXPECT_NE(ReadFile(Output("family.aaf")).find("Fresh"), std::string::npos);
    EXPECT_FALSE(fs::exists(Output("family (2).aaf")));
}

TEST_F(ConversionRunTest, OutputThatCannotBeWrittenIsReported) {
    fs::create_directory(Dir.Path() / "prog" / "family.aaf");  // a folder where the file goes
    const RunReport report = Convert({Input("family.aaf", AafChart("A"))}, Target::Aaf, false);
    ASSERT_EQ(report.Items.size(), 1u);
    EXPECT_EQ(report.Items[0].Kind, ReportKind::NotWritten);
    EXPECT_EQ(Front.Messages.back(),
              "Az átalakítás részben sikerült!\nNem sikerült írni: " + Output("family.aaf"));
}

TEST_F(ConversionRunTest, AbortStopsAfterTheChartBeingConverted) {
    const std::string a = Input("a.aaf", AafCharts("A", 5));
    const std::string b = Input("b.aaf", AafCharts("B", 30));
    Front.OnCount = [this](std::int32_t count) {
        if (count == 10) Abort = true;  // the button pressed while events run
    };
    const RunReport report = Convert({a, b}, Target::Aaf, false);
    EXPECT_EQ(report.Ending, RunEnding::Aborted);
    EXPECT_EQ(Front.Messages, std::vector<std::string>{"Átalakítás megszakítva!"});
    // The finished input's output stays; the interrupted one is not written.
    EXPECT_EQ(OutputNames(), std::vector<std::string>{"a.aaf"});
    EXPECT_EQ(Front.Events.back(), "select -1");
}

// A large database is parsed ahead on a second thread; the run must see every chart in order
// and still stop right after the chart during which the button was pressed.
TEST_F(ConversionRunTest, LargeDatabasesConvertWholeAndStopAtOnce) {
    const std::string text = AafCharts("L", 20000);
    ASSERT_GT(text.size(), 1'000'000u);
    const std::string large = Input("large.aaf", text);
    EXPECT_TRUE(Convert({large}, Target::Aaf, false).Items.empty());
    // The saved text ends with its last line.
    ExpectBytes(ReadFile(Output("large.aaf")), text.substr(0, text.size() - 2));

    fs::remove(Output("large.aaf"));
    Front.Counts.clear();
    Front.OnCount = [this](std::int32_t count) {
        if (count == 5000) Abort = true;
    };
    EXPECT_EQ(Convert({large}, Target::Aaf, false).Ending, RunEnding::Aborted);
    EXPECT_EQ(Front.Counts.back(), 5000);
    EXPECT_TRUE(OutputNames().empty());
}

// One database object loads every input of a run in turn; a larger file after a large one
// must find room as well.
TEST_F(ConversionRunTest, ALargerFileAfterALargeOneIsReadWhole) {
    const std::string small = AafCharts("S", 50000);
    const std::string large = AafCharts("L", 200000);
    ASSERT_GT(small.size(), 2'500'000u);
    ASSERT_GT(large.size(), 3 * small.size());
    const RunReport report =
        Convert({Input("s.aaf", small), Input("t.aaf", large)}, Target::Aaf, false);
    EXPECT_TRUE(report.Items.empty());
    ExpectBytes(ReadFile(Output("t.aaf")), large.substr(0, large.size() - 2));
}

// A chart without a date keeps the calendar of the chart before it, also where a large file's
// charts are written on two threads and the two charts fall into different stretches.
TEST_F(ConversionRunTest, UndatedChartsOfALargeFileKeepTheCalendarBeforeThem) {
    std::string text;
    for (int i = 0; text.size() < 1'000'000; ++i) {
        text += "#A93:Julius" + std::to_string(i) +
                ",Caesar,M,15.03.1500j,12:00,Roma,I\r\n#B93:*,41N54,12E29,-1he00,0\r\n\r\n"
                "#A93:Undated" +
                std::to_string(i) + ",X,M,*,12:00,Roma,I\r\n#B93:*,41N54,12E29,-1he00,0\r\n\r\n";
    }
    EXPECT_TRUE(Convert({Input("rome.aaf", text)}, Target::Aaf, false).Items.empty());
    const std::string written = ReadFile(Output("rome.aaf"));
    std::size_t undated = 0;
    for (std::size_t at = written.find("#A93:Undated"); at != std::string::npos;
         at = written.find("#A93:Undated", at + 1)) {
        const std::size_t lineEnd = written.find('\r', at);
        ASSERT_NE(written.substr(at, lineEnd - at).find(",01.01.1900j,"), std::string::npos)
            << written.substr(at, lineEnd - at);
        ++undated;
    }
    EXPECT_GT(undated, 5000u);
}

TEST_F(ConversionRunTest, StaleAbortFromBeforeTheRunIsCleared) {
    Abort = true;
    const RunReport report = Convert({Input("a.aaf", AafCharts("A", 3))}, Target::Aaf, false);
    EXPECT_EQ(report.Ending, RunEnding::Completed);
    EXPECT_FALSE(Abort.load());
}

TEST_F(ConversionRunTest, ControlsComeBackWhenTheRunFailsWithAnException) {
    Front.ThrowOnSelect = true;
    EXPECT_THROW(Convert({Input("a.aaf", AafChart("A"))}, Target::Aaf, false), std::runtime_error);
    ASSERT_GE(Front.Events.size(), 9u);
    EXPECT_EQ(Front.Events.back(), "select -1");
    EXPECT_EQ(Front.Events[Front.Events.size() - 9], "enable 0");
}

TEST_F(ConversionRunTest, ExtensionsAreComparedWithoutRegardToCase) {
    const RunReport report = Convert({Input("LOUD.AAF", AafChart("Loud"))}, Target::Aaf, false);
    EXPECT_TRUE(report.Items.empty());
    EXPECT_EQ(OutputNames(), std::vector<std::string>{"loud.aaf"});  // named in lower case
}

std::string QckLine(const std::string& names, const std::string& rest) {
    std::string line = names;
    line.resize(23, ' ');
    line += rest;
    line.resize(101, ' ');
    return line + "\r\n";
}

const std::string kQckAnna =
    QckLine("Sample,Anna", "MAR 07, 196102:30:00 PM    -01:00019E03'00 47N30'00 Budapest,H");

TEST_F(ConversionRunTest, QckChartsReachEveryDatabaseTargetBothWays) {
    const std::string qck = Input("q.qck", kQckAnna);
    const std::string aaf = Input("a.aaf", AafChart("Kovacs"));
    // QCK to QCK gives the line back unchanged.
    EXPECT_TRUE(Convert({qck}, Target::Qck, false).Items.empty());
    ExpectBytes(ReadFile(Output("q.qck")), kQckAnna);
    // QCK to AAF and AAF to QCK, combined, in list order.
    EXPECT_TRUE(Convert({aaf, qck}, Target::Qck, true).Items.empty());
    const std::string combined = ReadFile(Output("egybe" + std::to_string(kFixedStamp) + ".qck"));
    ASSERT_EQ(combined.size(), 2 * 103u);
    EXPECT_EQ(combined.substr(0, 23), std::string("Kovacs,Janos").append(11, ' '));
    EXPECT_EQ(combined.substr(103), kQckAnna);
    EXPECT_TRUE(Convert({qck}, Target::Aaf, false).Items.empty());
    ExpectBytes(ReadFile(Output("q.aaf")),
                "#A93:Sample,Anna,M,07.03.1961g,14:30,Budapest,H\r\n"  // QCK charts are 'M'
                "#B93:*,47N30,19E03,1he00,0\r\n");
}

TEST_F(ConversionRunTest, QckChartAfterAnAafChartWithNotesGetsNoNotes) {
    const std::string aaf = Input("a.aaf",
                                  "#A93:Noted,Nora,F,01.01.1950g,12:00,Pecs,H\r\n"
                                  "#B93:*,46N05,18E14,1he00,0\r\n#Notes of Nora\r\n\r\n");
    const std::string qck = Input("b.qck", kQckAnna);
    Convert({aaf, qck}, Target::Aaf, true);
    const std::string text = ReadFile(Output("egybe" + std::to_string(kFixedStamp) + ".aaf"));
    EXPECT_EQ(text.find("#Notes of Nora"), text.rfind("#Notes of Nora"));
    EXPECT_NE(text.find("#A93:Sample,Anna"), std::string::npos);
}

// A Placidus chart file: the identifying text, a name, a place and a year; the rest zero.
std::string PlacidusChart(const std::string& name, const std::string& place, int year) {
    std::string bytes = std::string("PLACIDUS v4.0 Horoscope File") + std::string(172, '\0');
    bytes.replace(32, name.size(), name);     // name, zero-terminated before 102
    bytes.replace(143, place.size(), place);  // place, comma, country before 174
    bytes[124] = 2;                           // zone time
    bytes[128] = 1;                           // Gregorian
    bytes[129] = static_cast<char>(year & 0xFF);
    bytes[130] = static_cast<char>(year >> 8);
    bytes[131] = 3;  // month
    bytes[132] = 7;  // day
    bytes[174] = 1;  // male
    return bytes;
}

TEST_F(ConversionRunTest, PlacidusChartsGoIntoOneOutputWrittenFirstInPerFileMode) {
    const std::string second = Input("b.hor", PlacidusChart("Kiss Anna", "Eger, H", 1960));
    const std::string first = Input("a.hor", PlacidusChart("Nagy;Bela", "Pecs, H", 1950));
    const std::string aaf = Input("c.aaf", AafChart("Kovacs"));
    const RunReport report = Convert({first, second, aaf}, Target::Aaf, false);
    EXPECT_TRUE(report.Items.empty());
    const std::string placidus = Output("placidus" + std::to_string(kFixedStamp) + ".aaf");
    EXPECT_EQ(report.WrittenOutputs, (std::vector<std::string>{placidus, Output("c.aaf")}));
    ExpectBytes(ReadFile(placidus),
                "#A93:Nagy,Bela,M,07.03.1950g,00:00,Pecs,H\r\n"
                "#B93:*,00N00,00E00,0hw00,0\r\n\r\n"  // zone 0 counts as west
                "#A93:Kiss,Anna,M,07.03.1960g,00:00,Eger,H\r\n"
                "#B93:*,00N00,00E00,0hw00,0\r\n");
    EXPECT_EQ(Front.Counts, (std::vector<std::int32_t>{0, 0, 2, 0, 1}));
}

TEST_F(ConversionRunTest, PlacidusChartsComeFirstInACombinedOutput) {
    const std::string aaf = Input("a.aaf", AafChart("Kovacs"));
    const std::string hor = Input("z.hor", PlacidusChart("Last Chart", "Eger, H", 1960));
    EXPECT_TRUE(Convert({aaf, hor}, Target::Qck, true).Items.empty());
    const std::string text = ReadFile(Output("egybe" + std::to_string(kFixedStamp) + ".qck"));
    ASSERT_EQ(text.size(), 2 * 103u);
    EXPECT_EQ(text.substr(0, 10), "Last,Chart");
    EXPECT_EQ(text.substr(103, 12), "Kovacs,Janos");
}

TEST_F(ConversionRunTest, AbortDuringThePlacidusPassWritesNothing) {
    std::vector<std::string> entries;
    for (int i = 0; i < 15; ++i) {
        entries.push_back(Input("p" + std::to_string(10 + i) + ".hor",
                                PlacidusChart("Chart " + std::to_string(i), "X, H", 1950)));
    }
    entries.push_back(Input("z.aaf", AafChart("Kovacs")));
    Front.OnCount = [this](std::int32_t count) {
        if (count == 10) Abort = true;
    };
    EXPECT_EQ(Convert(entries, Target::Aaf, false).Ending, RunEnding::Aborted);
    EXPECT_TRUE(OutputNames().empty());
}

// Per file, each kind of chart file gathers into its own output, in a fixed order; combined,
// they come first in the list's order. Placidus and Morinus share ".hor" and are told apart by
// their content; a ".hor" of neither kind is passed over.
TEST_F(ConversionRunTest, ChartFilesOfEachKindGatherIntoTheirOwnOutputs) {
    const fs::path morinus = test::SamplesDir() / "morinus-Alan_Turing.hor";
    REQUIRE_SAMPLE(morinus);
    const std::string szk = Input("b.szk",
                                  "[BirthInfo]\r\nName=Regio Chart\r\nYear=1436\r\nMonth=6\r\n"
                                  "Day=6\r\nHour=12\r\n");
    const std::string hor = Input("c.hor", PlacidusChart("Placi Chart", "X, H", 1950));
    const std::string junk = Input("d.hor", "not a chart file of any kind");
    const std::string aaf = Input("a.aaf", AafChart("Kovacs"));
    const std::vector<std::string> entries = {szk, morinus.string(), junk, hor, aaf};

    const RunReport perFile = Convert(entries, Target::Aaf, false);
    ASSERT_EQ(perFile.Items.size(), 1u);
    EXPECT_EQ(perFile.Items[0].Kind, ReportKind::SkippedFile);
    EXPECT_EQ(perFile.Items[0].Path, junk);
    const std::string stamp = std::to_string(kFixedStamp);
    ASSERT_EQ(perFile.WrittenOutputs.size(), 4u);
    const char* const gathered[] = {"placidus", "morinus", "regiomontanus"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(perFile.WrittenOutputs[i], Output(gathered[i] + stamp + ".aaf"));
    EXPECT_NE(ReadFile(Output("morinus" + stamp + ".aaf")).find("#A93:Alan,Turing,M,"),
              std::string::npos);
    EXPECT_NE(ReadFile(Output("regiomontanus" + stamp + ".aaf")).find("#A93:Regio,Chart,"),
              std::string::npos);

    const RunReport combined = Convert(entries, Target::Aaf, true);
    ASSERT_EQ(combined.WrittenOutputs.size(), 1u);
    const std::string text = ReadFile(combined.WrittenOutputs[0]);
    const std::size_t regio = text.find("#A93:Regio");
    const std::size_t alan = text.find("#A93:Alan");
    const std::size_t placi = text.find("#A93:Placi");
    const std::size_t kovacs = text.find("#A93:Kovacs");
    EXPECT_TRUE(regio < alan && alan < placi && placi < kovacs) << text;
}

// Texts that reach a CSV line through a real run (a quote, a name whose field spans lines,
// accented bytes) must come back from a spreadsheet reader as twelve fields per chart.
TEST_F(ConversionRunTest, CsvOutputOfAWholeRunReadsBackAsTwelveFieldsPerChart) {
    if (!test::PythonHasModule("csv")) GTEST_SKIP() << "python3 with its csv module is missing";
    const std::string input = Input("tricky.aaf",
                                    "#A93:O\"Neil,Mary \"Mae\",F,01.02.1950g,10:00,Cork,IRL\r\n"
                                    "#B93:*,51N54,08W28,0hw00,0\r\n\r\n"
                                    "#A93:Buda\r\npest,J\xE1nos,M,15.03.1950g,14:30,P\xE9"
                                    "cs,H\r\n"
                                    "#B93:*,46N05,18E14,1he00,0\r\n\r\n"
                                    "#A93:Kov\xE1"
                                    "cs,Anna,F,07.03.1975g,14:30,Budapest,H\r\n"
                                    "#B93:*,47N30,19E05,1he00,0\r\n");
    EXPECT_TRUE(Convert({input}, Target::Csv, false).Items.empty());
    const auto rows = test::ReadCsvWithPython(Output("tricky.csv"));
    ASSERT_EQ(rows.size(), 3u);
    for (const auto& row : rows)
        EXPECT_EQ(row.size(), 12u);
    EXPECT_EQ(rows[0][0], "O\"Neil");
    EXPECT_EQ(rows[0][1], "Mary \"Mae\"");
    // The collected AAF text keeps each record line whole: the line break stands as spaces.
    EXPECT_EQ(rows[1][0], "Buda  pest");
    EXPECT_EQ(rows[1][10],
              "P\xE9"
              "cs");
    EXPECT_EQ(rows[2][0],
              "Kov\xE1"
              "cs");
    EXPECT_EQ(rows[2][11], "H");
}

// Names in UTF-8 with letters of no single code page: every target reaches these files and
// writes its outputs beside a program in such a folder.
TEST_F(ConversionRunTest, NamesWithEveryLetterAreReadAndWritten) {
    const fs::path program = PathFromUtf8(Dir.File("Horoszkópok"));
    fs::create_directory(program);
    std::vector<std::string> entries;
    AddToFileList(entries,
                  {Input("Kovács Ödön.aaf", AafChart("Kovacs")), Input("Dvořák.qck", kQckAnna)},
                  NativePathCase());
    ASSERT_EQ(entries.size(), 2u);
    // Outputs are named after the rows, with A to Z in lower case.
    const auto stem = [](const std::string& entry) {
        return LowerWindows1250Letters(Utf8FromPath(PathFromUtf8(entry).stem()));
    };
    struct Case {
        Target target;
        const char* extension;
        std::size_t charts;  // bytes of one chart's output, or files in a folder output
    };
    const Case cases[] = {
        {Target::Aaf, ".aaf", 0}, {Target::Qck, ".qck", 0}, {Target::Num, ".num", 0},
        {Target::Csv, ".csv", 0}, {Target::Hor, "", 1},     {Target::Szk, "", 1},
    };
    for (const Case& c : cases) {
        const RunReport report = RunObjects::Convert(entries, static_cast<int>(c.target), false,
                                                     Utf8FromPath(program), Front, Front);
        EXPECT_TRUE(report.Items.empty()) << c.extension;
        for (const std::string& entry : entries) {
            const fs::path output = program / PathFromUtf8(stem(entry) + c.extension);
            if (c.charts == 0) {
                EXPECT_GT(fs::file_size(output), 0u) << Utf8FromPath(output);
            } else {
                EXPECT_EQ(std::distance(fs::directory_iterator(output), fs::directory_iterator()),
                          1)
                    << Utf8FromPath(output);
            }
        }
        fs::remove_all(program);
        fs::create_directory(program);
    }
}

const std::string kKissAnna =
    "#A93:Kiss,Anna,F,02.05.1970g,08:15,Eger,H\r\n#B93:*,47N54,20E23,1he00,0\r\n\r\n";

// A chart's file never replaces an input of the run: here a file lying where the folder
// output of fam.aaf puts Kiss Anna's chart. Two charts of that name take the next free numbers.
TEST_F(ConversionRunTest, ChartFileNeverReplacesAnInputOfTheRun) {
    struct Case {
        Target target;
        bool combined;
        std::string extension;
        std::vector<std::string> expectedNames;  // in the folder that gets the charts
    };
    const std::string egybe = "egybe" + std::to_string(kFixedStamp);
    const Case cases[] = {
        {Target::Hor, false, ".hor", {"Kiss Anna (2).hor", "Kiss Anna (3).hor", "Kiss Anna.hor"}},
        {Target::Szk, false, ".szk", {"Kiss Anna (2).szk", "Kiss Anna (3).szk", "Kiss Anna.szk"}},
        // A stamped folder is never one that already exists, so nothing can lie in its way;
        // the Placidus input is a chart of its own there.
        {Target::Hor, true, ".hor", {"Kiss Anna (2).hor", "Kiss Anna (3).hor", "Kiss Anna.hor"}},
        {Target::Szk, true, ".szk", {"Kiss Anna (2).szk", "Kiss Anna.szk"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension + (c.combined ? " combined" : " per file"));
        fs::remove_all(Dir.Path() / "prog");
        fs::create_directories(Dir.Path() / "prog" / "fam");
        // A Placidus chart for HOR, as another program left it; any bytes for SZK.
        const std::string inputBytes = c.target == Target::Hor
                                           ? PlacidusChart("Kiss Anna", "Eger, H", 1970)
                                           : std::string("[Chart]\r\nName=kept\r\n");
        const std::string lyingInTheWay = Output("fam/Kiss Anna" + c.extension);
        WriteFile(lyingInTheWay, inputBytes);
        const std::string fam = Input("fam.aaf", kKissAnna + kKissAnna);

        const RunReport report = Convert({fam, lyingInTheWay}, c.target, c.combined);
        EXPECT_EQ(report.Ending, RunEnding::Completed);
        ExpectBytes(ReadFile(lyingInTheWay), inputBytes);
        const fs::path charts = Dir.Path() / "prog" / (c.combined ? egybe : "fam");
        EXPECT_EQ(NamesIn(charts), c.expectedNames);
        EXPECT_NE(ReadFile(charts / ("Kiss Anna (2)" + c.extension)).find("Kiss"),
                  std::string::npos);
    }
}

// Among hundreds of charts and names the run holds, exactly the taken ones move on.
TEST_F(ConversionRunTest, ChartFilesOfALargeSaveMoveOnlyWhereTaken) {
    fs::create_directories(Dir.Path() / "prog" / "fam");
    const std::vector<std::string> taken = {Output("fam/P17 Janos.hor"),
                                            Output("fam/P250 Janos.hor")};
    for (const std::string& path : taken)
        WriteFile(path, "an input");
    std::vector<std::string> entries = {Input("fam.aaf", AafCharts("P", 300))};
    for (int i = 0; i < 40; ++i)
        entries.push_back(Input("other" + std::to_string(i) + ".aaf", AafChart("Q")));
    entries.insert(entries.end(), taken.begin(), taken.end());
    Convert(entries, Target::Hor, false);
    const std::vector<std::string> names = NamesIn(Dir.Path() / "prog" / "fam");
    EXPECT_EQ(names.size(), 302u);
    for (int i = 0; i < 300; ++i) {
        const std::string base = "P" + std::to_string(i) + " Janos";
        const bool moved = i == 17 || i == 250;
        EXPECT_TRUE(fs::exists(Output("fam/" + base + (moved ? " (2)" : "") + ".hor"))) << base;
        EXPECT_EQ(fs::exists(Output("fam/" + base + " (2).hor")), moved) << base;
    }
    for (const std::string& path : taken)
        EXPECT_EQ(ReadFile(path), "an input");
}

// A chart's file never replaces one the run wrote before: b's folder is a link to a's, so
// b's Kiss Anna would land on a's.
TEST_F(ConversionRunTest, ChartFileNeverReplacesAnotherChartFileOfTheRun) {
    for (const Target target : {Target::Hor, Target::Szk}) {
        fs::remove_all(Dir.Path() / "prog");
        fs::create_directories(Dir.Path() / "prog" / "a");
        std::error_code error;
        fs::create_directory_symlink("a", Dir.Path() / "prog" / "b", error);
        if (error) GTEST_SKIP() << "no link could be made here: " << error.message();
        const std::string a = Input("a.aaf", kKissAnna);
        const std::string b = Input("b.aaf",
                                    "#A93:Kiss,Anna,F,09.09.1999g,08:15,Eger,H\r\n"
                                    "#B93:*,47N54,20E23,1he00,0\r\n\r\n");
        const RunReport report = Convert({a, b}, target, false);
        EXPECT_TRUE(report.Items.empty());
        const std::string extension = target == Target::Hor ? ".hor" : ".szk";
        EXPECT_EQ(NamesIn(Dir.Path() / "prog" / "a"),
                  (std::vector<std::string>{"Kiss Anna (2)" + extension, "Kiss Anna" + extension}));
        const std::string first = ReadFile(Output("a/Kiss Anna" + extension));
        const std::string second = ReadFile(Output("a/Kiss Anna (2)" + extension));
        EXPECT_NE(first, second) << "the second chart replaced the first";
        EXPECT_NE(first.find("1970"), std::string::npos);
        EXPECT_NE(second.find("1999"), std::string::npos);
    }
}

// Per-file outputs are named in lower case for every letter Windows-1250 has in both cases.
TEST_F(ConversionRunTest, PerFileOutputNameLowersAccentedCapitals) {
    const std::pair<std::string, std::string> cases[] = {
        {"ÁrpÁd.aaf", "árpád.csv"},
        {"Árpád.AAF", "árpád.csv"},
        {"ŐSZ ÉS TÉL.aaf", "ősz és tél.csv"},
        {"ŠŁŻŤŔ.aaf", "šłżťŕ.csv"},
        // Letters the code page lacks, and other scripts, stay as they are.
        {"ÀÈ Ωmega Ж.aaf", "ÀÈ Ωmega Ж.csv"},
    };
    for (const auto& [input, output] : cases) {
        fs::remove_all(Dir.Path() / "prog");
        fs::create_directory(Dir.Path() / "prog");
        EXPECT_TRUE(Convert({Input(input, kKissAnna)}, Target::Csv, false).Items.empty());
        EXPECT_EQ(OutputNames(), std::vector<std::string>{output}) << input;
    }
}

// On Linux a backslash is a letter of a name: the input keeps it in its output's name, and a
// program folder with one in its name gets the outputs.
TEST_F(ConversionRunTest, BackslashIsPartOfANameWhereOnlySlashSeparates) {
    if (IsPathSeparator('\\')) GTEST_SKIP() << "a backslash separates folders on Windows";
    const fs::path program = Dir.Path() / "prog\\bin";
    fs::create_directory(program);
    const std::string input = Input("my\\family.aaf", kKissAnna);
    const RunReport report = RunObjects::Convert({input}, static_cast<int>(Target::Csv), false,
                                                 program.string(), Front, Front);
    EXPECT_TRUE(report.Items.empty());
    EXPECT_EQ(NamesIn(program), std::vector<std::string>{"my\\family.csv"});
    EXPECT_EQ(NamesIn(Dir.Path()), (std::vector<std::string>{"in", "prog", "prog\\bin"}));
}

// Each chart with something to say gets its findings, by its number and the line its record
// begins on; the file holds them under its header, and the closing message says where it is.
TEST_F(ConversionRunTest, ChartFindingsNameTheChartItsLineAndField) {
    WriteReport = true;
    const std::string aaf =
        Input("findings.aaf", "#: a comment line\r\n" + AafChart("Clean") +            // lines 1-4
                                  "#A93:Late,Anna,F,15.03.1950g,25:10,Budapest,H\r\n"  // line 5
                                  "#B93:*,47N30,19E05,1he00,0\r\n\r\n"
                                  "#A93:Leap,Anna,F,29.02.1950g,12:00,Budapest,H\r\n"  // line 8
                                  "#B93:*,47N30,19E05,1he00,0\r\n#COM:note\r\n\r\n");
    struct Expected {
        FindingKind Kind;
        std::uint32_t Chart;
        std::uint32_t Line;
        ChartField Field;
        const char* Detail;
    };
    const struct {
        Target To;
        std::vector<Expected> Findings;
    } cases[] = {
        {Target::Aaf,
         {{FindingKind::Corrected, 2, 5, ChartField::Time, "25 → 23"},
          {FindingKind::Suspicious, 3, 8, ChartField::Day, nullptr}}},
        {Target::Qck,
         {{FindingKind::Corrected, 2, 5, ChartField::Time, "25 → 23"},
          {FindingKind::Suspicious, 3, 8, ChartField::Day, nullptr},
          {FindingKind::Lost, 3, 8, ChartField::Notes, nullptr}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.To));
        const RunReport report = Convert({aaf}, c.To, false);
        ASSERT_EQ(report.Findings.size(), c.Findings.size());
        for (std::size_t i = 0; i < c.Findings.size(); ++i) {
            const Finding& seen = report.Findings[i];
            const Expected& expected = c.Findings[i];
            EXPECT_EQ(seen.Kind, expected.Kind) << i;
            EXPECT_EQ(seen.File, aaf);
            EXPECT_EQ(seen.Chart, expected.Chart) << i;
            EXPECT_EQ(seen.Line, expected.Line) << i;
            EXPECT_EQ(seen.Field, expected.Field) << i;
            if (expected.Detail != nullptr) {
                EXPECT_EQ(seen.Detail, expected.Detail) << i;
            }
        }
        ASSERT_TRUE(report.ReportWritten);
        EXPECT_EQ(ReadFile(PathFromUtf8(report.ReportFile)).substr(0, 9),
                  "\xEF\xBB\xBF"
                  "Fájl\t");
        EXPECT_NE(Front.Messages.back().find("\nA jelentés: " + report.ReportFile),
                  std::string::npos);
        fs::remove(PathFromUtf8(report.ReportFile));
    }

    // A clean run writes no report and says nothing more.
    const RunReport clean = Convert({Input("clean.aaf", AafChart("Clean"))}, Target::Aaf, false);
    EXPECT_TRUE(clean.Findings.empty());
    EXPECT_TRUE(clean.ReportFile.empty());
    EXPECT_EQ(Front.Messages.back(), "Az átalakítás sikerült!");
}

// Past the first few hundred, findings are formed on the threads that read the charts: their
// lines are the same as the first ones', numbered on, and every one is counted.
TEST_F(ConversionRunTest, FindingsPastTheKeptOnesReadTheSame) {
    WriteReport = true;
    constexpr std::uint32_t kCharts = 3000;  // several stretches of the walk
    std::string text;
    for (std::uint32_t i = 0; i < kCharts; ++i) {
        text +=
            "#A93:=Late,Anna,F,15.03.1950g,25:10,Budapest,H\r\n"
            "#B93:*,47N30,19E05,1he00,0\r\n#COM:note\r\n\r\n";
    }
    const std::string aaf = Input("many.aaf", text);
    const RunReport report = Convert({aaf}, Target::Qck, false);
    EXPECT_EQ(report.Findings.size(), kKeptFindings);
    EXPECT_EQ(report.Tally.Charts, kCharts);
    EXPECT_EQ(FindingCounts(report.Tally), "javítva: 3000, elveszett: 3000");
    ASSERT_TRUE(report.ReportWritten);
    const std::string written = ReadFile(PathFromUtf8(report.ReportFile));
    std::size_t at = written.find('\n') + 1;  // past the header
    for (std::uint32_t chart = 1; chart <= kCharts; ++chart) {
        const std::string numbers =
            "\t" + std::to_string(chart) + "\t" + std::to_string(4 * chart - 3) + "\t";
        for (const char* rest : {"'=Late Anna\tjavítva\tidő: 25 → 23\r\n",
                                 "'=Late Anna\telveszett\tjegyzet: #COM:note\r\n"}) {
            const std::string line = aaf + numbers + rest;
            ASSERT_EQ(written.compare(at, line.size(), line), 0) << chart;
            at += line.size();
        }
    }
    EXPECT_EQ(at, written.size());
}

// Combined, the same charts from two sources are likely duplicates: one pair per chart, on the
// later one, naming the earlier; passed over, the later ones are not written at all.
TEST_F(ConversionRunTest, LikelyDuplicatesOfTwoSourcesArePairedOrPassedOver) {
    const std::string aaf = Input("a.aaf", AafCharts("Same", 3));
    const std::string again = Input("b.aaf", AafCharts("Same", 3) + AafChart("Other"));
    const RunReport paired = Convert({aaf, again}, Target::Aaf, true);
    ASSERT_EQ(paired.Findings.size(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(paired.Findings[i].Kind, FindingKind::Similar);
        EXPECT_EQ(paired.Findings[i].File, again);
        EXPECT_EQ(paired.Findings[i].Chart, i + 1);
        EXPECT_EQ(paired.Findings[i].Name, "Same" + std::to_string(i) + " Janos");
        EXPECT_EQ(paired.Findings[i].Detail, EarlierChartDetail(aaf, i + 1));
    }
    const auto charts = [](const std::string& path) {
        const std::string text = ReadFile(PathFromUtf8(path));
        std::size_t count = 0;
        for (std::size_t at = text.find("#A93:"); at != std::string::npos;
             at = text.find("#A93:", at + 1))
            ++count;
        return count;
    };
    EXPECT_EQ(charts(paired.WrittenOutputs[0]), 7u);

    RunRequest request;
    request.Entries = {aaf, again};
    request.ModeIndex = 1;
    request.ExecutablePath = Output("tervalo");
    request.WriteReport = false;
    request.SkipDuplicates = true;
    const RunReport skipped = ConversionRun(request, Abort, Front, Front, Databases);
    ASSERT_EQ(skipped.Findings.size(), 3u);
    EXPECT_EQ(skipped.Findings[0].Kind, FindingKind::Skipped);
    EXPECT_EQ(charts(skipped.WrittenOutputs[0]), 4u);
}

}  // namespace
}  // namespace tervalo
