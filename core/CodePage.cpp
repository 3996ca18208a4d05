// Database texts written in UTF-8, converted to Windows-1250 as they are loaded.
#include "core/CodePage.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tervalo {

namespace {

// Letters the code page lacks, by their plain letter ('.' where there is none): the accented
// Latin letters of other languages lose their accent rather than become '?'.
constexpr char32_t kLatinFirst = 0x00C0;
constexpr std::string_view kLatinPlain =
    "A..A.A..E.E.I..IDNO..O..OU.U...."  // U+00C0
    "a..a.a..e.e.i..idno..o..ou.u...y"  // U+00E0
    "Aa......CcCc......EeEeEe....GgGg"  // U+0100
    "GgGgHhHhIiIiIiIiIi..JjKkk..Ll..L"  // U+0120
    "l....Nn.....OoOo......Rr....Ss.."  // U+0140
    "......TtUuUuUu....UuWwYyY......s"  // U+0160
    "................................"  // U+0180
    "Oo.............Uu..............."  // U+01A0
    ".............AaIiOoUuUuUuUuUu.Aa"  // U+01C0
    "Aa....GgKkOoOo..j...Gg..NnAa...."  // U+01E0
    "AaAaEeEeIiIiOoOoRrRrUuUu......Hh"  // U+0200
    "......AaEeOoOoOoOoYy............"  // U+0220
    "................";                 // U+0240
constexpr char32_t kLatinAdditionalFirst = 0x1E00;
constexpr std::string_view kLatinAdditionalPlain =
    "AaBbBbBbCcDdDdDdDdDdEeEeEeEeEeFf"   // U+1E00
    "GgHhHhHhHhHhIiIiKkKkKkLlLlLlLlMm"   // U+1E20
    "MmMmNnNnNnNnOoOoOoOoPpPpRrRrRrRr"   // U+1E40
    "SsSsSsSsSsTtTtTtTtUuUuUuUuUuVvVv"   // U+1E60
    "WwWwWwWwWwXxXxYyZzZzZzhtwy......"   // U+1E80
    "AaAaAaAaAaAaAaAaAaAaAaAaEeEeEeEe"   // U+1EA0
    "EeEeEeEeIiIiOoOoOoOoOoOoOoOoOoOo"   // U+1EC0
    "OoOoUuUuUuUuUuUuUuYyYyYyYy......";  // U+1EE0

struct Substitute {
    char32_t CodePoint;
    unsigned char Byte;
};
// Romanian S and T with a comma below are written with the cedilla letters of the code page;
// the typographic spaces, dashes and primes it lacks become their plain forms.
constexpr Substitute kSubstitutes[] = {
    {0x0218, 0xAA}, {0x0219, 0xBA}, {0x021A, 0xDE}, {0x021B, 0xFE}, {0x2000, ' '}, {0x2001, ' '},
    {0x2002, ' '},  {0x2003, ' '},  {0x2004, ' '},  {0x2005, ' '},  {0x2006, ' '}, {0x2007, ' '},
    {0x2008, ' '},  {0x2009, ' '},  {0x200A, ' '},  {0x2010, '-'},  {0x2011, '-'}, {0x2012, '-'},
    {0x2015, '-'},  {0x201B, '\''}, {0x201F, '"'},  {0x2032, '\''}, {0x2033, '"'},
};

// Code point -> Windows-1250 byte for every code point below the table's end; 0 = none.
constexpr char32_t kTableEnd = 0x2123;  // just past U+2122, the highest code point of the page
using ReverseTable = std::array<unsigned char, kTableEnd>;

constexpr ReverseTable BuildReverseTable() {
    ReverseTable table{};
    for (char32_t c = 0; c < 0x80; ++c)
        table[c] = static_cast<unsigned char>(c);
    for (std::size_t i = 0; i < kLatinPlain.size(); ++i)
        if (kLatinPlain[i] != '.')
            table[kLatinFirst + i] = static_cast<unsigned char>(kLatinPlain[i]);
    for (std::size_t i = 0; i < kLatinAdditionalPlain.size(); ++i)
        if (kLatinAdditionalPlain[i] != '.')
            table[kLatinAdditionalFirst + i] = static_cast<unsigned char>(kLatinAdditionalPlain[i]);
    for (const Substitute& substitute : kSubstitutes)
        table[substitute.CodePoint] = substitute.Byte;
    // The page's own characters last, so that no substitute can hide one.
    for (std::size_t i = 0; i < kWindows1250Upper.size(); ++i)
        if (kWindows1250Upper[i] != 0)
            table[kWindows1250Upper[i]] = static_cast<unsigned char>(0x80 + i);
    return table;
}

constexpr ReverseTable kReverse = BuildReverseTable();
static_assert(kReverse[0x00E4] == 0xE4 && kReverse[0x00DF] == 0xDF && kReverse[0x0151] == 0xF5);
static_assert(kReverse[0x00E0] == 'a' && kReverse[0x2026] == 0x85 && kReverse[0x2122] == 0x99);

// Texts saved in decomposed form carry the accent as a combining mark behind its letter; where
// the code page has the composed letter, the mark joins the letter written just before.
constexpr char32_t kCombiningFirst = 0x0300;
constexpr char32_t kCombiningLast = 0x036F;
struct Composition {
    char32_t Mark;
    std::string_view Letters;
    std::string_view Composed;  // byte for byte beside Letters
};
constexpr Composition kCompositions[] = {
    {0x0301, "ACEILNORSUYZaceilnorsuyz",
     "\xC1\xC6\xC9\xCD\xC5\xD1\xD3\xC0\x8C\xDA\xDD\x8F\xE1\xE6\xE9\xED\xE5\xF1\xF3\xE0\x9C\xFA\xFD"
     "\x9F"},
    {0x0302, "AIOaio", "\xC2\xCE\xD4\xE2\xEE\xF4"},
    {0x0306, "Aa", "\xC3\xE3"},
    {0x0307, "Zz", "\xAF\xBF"},
    {0x0308, "AEOUaeou", "\xC4\xCB\xD6\xDC\xE4\xEB\xF6\xFC"},
    {0x030A, "Uu", "\xD9\xF9"},
    {0x030B, "OUou", "\xD5\xDB\xF5\xFB"},
    {0x030C, "CDELNRSTZcdelnrstz",
     "\xC8\xCF\xCC\xBC\xD2\xD8\x8A\x8D\x8E\xE8\xEF\xEC\xBE\xF2\xF8\x9A\x9D\x9E"},
    {0x0326, "STst", "\xAA\xDE\xBA\xFE"},
    {0x0327, "CSTcst", "\xC7\xAA\xDE\xE7\xBA\xFE"},
    {0x0328, "AEae", "\xA5\xCA\xB9\xEA"},
};

// The byte that letter + mark compose to, or 0.
char ComposedByte(char letter, char32_t mark) {
    for (const Composition& composition : kCompositions) {
        if (composition.Mark != mark) continue;
        const std::size_t at = composition.Letters.find(letter);
        return at == std::string_view::npos ? '\0' : composition.Composed[at];
    }
    return '\0';
}

constexpr char32_t kByteOrderMark = 0xFEFF;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// The high bits of the next eight bytes, in text order from the lowest byte (0 = all ASCII).
std::uint64_t HighBitsOfEight(const unsigned char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word & kHighBits;
}

// How many ASCII bytes lead a word whose high bits are not all clear.
std::size_t AsciiPrefix(std::uint64_t highBits) {
    return static_cast<std::size_t>(std::countr_zero(highBits)) / 8;
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed sequence that starts at `at` (a byte >= 0x80), or 0: overlong
// forms, surrogates and code points above U+10FFFF are not UTF-8.
std::size_t SequenceLength(const unsigned char* text, std::size_t at, std::size_t length) {
    const unsigned char lead = text[at];
    const std::size_t left = length - at;
    if (lead >= 0xC2 && lead <= 0xDF) return left >= 2 && IsContinuation(text[at + 1]) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3) return 0;
        const unsigned char second = text[at + 1];
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
        return second >= low && second <= high && IsContinuation(text[at + 2]) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4) return 0;
        const unsigned char second = text[at + 1];
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
        return second >= low && second <= high && IsContinuation(text[at + 2]) &&
                       IsContinuation(text[at + 3])
                   ? 4
                   : 0;
    }
    return 0;
}

