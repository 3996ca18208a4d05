// What the QCK reader, writer and database share: the line's fixed columns and the rule of
// what ends a line. Private to the three.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tervalo {

// The QCK line: fixed columns, counted from 0. Columns not named here hold separators.
constexpr std::size_t kNameColumn = 0;
constexpr std::size_t kNameWidth = 23;
constexpr std::size_t kMonthColumn = 23;
constexpr std::size_t kMonthWidth = 3;
constexpr std::size_t kDayColumn = 27;
constexpr std::size_t kYearSignColumn = 30;
constexpr std::size_t kYearColumn = 31;  // four digits, then the hour with no separator
constexpr std::size_t kHourColumn = 35;
constexpr std::size_t kTimeMinuteColumn = 38;
constexpr std::size_t kTimeSecondColumn = 41;
constexpr std::size_t kHalfDayColumn = 44;  // "A" or "P" of the 12-hour dial
constexpr std::size_t kZoneSignColumn = 50;
constexpr std::size_t kZoneHourColumn = 51;
constexpr std::size_t kZoneMinuteColumn = 54;
constexpr std::size_t kLongitudeDegreeColumn = 56;  // three digits, right after the zone
constexpr std::size_t kLongitudeSideColumn = 59;
constexpr std::size_t kLongitudeMinuteColumn = 60;
constexpr std::size_t kLongitudeSecondColumn = 63;
constexpr std::size_t kLatitudeDegreeColumn = 66;
constexpr std::size_t kLatitudeSideColumn = 68;
constexpr std::size_t kLatitudeMinuteColumn = 69;
constexpr std::size_t kLatitudeSecondColumn = 72;
constexpr std::size_t kPlaceColumn = 75;  // free text up to the line's end
constexpr std::size_t kPlaceWidth = 21;   // of Place; Country fills what is left
constexpr std::size_t kLastColumn = 100;

// Any byte of code 10 or less ends a line; CR belongs to the line. Compared unsigned, so the
// Windows-1250 letters above 127 never end one.
inline bool EndsLine(char c) {
    return static_cast<unsigned char>(c) <= 10;
}

inline std::size_t FindLineEnd(const char* text, std::size_t from, std::size_t length) {
    while (from < length && !EndsLine(text[from]))
        ++from;
    return from;
}

// The value held within low and high.
constexpr std::int32_t Clamp(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value < low ? low : (value > high ? high : value);
}

}  // namespace tervalo
