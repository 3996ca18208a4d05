// tervalo-convert as a user runs it: arguments, outputs, closing message and exit status.
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "TestSupport.h"
#include "cli/CommandLine.h"
#include "core/CodePage.h"
#include "core/Platform.h"
#include "run/FileList.h"

namespace tervalo {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

test::CommandResult RunConvert(const std::string& arguments) {
    const std::string program = Utf8FromPath(fs::path(TERVALO_CONVERT_PATH).make_preferred());
    return test::RunCommand(test::ShellQuoted(program) + " " + arguments + " 2>&1");
}

const std::string kChart = test::AafChart();

TEST(CommandLine, ParsesOptionsAndRefusesWhatItCannotUse) {
    struct Case {
        std::vector<std::string> arguments;
        int target;
        bool combined;
        std::string error;
    };
    const Case cases[] = {
        {{"--target", "csv", "a.aaf"}, 3, false, ""},
        {{"a.aaf", "--combined", "--target", "szk"}, 5, true, ""},
        {{"--target", "xls", "a.aaf"}, -1, false, "unknown target: xls"},
        {{"--target"}, -1, false, "--target needs a value"},
        {{"a.aaf"}, -1, false, "--target is required"},
        {{"--target", "aaf"}, 0, false, "no input files"},
        {{"--target", "aaf", "--verbose", "a.aaf"}, 0, false, "unknown option: --verbose"},
        {{"--target", "aaf", "--", "--odd-name.aaf"}, 0, false, ""},
    };
    for (const Case& c : cases) {
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.Error, c.error);
        if (c.error.empty()) {
            EXPECT_EQ(line.TargetIndex, c.target);
            EXPECT_EQ(line.Combined, c.combined);
        }
    }
}

TEST(CommandLine, HelpAndVersionNeedNothingElse) {
    struct Case {
        std::vector<std::string> arguments;
        bool help;
        bool version;
    };
    const Case cases[] = {
        {{"-h"}, true, false},
        {{"--help"}, true, false},
        {{"--version"}, false, true},
        {{"--target", "csv", "--version"}, false, true},
        {{"--target", "csv", "a.aaf"}, false, false},
    };
    for (const Case& c : cases) {
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.Error, "");
        EXPECT_EQ(line.Help, c.help);
        EXPECT_EQ(line.Version, c.version);
    }
}

TEST(CommandLine, ReportOptionsReachTheirFields) {
    struct Case {
        std::vector<std::string> options;  // before "--target aaf a.aaf"
        std::string reportPath;
        bool writeReport;
        bool skipDuplicates;
        std::string error;
    };
    const Case cases[] = {
        {{}, "", true, false, ""},
        {{"--report", "out/j.txt"}, "out/j.txt", true, false, ""},
        {{"--no-report"}, "", false, false, ""},
        // Without --combined it finds nothing to skip, and is no error.
        {{"--skip-duplicates"}, "", true, true, ""},
        // The value is taken whole, even when it looks like an option.
        {{"--report", "--no-report"}, "--no-report", true, false, ""},
        {{"--report", ""}, "", true, false, "--report is empty"},
        {{"--report", "j", "--no-report"},
         "",
         true,
         false,
         "--report and --no-report exclude each other"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {"--target", "aaf", "a.aaf"});
        const CommandLine line = ParseCommandLine(arguments);
        EXPECT_EQ(line.Error, c.error);
        if (!c.error.empty()) continue;
        EXPECT_EQ(line.ReportPath, c.reportPath);
        EXPECT_EQ(line.WriteReport, c.writeReport);
        EXPECT_EQ(line.SkipDuplicates, c.skipDuplicates);
        EXPECT_EQ(line.Files, std::vector<std::string>{"a.aaf"});
    }
}

TEST(CommandLine, FindingsSummaryNamesTheReportAndCountsKinds) {
    const Finding corrected{FindingKind::Corrected, "/a.aaf", 1, 1, "Kovács", ChartField::Day, ""};
    const Finding lost{FindingKind::Lost, "/a.aaf", 2, 4, "Nagy", ChartField::Notes, ""};
    const std::string counts = "tervalo-convert: findings: javítva: 1, elveszett: 2\n";
    struct Case {
        std::vector<Finding> findings;
        std::string reportFile;
        bool written;
        std::string summary;
    };
    const Case cases[] = {
        {{}, "/j.txt", true, ""},
        {{lost, corrected, lost}, "/j.txt", true, "tervalo-convert: report: /j.txt\n" + counts},
        {{lost, corrected, lost},
         "/j",
         false,
         "tervalo-convert: report not written: /j\n" + counts},
        {{lost, corrected, lost}, "", false, counts},
    };
    for (const Case& c : cases) {
        RunReport report;
        FindingLog log({});
        for (const Finding& finding : c.findings)
            log.Add(finding);
        report.Tally = log.Tally();
        report.ReportFile = c.reportFile;
        report.ReportWritten = c.written;
        EXPECT_EQ(FindingsSummary(report), c.summary);
    }
}