// Where the first non-ASCII byte stands, or `length` when the text is not UTF-8 worth
// converting (invalid, or ASCII only). Runs of ASCII are passed eight bytes at a time.
std::size_t FirstUtf8Sequence(const unsigned char* text, std::size_t length) {
    std::size_t first = length;
    std::size_t at = 0;
    while (at < length) {
        if (length - at >= 8) {
            const std::uint64_t highBits = HighBitsOfEight(text + at);
            if (highBits == 0) {
                at += 8;
                continue;
            }
            at += AsciiPrefix(highBits);
        } else if (text[at] < 0x80) {
            ++at;
            continue;
        }
        if (first == length) first = at;
        // Two-byte letters are nearly all of a chart text's non-ASCII characters.
        const unsigned char lead = text[at];
        if (lead >= 0xC2 && lead <= 0xDF && length - at >= 2 && IsContinuation(text[at + 1])) {
            at += 2;
            continue;
        }
        const std::size_t size = SequenceLength(text, at, length);
        if (size == 0) return length;
        at += size;
    }
    return first;
}

// The code point of a sequence already checked by SequenceLength.
char32_t Decode(const unsigned char* sequence, std::size_t size) {
    switch (size) {
        case 2:
            return (char32_t{sequence[0] & 0x1Fu} << 6) | (sequence[1] & 0x3Fu);
        case 3:
            return (char32_t{sequence[0] & 0x0Fu} << 12) | (char32_t{sequence[1] & 0x3Fu} << 6) |
                   (sequence[2] & 0x3Fu);
        default:
            return (char32_t{sequence[0] & 0x07u} << 18) | (char32_t{sequence[1] & 0x3Fu} << 12) |
                   (char32_t{sequence[2] & 0x3Fu} << 6) | (sequence[3] & 0x3Fu);
    }
}

}  // namespace

