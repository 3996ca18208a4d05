// Finding the first of a few given bytes in a short text.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tervalo {

// Where the first byte equal to one of `Bytes` stands at or after `from`, or text.size().
// std::string_view::find_first_of looks each byte of the text up in the set with a library
// call, which costs more than the whole line's formatting; this is a plain loop.
template <char... Bytes>
std::size_t FindFirstOf(std::string_view text, std::size_t from = 0) {
    while (from < text.size()) {
        const char c = text[from];
        if (((c == Bytes) || ...)) return from;
        ++from;
    }
    return text.size();
}

// How many line feeds stand between `from` and `to`: eight bytes at a time, as a walk counts the
// lines of every stretch it reads so that a chart can be named by its line.
inline std::size_t CountLineFeeds(const char* from, const char* to) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    constexpr std::uint64_t kFeeds = kOnes * '\n';
    std::size_t count = 0;
    for (; to - from >= 8; from += 8) {
        std::uint64_t word;
        std::memcpy(&word, from, 8);
        word ^= kFeeds;  // a line feed is now a zero byte
        // The high bit of each byte is set exactly where that byte is zero.
        const std::uint64_t zeros = ~(((word & kLow7) + kLow7) | word | kLow7);
        count += static_cast<std::size_t>(std::popcount(zeros));
    }
    for (; from < to; ++from)
        count += *from == '\n' ? 1 : 0;
    return count;
}

}  // namespace tervalo
