// Finding the first of a few given bytes in a short text.
#pragma once

#include <cstddef>
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

// How many line feeds stand between `from` and `to`. A walk counts the lines of every stretch it
// reads so that a chart can be named by its line; lines are a few dozen bytes, and the library's
// search takes those many bytes at a time.
inline std::size_t CountLineFeeds(const char* from, const char* to) {
    std::size_t count = 0;
    while (from < to) {
        const void* feed = std::memchr(from, '\n', static_cast<std::size_t>(to - from));
        if (feed == nullptr) break;
        ++count;
        from = static_cast<const char*>(feed) + 1;
    }
    return count;
}

}  // namespace tervalo