namespace {

// Converts from `first` on, in place. Unchecked, the text is known to be UTF-8; checked, each
// sequence is checked as it comes and the loop stops at the first that is not UTF-8, with
// false. Every sequence is at least as long as the byte it becomes, so the output never
// overtakes the input.
template <bool kChecked>
bool ConvertFrom(char* text, std::size_t& length, std::size_t first, Utf8Conversion& result) {
    auto* bytes = reinterpret_cast<unsigned char*>(text);
    std::size_t in = first;
    std::size_t out = first;
    while (in < length) {
        if (length - in >= 8) {
            const std::uint64_t highBits = HighBitsOfEight(bytes + in);
            // All eight bytes move at once when the store can't reach input not yet read.
            if (highBits == 0 || in - out >= 8) {
                std::memmove(bytes + out, bytes + in, 8);
                const std::size_t ascii = highBits == 0 ? 8 : AsciiPrefix(highBits);
                in += ascii;
                out += ascii;
                if (highBits == 0) continue;
            } else {
                for (std::size_t ascii = AsciiPrefix(highBits); ascii > 0; --ascii)
                    bytes[out++] = bytes[in++];
            }
        } else if (bytes[in] < 0x80) {
            bytes[out++] = bytes[in++];
            continue;
        }
        const unsigned char lead = bytes[in];
        // Two-byte letters below the combining marks are nearly all of a chart's non-ASCII text.
        if (lead < 0xCC && length - in >= 2 &&
            (!kChecked || (lead >= 0xC2 && IsContinuation(bytes[in + 1])))) {
            const unsigned char byte = kReverse[((lead & 0x1Fu) << 6) | (bytes[in + 1] & 0x3Fu)];
            in += 2;
            bytes[out++] = byte != 0 ? byte : '?';
            result.Unconvertible += byte == 0;
            continue;
        }
        std::size_t size = 0;
        if constexpr (kChecked) {
            size = SequenceLength(bytes, in, length);
            if (size == 0) {
                length = out + (length - in);
                return false;
            }
        } else {
            size = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            if (size > length - in) break;  // a checked text holds only whole sequences
        }
        const char32_t codePoint = Decode(bytes + in, size);
        in += size;
        if (codePoint == kByteOrderMark) continue;  // a mark of the encoding, not of the text
        if (codePoint >= kCombiningFirst && codePoint <= kCombiningLast) {
            // A mark that joins nothing is dropped: its letter alone is the closest form.
            const char composed = out > 0 ? ComposedByte(text[out - 1], codePoint) : '\0';
            if (composed != '\0') text[out - 1] = composed;
            continue;
        }
        const unsigned char byte = codePoint < kTableEnd ? kReverse[codePoint] : 0;
        if (byte == 0) {
            bytes[out++] = '?';
            ++result.Unconvertible;
        } else {
            bytes[out++] = byte;
        }
    }
    length = out;
    return true;
}

// Where the first byte of 0x80 or above stands, or `length`.
std::size_t FirstHighByte(const unsigned char* text, std::size_t length) {
    std::size_t at = 0;
    while (length - at >= 8) {
        const std::uint64_t highBits = HighBitsOfEight(text + at);
        if (highBits != 0) return at + AsciiPrefix(highBits);
        at += 8;
    }
    while (at < length && text[at] < 0x80)
        ++at;
    return at;
}

// The lower-case partner of a capital by Unicode's layout, the code point itself for anything
// else: Latin-1 capitals lie 0x20 below their small letters, and Latin Extended-A pairs each
// capital with the code point after it.
constexpr char32_t LatinLowerPartner(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c - 'A' + 'a';
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) return c + 0x20;
    const bool evenCapitals = (c >= 0x0100 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177);
    const bool oddCapitals = (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E);
    if ((evenCapitals && c % 2 == 0) || (oddCapitals && c % 2 == 1)) return c + 1;
    return c;
}

