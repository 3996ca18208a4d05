// Finding the first of a few given bytes in a short text.
#pragma once

#include <cstddef>
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

}  // namespace tervalo
