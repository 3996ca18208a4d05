// ConversionRun: the two passes over the file list, the count step and the output table.
#include "run/ConversionRun.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>

#include "core/CodePage.h"
#include "core/Platform.h"
#include "formats/AafDatabase.h"
#include "formats/PlacidusReader.h"
#include "formats/QckDatabase.h"
#include "run/FileList.h"
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

bool SameExtension(const std::string& extension, std::string_view wanted) {
    if (extension.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        char c = extension[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != wanted[i]) return false;
    }
    return true;
}

// The entry's file name without its extension.
std::string FileNameStem(const std::string& path) {
    const std::size_t nameStart = LastPathSeparator(path);
    std::string name = nameStart == std::string::npos ? path : path.substr(nameStart + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
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
          OutputPrefix(OutputPrefixOf(request.ExecutablePath)) {
        for (const std::string& entry : Request.Entries)
            Taken.Add(NormalPath(entry));
    }

    RunReport Execute() {
        ControlsGuard controls(Effects);
        AbortRequested = false;
        Databases.OutputAaf.Reset();
        Databases.OutputQck.Reset();
        Sink.ShowCount(0);
        ChartCount = 0;

        if (!ReadPlacidusCharts() || !ReadDatabases()) {
            Report.Ending = RunEnding::Aborted;
            Effects.ShowMessage(MessageKind::Warning, std::string(kAbortMessage));
            return std::move(Report);
        }
        if (Combined) WriteOutput(StampedBase("egybe"));
        Report.Ending = RunEnding::Completed;
        Effects.ShowMessage(Report.Items.empty() ? MessageKind::Information : MessageKind::Warning,
                            ClosingMessage(Report));
        return std::move(Report);
    }

private:
    bool CollectsIntoQck() const { return Output.Collector == Receiver::Qck; }

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

    void Note(ReportKind kind, const std::string& path) {
        if (!Report.Items.empty() && Report.Items.back().Kind == kind &&
            Report.Items.back().Path == path) {
            return;  // one line per file, however many of its charts were lost
        }
        Report.Items.push_back({kind, path});
    }

    bool AppendToOutput() {
        return CollectsIntoQck() ? Databases.OutputQck.AppendRecord()
                                 : Databases.OutputAaf.AppendRecord();
    }

    // Pass 1: Placidus chart files, read straight into the collecting record.
    bool ReadPlacidusCharts() {
        for (std::size_t i = 0; i < Request.Entries.size(); ++i) {
            const std::string& entry = Request.Entries[i];
            if (!SameExtension(PathExtension(entry), ".hor")) continue;
            const bool read = CollectsIntoQck() ? ReadPlacidusChart(entry, Databases.OutputQck)
                                                : ReadPlacidusChart(entry, Databases.OutputAaf);
            if (!read) {
                Note(ReportKind::SkippedFile, entry);
                continue;
            }
            if (!AppendToOutput()) Note(ReportKind::LostChart, entry);
            if (!CountStep()) return false;
        }
        ShowCountNow();
        if (!Combined && ChartCount > 0) {
            WriteOutput(StampedBase("placidus"));
            ChartCount = 0;
        }
        return true;
    }

    // Pass 2: AAF and QCK databases, walked record by record.
    bool ReadDatabases() {
        for (std::size_t i = 0; i < Request.Entries.size(); ++i) {
            const std::string& entry = Request.Entries[i];
            const std::string extension = PathExtension(entry);
            bool walked = true;
            if (SameExtension(extension, ".aaf")) {
                walked = WalkDatabase(Databases.InputAaf, i);
            } else if (SameExtension(extension, ".qck")) {
                walked = WalkDatabase(Databases.InputQck, i);
            } else if (!SameExtension(extension, ".hor")) {
                Note(ReportKind::SkippedFile, entry);  // .hor entries had their turn in pass 1
            }
            if (!walked) return false;
        }
        return true;
    }

    void CopyIntoOutput(const AafRecord& source) {
        if (CollectsIntoQck()) {
            CopyCommonFields(source, Databases.OutputQck);
            return;
        }
        AafDatabase& output = Databases.OutputAaf;
        CopyCommonFields(source, output);
        SetFieldText(output.Notes, FieldText(source.Notes));
    }

    void CopyIntoOutput(const QckDatabase& source) {
        if (CollectsIntoQck()) {
            CopyCommonFields(source, Databases.OutputQck);
            return;
        }
        CopyCommonFields(source, Databases.OutputAaf);
        Databases.OutputAaf.Notes[0] = '\0';  // QCK has no notes: no chart inherits another's
    }

    // Every chart of the source is written in the output's format as it is parsed, on two
    // threads for a large file; only the appending and counting happen here, in order. The
    // source's text goes as it is walked. The output's record ends as the chart copied last
    // would leave it.
    template <typename Database>
    bool MoveRecords(Database& source, const std::string& entry) {
        const ChartTextWriter form =
            CollectsIntoQck()
                ? [](AafRecord& record, char* out) { return QckDatabase::FormatLine(record, out); }
                : &AafDatabase::FormatRecordText;
        const bool walked = source.ConvertRecords(
            form,
            [&](std::string_view text) {
                const bool appended = CollectsIntoQck() ? Databases.OutputQck.AppendFormatted(text)
                                                        : Databases.OutputAaf.AppendFormatted(text);
                if (!appended) Note(ReportKind::LostChart, entry);
                return CountStep();
            },
            WalkedText::Released);
        // A loaded database has a record, so one was taken.
        CopyIntoOutput(source);
        char scratch[kChartTextSize];
        if (CollectsIntoQck()) {
            Databases.OutputQck.FormatRecord(scratch);
        } else {
            Databases.OutputAaf.FormatRecord(scratch);
        }
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
        if (!MoveRecords(source, entry)) return false;
        ShowCountNow();
        if (!Combined) {
            WriteOutput(OutputPrefix + LowerWindows1250Letters(FileNameStem(entry)));
            ChartCount = 0;
        }
        return true;
    }

    bool IsTaken(const std::string& path) { return Taken.Contains(path, NormalPath(path)); }

    // A stamped name never replaces anything already on disk: the number moves on until
    // the name is free.
    std::string StampedBase(std::string_view name) {
        std::int64_t stamp = StampNumber(Clock());
        for (;;) {
            std::string base = OutputPrefix;
            base += name;
            base += std::to_string(stamp);
            const std::string path = base + Output.Extension;
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
        const bool hasCharts = CollectsIntoQck() ? Databases.OutputQck.HasCurrentRecord()
                                                 : Databases.OutputAaf.HasCurrentRecord();
        const std::string path = FreeOutputPath(base);
        WriteFailures failures;
        ChartFolderClaims claims(Taken, path, static_cast<std::size_t>(ChartCount));
        const bool written = Output.Write(Databases, path, failures, claims);
        if (CollectsIntoQck()) {
            Databases.OutputQck.Reset();
        } else {
            Databases.OutputAaf.Reset();
        }
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
        }
        message += item.Path;
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
