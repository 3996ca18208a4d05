// Test helpers: bytes compared, temporary folders, files, samples, the standard chart, run objects.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "formats/AafDatabase.h"
#include "formats/QckDatabase.h"
#include "run/ConversionRun.h"

namespace tervalo::test {

// Compares bytes and, on a difference, reports the first differing offset with context.
::testing::AssertionResult BytesEqual(std::string_view actual, std::string_view expected);
#define ExpectBytes(actual, expected) EXPECT_TRUE(::tervalo::test::BytesEqual((actual), (expected)))

// Shows bytes with control and high bytes escaped, for failure messages.
std::string Printable(std::string_view bytes);

// A fresh, empty folder that is removed with everything in it at the end of its scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return Root; }
    // The path of a name inside the folder, as text.
    std::string File(std::string_view name) const;

private:
    std::filesystem::path Root;
};

void WriteFile(const std::filesystem::path& path, std::string_view bytes);
// The names in a folder, as UTF-8, sorted.
std::vector<std::string> NamesIn(const std::filesystem::path& folder);
std::string ReadFile(const std::filesystem::path& path);

// Runs a shell command; its standard output and exit code (-1 when it did not run or end).
struct CommandResult {
    int ExitCode = -1;
    std::string Output;
};
CommandResult RunCommand(const std::string& command);
// The text in single quotes for the shell.
std::string ShellQuoted(std::string_view text);

// Reads a CSV file with Python's csv module: each row as its fields, byte for byte. Empty when
// Python could not read it.
std::vector<std::vector<std::string>> ReadCsvWithPython(const std::string& path);
bool PythonHasModule(const char* module);

// AAF text of at least `size` bytes made of sound and damaged records in a random order fixed
// by `seed`: bounds without their colon, location lines behind the next record, long notes,
// doubled markers, bare first lines. Large texts are handled in stretches on two threads, and
// this puts the stretches' edges among every kind of record.
std::string MixedAafText(std::size_t size, unsigned seed);

// The AAF text of the standard chart: a man born in Budapest on the given day of March 1950 at
// 14:30, 47N30, 19E05, zone one hour east.
std::string AafChart(std::string_view lastName = "Kovacs", int day = 15);
// `count` such charts named prefix0, prefix1, ..., on days that run through the month.
std::string AafCharts(std::string_view prefix, int count);

// Clears the record and fills in the standard chart of the writer tests: Kovacs Janos, a man,
// born 7 March 1975 at 14:30 in Budapest (H), zone one hour east, 47.5 N and a hair short of
// 19°05' E, so that writers that truncate show 4'59" and writers that round show 5'.
void SetKovacs(AafDatabase& chart);
// Kovács János with accents, whole minutes everywhere, a man, no notes: a chart with nothing to
// report on any target.
AafRecord CleanKovacs();

// A front for whole runs in tests: no counter, no controls; the closing message is kept.
class QuietFront final : public ProgressSink, public RunEffects {
public:
    void ShowCount(std::int32_t) override {}
    void ProcessEvents() override {}
    void SetControlEnabled(RunControl, bool) override {}
    void SelectEntry(int) override {}
    void ShowMessage(MessageKind, const std::string& text) override { Message = text; }
    std::string Message;
};

// The clock of whole runs in tests, held still: 45000 days and a half.
inline constexpr double kFixedNow = 45000.5;

// What a whole run works on, as a front holds it: the four databases (the output AAF one
// knowing the country list), the stop flag, and a quiet front for runs nobody watches.
struct RunObjects {
    RunObjects();
    // A whole run of `entries` to the target with that index, per file or combined, its outputs
    // going into `programFolder` as into the running program's folder; the clock at kFixedNow.
    // The suites that look at outputs leave the report file out; the report's tests ask for it.
    bool WriteReport = false;
    RunReport Convert(std::vector<std::string> entries, int target, bool combined,
                      const std::string& programFolder, ProgressSink& sink, RunEffects& effects);
    RunReport Convert(std::vector<std::string> entries, int target, bool combined,
                      const std::string& programFolder) {
        return Convert(std::move(entries), target, combined, programFolder, Quiet, Quiet);
    }

    AafDatabase OutputAaf;
    QckDatabase OutputQck;
    AafDatabase InputAaf;
    QckDatabase InputQck;
    RunDatabases Databases{OutputAaf, OutputQck, InputAaf, InputQck};
    std::atomic<bool> Abort{false};
    QuietFront Quiet;
};

// The folder of real sample files, or empty when it is absent.
std::filesystem::path SamplesDir();
// Skips the current test with a message when a sample file is absent.
#define REQUIRE_SAMPLE(path)                                         \
    do {                                                             \
        if (!std::filesystem::exists(path))                          \
            GTEST_SKIP() << "sample not found: " << (path).string(); \
    } while (0)

}  // namespace tervalo::test
