// ConversionRun: the two passes over the file list, the count step and the output table.
#include "run/ConversionRun.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <optional>
#include <type_traits>

#include "core/CodePage.h"
#include "core/Platform.h"
#include "formats/AafDatabase.h"
#include "formats/AdbXmlReader.h"
#include "formats/ChartSource.h"
#include "formats/CsvReader.h"
#include "formats/MorinusReader.h"
#include "formats/PlacidusReader.h"
#include "formats/QckDatabase.h"
#include "formats/SolarFireReader.h"
#include "formats/SzkReader.h"
#include "run/ChartChecks.h"
#include "run/DuplicateFinder.h"
#include "run/FileList.h"
#include "run/OutputFolder.h"
#include "run/TakenPaths.h"

namespace tervalo {

namespace {

enum class Receiver { Aaf, Qck };
enum class OutputShape { File, Folder };

using OutputWriter = bool (*)(RunDatabases& databases, const std::string& path,
                              WriteFailures& failures, ChartFileClaims& claims);

// One row per target: who collects the charts, who writes them, and under which name.
struct OutputRow {
    Target OutputTarget;
    Receiver Collector;
    OutputWriter Write;
    const char* Extension;  // of the output file; the per-chart files of a folder carry theirs
    OutputShape Shape;
};

constexpr OutputRow kOutputTable[kTargetCount] = {
    {Target::Aaf, Receiver::Aaf,
     [](RunDatabases& d, const std::string& path, WriteFailures&, ChartFileClaims&) {
         return d.OutputAaf.SaveToFile(path);
     },
     ".aaf", OutputShape::File},
    {Target::Qck, Receiver::Qck,
     [](RunDatabases& d, const std::string& path, WriteFailures&, ChartFileClaims&) {
         return d.OutputQck.SaveToFile(path);
     },
     ".qck", OutputShape::File},
    {Target::Num, Receiver::Aaf,
     [](RunDatabases& d, const std::string& path, WriteFailures&, ChartFileClaims&) {
         return d.OutputAaf.SaveNumFile(path);
     },
     ".num", OutputShape::File},
    {Target::Csv, Receiver::Aaf,
     [](RunDatabases& d, const std::string& path, WriteFailures&, ChartFileClaims&) {
         return d.OutputAaf.SaveCsvFile(path);
     },
     ".csv", OutputShape::File},
    {Target::Hor, Receiver::Aaf,
     [](RunDatabases& d, const std::string& path, WriteFailures& failures,
        ChartFileClaims& claims) { return d.OutputAaf.SaveHorFiles(path, &failures, &claims); },
     "", OutputShape::Folder},
    {Target::Szk, Receiver::Aaf,
     [](RunDatabases& d, const std::string& path, WriteFailures& failures,
        ChartFileClaims& claims) { return d.OutputAaf.SaveSzkFiles(path, &failures, &claims); },
     "", OutputShape::Folder},
};

// The output database that collects a run's charts, whichever kind it is: AAF for every target
// but QCK. The run takes it once from the output table.
class ChartReceiver {
public:
    virtual ~ChartReceiver() = default;
    virtual void Reset() = 0;
    virtual bool HasCurrentRecord() const = 0;
    virtual ChartTextWriter TextWriter() const = 0;
    virtual bool AppendFormatted(std::string_view text) = 0;
    // A Placidus file read straight into the record: the two kinds read its seconds differently.
    virtual bool ReadPlacidus(const std::string& path) = 0;
    // The chart in the record, as a reader left it there.
    virtual const ChartRecord& Record() const = 0;
    virtual void Take(const AafRecord& chart) = 0;
    virtual void Take(const QckDatabase& chart) = 0;
    virtual bool AppendRecord() = 0;
    // After a walk the record holds the chart taken last as appending it left it: writing marks
    // the record (a day or month of 0 becomes 1, and QCK works out a local-mean-time zone from
    // the longitude). Callers that look at the record after a run see what they always saw.
    virtual void LeaveRecordAsAppended() = 0;
};

template <class Database>
class DatabaseReceiver final : public ChartReceiver {
public:
    explicit DatabaseReceiver(Database& database) : Output(database) {}