TEST(CommandLine, OutputPrefixEndsInOneSeparator) {
    // The system's own separator is added; Windows takes a backslash and "/" alike.
    const std::string own(1, static_cast<char>(fs::path::preferred_separator));
    const bool windows = own == "\\";
    struct Case {
        const char* folder;
        std::string prefix;
    };
    const Case cases[] = {
        {"out", "out" + own},
        {"out///", "out" + own},
        {"/", "/"},
        {"out\\", windows ? "out" + own : "out\\" + own},
        {"\\", windows ? "\\" : "\\" + own},
        {"C:\\Horoszkópok\\", windows ? "C:\\Horoszkópok" + own : "C:\\Horoszkópok\\/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutputPrefixOfFolder(c.folder), c.prefix) << c.folder;
}

TEST(TervaloConvert, UsageErrorsExitWithTwo) {
    const test::CommandResult noTarget = RunConvert("x.aaf");
    EXPECT_EQ(noTarget.ExitCode, 2);
    EXPECT_NE(noTarget.Output.find("usage: tervalo-convert"), std::string::npos);
    TempDir dir;
    WriteFile(dir.Path() / "file", "");
    EXPECT_EQ(RunConvert("--target aaf --output-dir " + test::ShellQuoted(dir.File("file/folder")) +
                         " x.aaf")
                  .ExitCode,
              2);
    const test::CommandResult help = RunConvert("--help");
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Output.find("--combined"), std::string::npos);
    const test::CommandResult shortHelp = RunConvert("-h");
    EXPECT_EQ(shortHelp.ExitCode, 0);
    EXPECT_EQ(shortHelp.Output, help.Output);
}

TEST(TervaloConvert, VersionIsPrintedAlone) {
    const test::CommandResult version = RunConvert("--version");
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Output, "tervalo-convert 1.5\n");
}

TEST(TervaloConvert, OutputFolderIsMadeWithItsMissingParents) {
    TempDir dir;
    WriteFile(dir.Path() / "Family.aaf", kChart);
    const std::string folder = dir.File("out/new/deeper");
    const test::CommandResult result =
        RunConvert("--target csv --output-dir " + test::ShellQuoted(folder) + " " +
                   test::ShellQuoted(dir.File("Family.aaf")));
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
    EXPECT_TRUE(fs::is_regular_file(fs::path(folder) / "family.csv"));
}

TEST(TervaloConvert, OutputFolderThatCannotBeMadeStopsWithItsReason) {
    TempDir dir;
    WriteFile(dir.Path() / "Family.aaf", kChart);
    WriteFile(dir.Path() / "file", "kept");
    std::error_code error;
    fs::create_symlink("nowhere", dir.Path() / "dangling", error);
    if (error) GTEST_SKIP() << "no link could be made here: " << error.message();
    const std::pair<std::string, std::string> cases[] = {
        {dir.File("file"), "not a folder: " + dir.File("file")},
        {dir.File("dangling"), "not a folder: " + dir.File("dangling")},
        // The system says why: here a file stands where a parent folder should be.
        {dir.File("file/sub/deeper"), "cannot create folder " + dir.File("file/sub/deeper") + ": "},
    };
    for (const auto& [folder, message] : cases) {
        const test::CommandResult result =
            RunConvert("--target csv --output-dir " + test::ShellQuoted(folder) + " " +
                       test::ShellQuoted(dir.File("Family.aaf")));
        EXPECT_EQ(result.ExitCode, 2) << folder;
        const std::string line = "tervalo-convert: " + message;
        const std::size_t at = result.Output.find(line);
        ASSERT_NE(at, std::string::npos) << result.Output;
        // Where the system gives a reason, it follows the colon; nothing was converted.
        if (message.back() == ' ') {
            EXPECT_GT(result.Output.find('\n', at), at + line.size()) << result.Output;
        }
        EXPECT_EQ(result.Output.find("sikerült"), std::string::npos);
    }
    EXPECT_EQ(ReadFile(dir.Path() / "file"), "kept");
    EXPECT_FALSE(fs::exists(dir.Path() / "family.csv"));
}

// On Linux a backslash is a letter of a name, in the input's name and in the output folder's.
TEST(TervaloConvert, BackslashIsPartOfANameWhereOnlySlashSeparates) {
    if (IsPathSeparator('\\')) GTEST_SKIP() << "a backslash separates folders on Windows";
    TempDir dir;
    WriteFile(dir.Path() / "my\\family.aaf", kChart);
    const std::string folder = dir.File("out\\dir");
    const test::CommandResult result =
        RunConvert("--target aaf --output-dir " + test::ShellQuoted(folder) + " " +
                   test::ShellQuoted(dir.File("my\\family.aaf")));
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
    EXPECT_TRUE(fs::is_regular_file(fs::path(folder) / "my\\family.aaf"));
    EXPECT_FALSE(fs::exists(dir.Path() / "out"));
}

