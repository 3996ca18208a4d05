// ReadMorinusChart: Morinus chart files, 27 pickled values one after another.
#include "formats/MorinusReader.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/CodePage.h"
#include "core/Sexagesimal.h"
#include "formats/ChartFileReading.h"

namespace tervalo {

namespace {

// A chart's pickles memoize at most a few dozen values.
constexpr std::size_t kMostMemoEntries = 1u << 16;
constexpr int kHighestProtocol = 5;

// The opcodes of plain values; every other opcode builds objects or calls code.
namespace op {
constexpr unsigned char kProto = 0x80;
constexpr unsigned char kFrame = 0x95;
constexpr unsigned char kStop = '.';
constexpr unsigned char kInt = 'I';
constexpr unsigned char kBinInt = 'J';
constexpr unsigned char kBinInt1 = 'K';
constexpr unsigned char kBinInt2 = 'M';
constexpr unsigned char kLong = 'L';
constexpr unsigned char kLong1 = 0x8A;
constexpr unsigned char kLong4 = 0x8B;
constexpr unsigned char kFloat = 'F';
constexpr unsigned char kBinFloat = 'G';
constexpr unsigned char kString = 'S';
constexpr unsigned char kBinString = 'T';
constexpr unsigned char kShortBinString = 'U';
constexpr unsigned char kUnicode = 'V';
constexpr unsigned char kBinUnicode = 'X';
constexpr unsigned char kShortBinUnicode = 0x8C;
constexpr unsigned char kBinUnicode8 = 0x8D;
constexpr unsigned char kBinBytes = 'B';
constexpr unsigned char kShortBinBytes = 'C';
constexpr unsigned char kBinBytes8 = 0x8E;
constexpr unsigned char kByteArray8 = 0x96;
constexpr unsigned char kNewTrue = 0x88;
constexpr unsigned char kNewFalse = 0x89;
constexpr unsigned char kNone = 'N';
constexpr unsigned char kPut = 'p';
constexpr unsigned char kBinPut = 'q';
constexpr unsigned char kLongBinPut = 'r';
constexpr unsigned char kMemoize = 0x94;
constexpr unsigned char kGet = 'g';
constexpr unsigned char kBinGet = 'h';
constexpr unsigned char kLongBinGet = 'j';
}  // namespace op

enum class ValueKind { None, Flag, Integer, Real, Text, Bytes };

struct Value {
    explicit Value(ValueKind kind = ValueKind::None) : Kind(kind) {}
    ValueKind Kind;
    std::int64_t Integer = 0;  // flags as 0 and 1
    double Real = 0.0;
    std::u32string Text;  // code points of a text
    std::string Bytes;    // a byte string
    bool Kept = false;    // memoized or loaded: later values must not take its place
};

std::string_view Trimmed(std::string_view text) {
    const auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
    };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// An integer as protocol 0 writes it: a sign, decimal digits or a 0x, 0o or 0b prefix. Leading
// zeros are decimal: old chart files hold years such as "0044". False beyond 64 bits.
bool ParseInteger(std::string_view text, std::int64_t& value) {
    text = Trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0') {
        const char prefix = static_cast<char>(text[1] | 0x20);
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10) text.remove_prefix(2);
    }
    if (text.empty()) return false;
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = std::uint64_t{1} << 63;  // -2^63 is the most negative
    for (const char c : text) {
        const unsigned lower = static_cast<unsigned char>(c) | 0x20u;
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (lower >= 'a' && lower <= 'f') {
            digit = lower - 'a' + 10;
        } else {
            return false;
        }
        if (digit >= base || magnitude > (limit - digit) / base) return false;
        magnitude = magnitude * base + digit;
    }
    if (!negative && magnitude == limit) return false;
    value =
        negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

bool ParseReal(std::string_view text, double& value) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    const int lower = c | 0x20;
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// The escapes of a quoted protocol-0 byte string, as Python writes them with repr().
bool DecodeQuotedBytes(std::string_view line, std::string& out) {
    if (line.size() < 2 || line.front() != line.back() ||
        (line.front() != '\'' && line.front() != '"'))
        return false;
    const std::string_view text = line.substr(1, line.size() - 2);
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at++];
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (at == text.size()) return false;
        const char escape = text[at++];
        switch (escape) {
            case '\n':
                break;
            case 'a':
                out.push_back('\a');
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'v':
                out.push_back('\v');
                break;
            case '\\':
            case '\'':
            case '"':
                out.push_back(escape);
                break;
            case 'x': {
                if (text.size() - at < 2) return false;
                const int high = HexDigit(text[at]);
                const int low = HexDigit(text[at + 1]);
                if (high < 0 || low < 0) return false;
                out.push_back(static_cast<char>(high * 16 + low));
                at += 2;
                break;
            }
            default:
                if (escape >= '0' && escape <= '7') {
                    unsigned octal = static_cast<unsigned>(escape - '0');
                    for (int more = 0;
                         more < 2 && at < text.size() && text[at] >= '0' && text[at] <= '7'; ++more)
                        octal = octal * 8 + static_cast<unsigned>(text[at++] - '0');
                    out.push_back(static_cast<char>(octal & 0xFF));
                } else {
                    out.push_back('\\');
                    out.push_back(escape);
                }
        }
    }
    return true;
}