    void Reset() override { Output.Reset(); }
    bool HasCurrentRecord() const override { return Output.HasCurrentRecord(); }
    ChartTextWriter TextWriter() const override {
        if constexpr (std::is_same_v<Database, QckDatabase>) {
            return
                [](AafRecord& record, char* out) { return QckDatabase::FormatLine(record, out); };
        } else {
            return &AafDatabase::FormatRecordText;
        }
    }
    bool AppendFormatted(std::string_view text) override { return Output.AppendFormatted(text); }
    bool ReadPlacidus(const std::string& path) override { return ReadPlacidusChart(path, Output); }
    const ChartRecord& Record() const override { return Output; }
    void Take(const AafRecord& chart) override {
        CopyCommonFields(chart, Output);
        if constexpr (std::is_same_v<Database, AafDatabase>) {
            SetFieldText(Output.Notes, FieldText(chart.Notes));
        }
    }
    void Take(const QckDatabase& chart) override {
        CopyCommonFields(chart, Output);
        if constexpr (std::is_same_v<Database, AafDatabase>) {
            Output.Notes[0] = '\0';  // QCK has no notes: no chart inherits another's
        }
    }
    bool AppendRecord() override { return Output.AppendRecord(); }
    void LeaveRecordAsAppended() override {
        char scratch[kChartTextSize];
        Output.FormatRecord(scratch);
    }

private:
    Database& Output;
};

// How an input is read: a file of one chart (first pass, gathered by kind) or a database of
// many (second pass, one output each).
enum class InputPass { ChartFiles, Databases };
enum class DatabaseWalk { None, Aaf, Qck };

// Reads one chart file into the receiver's record; false when the file is not of the kind.
using ChartFileReader = bool (*)(const std::string& path, ChartReceiver& receiver, AafRecord& chart,
                                 ChartFileRead& read);
// Reads a database of another program chart by chart.
using ChartListReader = ChartFileRead (*)(const std::string& path, const ChartVisitor& visit);
// Whether the start of a file is of this kind; for rows that share an extension with another.
using ContentTest = bool (*)(std::string_view start);

// One row per input kind. Rows sharing an extension are told apart by their content tests in
// table order; the last of them takes what the others did not.
struct InputRow {
    const char* Extension;
    InputPass Pass;
    ContentTest Recognises;         // null: the extension decides
    ChartFileReader ReadChartFile;  // first pass
    const char* GatheredName;       // first pass, per file: the output the kind gathers into
    DatabaseWalk Walk;              // second pass: AAF and QCK databases are walked in place
    ChartListReader ReadCharts;     // second pass: other programs' databases
};

// A chart file of another program's, read into `chart` and then taken by the receiver.
template <bool (*Read)(const std::string&, AafRecord&, ChartFileRead&)>
bool ReadThroughRecord(const std::string& path, ChartReceiver& receiver, AafRecord& chart,
                       ChartFileRead& read) {
    if (!Read(path, chart, read)) return false;
    receiver.Take(chart);
    return true;
}

constexpr std::size_t kPlacidusMagicSize = 28;
bool StartsAsPlacidus(std::string_view start) {
    return start.substr(0, kPlacidusMagicSize) == "PLACIDUS v4.0 Horoscope File";
}

const InputRow kInputTable[] = {
    {".hor", InputPass::ChartFiles, StartsAsPlacidus,
     [](const std::string& path, ChartReceiver& receiver, AafRecord& chart, ChartFileRead& read) {
         read.Recognised = receiver.ReadPlacidus(path);
         if (read.Recognised) {
             CopyCommonFields(receiver.Record(), chart);
             chart.Notes[0] = '\0';
             chart.Corrections = receiver.Record().Corrections;
         }
         return read.Recognised;
     },
     "placidus", DatabaseWalk::None, nullptr},
    // Morinus keeps its charts as pickled values under the same extension.
    {".hor", InputPass::ChartFiles, nullptr, ReadThroughRecord<ReadMorinusChart>, "morinus",
     DatabaseWalk::None, nullptr},
    {".szk", InputPass::ChartFiles, nullptr, ReadThroughRecord<ReadSzkChart>, "regiomontanus",
     DatabaseWalk::None, nullptr},
    {".aaf", InputPass::Databases, nullptr, nullptr, nullptr, DatabaseWalk::Aaf, nullptr},
    {".qck", InputPass::Databases, nullptr, nullptr, nullptr, DatabaseWalk::Qck, nullptr},
    {".csv", InputPass::Databases, nullptr, nullptr, nullptr, DatabaseWalk::None, ReadCsvCharts},
    {".sfcht", InputPass::Databases, nullptr, nullptr, nullptr, DatabaseWalk::None,
     ReadSolarFireCharts},
    {".xml", InputPass::Databases, nullptr, nullptr, nullptr, DatabaseWalk::None, ReadAdbXmlCharts},
};
constexpr std::size_t kNoInput = static_cast<std::size_t>(-1);
// Enough of a file's start for every content test.
constexpr std::size_t kContentTestBytes = 64;

bool SameExtension(const std::string& extension, std::string_view wanted) {
    if (extension.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        char c = extension[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != wanted[i]) return false;
    }
    return true;
}

std::string FileStart(const std::string& path) {
    std::string start(kContentTestBytes, '\0');
    std::FILE* file = OpenFile(path, "rb");
    if (file == nullptr) return {};
    start.resize(std::fread(start.data(), 1, start.size(), file));
    std::fclose(file);
    return start;
}

// The row of the input table that reads the entry, or kNoInput.
std::size_t InputKindOf(const std::string& entry) {
    const std::string extension = PathExtension(entry);
    std::string start;
    bool startRead = false;
    std::size_t found = kNoInput;
    for (std::size_t row = 0; row < std::size(kInputTable); ++row) {
        if (!SameExtension(extension, kInputTable[row].Extension)) continue;
        found = row;  // the last row of the extension takes what the earlier ones leave
        const ContentTest test = kInputTable[row].Recognises;
        if (test == nullptr) break;
        if (!startRead) {
            start = FileStart(entry);
            startRead = true;
        }
        if (test(start)) break;
    }
    return found;
}

// The entry's file name without its extension.
std::string FileNameStem(const std::string& path) {
    const std::size_t nameStart = LastPathSeparator(path);
    std::string name = nameStart == std::string::npos ? path : path.substr(nameStart + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

// "2., 17. sor": the first ten places of a list and how many more.
std::string LineList(const std::vector<std::uint32_t>& lines) {
    constexpr std::size_t kShown = 10;
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < kShown; ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(lines[i]);
        text += '.';
    }
    text += " sor";
    if (lines.size() > kShown) text += " és még " + std::to_string(lines.size() - kShown);
    return text;
}

// The run's claims on the names of one chart folder. The folder is normalised once: a chart's
// file name holds no separator and no dot of its own, so its normal path is the folder's
// followed by the name.
class ChartFolderClaims final : public ChartFileClaims {
public:
    ChartFolderClaims(TakenPaths& taken, const std::string& folder, std::size_t chartCount)
        : Taken(taken), Folder(WithTrailingSeparator(folder)), ChartCount(chartCount) {}

    bool IsTaken(std::string_view fileName) override {
        return Taken.Contains(Folder, NormalFolder(), fileName);
    }
    void Written(std::string_view fileName) override {
        if (FolderNumber == kNone) FolderNumber = Taken.AddFolder(NormalFolder());
        Taken.Add(FolderNumber, fileName);
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // Only outputs of a folder target ask, so the folder is normalised on first use.
    const std::string& NormalFolder() {
        if (Normal.empty()) {
            Normal = WithTrailingSeparator(NormalPath(Folder));
            Taken.Reserve(ChartCount);
        }
        return Normal;
    }

    TakenPaths& Taken;
    const std::string Folder;
    const std::size_t ChartCount;
    std::string Normal;
    std::size_t FolderNumber = kNone;
};

std::int32_t SaturatedIncrement(std::int32_t count) {
    return count < std::numeric_limits<std::int32_t>::max() ? count + 1 : count;
}

constexpr std::string_view kReportExtension = ".txt";

// Why a file was passed over, as far as the file system tells: a database's text is held in one
// block of at most 2 GiB, and the readers say no more than that a file is not of their kind.
std::string SkipReason(const std::string& path) {
    constexpr std::uintmax_t kLargestText = 0x7FFFFFFF;
    std::error_code error;
    const std::filesystem::path file = PathFromUtf8(path);
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (error || !std::filesystem::exists(status)) return "nem nyitható meg";
    if (std::filesystem::is_directory(status)) return "mappa, nem fájl";
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!error && size > kLargestText)
        return "túl nagy (" + std::to_string(size >> 20) + " MiB; legfeljebb 2 GiB)";
    return "nem ismert formátumú, vagy nem olvasható";
}

// A line of the file-level report as a finding of the report file.
Finding FileFinding(const ReportItem& item) {
    Finding finding;
    finding.File = item.Path;
    finding.Kind = FindingKind::Skipped;
    switch (item.Kind) {
        case ReportKind::SkippedFile:
            finding.Detail = SkipReason(item.Path);
            break;
        case ReportKind::NotWritten:
            finding.Kind = FindingKind::NotWritten;
            break;
        case ReportKind::LostChart:
            finding.Detail = "horoszkóp, amely nem fért a kimenetbe";
            break;
        case ReportKind::UnconvertibleCharacter:
            finding.Kind = FindingKind::Corrected;
            finding.Detail = "a Windows-1250 kódlapon nem írható karakter → ?";
            break;
        case ReportKind::SkippedLines:
            finding.Detail = "olvashatatlan: " + item.Detail;
            break;
        case ReportKind::BrokenOff:
            finding.Detail = "a fájl megszakad: " + item.Detail;
            break;
        case ReportKind::Untimed:  // named chart by chart
            break;
    }
    return finding;
}

std::string FindingDetails(const std::vector<Finding>& findings) {
    std::string details;
    for (std::size_t i = 0; i < findings.size() && i < kKeptFindings; ++i) {
        if (i > 0) details += '\n';
        details += ReportLine(findings[i]);
    }
    return details;
}

// "25 → 23": the value read and the value kept, in the file's own units.
std::string CorrectionDetail(const ReadCorrection& correction) {
    // Morinus's local apparent time (zone type 3) is read as local mean time (type 2).
    if (correction.Field == ChartField::Zone && correction.Read == 3 && correction.Kept == 2)
        return "helyi valódi idő → helyi középidő";
    std::string detail = correction.Read == kValueMissing ? std::string("hiányzik")
                                                          : std::to_string(correction.Read);
    detail += " → ";
    detail += std::to_string(correction.Kept);
    return detail;
}

// A chart's findings in their order: what its reader changed, then what the check found.
void FormChartFindings(const AafRecord& chart, Target target, ChartIssues issues,
                       ChartFindingSink& sink) {
    for (std::uint8_t i = 0; i < chart.Corrections.Count; ++i) {
        const ReadCorrection& correction = chart.Corrections.Items[i];
        sink.Add(FindingKind::Corrected, correction.Field, CorrectionDetail(correction));
    }
    if (issues != 0) AppendChartFindings(chart, target, issues, sink);
}

// A chart's findings formed where the chart is read: its name's cell and a line feed, then for
// each finding its kind as a digit, its field's cell and a line feed. The cells hold no line
// feed. The run puts the file and numbers, which it alone knows, before each.
class FormedFindings final : public ChartFindingSink {
public:
    void Form(const AafRecord& chart, Target target, ChartIssues issues, std::string& text) {
        Text = &text;
        Named = &chart;
        FormChartFindings(chart, target, issues, *this);
    }
    void Add(FindingKind kind, ChartField field, std::string_view detail) override {
        if (Named != nullptr) {
            AppendNameCell(*Text, *Named);
            Text->push_back('\n');
            Named = nullptr;
        }
        Text->push_back(static_cast<char>('0' + static_cast<int>(kind)));
        AppendFindingCell(*Text, field, detail);
        Text->push_back('\n');
    }

private:
    std::string* Text = nullptr;
    const AafRecord* Named = nullptr;
};

// Which charts a walk hands over as read: those with findings, or in combined mode every one.
struct ChartMarking {
    Target OutputTarget = Target::Aaf;
    bool Every = false;
    // Set once the run keeps no more findings whole: a chart with findings then needs no copy.
    std::atomic<bool> KeptFull{false};
};

// Beside the issues' bits, a walk's marks say that a chart has corrections, or is marked for
// the likely duplicates alone.
constexpr std::uint32_t kMarkedCorrected = std::uint32_t{1} << 29;
constexpr std::uint32_t kMarkedEvery = std::uint32_t{1} << 30;
constexpr std::uint32_t kIssueMarks = kMarkedCorrected - 1;

// In combined mode a marked chart's text begins with what the likely duplicates are found by,
// and its two name fields as they stand, each ended by a NUL (which no field holds): the name
// of a duplicate is formed from them, and no chart need be copied.
void AppendDuplicateKey(std::string& text, const AafRecord& chart) {
    const DuplicateFinder::Key key = DuplicateFinder::KeyOf(chart);
    text.append(reinterpret_cast<const char*>(&key), sizeof key);
    text += FieldText(chart.LastName);
    text.push_back('\0');
    text += FieldText(chart.FirstName);
    text.push_back('\0');
}

struct KeyAndNames {
    DuplicateFinder::Key Key;
    std::string_view LastName;
    std::string_view FirstName;
};

// Reads what AppendDuplicateKey wrote at the start of `text`, and gives the rest.
std::string_view ReadDuplicateKey(std::string_view text, KeyAndNames& read) {
    std::memcpy(&read.Key, text.data(), sizeof read.Key);
    text.remove_prefix(sizeof read.Key);
    const std::size_t lastEnd = text.find('\0');
    read.LastName = text.substr(0, lastEnd);
    const std::size_t firstEnd = text.find('\0', lastEnd + 1);
    read.FirstName = text.substr(lastEnd + 1, firstEnd - lastEnd - 1);
    return text.substr(firstEnd + 1);
}

std::uint32_t MarksChart(const AafRecord& chart, const void* context, std::string& text) {
    const auto& marking = *static_cast<const ChartMarking*>(context);
    const ChartIssues issues = CheckChart(chart, marking.OutputTarget);
    const bool corrected = chart.Corrections.Count != 0;
    const bool found = issues != 0 || corrected;
    if (!found && !marking.Every) return 0;
    std::uint32_t marks =
        issues | (corrected ? kMarkedCorrected : 0) | (marking.Every ? kMarkedEvery : 0);
    if (marking.Every) AppendDuplicateKey(text, chart);
    if (found) {
        // On the stack, not kept per thread: a thread_local with a destructor corrupts the
        // heap as a thread ends in the MinGW-w64 runtime the Windows build uses.
        FormedFindings formed;
        formed.Form(chart, marking.OutputTarget, issues, text);
    }
    // A copy is needed only while the run keeps findings whole.
    if (!found || marking.KeptFull.load(std::memory_order_relaxed)) marks |= kMarkedTextOnly;
    return marks;
}

// Restores the controls and clears the selection when the run ends, however it ends.
class ControlsGuard {
public:
    explicit ControlsGuard(RunEffects& effects) : Effects(effects) {
        for (RunControl control : kRunControls)
            Effects.SetControlEnabled(control, false);
    }
    ~ControlsGuard() {
        for (RunControl control : kRunControls)
            Effects.SetControlEnabled(control, true);
        Effects.SelectEntry(-1);
    }
    ControlsGuard(const ControlsGuard&) = delete;
    ControlsGuard& operator=(const ControlsGuard&) = delete;

private:
    RunEffects& Effects;
};

class Run {
public:
    Run(const RunRequest& request, std::atomic<bool>& abortRequested, ProgressSink& sink,
        RunEffects& effects, RunDatabases& databases, const RunClock& clock)
        : Request(request),
          AbortRequested(abortRequested),
          Sink(sink),
          Effects(effects),
          Databases(databases),
          Clock(clock),
          Output(kOutputTable[request.TargetIndex]),
          Combined(request.ModeIndex != 0),
          OutputPrefix(request.OutputFolder.empty() ? OutputPrefixOf(request.ExecutablePath)
                                                    : WithTrailingSeparator(request.OutputFolder)),
          AafReceiver(databases.OutputAaf),
          QckReceiver(databases.OutputQck),
          Receiving(Output.Collector == Receiver::Qck ? static_cast<ChartReceiver&>(QckReceiver)
                                                      : static_cast<ChartReceiver&>(AafReceiver)),
          Findings([this] { return ReportPlace(); }),
          ChartFindings(Findings) {
        for (const std::string& entry : Request.Entries) {
            Taken.Add(NormalPath(entry));
            InputKinds.push_back(InputKindOf(entry));
        }
        Marking.OutputTarget = Output.OutputTarget;
        Marking.Every = Combined;
    }

    RunReport Execute() {
        ControlsGuard controls(Effects);
        AbortRequested = false;
        Databases.OutputAaf.Reset();
        Databases.OutputQck.Reset();
        Sink.ShowCount(0);
        ChartCount = 0;

        if (!ReadChartFiles() || !ReadDatabases()) {
            Report.Ending = RunEnding::Aborted;
            Effects.ShowMessage(MessageKind::Warning, std::string(kAbortMessage) +
                                                          OutputFolderLine(Request.OutputFolder));
            return std::move(Report);
        }
        if (Combined) WriteOutput(StampedBase("egybe"));
        Report.Ending = RunEnding::Completed;
        FinishFindings();
        Effects.SetMessageDetails(FindingDetails(Report.Findings));
        Effects.ShowMessage(Report.Items.empty() ? MessageKind::Information : MessageKind::Warning,
                            ClosingMessage(Report) + OutputFolderLine(Request.OutputFolder));
        return std::move(Report);
    }

private:
    // After every chart: show every tenth count and let the front breathe; false to abort.
    bool CountStep() {
        if (ChartCount % 10 == 0) {
            Sink.ShowCount(ChartCount);
            Sink.ProcessEvents();
        }
        ChartCount = SaturatedIncrement(ChartCount);
        return !AbortRequested.load();
    }

    void ShowCountNow() {
        Sink.ShowCount(ChartCount);
        Sink.ProcessEvents();
    }

    void Note(ReportKind kind, const std::string& path, std::string detail = {}) {
        if (!Report.Items.empty() && Report.Items.back().Kind == kind &&
            Report.Items.back().Path == path) {
            return;  // one line per file, however many of its charts were lost
        }
        Report.Items.push_back({kind, path, std::move(detail)});
    }

    const InputRow* KindOf(std::size_t index) const {
        const std::size_t row = InputKinds[index];
        return row == kNoInput ? nullptr : &kInputTable[row];
    }

    // Pass 1: files of one chart each, read straight into the collecting record. Per file, each
    // kind gathers into an output of its own, in the table's order; combined, they come in the
    // list's order.
    bool ReadChartFiles() {
        if (Combined) {
            for (std::size_t i = 0; i < Request.Entries.size(); ++i) {
                const InputRow* kind = KindOf(i);
                if (kind != nullptr && kind->Pass == InputPass::ChartFiles && !ReadChartFile(i))
                    return false;
            }
            ShowCountNow();
            return true;
        }
        bool anyChartFile = false;
        for (const InputRow& gathering : kInputTable) {
            if (gathering.Pass != InputPass::ChartFiles) continue;
            bool any = false;
            for (std::size_t i = 0; i < Request.Entries.size(); ++i) {
                if (KindOf(i) != &gathering) continue;
                any = true;
                if (!ReadChartFile(i)) return false;
            }
            if (!any) continue;
            anyChartFile = true;
            ShowCountNow();
            if (ChartCount > 0) {
                WriteOutput(StampedBase(gathering.GatheredName));
                ChartCount = 0;
            }
        }
        if (!anyChartFile) ShowCountNow();
        return true;
    }

    bool ReadChartFile(std::size_t index) {
        const std::string& entry = Request.Entries[index];
        ChartFileRead read;
        if (!KindOf(index)->ReadChartFile(entry, Receiving, ChartAsRead, read)) {
            Note(ReportKind::SkippedFile, entry);
            return true;
        }
        if (read.Unconvertible > 0) Note(ReportKind::UnconvertibleCharacter, entry);
        // A file of one chart: its chart, and its entry, are the first.
        if (TakeChart(ChartAsRead, CheckChart(ChartAsRead, Output.OutputTarget), index, 1, 1) &&
            !Receiving.AppendRecord())
            Note(ReportKind::LostChart, entry);
        return CountStep();
    }

    // What the run says of a chart as read: what its reader changed, what the target cannot
    // hold (`issues`, as CheckChart gives them), and in combined mode whether it is likely a
    // chart taken before. False when it is passed over as such.
    bool TakeChart(const AafRecord& chart, ChartIssues issues, std::size_t index,
                   std::uint32_t number, std::uint64_t line) {
        if (chart.Corrections.Count == 0 && issues == 0 && !Combined) return true;
        SetOrigin(&chart, index, number, line);
        FormChartFindings(chart, Output.OutputTarget, issues, ChartFindings);
        if (!Findings.KeepsMore()) Marking.KeptFull.store(true, std::memory_order_relaxed);
        return !Combined || TakeUnlessDuplicate(DuplicateFinder::KeyOf(chart), index, number);
    }

    // A chart a walk marked: its findings were formed as it was read. The first few hundred
    // are formed again here, to be kept whole.
    bool TakeMarked(const MarkedChart& marked, std::size_t index, std::uint32_t number) {
        const ChartIssues issues = marked.Marks & kIssueMarks;
        if (marked.Chart != nullptr && Findings.KeepsMore())
            return TakeChart(*marked.Chart, issues, index, number, marked.Line);
        SetOrigin(marked.Chart, index, number, marked.Line);
        std::string_view text = marked.Text;
        KeyAndNames duplicate;
        if (Combined) {
            text = ReadDuplicateKey(text, duplicate);
            ChartFindings.LastName = duplicate.LastName;
            ChartFindings.FirstName = duplicate.FirstName;
        }
        if (!text.empty()) {
            const std::size_t nameEnd = text.find('\n');
            const std::string_view nameCell = text.substr(0, nameEnd);
            for (std::size_t at = nameEnd + 1; at < text.size();) {
                const std::size_t end = text.find('\n', at);
                Findings.AddFormed(static_cast<FindingKind>(text[at] - '0'),
                                   ChartFindings.Chart.File, ChartFindings.Chart.Chart,
                                   ChartFindings.Chart.Line, nameCell,
                                   text.substr(at + 1, end - at - 1));
                at = end + 1;
            }
        }
        return !Combined || TakeUnlessDuplicate(duplicate.Key, index, number);
    }

    void SetOrigin(const AafRecord* chart, std::size_t index, std::uint32_t number,
                   std::uint64_t line) {
        ChartFindings.Chart =
            ChartOrigin{Request.Entries[index], number,
                        static_cast<std::uint32_t>(std::min<std::uint64_t>(line, UINT32_MAX))};
        ChartFindings.Named = chart;
        ChartFindings.LastName = {};
        ChartFindings.FirstName = {};
        ChartFindings.NamePending = true;
    }

    // False when the chart is likely one taken before and is passed over as such.
    bool TakeUnlessDuplicate(const DuplicateFinder::Key& chart, std::size_t index,
                             std::uint32_t number) {
        const std::optional<ChartId> earlier =
            Duplicates.Add(chart, ChartId{static_cast<std::uint32_t>(index), number});
        if (!earlier) return true;
        ChartFindings.Add(Request.SkipDuplicates ? FindingKind::Skipped : FindingKind::Similar,
                          ChartField::None,
                          EarlierChartDetail(Request.Entries[earlier->File], earlier->Chart));
        return !Request.SkipDuplicates;
    }

    // Pass 2: databases, walked chart by chart, in the list's order; entries of no known kind
    // are named here.
    bool ReadDatabases() {
        for (std::size_t i = 0; i < Request.Entries.size(); ++i) {
            const InputRow* kind = KindOf(i);
            if (kind == nullptr) {
                Note(ReportKind::SkippedFile, Request.Entries[i]);
                continue;
            }
            if (kind->Pass != InputPass::Databases) continue;
            bool walked = true;
            switch (kind->Walk) {
                case DatabaseWalk::Aaf:
                    walked = WalkDatabase(Databases.InputAaf, i);
                    break;
                case DatabaseWalk::Qck:
                    walked = WalkDatabase(Databases.InputQck, i);
                    break;
                case DatabaseWalk::None:
                    walked = ReadChartList(*kind, i);
                    break;
            }
            if (!walked) return false;
        }
        return true;
    }

    // Every chart of the source is written in the output's format as it is parsed, on two
    // threads for a large file; only the appending and counting happen here, in order. The
    // source's text goes as it is walked.
    template <typename Database>
    bool MoveRecords(Database& source, std::size_t index) {
        const std::string& entry = Request.Entries[index];
        // The threads that read the charts mark those the run must hear of; in combined mode
        // that is every chart, for the likely duplicates.
        const ChartInspection inspection{&MarksChart, &Marking, {}};
        std::uint32_t number = 0;
        const bool walked = source.ConvertRecords(
            Receiving.TextWriter(), inspection,
            [&](std::string_view text, const MarkedChart* marked) {
                ++number;
                if (marked == nullptr || TakeMarked(*marked, index, number)) {
                    if (!Receiving.AppendFormatted(text)) Note(ReportKind::LostChart, entry);
                }
                return CountStep();
            },
            WalkedText::Released);
        // A loaded database has a record, so one was taken.
        Receiving.Take(source);
        Receiving.LeaveRecordAsAppended();
        return walked;
    }

    template <typename Database>
    bool WalkDatabase(Database& source, std::size_t index) {
        const std::string& entry = Request.Entries[index];
        if (!source.LoadFromFile(entry)) {
            Note(ReportKind::SkippedFile, entry);
            return true;
        }
        if (source.LastConversion().Unconvertible > 0) {
            Note(ReportKind::UnconvertibleCharacter, entry);
        }
        Effects.SelectEntry(static_cast<int>(index));
        if (!MoveRecords(source, index)) return false;
        FinishDatabase(entry);
        return true;
    }

    // Another program's database: its reader hands the charts over one by one.
    bool ReadChartList(const InputRow& kind, std::size_t index) {
        const std::string& entry = Request.Entries[index];
        Effects.SelectEntry(static_cast<int>(index));
        std::uint32_t number = 0;
        const ChartFileRead read = kind.ReadCharts(entry, [&](const AafRecord& chart) {
            ++number;
            if (TakeChart(chart, CheckChart(chart, Output.OutputTarget), index, number,
                          chart.SourceLine != 0 ? chart.SourceLine : number)) {
                Receiving.Take(chart);
                if (!Receiving.AppendRecord()) Note(ReportKind::LostChart, entry);
            }
            return CountStep();
        });
        if (!read.Recognised) {
            Note(ReportKind::SkippedFile, entry);
            return true;
        }
        if (read.Unconvertible > 0) Note(ReportKind::UnconvertibleCharacter, entry);
        if (!read.SkippedLines.empty())
            Note(ReportKind::SkippedLines, entry, LineList(read.SkippedLines));
        if (!read.UntimedLines.empty())
            Note(ReportKind::Untimed, entry, LineList(read.UntimedLines));
        if (read.BrokenOffAt != 0) Note(ReportKind::BrokenOff, entry, LineList({read.BrokenOffAt}));
        if (read.Stopped) return false;
        FinishDatabase(entry);
        return true;
    }

    // Per file, each database has an output of its own, named after it.
    void FinishDatabase(const std::string& entry) {
        ShowCountNow();
        if (!Combined) {
            WriteOutput(OutputPrefix + LowerWindows1250Letters(FileNameStem(entry)));
            ChartCount = 0;
        }
    }

    // Where the report goes, chosen at the run's first finding; empty when none is written.
    std::string ReportPlace() {
        if (!Request.WriteReport) return {};
        std::string path = Request.ReportPath.empty() ? StampedBase("jelentes", kReportExtension) +
                                                            std::string(kReportExtension)
                                                      : Request.ReportPath;
        Taken.Add(NormalPath(path));
        return path;
    }

    // The file-level items join the findings, and the report file is finished.
    void FinishFindings() {
        for (const ReportItem& item : Report.Items) {
            // Each untimed chart has a finding of its own already.
            if (item.Kind != ReportKind::Untimed) Findings.Add(FileFinding(item));
        }
        Report.ReportFile = Findings.ReportPath();
        if (!Report.ReportFile.empty()) {
            Report.ReportWritten = Findings.Finish();
            if (!Report.ReportWritten) Note(ReportKind::NotWritten, Report.ReportFile);
        }
        Report.Findings = std::move(Findings.Kept());
        Report.Tally = Findings.Tally();
    }

    bool IsTaken(const std::string& path) { return Taken.Contains(path, NormalPath(path)); }

    // A stamped name never replaces anything already on disk: the number moves on until
    // the name is free.
    std::string StampedBase(std::string_view name) { return StampedBase(name, Output.Extension); }
    std::string StampedBase(std::string_view name, std::string_view extension) {
        std::int64_t stamp = StampNumber(Clock());
        for (;;) {
            std::string base = OutputPrefix;
            base += name;
            base += std::to_string(stamp);
            const std::string path = base + std::string(extension);
            if (!PathExists(path) && !IsTaken(path)) return base;
            ++stamp;
        }
    }

    // No output replaces an input of this run or an output this run already wrote.
    std::string FreeOutputPath(const std::string& base) {
        std::string path = base + Output.Extension;
        for (int copy = 2; IsTaken(path); ++copy) {
            path = base + " (" + std::to_string(copy) + ")" + Output.Extension;
        }
        return path;
    }

    void WriteOutput(const std::string& base) {
        const bool hasCharts = Receiving.HasCurrentRecord();
        const std::string path = FreeOutputPath(base);
        WriteFailures failures;
        ChartFolderClaims claims(Taken, path, static_cast<std::size_t>(ChartCount));
        const bool written = Output.Write(Databases, path, failures, claims);
        Receiving.Reset();
        // A writer that declines an empty database has nothing to write: not a failure.
        if (hasCharts && !written) Note(ReportKind::NotWritten, path);
        for (const std::string& chartFile : failures)
            Note(ReportKind::NotWritten, chartFile);
        if (hasCharts) {
            Report.WrittenOutputs.push_back(path);
            Taken.Add(NormalPath(path));
        }
    }

    const RunRequest& Request;
    std::atomic<bool>& AbortRequested;
    ProgressSink& Sink;
    RunEffects& Effects;
    RunDatabases& Databases;
    const RunClock& Clock;
    const OutputRow& Output;
    const bool Combined;
    const std::string OutputPrefix;
    DatabaseReceiver<AafDatabase> AafReceiver;
    DatabaseReceiver<QckDatabase> QckReceiver;
    ChartReceiver& Receiving;
    ChartMarking Marking;
    AafRecord ChartAsRead;  // a file of one chart, as its reader gave it
    FindingLog Findings;
    // A chart's findings, as they are formed, into the log with the chart's origin and name.
    struct ChartFindingsToLog final : ChartFindingSink {
        explicit ChartFindingsToLog(FindingLog& log) : Log(log) {}
        void Add(FindingKind kind, ChartField field, std::string_view detail) override {
            // The name is formed once per chart, at its first finding: of the chart, or of the
            // name fields a walk handed over without it.
            if (NamePending) {
                Name.clear();
                if (Named != nullptr) {
                    AppendReportName(Name, *Named);
                } else {
                    AppendReportName(Name, LastName, FirstName);
                }
                NamePending = false;
            }
            Log.Add(kind, Chart.File, Chart.Chart, Chart.Line, Name, field, detail);
        }
        FindingLog& Log;
        ChartOrigin Chart;
        const AafRecord* Named = nullptr;  // the chart whose name is still to be formed
        std::string_view LastName;         // or its name fields
        std::string_view FirstName;
        bool NamePending = false;
        std::string Name;
    } ChartFindings;
    DuplicateFinder Duplicates;
    std::vector<std::size_t> InputKinds;  // the input table's row of each entry, or kNoInput
    std::int32_t ChartCount = 0;
    TakenPaths Taken;
    RunReport Report;
};

// Days from 1 January 1970 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

}  // namespace

double LocalDateTimeNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto milliseconds =
        duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    if (!LocalTime(seconds, local)) return 0.0;
    const std::int64_t days =
        DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday)) -
        DaysFromCivil(1899, 12, 30);
    const double secondOfDay = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                               static_cast<double>(milliseconds < 0 ? 0 : milliseconds) / 1000.0;
    return static_cast<double>(days) + secondOfDay / 86400.0;
}

