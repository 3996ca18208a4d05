// What the readers of other programs' files hand the run: charts one at a time, as AAF records,
// and what they passed over on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/ChartRecord.h"

namespace tervalo {

// What a reader says of a file beside its charts. Places are numbered from 1: lines of a CSV or
// XML file, charts of a Solar Fire file.
struct ChartFileRead {
    bool Recognised = false;                  // the file is of the reader's format at all
    std::vector<std::uint32_t> SkippedLines;  // charts passed over, by where they stood
    std::vector<std::uint32_t> UntimedLines;  // charts without a time or zone, set to 12:00
    std::uint32_t BrokenOffAt = 0;            // where the file breaks off; 0 when read to its end
    std::size_t Unconvertible = 0;            // characters Windows-1250 lacks, written as "?"
    bool LocalApparentTime = false;           // local apparent time read as local mean time
    bool Stopped = false;                     // the visitor asked to stop before the end
};

// Receives each chart in file order; false stops the reading (the run was aborted). Notes are
// CR LF lines; a reader leaves them as the file gives them, and the AAF text marks notes that
// do not begin with "#" as a comment.
using ChartVisitor = std::function<bool(const AafRecord& chart)>;

}  // namespace tervalo
