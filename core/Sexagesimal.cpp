// Sexagesimal sums and splits shared by every reader and writer.
#include "core/Sexagesimal.h"

#include <algorithm>
#include <cmath>

namespace tervalo {

namespace {

constexpr double kLargestSplit = 1e9;  // as BoundForWriting holds values
// A value stored for a whole number of seconds may lie just below it in binary (10.1 hours for
// 10:06); this much of a second lifts it back before truncating.
constexpr double kSecondGuard = 1e-6;

}  // namespace

RoundedSplit SplitRoundedWithin(double value, std::int32_t maxWhole) {
    const RoundedSplit full{maxWhole, 59, 59, false};
    if (!(value > 0)) return {};  // also NaN
    if (value >= static_cast<double>(maxWhole) + 1) return full;
    // The whole part is taken before the half second is added; the value is below
    // maxWhole + 1 here, so the conversion is exact.
    RoundedSplit split;
    split.Whole = static_cast<std::int32_t>(value);
    const long double fraction = (static_cast<long double>(value) - split.Whole + kHalfSecond) * 60;
    split.Minutes = static_cast<std::int32_t>(TruncateTowardZero(fraction));
    split.Seconds = static_cast<std::int32_t>(TruncateTowardZero((fraction - split.Minutes) * 60));
    // Within half a second of the next whole unit the minutes come out as 60; a reader takes
    // no more than 59, so the unit carries.
    if (split.Minutes >= 60) {
        split.Minutes = 0;
        split.Seconds = 0;
        ++split.Whole;
        split.Carried = true;
        if (split.Whole > maxWhole) return full;
    }
    return split;
}

TruncatedSplit SplitTruncated(double value) {
    TruncatedSplit split;
    if (std::isnan(value)) return split;
    split.Negative = value < 0;
    const double magnitude = std::fmin(std::fabs(value), kLargestSplit);
    const auto totalSeconds = static_cast<std::int64_t>(magnitude * 3600 + kSecondGuard);
    split.Units = totalSeconds / 3600;
    split.Minutes = totalSeconds / 60 % 60;
    split.Seconds = totalSeconds % 60;
    return split;
}

}  // namespace tervalo
