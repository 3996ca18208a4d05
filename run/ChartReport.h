// Findings of a run (what happened to each chart, and to each file) and the report file.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChartRecord.h"

namespace tervalo {

enum class FindingKind : std::uint8_t {
    Corrected,   // a reader bounded or replaced a value
    Suspicious,  // a value kept as read that cannot be real, such as 30 February
    Lost,        // the target cannot hold the value
    Similar,     // a likely duplicate of an earlier chart
    Skipped,     // a file or chart passed over
    NotWritten   // an output not written
};
constexpr int kFindingKindCount = 6;

// "javítva", "gyanús", ...: the word the report and the closing message use.
std::string_view FindingKindText(FindingKind kind);

// "nap", "hónap", ...; empty for None.
std::string_view ChartFieldName(ChartField field);

struct Finding {
    FindingKind Kind = FindingKind::Corrected;
    std::string File;         // UTF-8 path of the input (or of the output not written)
    std::uint32_t Chart = 0;  // number in its file from 1; 0 for a file-level finding
    std::uint32_t Line = 0;   // line where the record begins (or entry number); 0 when none
    std::string Name;         // UTF-8
    ChartField Field = ChartField::None;
    std::string Detail;  // UTF-8: the value read and the value written ("25 → 23"), a reason
};

// The name as the report shows it: last name, then the given names, in UTF-8.
std::string ReportName(const ChartRecord& chart);
void AppendReportName(std::string& out, const ChartRecord& chart);
// The same of a chart's two name fields, as they stand in the record.
void AppendReportName(std::string& out, std::string_view lastName, std::string_view firstName);

// The name and the field with its detail, each as its cell of a report line.
void AppendNameCell(std::string& out, const ChartRecord& chart);
void AppendFindingCell(std::string& out, ChartField field, std::string_view detail);

// The detail of a likely duplicate: the earlier chart by file and number.
std::string EarlierChartDetail(std::string_view file, std::uint32_t chart);

// One line of the report, without its line end: the six columns separated by tabs; a tab or
// line break inside a value stands as a space. The field leads the detail ("nap: 1950.02.30").
std::string ReportLine(const Finding& finding);

// How many findings of each kind a run had, and on how many charts.
struct FindingTally {
    std::array<std::uint64_t, kFindingKindCount> Kinds{};
    std::uint64_t Charts = 0;
    std::uint64_t Total() const;
};

// How many findings a run keeps whole, for a message box to show.
constexpr std::size_t kKeptFindings = 500;

// A run's findings as they arise. Each is formed into its line of the report file at once and
// written out a block at a time, so a run with a million findings keeps no million objects;
// the first kKeptFindings are kept whole as well, and the kinds counted. The report file is
// UTF-8 with a byte-order mark, so that Notepad and Excel both read it as such; tab-separated
// with a header line; CR LF line ends.
class FindingLog {
public:
    // Where the report goes, asked at the first finding; an empty path writes none (the
    // findings are still counted and kept).
    using ReportPlace = std::function<std::string()>;
    explicit FindingLog(ReportPlace place);
    ~FindingLog();  // a report not finished is removed
    FindingLog(const FindingLog&) = delete;
    FindingLog& operator=(const FindingLog&) = delete;

    void Add(FindingKind kind, std::string_view file, std::uint32_t chart, std::uint32_t line,
             std::string_view name, ChartField field, std::string_view detail);
    void Add(const Finding& finding);
    // A finding whose name and field cells were formed already (elsewhere, on another thread).
    // It is not kept whole: such findings come once KeepsMore() is false.
    void AddFormed(FindingKind kind, std::string_view file, std::uint32_t chart, std::uint32_t line,
                   std::string_view nameCell, std::string_view findingCell);
    bool KeepsMore() const { return KeptFindings.size() < kKeptFindings; }

    // Writes out what is left and closes the report: true when every line reached it. False
    // with no report; the file is then removed.
    bool Finish();

    const std::string& ReportPath() const { return Path; }
    const FindingTally& Tally() const { return Counted; }
    std::vector<Finding>& Kept() { return KeptFindings; }

private:
    void Open();
    void Count(FindingKind kind, std::string_view file, std::uint32_t chart);
    void AppendLineStart(std::string_view file, std::uint32_t chart, std::uint32_t line);
    void Flush();
    void Close(bool keep);

    ReportPlace Place;
    std::string Path;
    std::FILE* File = nullptr;
    bool Failed = false;
    bool Asked = false;
    std::string Block;
    FindingTally Counted;
    std::vector<Finding> KeptFindings;
    std::string LastFile;  // of the chart found last, to count charts
    std::uint32_t LastChart = 0;
    std::string FileCell;  // the cell of LastFile, formed once
};

// The report file of a list of findings. False when it could not be written.
bool WriteReportFile(const std::string& utf8Path, const std::vector<Finding>& findings);

// A count per kind present, in the kinds' order: "javítva: 3, elveszett: 12"; empty when there
// are no findings.
std::string FindingCounts(const FindingTally& tally);

}  // namespace tervalo
