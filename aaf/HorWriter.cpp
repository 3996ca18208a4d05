// HOR output: one pickle-protocol-0 chart file per chart.
#include "aaf/AafDatabase.h"

namespace tervalo {

std::string* AafDatabase::FormatHorText(std::string* out) { return out; }
bool AafDatabase::SaveHorFiles(const std::string&, WriteFailures*) { return false; }

}  // namespace tervalo