// Whether the code page has this very character, not only a stand-in for it.
constexpr bool InWindows1250(char32_t c) {
    if (c < 0x80) return true;
    if (c >= kTableEnd || kReverse[c] < 0x80) return false;
    return kWindows1250Upper[kReverse[c] - 0x80] == c;
}

// Both the capital and its small letter must be the page's own: İ, Ÿ and the like stay.
constexpr char32_t Windows1250Lower(char32_t c) {
    const char32_t lower = LatinLowerPartner(c);
    return lower != c && InWindows1250(c) && InWindows1250(lower) ? lower : c;
}
static_assert(Windows1250Lower(0x0150) == 0x0151 && Windows1250Lower(0x0141) == 0x0142);
static_assert(Windows1250Lower(0x00D7) == 0x00D7 && Windows1250Lower(0x0130) == 0x0130);

}  // namespace

Utf8Conversion ConvertUtf8ToWindows1250(char* text, std::size_t& length) {
    Utf8Conversion result;
    if (text == nullptr || length == 0) return result;
    const std::size_t first =
        FirstUtf8Sequence(reinterpret_cast<const unsigned char*>(text), length);
    if (first == length) return result;
    result.Converted = true;
    ConvertFrom<false>(text, length, first, result);
    return result;
}

Utf8InPlace ConvertUtf8InPlace(char* text, std::size_t& length) {
    Utf8InPlace outcome;
    if (text == nullptr || length == 0) return outcome;
    const std::size_t first = FirstHighByte(reinterpret_cast<const unsigned char*>(text), length);
    if (first == length) return outcome;
    const std::size_t original = length;
    Utf8Conversion conversion;
    conversion.Converted = true;
    if (ConvertFrom<true>(text, length, first, conversion)) {
        outcome.Conversion = conversion;
        return outcome;
    }
    // Not UTF-8 after all. Every sequence taken shortens the text, so an unchanged length
    // means the very first one failed and nothing was touched.
    outcome.Spoiled = length != original;
    length = original;
    return outcome;
}

std::size_t DecodeUtf8At(std::string_view text, std::size_t at, char32_t& codePoint) {
    if (at >= text.size()) return 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    if (bytes[at] < 0x80) {
        codePoint = bytes[at];
        return 1;
    }
    const std::size_t size = SequenceLength(bytes, at, text.size());
    if (size != 0) codePoint = Decode(bytes + at, size);
    return size;
}

unsigned char Windows1250ByteOf(char32_t codePoint) {
    return codePoint < kTableEnd ? kReverse[codePoint] : 0;
}

