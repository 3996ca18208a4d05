// CSV output: one spreadsheet line per chart.
#include "aaf/AafDatabase.h"

namespace tervalo {

std::string* AafDatabase::FormatCsvLine(std::string* out) { return out; }
bool AafDatabase::SaveCsvFile(const std::string&) { return false; }

}  // namespace tervalo
