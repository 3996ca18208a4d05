// Database texts written in UTF-8, converted to Windows-1250 as they are loaded.
#pragma once

#include <cstddef>

namespace tervalo {

struct Utf8Conversion {
    bool Converted = false;         // the text was UTF-8 with multi-byte sequences
    std::size_t Unconvertible = 0;  // characters written as "?"
};

}  // namespace tervalo