std::string LowerWindows1250Letters(std::string_view utf8) {
    std::string lowered(utf8);
    LowerWindows1250LettersInPlace(lowered);
    return lowered;
}

void LowerWindows1250LettersInPlace(std::string& lowered) {
    for (std::size_t at = 0; at < lowered.size();) {
        const char ascii = lowered[at];
        if (ascii >= 'A' && ascii <= 'Z') {
            lowered[at++] = static_cast<char>(ascii - 'A' + 'a');
            continue;
        }
        if (static_cast<unsigned char>(ascii) < 0x80) {
            ++at;
            continue;
        }
        char32_t codePoint = 0;
        const std::size_t size = DecodeUtf8At(lowered, at, codePoint);
        if (size == 0) {
            ++at;
            continue;
        }
        const char32_t lower = Windows1250Lower(codePoint);
        // Every pair lies below U+0180, where a letter and its partner take the same bytes.
        if (lower != codePoint) {
            lowered[at] = static_cast<char>(0xC0 | (lower >> 6));
            lowered[at + 1] = static_cast<char>(0x80 | (lower & 0x3F));
        }
        at += size;
    }
}

std::string Utf8FromWindows1250(std::string_view text) {
    std::string utf8;
    AppendUtf8FromWindows1250(utf8, text);
    return utf8;
}

namespace {

// The UTF-8 bytes of each upper half byte of the page, three bytes of room each: the five
// bytes the page leaves out become U+FFFD, and every code point lies below U+10000.
struct Utf8Bytes {
    std::array<char, 3> Bytes{};
    std::uint8_t Length = 0;
};
constexpr std::array<Utf8Bytes, 128> kUpperHalfUtf8 = [] {
    std::array<Utf8Bytes, 128> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        char32_t codePoint = Windows1250CodePoint(static_cast<unsigned char>(0x80 + i));
        if (codePoint == 0) codePoint = 0xFFFD;
        Utf8Bytes& bytes = table[i];
        if (codePoint < 0x800) {
            bytes.Bytes = {static_cast<char>(0xC0 | (codePoint >> 6)),
                           static_cast<char>(0x80 | (codePoint & 0x3F)), 0};
            bytes.Length = 2;
        } else {
            bytes.Bytes = {static_cast<char>(0xE0 | (codePoint >> 12)),
                           static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)),
                           static_cast<char>(0x80 | (codePoint & 0x3F))};
            bytes.Length = 3;
        }
    }
    return table;
}();

}  // namespace

void AppendUtf8FromWindows1250(std::string& utf8, std::string_view text) {
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    // A piece at a time into a buffer on the stack, then appended at once: a name or a line of
    // notes is one piece. Eight plain ASCII bytes go over at a time, and an upper half byte
    // takes its three bytes of room from the table and keeps as many as it needs.
    constexpr std::size_t kPiece = 256;
    char piece[kPiece * 3 + 8];
    for (std::size_t from = 0; from < text.size(); from += kPiece) {
        const std::size_t stop = std::min(text.size(), from + kPiece);
        char* out = piece;
        for (std::size_t at = from; at < stop;) {
            if (stop - at >= 8) {
                std::uint64_t word;
                std::memcpy(&word, text.data() + at, 8);
                const std::uint64_t highs = word & kHighs;
                // The eight bytes go over, and as many are kept as come before the first upper
                // half byte: a name with an accent is not then taken a byte at a time.
                std::size_t plain = 8;
                if (highs != 0) {
                    plain = std::endian::native == std::endian::little
                                ? static_cast<std::size_t>(std::countr_zero(highs)) / 8
                                : 0;
                }
                std::memcpy(out, text.data() + at, 8);
                out += plain;
                at += plain;
                if (plain == 8) continue;
            }
            const auto byte = static_cast<unsigned char>(text[at++]);
            if (byte < 0x80) {
                *out++ = static_cast<char>(byte);
                continue;
            }
            const Utf8Bytes& bytes = kUpperHalfUtf8[byte - 0x80u];
            std::memcpy(out, bytes.Bytes.data(), bytes.Bytes.size());
            out += bytes.Length;
        }
        utf8.append(piece, static_cast<std::size_t>(out - piece));
    }
}

}  // namespace tervalo
