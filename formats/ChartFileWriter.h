// Per-chart output files of the HOR and SZK writers: folder, de-duplicated paths, whole writes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/AafDatabase.h"

namespace tervalo {

void AppendDecimal(std::string& out, std::int64_t value);

// The base of a chart's file name: the folded name without leading and trailing spaces, or
// "Nevtelen" (nameless) when nothing is left.
std::string ChartFileBase(std::string_view lastName, std::string_view firstName);

using ChartTextFormatter = std::string* (AafDatabase::*)(std::string*);

// Writes one file per record of `database` into `folder`, creating the folder (not its parent)
// when missing. False without a current record, with an empty folder path, or when the folder
// can't be made; files that could not be written are listed in `failures` when given. Names
// that `claims` holds taken are passed over, and it hears of every file written.
bool SaveChartFiles(AafDatabase& database, const std::string& folder, std::string_view extension,
                    ChartTextFormatter format, WriteFailures* failures,
                    ChartFileClaims* claims = nullptr);

}  // namespace tervalo
