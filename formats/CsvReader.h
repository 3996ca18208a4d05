// ParseCsvCharts, ReadCsvCharts: charts from CSV lines, as Tervalo writes them and as spreadsheets
// save them again.
#pragma once

#include <string>
#include <string_view>

#include "formats/ChartSource.h"

namespace tervalo {

// Reads the twelve fields of each line (last name, first name, gender, date, calendar, time,
// zone, daylight code, latitude, longitude, place, country) into a chart and hands it to `visit`.
// The separator is "," or ";", whichever the first line holds; with ";" numbers may carry a
// decimal comma. A first line whose date field is not a date is a header. The text may be
// Windows-1250 or UTF-8 (with or without a byte-order mark); it ends at a NUL byte, as a file's
// text does. Lines that hold no chart are counted in SkippedLines by the line they start on; a
// quote never closed runs on to the end, and BrokenOffAt gives the line it opened on. A text
// without a single chart is not Recognised.
ChartFileRead ParseCsvCharts(std::string_view text, const ChartVisitor& visit);

// The same for a file, read whole; a file that can't be read is not Recognised.
ChartFileRead ReadCsvCharts(const std::string& path, const ChartVisitor& visit);

}  // namespace tervalo
