// Finding the first of a few given bytes in a short text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// How many line feeds stand between `from` and `to`. A walk counts the lines of every stretch it
// reads so that a chart can be named by its line, also when no chart is named: sixteen bytes are
// compared at once where the processor can, each lane counting its feeds in a byte for up to 255
// blocks before the lanes are summed. Elsewhere the library's search takes a line at a time.
inline std::size_t CountLineFeeds(const char* from, const char* to) {
    std::size_t count = 0;
#if defined(__SSE2__)
    const __m128i feeds = _mm_set1_epi8('\n');
    while (to - from >= 16) {
        const std::size_t blocks =
            std::min<std::size_t>(static_cast<std::size_t>(to - from) / 16, 255);
        __m128i lanes = _mm_setzero_si128();
        for (std::size_t i = 0; i < blocks; ++i, from += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
            // A match is all ones, -1: subtracting it counts one.
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes, feeds));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#endif
    while (from < to) {
        const void* feed = std::memchr(from, '\n', static_cast<std::size_t>(to - from));
        if (feed == nullptr) break;
        ++count;
        from = static_cast<const char*>(feed) + 1;
    }
    return count;
}

}  // namespace tervalo
