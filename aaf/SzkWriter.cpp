// SZK output: one INI-like chart file per chart.
#include "aaf/AafDatabase.h"

namespace tervalo {

std::string* AafDatabase::FormatSzkText(std::string* out) { return out; }
bool AafDatabase::SaveSzkFiles(const std::string&, WriteFailures*) { return false; }

}  // namespace tervalo
