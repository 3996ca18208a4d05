// Checks over one chart: dates that cannot be real, and what the target cannot hold of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "run/ChartReport.h"
#include "run/ConversionRun.h"

namespace tervalo {

struct AafRecord;

// What a check can find; a chart's issues are a set of them, one bit each.
enum class ChartIssue : std::uint8_t {
    // Kept as read, and cannot be real.
    DayPastMonthEnd,  // 30 February, 31 April, 29 February of a common year
    MonthOutOfRange,  // below 1 or above 12
    DayBelowOne,
    YearZero,  // the record's numbering has no year 0
    // What the target cannot hold.
    NotesDropped,             // QCK, CSV
    LatitudeSecondsDropped,   // every target but QCK: AAF text keeps degrees and minutes
    LongitudeSecondsDropped,  // likewise
    ZoneSecondsDropped,       // every target: AAF text and QCK's columns keep hours and minutes
    NameCut,                  // QCK's 23 columns of "Last,First"
    PlaceCut,                 // QCK's 26 columns of "Place,Country"
    DaylightAsOneHour,        // HOR, SZK: one flag for an hour of daylight saving
    BcYearIgnored,            // SZK: the chart program reads the year without its era
    LatitudeSignDropped,      // SZK: south of the equator by less than a degree
    LongitudeSignDropped,     // SZK: west of Greenwich by less than a degree
    GenderAsWoman             // HOR: one flag for a man; an event or unknown gender reads a woman
};
using ChartIssues = std::uint32_t;

constexpr ChartIssues IssueBit(ChartIssue issue) {
    return ChartIssues{1} << static_cast<unsigned>(issue);
}

// The issues of a chart as read, before any writer touched it, on its way to `target`. Pure and
// cheap, and allocates nothing: a run asks it of every chart, and most charts give 0.
ChartIssues CheckChart(const AafRecord& chart, Target target);

// Where a chart came from, for its findings.
struct ChartOrigin {
    std::string_view File;    // UTF-8
    std::uint32_t Chart = 0;  // number in its file, from 1
    std::uint32_t Line = 0;   // line where its record begins
};

// Where a chart's findings go as they are formed.
class ChartFindingSink {
public:
    virtual ~ChartFindingSink() = default;
    // `detail` is the value read and the value written; it stands for the call alone.
    virtual void Add(FindingKind kind, ChartField field, std::string_view detail) = 0;
    std::string Detail;  // the room each detail is formed in
};

// One finding per issue, in the order of ChartIssue, with the value read and the value written.
void AppendChartFindings(const AafRecord& chart, Target target, ChartIssues issues,
                         ChartFindingSink& sink);
void AppendChartFindings(const AafRecord& chart, Target target, ChartIssues issues,
                         const ChartOrigin& origin, std::vector<Finding>& out);

// Both in one call: nothing is formed for a chart without issues.
inline void CheckChart(const AafRecord& chart, Target target, const ChartOrigin& origin,
                       std::vector<Finding>& out) {
    if (const ChartIssues issues = CheckChart(chart, target); issues != 0)
        AppendChartFindings(chart, target, issues, origin, out);
}

}  // namespace tervalo
