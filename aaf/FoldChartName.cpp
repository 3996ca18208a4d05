// Chart names folded to plain-ASCII file name bases.
#include "aaf/FoldChartName.h"

namespace tervalo {

const std::array<unsigned char, 256> kTransliterationTable = {};

std::string FoldChartName(std::string_view name) { return std::string(name); }

}  // namespace tervalo
