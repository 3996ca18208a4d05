// Database texts written in UTF-8, converted to Windows-1250 as they are loaded.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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

// The well-formed UTF-8 sequence at `at` (an ASCII byte is one of length 1): its length, with
// its code point in `codePoint`; 0 when the bytes there are not UTF-8.
std::size_t DecodeUtf8At(std::string_view text, std::size_t at, char32_t& codePoint);

// The Windows-1250 byte a code point is written as: the page's own character, the plain letter
// of an accented Latin letter the page lacks, or a plain substitute; 0 when there is none.
unsigned char Windows1250ByteOf(char32_t codePoint);

// UTF-8 text (a file name) with every letter that Windows-1250 has in both cases lowered:
// A-Z, Á, Ő, Š, Ł and the rest. Other characters, and bytes that are not UTF-8, stay as they
// are; the text keeps its length.
std::string LowerWindows1250Letters(std::string_view utf8);
void LowerWindows1250LettersInPlace(std::string& utf8);

}  // namespace tervalo
