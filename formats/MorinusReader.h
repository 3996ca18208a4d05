// ReadMorinusChart: Morinus chart files, 27 pickled values one after another.
#pragma once

#include <string>
#include <string_view>

#include "core/ChartRecord.h"
#include "formats/ChartSource.h"

namespace tervalo {

// True when the bytes are a Morinus chart file: `chart` is then reset and holds the chart, and
// `read` says what the texts lost. False otherwise, with `chart` untouched and read.Recognised
// false. Only pickle opcodes of plain values (numbers, texts, flags, None, the memo) are read;
// a file with any other opcode is not a chart, and nothing of it is built or run. `read` is
// reset first.
bool ParseMorinusChart(std::string_view bytes, AafRecord& chart, ChartFileRead& read);

// The same for a file, given by its UTF-8 path.
bool ReadMorinusChart(const std::string& path, AafRecord& chart, ChartFileRead& read);

}  // namespace tervalo