// Protocol 0's texts: every byte is the character of its number, and "\u" with four hex
// digits or "\U" with eight is one character, where an odd run of backslashes leads it.
bool DecodeRawUnicodeEscape(std::string_view line, std::u32string& out) {
    for (std::size_t at = 0; at < line.size();) {
        if (line[at] != '\\') {
            out.push_back(static_cast<unsigned char>(line[at++]));
            continue;
        }
        std::size_t run = 0;
        while (at + run < line.size() && line[at + run] == '\\')
            ++run;
        const std::size_t next = at + run;
        const bool escape =
            run % 2 == 1 && next < line.size() && (line[next] == 'u' || line[next] == 'U');
        out.append(escape ? run - 1 : run, U'\\');
        at = next;
        if (!escape) continue;
        const std::size_t digits = line[at] == 'u' ? 4 : 8;
        ++at;
        if (line.size() - at < digits) return false;
        char32_t codePoint = 0;
        for (std::size_t i = 0; i < digits; ++i) {
            const int digit = HexDigit(line[at + i]);
            if (digit < 0) return false;
            codePoint = codePoint * 16 + static_cast<char32_t>(digit);
        }
        if (codePoint > 0x10FFFF) return false;
        out.push_back(codePoint);
        at += digits;
    }
    return true;
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// UTF-8 as the binary text opcodes hold it; encoded surrogates pass, as Python lets them.
bool DecodeUtf8(std::string_view bytes, std::u32string& out) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    for (std::size_t at = 0; at < size;) {
        const unsigned char lead = data[at];
        std::size_t length = 0;
        char32_t codePoint = 0;
        if (lead < 0x80) {
            out.push_back(lead);
            ++at;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07u;
        } else {
            return false;
        }
        if (size - at < length) return false;
        for (std::size_t i = 1; i < length; ++i) {
            if (!IsContinuation(data[at + i])) return false;
            codePoint = (codePoint << 6) | (data[at + i] & 0x3Fu);
        }
        const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (codePoint < smallest || codePoint > 0x10FFFF) return false;
        out.push_back(codePoint);
        at += length;
    }
    return true;
}

// The pickles of one file, loaded one after another with one memo, as one unpickler loads
// them. Only the value on top of the stack can ever be used (no opcode read here takes more
// than one), so the stack is that one value; values that nothing can reach again are
// overwritten, which keeps a file of a million pushes in a few values.
class PickleStream {
public:
    explicit PickleStream(std::string_view bytes) : Bytes(bytes) {}

    // Loads the next pickle up to its STOP; false when it is not one of plain values.
    bool Load(std::size_t& loaded) {
        Top = kNoValue;
        while (Position < Bytes.size()) {
            const auto opcode = static_cast<unsigned char>(Bytes[Position++]);
            if (opcode == op::kStop) {
                if (Top == kNoValue) return false;
                Values[Top].Kept = true;
                loaded = Top;
                return true;
            }
            if (!Step(opcode)) return false;
        }
        return false;
    }

    const Value& ValueAt(std::size_t index) const { return Values[index]; }

private:
    static constexpr std::size_t kNoValue = static_cast<std::size_t>(-1);

