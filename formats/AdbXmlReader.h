// ReadAdbXmlCharts: Astro-Databank XML exports, one chart per adb_entry, streamed through expat.
#pragma once

#include <string>
#include <string_view>

#include "formats/ChartSource.h"

namespace tervalo {

// Reads the charts of an export held whole in memory (tests, the fuzzer).
ChartFileRead ParseAdbXml(std::string_view text, const ChartVisitor& visit);

// Reads the charts of an export file in blocks: memory stays bounded by one entry, whatever
// the file's size. A file that cannot be opened is not recognised.
ChartFileRead ReadAdbXmlCharts(const std::string& path, const ChartVisitor& visit);

}  // namespace tervalo
