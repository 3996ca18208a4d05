// Findings of a run (what happened to each chart, and to each file) and the report file.
#pragma once

#include <cstdint>
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

// The detail of a likely duplicate: the earlier chart by file and number.
std::string EarlierChartDetail(std::string_view file, std::uint32_t chart);

// One line of the report, without its line end: the six columns separated by tabs; a tab or
// line break inside a value stands as a space. The field leads the detail ("nap: 1950.02.30").
std::string ReportLine(const Finding& finding);

// The report file: UTF-8 with a byte-order mark, so that Notepad and Excel both read it as
// such; tab-separated with a header line; CR LF line ends. False when it could not be written.
bool WriteReportFile(const std::string& utf8Path, const std::vector<Finding>& findings);

// A count per kind present, in the kinds' order: "javítva: 3, elveszett: 12"; empty when there
// are no findings.
std::string FindingCounts(const std::vector<Finding>& findings);

}  // namespace tervalo