    bool Step(unsigned char opcode) {
        std::string_view text;
        std::uint64_t number = 0;
        switch (opcode) {
            case op::kProto:
                return ReadUnsigned(1, number) && number <= kHighestProtocol;
            case op::kFrame:
                // Frames only group the opcodes for reading; their bytes must be there.
                return ReadUnsigned(8, number) && number <= Bytes.size() - Position;
            case op::kInt: {
                if (!ReadLine(text)) return false;
                text = Trimmed(text);
                if (text == "00" || text == "01") return PushFlag(text == "01");
                std::int64_t value = 0;
                return ParseInteger(text, value) && PushInteger(value);
            }
            case op::kLong: {
                if (!ReadLine(text)) return false;
                text = Trimmed(text);
                if (!text.empty() && text.back() == 'L') text.remove_suffix(1);
                std::int64_t value = 0;
                return ParseInteger(text, value) && PushInteger(value);
            }
            case op::kBinInt:
                return ReadUnsigned(4, number) &&
                       PushInteger(static_cast<std::int32_t>(static_cast<std::uint32_t>(number)));
            case op::kBinInt1:
                return ReadUnsigned(1, number) && PushInteger(static_cast<std::int64_t>(number));
            case op::kBinInt2:
                return ReadUnsigned(2, number) && PushInteger(static_cast<std::int64_t>(number));
            case op::kLong1:
                return ReadUnsigned(1, number) && ReadBytes(number, text) && PushLong(text);
            case op::kLong4:
                return ReadSignedSize(number) && ReadBytes(number, text) && PushLong(text);
            case op::kFloat: {
                double value = 0;
                return ReadLine(text) && ParseReal(text, value) && PushReal(value);
            }
            case op::kBinFloat:
                return ReadUnsigned(8, number, true) && PushReal(std::bit_cast<double>(number));
            case op::kString: {
                Value value{ValueKind::Bytes};
                return ReadLine(text) && DecodeQuotedBytes(StripCr(text), value.Bytes) &&
                       Push(std::move(value));
            }
            case op::kBinString:
                return ReadSignedSize(number) && ReadBytes(number, text) && PushBytes(text);
            case op::kShortBinString:
            case op::kShortBinBytes:
                return ReadUnsigned(1, number) && ReadBytes(number, text) && PushBytes(text);
            case op::kBinBytes:
                return ReadUnsigned(4, number) && ReadBytes(number, text) && PushBytes(text);
            case op::kBinBytes8:
            case op::kByteArray8:
                return ReadUnsigned(8, number) && ReadBytes(number, text) && PushBytes(text);
            case op::kUnicode: {
                Value value{ValueKind::Text};
                return ReadLine(text) && DecodeRawUnicodeEscape(StripCr(text), value.Text) &&
                       Push(std::move(value));
            }
            case op::kShortBinUnicode:
                return ReadUnsigned(1, number) && ReadBytes(number, text) && PushUtf8(text);
            case op::kBinUnicode:
                return ReadUnsigned(4, number) && ReadBytes(number, text) && PushUtf8(text);
            case op::kBinUnicode8:
                return ReadUnsigned(8, number) && ReadBytes(number, text) && PushUtf8(text);
            case op::kNewTrue:
            case op::kNewFalse:
                return PushFlag(opcode == op::kNewTrue);
            case op::kNone:
                return Push(Value{});
            case op::kPut:
                return ReadLineIndex(number) && Memoize(number);
            case op::kBinPut:
                return ReadUnsigned(1, number) && Memoize(number);
            case op::kLongBinPut:
                return ReadUnsigned(4, number) && Memoize(number);
            case op::kMemoize:
                return Memoize(Memo.size());
            case op::kGet:
                return ReadLineIndex(number) && Recall(number);
            case op::kBinGet:
                return ReadUnsigned(1, number) && Recall(number);
            case op::kLongBinGet:
                return ReadUnsigned(4, number) && Recall(number);
            default:
                return false;
        }
    }

    // A protocol-0 argument runs to its line feed; without one the pickle is cut off.
    bool ReadLine(std::string_view& line) {
        const std::size_t end = Bytes.find('\n', Position);
        if (end == std::string_view::npos) return false;
        line = Bytes.substr(Position, end - Position);
        Position = end + 1;
        return true;
    }

    // A file that went through a text-mode copy ends its lines in CR LF.
    static std::string_view StripCr(std::string_view line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return line;
    }

    bool ReadBytes(std::uint64_t count, std::string_view& bytes) {
        if (count > Bytes.size() - Position) return false;
        bytes = Bytes.substr(Position, static_cast<std::size_t>(count));
        Position += static_cast<std::size_t>(count);
        return true;
    }

