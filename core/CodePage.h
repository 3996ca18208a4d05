// The Windows-1250 code page, and database texts written in UTF-8 converted to it as they load.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tervalo {

// The code points of the Windows-1250 bytes 0x80..0xFF; 0 where the code page has a hole.
inline constexpr std::array<std::uint16_t, 128> kWindows1250Upper = {
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x0000, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 88
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // F8
};

// The Unicode code point of a Windows-1250 byte; 0 for the five bytes the code page leaves out.
constexpr char32_t Windows1250CodePoint(unsigned char byte) {
    return byte < 0x80 ? char32_t{byte} : char32_t{kWindows1250Upper[byte - 0x80u]};
}

struct Utf8Conversion {
    bool Converted = false;         // the text was UTF-8 with multi-byte sequences
    std::size_t Unconvertible = 0;  // characters written as "?"
};

// When the text is valid UTF-8 holding at least one multi-byte sequence (a byte-order mark at
// its start counts, and is dropped), converts it in place to Windows-1250 and shortens
// `length`; any other text is left byte for byte as it is. Never makes the text longer.
// Loads use the one-pass ConvertUtf8InPlace below; this plain two-pass form is kept as the
// reference that one is checked against.
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

// Windows-1250 text (a chart's name or place) as UTF-8, for reports read outside the chart
// programs. The five bytes the code page leaves out become U+FFFD.
std::string Utf8FromWindows1250(std::string_view text);
// The same, appended to `out`.
void AppendUtf8FromWindows1250(std::string& out, std::string_view text);

}  // namespace tervalo
