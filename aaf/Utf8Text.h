// Database texts written in UTF-8, converted to Windows-1250 as they are loaded.
#pragma once

#include <cstddef>

namespace tervalo {

struct Utf8Conversion {
    bool Converted = false;         // the text was UTF-8 with multi-byte sequences
    std::size_t Unconvertible = 0;  // characters written as "?"
};

// When the text is valid UTF-8 holding at least one multi-byte sequence (a byte-order mark at
// its start counts, and is dropped), converts it in place to Windows-1250 and shortens
// `length`; any other text is left byte for byte as it is. Never makes the text longer.
Utf8Conversion ConvertUtf8ToWindows1250(char* text, std::size_t& length);

// The same in one pass, for loads: it checks each sequence as it converts it. When the text
// proves not to be UTF-8 after some of it was converted, Spoiled is set and the caller reads
// the original bytes again; `length` is then the original one. A Windows-1250 text almost
// always fails at its first accented letter, before anything changed.
struct Utf8InPlace {
    Utf8Conversion Conversion;
    bool Spoiled = false;
};
Utf8InPlace ConvertUtf8InPlace(char* text, std::size_t& length);

}  // namespace tervalo