    // Little-endian, or big-endian where the format says so (the binary float).
    bool ReadUnsigned(std::size_t width, std::uint64_t& value, bool bigEndian = false) {
        std::string_view bytes;
        if (!ReadBytes(width, bytes)) return false;
        value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t at = bigEndian ? i : width - 1 - i;
            value = (value << 8) | static_cast<unsigned char>(bytes[at]);
        }
        return true;
    }

    // A four-byte length that a negative value makes invalid.
    bool ReadSignedSize(std::uint64_t& size) {
        return ReadUnsigned(4, size) &&
               size <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    }

    bool ReadLineIndex(std::uint64_t& index) {
        std::string_view line;
        std::int64_t value = 0;
        if (!ReadLine(line) || !ParseInteger(line, value) || value < 0) return false;
        index = static_cast<std::uint64_t>(value);
        return true;
    }

    bool Push(Value value) {
        if (Top != kNoValue && Top + 1 == Values.size() && !Values[Top].Kept) {
            Values[Top] = std::move(value);
        } else {
            Values.push_back(std::move(value));
            Top = Values.size() - 1;
        }
        return true;
    }

    bool PushFlag(bool flag) {
        Value value{ValueKind::Flag};
        value.Integer = flag ? 1 : 0;
        return Push(std::move(value));
    }

    bool PushInteger(std::int64_t integer) {
        Value value{ValueKind::Integer};
        value.Integer = integer;
        return Push(std::move(value));
    }

    bool PushReal(double real) {
        Value value{ValueKind::Real};
        value.Real = real;
        return Push(std::move(value));
    }

    bool PushBytes(std::string_view bytes) {
        Value value{ValueKind::Bytes};
        value.Bytes = bytes;
        return Push(std::move(value));
    }

    bool PushUtf8(std::string_view bytes) {
        Value value{ValueKind::Text};
        return DecodeUtf8(bytes, value.Text) && Push(std::move(value));
    }

    // Two's complement, little-endian, of any length; false beyond 64 bits.
    bool PushLong(std::string_view bytes) {
        if (bytes.empty()) return PushInteger(0);
        const bool negative = (static_cast<unsigned char>(bytes.back()) & 0x80) != 0;
        const unsigned char filler = negative ? 0xFF : 0x00;
        while (bytes.size() > 8 && static_cast<unsigned char>(bytes.back()) == filler)
            bytes.remove_suffix(1);
        if (bytes.size() > 8) return false;
        if (bytes.size() == 8 &&
            ((static_cast<unsigned char>(bytes.back()) & 0x80) != 0) != negative)
            return false;
        std::uint64_t bits = negative ? ~std::uint64_t{0} : 0;
        for (std::size_t i = bytes.size(); i-- > 0;)
            bits = (bits << 8) | static_cast<unsigned char>(bytes[i]);
        return PushInteger(static_cast<std::int64_t>(bits));
    }

    bool Memoize(std::uint64_t index) {
        if (Top == kNoValue) return false;
        if (Memo.size() >= kMostMemoEntries && Memo.find(index) == Memo.end()) return false;
        Memo[index] = Top;
        Values[Top].Kept = true;
        return true;
    }

    bool Recall(std::uint64_t index) {
        const auto found = Memo.find(index);
        if (found == Memo.end()) return false;
        Top = found->second;
        return true;
    }

    std::string_view Bytes;
    std::size_t Position = 0;
    std::vector<Value> Values;
    std::unordered_map<std::uint64_t, std::size_t> Memo;
    std::size_t Top = kNoValue;
};

// What each of the 27 values must be.
enum class Slot { Text, Flag, Number };
constexpr Slot kSlots[] = {
    Slot::Text,                                            // name
    Slot::Flag,                                            // male
    Slot::Number,                                          // chart type
    Slot::Flag,                                            // before the common era
    Slot::Number, Slot::Number, Slot::Number,              // year, month, day
    Slot::Number, Slot::Number, Slot::Number,              // hour, minute, second
    Slot::Number,                                          // calendar
    Slot::Number,                                          // zone type
    Slot::Flag,                                            // zone east of Greenwich
    Slot::Number, Slot::Number,                            // zone hours, minutes
    Slot::Flag,                                            // daylight saving
    Slot::Text,                                            // place
    Slot::Number, Slot::Number, Slot::Number, Slot::Flag,  // longitude, east
    Slot::Number, Slot::Number, Slot::Number, Slot::Flag,  // latitude, north
    Slot::Number,                                          // altitude
    Slot::Text,                                            // notes
};
constexpr std::size_t kValueCount = std::size(kSlots);
static_assert(kValueCount == 27);

