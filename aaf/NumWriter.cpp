// NUM output: one numerology line per chart.
#include "aaf/AafDatabase.h"

namespace tervalo {

std::string* AafDatabase::FormatNumLine(std::string* out) { return out; }
bool AafDatabase::SaveNumFile(const std::string&) { return false; }

}  // namespace tervalo
