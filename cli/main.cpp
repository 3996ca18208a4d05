// tervalo-convert: converts chart databases from a terminal through the same conversion run.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "core/Platform.h"
#include "formats/AafDatabase.h"
#include "formats/CountryCodeTable.h"
#include "formats/QckDatabase.h"
#include "run/ConversionRun.h"
#include "run/FileList.h"

namespace {

std::atomic<bool> AbortRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the abort flag is set from a signal");

// The counter on standard error, at most about ten times a second, and the last value.
class ConsoleProgress final : public tervalo::ProgressSink {
public:
    explicit ConsoleProgress(bool show) : Show(show) {}

    void ShowCount(std::int32_t count) override {
        Last = count;
        const auto now = std::chrono::steady_clock::now();
        if (!Show || now - LastShown < std::chrono::milliseconds(100)) return;
        LastShown = now;
        Print();
    }
    void ProcessEvents() override {}
    // The last count on a line of its own, before the closing message.
    void Finish() {
        std::fprintf(stderr, Show ? "\r%d\n" : "%d\n", static_cast<int>(Last));
        std::fflush(stderr);
    }

private:
    void Print() {
        std::fprintf(stderr, "\r%d", static_cast<int>(Last));
        std::fflush(stderr);
    }

    bool Show;
    std::int32_t Last = 0;
    std::chrono::steady_clock::time_point LastShown{};
};

// No controls to disable; the closing message goes to standard output.
class ConsoleEffects final : public tervalo::RunEffects {
public:
    void SetControlEnabled(tervalo::RunControl, bool) override {}
    void SelectEntry(int) override {}
    void ShowMessage(tervalo::MessageKind, const std::string& text) override { Message = text; }
    std::string Message;
};

}  // namespace

int main(int argc, char* argv[]) {
    tervalo::UseUtf8Console();
    const std::vector<std::string> arguments = tervalo::ProgramArguments(argc, argv);
    const tervalo::CommandLine line = tervalo::ParseCommandLine(arguments);
    if (line.Help) {
        std::fputs(tervalo::kUsage, stdout);
        return 0;
    }
    if (line.Version) {
        std::fputs(tervalo::kVersionLine, stdout);
        return 0;
    }
    if (!line.Error.empty()) {
        std::fprintf(stderr, "tervalo-convert: %s\n\n%s", line.Error.c_str(), tervalo::kUsage);
        return 2;
    }
    const std::string folderProblem = tervalo::PrepareOutputFolder(line.OutputDir);
    if (!folderProblem.empty()) {
        std::fprintf(stderr, "tervalo-convert: %s\n", folderProblem.c_str());
        return 2;
    }

    tervalo::AafDatabase outputAaf;
    tervalo::QckDatabase outputQck;
    tervalo::AafDatabase inputAaf;
    tervalo::QckDatabase inputQck;
    outputAaf.AddCountries(tervalo::CountryCodeRows());
    tervalo::RunDatabases databases{outputAaf, outputQck, inputAaf, inputQck};

    tervalo::RunRequest request;
    tervalo::AddToFileList(request.Entries, line.Files, tervalo::NativePathCase());
    request.TargetIndex = line.TargetIndex;
    request.ModeIndex = line.Combined ? 1 : 0;
    // The run puts its outputs beside the program; here the folder stands in for that place.
    request.ExecutablePath = tervalo::OutputPrefixOfFolder(line.OutputDir) + "tervalo-convert";
    request.ReportPath = line.ReportPath;
    request.WriteReport = line.WriteReport;
    request.SkipDuplicates = line.SkipDuplicates;

    tervalo::CatchInterrupt(AbortRequested);
    ConsoleProgress progress(tervalo::IsTerminal(stderr));
    ConsoleEffects effects;
    const tervalo::RunReport report =
        tervalo::ConversionRun(request, AbortRequested, progress, effects, databases);
    progress.Finish();
    tervalo::ReleaseInterrupt();

    std::printf("%s\n", effects.Message.c_str());
    std::fflush(stdout);
    std::fputs(tervalo::FindingsSummary(report).c_str(), stderr);
    if (report.Ending == tervalo::RunEnding::Aborted) return 3;
    // A report that was asked for and could not be written is a failure, like any output.
    const bool reportLost = !report.ReportFile.empty() && !report.ReportWritten;
    return report.Items.empty() && !reportLost ? 0 : 1;
}
