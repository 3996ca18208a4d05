// ParseSolarFireCharts, ReadSolarFireCharts: Solar Fire chart files (.SFcht), each chart and
// sub-chart handed on as an AAF record.
#pragma once

#include <string>
#include <string_view>

#include "formats/ChartSource.h"

namespace tervalo {

// Hands each chart of the file's bytes to `visit` in file order: a main chart, then its
// sub-charts, whose notes begin with a line holding the main chart's name. Places in the result
// are main chart numbers, counted from 1. A file that breaks off keeps the charts before the
// break; BrokenOffAt names the main chart that could not be read whole.
ChartFileRead ParseSolarFireCharts(std::string_view bytes, const ChartVisitor& visit);

// The same for a file given by its UTF-8 path; a file that cannot be read is not Recognised.
ChartFileRead ReadSolarFireCharts(const std::string& path, const ChartVisitor& visit);

}  // namespace tervalo
