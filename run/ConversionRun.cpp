// ConversionRun: the two passes over the file list, the count step and the output table.
#include "run/ConversionRun.h"

#include <chrono>
#include <cmath>
#include <cstdio>
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
// The closing box shows this many findings on request; the file holds them all.
constexpr std::size_t kDetailedFindings = 500;

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
    for (std::size_t i = 0; i < findings.size() && i < kDetailedFindings; ++i) {
        if (i > 0) details += '\n';
        details += ReportLine(findings[i]);
    }
    return details;
}

// Which charts a walk hands over as read: those with findings, or in combined mode every one.
struct ChartMarking {
    Target OutputTarget = Target::Aaf;
    bool Every = false;
};

bool MarksChart(const AafRecord& chart, const void* context) {
    const auto& marking = *static_cast<const ChartMarking*>(context);
    return marking.Every || chart.Corrections.Count != 0 ||
           CheckChart(chart, marking.OutputTarget) != 0;
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
                                                      : static_cast<ChartReceiver&>(AafReceiver)) {
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
        WriteFindings();
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
        if (TakeChart(ChartAsRead, index, 1, 1) && !Receiving.AppendRecord())
            Note(ReportKind::LostChart, entry);
        return CountStep();
    }

    // What the run says of a chart as read: what its reader changed, what the target cannot
    // hold, and in combined mode whether it is likely a chart taken before. False when it is
    // passed over as such.
    bool TakeChart(const AafRecord& chart, std::size_t index, std::uint32_t number,
                   std::uint64_t line) {
        const std::string& entry = Request.Entries[index];
        const auto lineNumber =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(line, UINT32_MAX));
        if (chart.Corrections.Count != 0) NoteCorrections(chart, entry, number, lineNumber);
        CheckChart(chart, Output.OutputTarget, ChartOrigin{entry, number, lineNumber},
                   Report.Findings);
        if (!Combined) return true;
        const std::optional<ChartId> earlier =
            Duplicates.Add(chart, ChartId{static_cast<std::uint32_t>(index), number});
        if (!earlier) return true;
        Report.Findings.push_back(
            {Request.SkipDuplicates ? FindingKind::Skipped : FindingKind::Similar, entry, number,
             lineNumber, ReportName(chart), ChartField::None,
             EarlierChartDetail(Request.Entries[earlier->File], earlier->Chart)});
        return !Request.SkipDuplicates;
    }

    void NoteCorrections(const AafRecord& chart, const std::string& entry, std::uint32_t number,
                         std::uint32_t line) {
        for (std::uint8_t i = 0; i < chart.Corrections.Count; ++i) {
            const ReadCorrection& correction = chart.Corrections.Items[i];
            Report.Findings.push_back({FindingKind::Corrected, entry, number, line,
                                       ReportName(chart), correction.Field,
                                       CorrectionDetail(correction)});
        }
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
                if (marked == nullptr || TakeChart(marked->Chart, index, number, marked->Line)) {
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
            if (TakeChart(chart, index, number,
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

    // The file-level items join the findings, and the findings go into the report file.
    void WriteFindings() {
        std::vector<Finding>& findings = Report.Findings;
        for (const ReportItem& item : Report.Items) {
            // Each untimed chart has a finding of its own already.
            if (item.Kind != ReportKind::Untimed) findings.push_back(FileFinding(item));
        }
        if (findings.empty() || !Request.WriteReport) return;
        Report.ReportFile = Request.ReportPath.empty() ? StampedBase("jelentes", kReportExtension) +
                                                             std::string(kReportExtension)
                                                       : Request.ReportPath;
        Report.ReportWritten = WriteReportFile(Report.ReportFile, findings);
        if (Report.ReportWritten) {
            Taken.Add(NormalPath(Report.ReportFile));
        } else {
            Note(ReportKind::NotWritten, Report.ReportFile);
        }
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
    const std::size_t charts = ChartsWithFindings(report.Findings);
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

std::size_t ChartsWithFindings(const std::vector<Finding>& findings) {
    // A chart's findings stand together, one after the other.
    std::size_t charts = 0;
    const Finding* previous = nullptr;
    for (const Finding& finding : findings) {
        if (finding.Chart == 0) continue;
        if (previous == nullptr || previous->Chart != finding.Chart ||
            previous->File != finding.File)
            ++charts;
        previous = &finding;
    }
    return charts;
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