TEST(TervaloConvert, ConvertsPerFileIntoTheOutputFolder) {
    TempDir dir;
    fs::create_directory(dir.Path() / "out");
    WriteFile(dir.Path() / "Family.aaf", kChart + kChart);
    const test::CommandResult result =
        RunConvert("--target aaf --output-dir " + test::ShellQuoted(dir.File("out")) + " " +
                   test::ShellQuoted(dir.File("Family.aaf")));
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
    EXPECT_NE(result.Output.find("Az átalakítás sikerült!"), std::string::npos);
    EXPECT_EQ(ReadFile(dir.Path() / "out" / "family.aaf"),
              kChart + kChart.substr(0, kChart.size() - 2));
}

TEST(TervaloConvert, SameFileTwiceIsConvertedOnce) {
    TempDir dir;
    WriteFile(dir.Path() / "a.aaf", kChart);
    const std::string input = test::ShellQuoted(dir.File("a.aaf"));
    const test::CommandResult result =
        RunConvert("--combined --target aaf --output-dir " +
                   test::ShellQuoted(dir.Path().string()) + " " + input + " " + input);
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
    int outputs = 0;
    for (const auto& item : fs::directory_iterator(dir.Path())) {
        if (item.path().filename().string().rfind("egybe", 0) == 0) {
            ++outputs;
            EXPECT_EQ(ReadFile(item.path()), kChart.substr(0, kChart.size() - 2));
        }
    }
    EXPECT_EQ(outputs, 1);
}

// The files are taken in a person's alphabet, whatever order they were given in.
TEST(TervaloConvert, CombinedOutputFollowsTheAlphabetOfTheFileNames) {
    TempDir dir;
    fs::create_directory(dir.Path() / "out");
    std::string inputs;
    for (const char* name : {"zoli", "Ödön", "Béla", "Ábel", "Oszkár"}) {
        WriteFile(PathFromUtf8(dir.File(std::string(name) + ".aaf")),
                  "#A93:" + std::string(name) + kChart.substr(kChart.find(',')));
        inputs += " " + test::ShellQuoted(dir.File(std::string(name) + ".aaf"));
    }
    const test::CommandResult result = RunConvert("--combined --target csv --output-dir " +
                                                  test::ShellQuoted(dir.File("out")) + inputs);
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
    std::string order;
    for (const auto& item : fs::directory_iterator(dir.Path() / "out")) {
        const std::string text = ReadFile(item.path());
        for (std::size_t line = 0; line < text.size(); line = text.find('\n', line) + 1) {
            order += text.substr(line, text.find(',', line) - line) + " ";
            if (text.find('\n', line) == std::string::npos) break;
        }
    }
    // The names inside the charts, in Windows-1250 as every chart text is.
    EXPECT_EQ(order,
              "\xC1"
              "bel B\xE9la \xD6"
              "d\xF6n Oszk\xE1r zoli ");
}

TEST(TervaloConvert, PassedOverFilesExitWithOneAndAreNamed) {
    TempDir dir;
    WriteFile(dir.Path() / "good.aaf", kChart);
    WriteFile(dir.Path() / "bad.aaf", "no records in this file at all");
    const test::CommandResult result = RunConvert(
        "--target aaf --output-dir " + test::ShellQuoted(dir.Path().string()) + " " +
        test::ShellQuoted(dir.File("good.aaf")) + " " + test::ShellQuoted(dir.File("bad.aaf")));
    EXPECT_EQ(result.ExitCode, 1);
    // The report names the file as its list row, lower-cased where the system ignores case.
    std::vector<std::string> rows;
    AddToFileList(rows, {dir.File("bad.aaf")}, NativePathCase());
    EXPECT_NE(result.Output.find("Az átalakítás részben sikerült!\nKihagyott fájl: " + rows[0]),
              std::string::npos)
        << result.Output;
}

// Arguments reach the program with every letter: Windows hands them over as UTF-16.
TEST(TervaloConvert, NamesWithEveryLetterArriveWhole) {
    TempDir dir;
    const fs::path outputs = PathFromUtf8(dir.File("Horoszkópok"));
    fs::create_directory(outputs);
    const std::string hungarian = dir.File("Kovács Ödön.aaf");
    const std::string czech = dir.File("Dvořák.aaf");
    WriteFile(PathFromUtf8(hungarian), kChart);
    WriteFile(PathFromUtf8(czech), kChart + kChart);
    const test::CommandResult result =
        RunConvert("--target csv --output-dir " + test::ShellQuoted(Utf8FromPath(outputs)) + " " +
                   test::ShellQuoted(hungarian) + " " + test::ShellQuoted(czech));
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
    // Outputs are named after the list rows (lower-cased where the system ignores case), with A
    // to Z in lower case.
    std::vector<std::string> rows;
    AddToFileList(rows, {hungarian, czech}, NativePathCase());
    ASSERT_EQ(rows.size(), 2u);
    const std::pair<std::string, std::size_t> expected[] = {{rows[0], 2}, {rows[1], 1}};
    for (const auto& [row, lines] : expected) {
        const fs::path csv =
            outputs /
            PathFromUtf8(LowerWindows1250Letters(Utf8FromPath(PathFromUtf8(row).stem())) + ".csv");
        const std::string text = ReadFile(csv);
        EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), lines)
            << Utf8FromPath(csv);
    }
}

}  // namespace
}  // namespace tervalo