enum Item : std::size_t {
    kName,
    kMale,
    kChartType,
    kBeforeEra,
    kYear,
    kMonth,
    kDay,
    kHour,
    kMinute,
    kSecond,
    kCalendar,
    kZoneType,
    kZoneEast,
    kZoneHours,
    kZoneMinutes,
    kDaylightSaving,
    kPlace,
    kLongitudeDegrees,
    kLongitudeMinutes,
    kLongitudeSeconds,
    kEast,
    kLatitudeDegrees,
    kLatitudeMinutes,
    kLatitudeSeconds,
    kNorth,
    kAltitude,
    kNotes
};

// Chart types and zone types as the chart program numbers them.
constexpr std::int64_t kEventChart = 4;
constexpr std::int64_t kZoneTime = 0;
constexpr std::int64_t kUniversalTime = 1;
constexpr std::int64_t kLocalMeanTime = 2;
constexpr std::int64_t kLocalApparentTime = 3;
constexpr std::int64_t kJulian = 1;
constexpr std::int32_t kLocalMeanTimeCode = -1;
constexpr std::int32_t kDaylightHour = 60;

bool Fits(const Value& value, Slot slot) {
    switch (slot) {
        case Slot::Text:
            return value.Kind == ValueKind::Text || value.Kind == ValueKind::Bytes;
        case Slot::Flag:
        case Slot::Number:
            return value.Kind == ValueKind::Flag || value.Kind == ValueKind::Integer ||
                   (value.Kind == ValueKind::Real && std::isfinite(value.Real));
    }
    return false;
}

long double NumberOf(const Value& value) {
    return value.Kind == ValueKind::Real ? static_cast<long double>(value.Real)
                                         : static_cast<long double>(value.Integer);
}

std::int64_t WholeOf(const Value& value, std::int64_t lowest, std::int64_t highest) {
    const long double number = std::trunc(NumberOf(value));
    return static_cast<std::int64_t>(
        std::clamp(number, static_cast<long double>(lowest), static_cast<long double>(highest)));
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

// Converts gathered UTF-8 through the code page table, as UTF-8 databases load.
void FlushUtf8(std::string& utf8, std::string& out, std::size_t& unconvertible) {
    std::size_t length = utf8.size();
    unconvertible += ConvertUtf8ToWindows1250(utf8.data(), length).Unconvertible;
    out.append(utf8.data(), length);
    utf8.clear();
}

// A value's text in Windows-1250. The five bytes the code page leaves out reach protocol 0
// as the characters of their numbers (the HOR target writes them so) and go back to those
// bytes; a lone surrogate has no character at all.
std::string Windows1250Text(const Value& value, std::size_t& unconvertible) {
    std::string out;
    if (value.Kind == ValueKind::Bytes) {
        // Byte strings are Windows-1250 as they stand, unless they are UTF-8.
        std::string bytes = value.Bytes;
        FlushUtf8(bytes, out, unconvertible);
        return out;
    }
    std::string utf8;
    for (const char32_t codePoint : value.Text) {
        const bool hole = codePoint >= 0x80 && codePoint < 0x100 &&
                          Windows1250CodePoint(static_cast<unsigned char>(codePoint)) == 0;
        const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
        if (!hole && !surrogate) {
            AppendUtf8(utf8, codePoint);
            continue;
        }
        FlushUtf8(utf8, out, unconvertible);
        out.push_back(hole ? static_cast<char>(codePoint) : '?');
        unconvertible += surrogate;
    }
    FlushUtf8(utf8, out, unconvertible);
    return out;
}

// The HOR target writes "Place (Country)", and "Place ()" for a place without a country that ends
// in parentheses itself; the chart program writes "London, GBR".
void SplitPlace(std::string_view place, AafRecord& chart) {
    std::string_view country;
    bool parenthesised = false;
    if (!place.empty() && place.back() == ')') {
        int depth = 0;
        for (std::size_t at = place.size(); at-- > 0;) {
            depth += place[at] == ')' ? 1 : place[at] == '(' ? -1 : 0;
            if (depth != 0) continue;
            if (at > 0 && place[at - 1] == ' ') {
                country = place.substr(at + 1, place.size() - at - 2);
                place = place.substr(0, at - 1);
                parenthesised = true;
            }
            break;
        }
    }
    if (!parenthesised) {
        const std::size_t comma = place.rfind(',');
        if (comma != std::string_view::npos) {
            country = place.substr(comma + 1);
            if (!country.empty() && country.front() == ' ') country.remove_prefix(1);
            place = place.substr(0, comma);
        }
    }
    SetNotedFieldText(chart.Place, place, ChartField::Place, chart);
    SetNotedFieldText(chart.Country, country, ChartField::Place, chart);
}

}  // namespace