std::int32_t StampNumber(double dateTime) {
    // 32768 steps a day, repeating every 32 days: the number changes about every 2.64 s.
    const double scaled = std::trunc(dateTime * 32768.0);
    if (!(scaled >= 0.0) || scaled > 9.0e15) return 0;
    return static_cast<std::int32_t>(static_cast<std::int64_t>(scaled) % 1048576);
}

std::string OutputPrefixOf(const std::string& executablePath) {
    const std::size_t separator = LastPathSeparator(executablePath);
    return separator == std::string::npos ? std::string() : executablePath.substr(0, separator + 1);
}

std::string ClosingMessage(const RunReport& report) {
    std::string message = FileMessage(report);
    const std::uint64_t charts = report.Tally.Charts;
    if (charts > 0) {
        message += "\n\nMegjegyzés " + std::to_string(charts) + " horoszkóphoz.";
    }
    if (report.ReportWritten) message += "\nA jelentés: " + report.ReportFile;
    return message;
}

std::string FileMessage(const RunReport& report) {
    if (report.Items.empty()) return std::string(kSuccessMessage);
    std::string message(kPartialMessage);
    for (const ReportItem& item : report.Items) {
        switch (item.Kind) {
            case ReportKind::SkippedFile:
                message += "\nKihagyott fájl: ";
                break;
            case ReportKind::NotWritten:
                message += "\nNem sikerült írni: ";
                break;
            case ReportKind::LostChart:
                message += "\nKimaradt horoszkóp: ";
                break;
            case ReportKind::UnconvertibleCharacter:
                message += "\nNem átírható karakter: ";
                break;
            case ReportKind::SkippedLines:
                message += "\nKihagyott sor: ";
                break;
            case ReportKind::BrokenOff:
                message += "\nCsonka fájl: ";
                break;
            case ReportKind::Untimed:
                message += "\nIdőpont nélkül, 12:00-ra: ";
                break;
        }
        message += item.Path;
        if (!item.Detail.empty()) message += " (" + item.Detail + ")";
    }
    return message;
}

RunReport ConversionRun(const RunRequest& request, std::atomic<bool>& AbortRequested,
                        ProgressSink& sink, RunEffects& effects, RunDatabases& databases,
                        const RunClock& clock) {
    if (request.Entries.empty()) return {};
    if (request.TargetIndex < 0 || request.TargetIndex >= kTargetCount || request.ModeIndex < 0) {
        return {};
    }
    Run run(request, AbortRequested, sink, effects, databases, clock);
    return run.Execute();
}

}  // namespace tervalo
