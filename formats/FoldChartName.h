// Chart names folded to plain-ASCII file name bases, and the transliteration table.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tervalo {

// Folds each Windows-1250 letter to a plain lower-case ASCII letter (consulted from 0x41 up).
extern const std::array<unsigned char, 256> kTransliterationTable;

// Letters, digits, "_" and spaces only; every word capitalised; at most 110 characters.
std::string FoldChartName(std::string_view name);

}  // namespace tervalo
