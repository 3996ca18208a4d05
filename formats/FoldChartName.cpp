// Chart names folded to plain-ASCII file name bases, with the Windows-1250 transliteration table.
#include "formats/FoldChartName.h"

#include <string_view>

namespace tervalo {

namespace {

// The longest base a name folds to, so that a folder path, the base and an extension stay well
// inside the file name limits of every file system the charts are taken to.
constexpr std::size_t kMaxFoldedLength = 110;

struct Transliteration {
    char Image;
    std::string_view Sources;  // Windows-1250 codes that fold to the image
};

// Letters with diacritics fold to their base letter. A few codes that stand between words in
// the names people type (the degree and trade mark signs, and two codes Windows-1250 leaves
// undefined) become spaces, so that they still separate the words.
constexpr Transliteration kTransliterations[] = {
    {'a', "\xA5\xB9\xC1\xC2\xC3\xC4\xE1\xE2\xE3\xE4"},
    {'c', "\xC6\xC7\xC8\xE6\xE7\xE8"},
    {'d', "\xCF\xD0\xEF\xF0"},
    {'e', "\xC9\xCA\xCB\xCC\xE9\xEA\xEB\xEC"},
    {'i', "\xCD\xCE\xED\xEE"},
    {'l', "\xA3\xB3\xBC\xBE\xC5\xE5"},
    {'n', "\xD1\xD2\xF1\xF2"},
    {'o', "\xD3\xD4\xD5\xD6\xF3\xF4\xF5\xF6"},
    {'r', "\xC0\xD8\xE0\xF8"},
    {'s', "\x8A\x8C\x9A\x9C\xAA\xBA"},
    {'t', "\x8D\x9D\xDE\xFE"},
    {'u', "\xD9\xDA\xDB\xDC\xF9\xFA\xFB\xFC"},
    {'y', "\xDD\xFD"},
    {'z', "\x8E\x8F\x9E\x9F\xAF\xBF"},
    {' ', "\x83\x88\x99\xB0"},
};

constexpr std::array<unsigned char, 256> MakeTransliterationTable() {
    std::array<unsigned char, 256> table{};
    // Every code maps to itself unless folded below; from 0x80 up that leaves only characters
    // that FoldChartName drops.
    for (std::size_t code = 0; code < table.size(); ++code)
        table[code] = static_cast<unsigned char>(code);
    for (std::size_t code = 'A'; code <= 'Z'; ++code)
        table[code] = static_cast<unsigned char>(code - 'A' + 'a');
    for (const Transliteration& entry : kTransliterations) {
        for (const char source : entry.Sources)
            table[static_cast<unsigned char>(source)] = static_cast<unsigned char>(entry.Image);
    }
    return table;
}

constexpr bool IsAsciiLower(unsigned char c) {
    return c >= 'a' && c <= 'z';
}

constexpr bool IsAsciiUpper(unsigned char c) {
    return c >= 'A' && c <= 'Z';
}

constexpr bool IsKept(unsigned char c) {
    return IsAsciiLower(c) || IsAsciiUpper(c) || (c >= '0' && c <= '9') || c == '_' || c == ' ';
}

}  // namespace

const std::array<unsigned char, 256> kTransliterationTable = MakeTransliterationTable();

std::string FoldChartName(std::string_view name) {
    while (!name.empty() && static_cast<unsigned char>(name.back()) <= 0x20)
        name.remove_suffix(1);

    std::string result;
    result.reserve(name.size() < kMaxFoldedLength ? name.size() : kMaxFoldedLength);
    bool wordStart = true;
    for (const char original : name) {
        if (result.size() >= kMaxFoldedLength) break;
        auto c = static_cast<unsigned char>(original);
        if (c == '\r') {
            // A line break typed inside a name separates two words.
            c = ' ';
        } else if (c < 0x20 || c == '~') {
            continue;
        } else if (c >= 0x41) {
            c = kTransliterationTable[c];
        }
        if (!IsKept(c)) continue;
        if (wordStart && IsAsciiLower(c)) c = static_cast<unsigned char>(c - 'a' + 'A');
        if (!wordStart && IsAsciiUpper(c)) c = static_cast<unsigned char>(c - 'A' + 'a');
        result.push_back(static_cast<char>(c));
        wordStart = c == ' ';
    }
    return result;
}

}  // namespace tervalo
