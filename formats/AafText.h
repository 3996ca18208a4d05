// What the AAF reader, writer and database share about the text: its markers and where the
// first record's cursor stands. Private to the three.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/StretchWalk.h"

namespace tervalo {

constexpr std::string_view kRecordMarker = "#A93:";
// The bound of a record is the next "#A93" even without its colon: nothing of one record is
// read from behind it.
constexpr std::string_view kNextRecordMarker = "#A93";
constexpr std::string_view kLocationMarker = "#B93";
constexpr std::size_t kNpos = std::string_view::npos;

// A record's cursor stands right behind its "#A93:"; kNoCursor when the text holds none.
inline std::size_t FirstRecordCursor(std::string_view text) {
    const std::size_t first = text.find(kRecordMarker);
    return first == kNpos ? kNoCursor : first + kRecordMarker.size();
}

}  // namespace tervalo
