// ReadSzkChart: single-chart SZK files, INI text with a [BirthInfo] and a [Notes] section.
#pragma once

#include <string>
#include <string_view>

#include "core/ChartRecord.h"
#include "formats/ChartSource.h"

namespace tervalo {

// True when the text is an SZK chart (a [BirthInfo] section with a Year key): `chart` is then
// reset and holds the chart. False otherwise, with `chart` untouched and read.Recognised false.
// Windows-1250 and UTF-8 texts are read alike. `read` is reset first.
bool ParseSzkChart(std::string_view bytes, AafRecord& chart, ChartFileRead& read);

// The same for a file, given by its UTF-8 path.
bool ReadSzkChart(const std::string& path, AafRecord& chart, ChartFileRead& read);

}  // namespace tervalo
