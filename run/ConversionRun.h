// ConversionRun: walks the file list, moves every chart into the target's database object,
// writes the outputs and reports the end of the run, through a progress sink and the
// user-interface effects that each front provides.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "run/ChartReport.h"

namespace tervalo {

class AafDatabase;
class QckDatabase;

// Target indexes of the window's first radio group.
enum class Target { Aaf = 0, Qck = 1, Num = 2, Csv = 3, Hor = 4, Szk = 5 };
constexpr int kTargetCount = 6;

// The controls a run disables, in the order it disables and enables them again.
enum class RunControl { Button1, AddButton, Button3, Button4, ConvertButton, Group1, Group2, Box };
constexpr std::array<RunControl, 8> kRunControls = {
    RunControl::Button1,       RunControl::AddButton, RunControl::Button3, RunControl::Button4,
    RunControl::ConvertButton, RunControl::Group1,    RunControl::Group2,  RunControl::Box};

enum class MessageKind { Information, Warning };

// The counter and the event pump of the front.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void ShowCount(std::int32_t count) = 0;
    virtual void ProcessEvents() = 0;
};

// What a run does to the front's controls, list selection and message boxes.
class RunEffects {
public:
    virtual ~RunEffects() = default;
    virtual void SetControlEnabled(RunControl control, bool enabled) = 0;
    virtual void SelectEntry(int index) = 0;  // -1 clears the selection
    // One box with the single button "OK"; texts are UTF-8.
    virtual void ShowMessage(MessageKind kind, const std::string& text) = 0;
    // The lines the next message box shows on request, under its text: the findings on the
    // run's charts, as many as a box can hold. A front without such a place keeps none.
    virtual void SetMessageDetails(const std::string& details) { (void)details; }
};

struct RunDatabases {
    AafDatabase& OutputAaf;
    QckDatabase& OutputQck;
    AafDatabase& InputAaf;
    QckDatabase& InputQck;
};

// Local date and time as days since 30 December 1899, the time of day as the fraction.
using RunClock = std::function<double()>;
double LocalDateTimeNow();
// The clock number in the names of "egybe" and "placidus" outputs.
std::int32_t StampNumber(double dateTime);

enum class ReportKind {
    SkippedFile,             // an entry that could not be read, is not of its format, or unknown
    NotWritten,              // an output (or one chart's file) that could not be written
    LostChart,               // a chart that did not fit into the output buffer
    UnconvertibleCharacter,  // an input with characters Windows-1250 lacks
    SkippedLines,            // charts of a database passed over, by line
    BrokenOff,               // a database that breaks off: the charts before the break are kept
    Untimed                  // charts without a time or zone, set to noon
};
struct ReportItem {
    ReportKind Kind;
    std::string Path;
    std::string Detail;  // the lines concerned, where the kind names lines
};

enum class RunEnding { NotStarted, Completed, Aborted };

struct RunReport {
    RunEnding Ending = RunEnding::NotStarted;
    std::vector<ReportItem> Items;
    std::vector<std::string> WrittenOutputs;  // files and folders, in the order written
    // Per chart, and the files passed over or not written: the first kKeptFindings whole (the
    // report file holds them all), and how many of each kind there were.
    std::vector<Finding> Findings;
    FindingTally Tally;
    std::string ReportFile;  // where the findings were written; empty: nowhere
    bool ReportWritten = false;
};

struct RunRequest {
    std::vector<std::string> Entries;  // the list, in its displayed order
    int TargetIndex = 0;               // -1 when nothing is selected
    int ModeIndex = 0;                 // 0 per file, anything else combined; -1 none selected
    std::string ExecutablePath;        // outputs go into its folder
    // When set, outputs and the report go here instead, and the closing message says so.
    std::string OutputFolder;
    // The findings' file: "jelentes" and a clock number beside the outputs when empty.
    std::string ReportPath;
    bool WriteReport = true;
    // Combined, a likely duplicate of a chart taken before is passed over rather than written.
    bool SkipDuplicates = false;
};

// Closing messages.
inline constexpr std::string_view kSuccessMessage = "Az átalakítás sikerült!";
inline constexpr std::string_view kPartialMessage = "Az átalakítás részben sikerült!";
inline constexpr std::string_view kAbortMessage = "Átalakítás megszakítva!";

// Everything up to and including the last path separator.
std::string OutputPrefixOf(const std::string& executablePath);
// The closing message of a completed run: success alone, or the partial success with one
// line per report item; then, when charts have findings, how many and where the report lies.
std::string ClosingMessage(const RunReport& report);
// The first part alone: success, or the partial success with its lines.
std::string FileMessage(const RunReport& report);

RunReport ConversionRun(const RunRequest& request, std::atomic<bool>& AbortRequested,
                        ProgressSink& sink, RunEffects& effects, RunDatabases& databases,
                        const RunClock& clock = LocalDateTimeNow);

}  // namespace tervalo