bool ParseMorinusChart(std::string_view bytes, AafRecord& chart, ChartFileRead& read) {
    read = ChartFileRead{};
    if (bytes.size() > static_cast<std::size_t>(kLargestChartFile)) return false;
    PickleStream stream(bytes);
    std::size_t loaded[kValueCount] = {};
    for (std::size_t i = 0; i < kValueCount; ++i)
        if (!stream.Load(loaded[i]) || !Fits(stream.ValueAt(loaded[i]), kSlots[i])) return false;
    const auto value = [&](Item item) -> const Value& { return stream.ValueAt(loaded[item]); };
    const auto number = [&](Item item) { return NumberOf(value(item)); };
    const auto flag = [&](Item item) { return number(item) != 0; };
    const auto whole = [&](Item item) {
        return WholeOf(value(item), std::numeric_limits<std::int32_t>::min(),
                       std::numeric_limits<std::int32_t>::max());
    };

    const std::int64_t zoneType = whole(kZoneType);
    if (zoneType < kZoneTime || zoneType > kLocalApparentTime) return false;

    static_cast<ChartRecord&>(chart) = ChartRecord{};
    chart.Notes[0] = '\0';
    chart.SourceLine = 1;  // the file's one chart
    std::size_t unconvertible = 0;
    SplitNameAtSpace(Windows1250Text(value(kName), unconvertible), chart);
    SplitPlace(Windows1250Text(value(kPlace), unconvertible), chart);
    NoteNotesCut(SetNotesLines(Windows1250Text(value(kNotes), unconvertible), chart), chart);

    chart.Gender = whole(kChartType) == kEventChart ? 'E' : flag(kMale) ? 'M' : 'F';
    const std::int64_t year = whole(kYear);
    chart.Year = BoundedYear(flag(kBeforeEra) ? -year : year, chart);
    chart.Month = static_cast<std::int32_t>(whole(kMonth));
    chart.Day = static_cast<std::int32_t>(whole(kDay));
    chart.Time = SignedSexagesimalSum(number(kHour), number(kMinute), number(kSecond), false);
    chart.Gregorian = whole(kCalendar) != kJulian;

    chart.Longitude = SignedSexagesimalSum(number(kLongitudeDegrees), number(kLongitudeMinutes),
                                           number(kLongitudeSeconds), !flag(kEast));
    chart.Latitude = SignedSexagesimalSum(number(kLatitudeDegrees), number(kLatitudeMinutes),
                                          number(kLatitudeSeconds), !flag(kNorth));

    // The record counts zones positive west of Greenwich, so an east zone is negative.
    if (zoneType == kZoneTime) {
        chart.TimeZone =
            SignedSexagesimalSum(number(kZoneHours), number(kZoneMinutes), 0, flag(kZoneEast));
    } else if (zoneType == kUniversalTime) {
        chart.TimeZone = 0.0;
    } else {  // local mean time, or local apparent time
        // The record holds no apparent time: it is read as mean time, and said so.
        read.LocalApparentTime = zoneType == kLocalApparentTime;
        // The record has no field for the time's kind: the zone stands for it, noted with the
        // chart program's own numbers of the two kinds.
        if (read.LocalApparentTime)
            chart.Corrections.Add(ChartField::Zone, kLocalApparentTime, kLocalMeanTime);
        chart.DaylightCode = kLocalMeanTimeCode;
        chart.TimeZone = LocalMeanTimeZone(chart.Longitude);
    }
    if (chart.DaylightCode != kLocalMeanTimeCode && flag(kDaylightSaving))
        chart.DaylightCode = kDaylightHour;

    read.Recognised = true;
    read.Unconvertible = unconvertible;
    return true;
}

bool ReadMorinusChart(const std::string& path, AafRecord& chart, ChartFileRead& read) {
    return ReadAndParseChartFile(path, chart, read, ParseMorinusChart);
}

}  // namespace tervalo
