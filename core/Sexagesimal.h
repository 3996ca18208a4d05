// Sexagesimal rules, in one place: sums of units, minutes and seconds, the splits that the
// writers of each format use, truncation and the readers' bounds. The formats differ on purpose
// (AAF and QCK round to the half second before truncating, HOR and SZK truncate), so each rule
// has a name that says which it is.
#pragma once

#include <cstdint>

#include "core/ChartRecord.h"

namespace tervalo {

// The factors as double values: sums run in extended precision with them, as the reference
// readers do on x87, so that every reader of this program gives the same bits for one moment.
constexpr double kMinuteFactor = 1.0 / 60;
constexpr double kSecondFactor = 1.0 / 3600;
// Half a second of an hour, or an arc second of a degree.
constexpr double kHalfSecond = 1.0 / 7200;

// Zones reach 14 hours (Kiribati; New Zealand in summer is 13); readers hold larger ones at 14.
constexpr std::int32_t kMaxZoneHours = 14;
// Minutes and seconds above 59 are read as 59.
constexpr std::int32_t kMaxSixtieths = 59;

// The same sum of values that a chart file may hold as any number (floats, or integers beyond
// 32 bits), with the sign apart: a zero stays +0, so that no writer shows "-0". The sums are
// inline: the readers do four of them per chart.
inline double SignedSexagesimalSum(long double units, long double minutes, long double seconds,
                                   bool negative) {
    long double sum = units;
    sum += minutes * static_cast<long double>(kMinuteFactor);
    sum += seconds * static_cast<long double>(kSecondFactor);
    return static_cast<double>(negative && sum != 0 ? -sum : sum);
}

// units + minutes / 60 + seconds / 3600, summed in that order in extended precision.
inline double SexagesimalSum(std::int32_t units, std::int32_t minutes, std::int32_t seconds) {
    return SignedSexagesimalSum(units, minutes, seconds, false);
}

// A read value above `limit` is replaced by `replacement`: an hour of 25 becomes 23, a zone of
// 15 hours 14. Readers bound the fields of a chart so, rather than rejecting it.
constexpr std::int32_t ReplaceAbove(std::int32_t value, std::int32_t limit,
                                    std::int32_t replacement) {
    return value > limit ? replacement : value;
}

// The same, and the chart's record says what was read and what was kept.
inline std::int32_t ReplaceAbove(std::int32_t value, std::int32_t limit, std::int32_t replacement,
                                 ChartField field, ReadCorrections& corrections) {
    if (value <= limit) return value;
    corrections.Add(field, value, replacement);
    return replacement;
}

// Truncates toward zero a long double whose magnitude is below 2^62. The direct x87
// conversion reloads the FPU control word on every call, which dominated whole conversions;
// going through double (rounded to nearest) and stepping back when that crossed an integer
// gives the same result.
inline std::int64_t TruncateTowardZero(long double value) {
    auto whole = static_cast<std::int64_t>(static_cast<double>(value));
    if (value >= 0) {
        if (static_cast<long double>(whole) > value) --whole;
    } else if (static_cast<long double>(whole) < value) {
        ++whole;
    }
    return whole;
}

// Values from other sources may lie far outside every field's meaning, or be NaN (as 0): held
// within a billion, they split without overflow.
inline long double BoundForWriting(double value) {
    constexpr long double kLargestWritten = 1e9;
    if (value != value) return 0.0L;  // NaN
    const long double wide = value;
    return wide < -kLargestWritten ? -kLargestWritten
                                   : (wide > kLargestWritten ? kLargestWritten : wide);
}

// AAF: units, minutes and seconds of a value, rounded to the half second; 60 minutes carry
// into the units (12:59:59.6 becomes 13:00:00). Angles and zones are written to the minute, so
// their split leaves the seconds at 0; the writers split three values per chart, inline.
struct RoundedUnits {
    std::int64_t Units = 0;
    std::int64_t Minutes = 0;
    std::int64_t Seconds = 0;
};
inline RoundedUnits SplitRoundedToMinutes(long double value, long double* fraction = nullptr) {
    RoundedUnits split;
    split.Units = TruncateTowardZero(value);
    const long double minutes =
        (value - static_cast<long double>(split.Units) + static_cast<long double>(kHalfSecond)) *
        60;
    split.Minutes = TruncateTowardZero(minutes);
    if (fraction != nullptr) *fraction = minutes;
    if (split.Minutes >= 60) {
        ++split.Units;
        split.Minutes = 0;
    }
    return split;
}
inline RoundedUnits SplitRounded(long double value) {
    long double minutes = 0;
    RoundedUnits split = SplitRoundedToMinutes(value, &minutes);
    if (minutes < 60)  // no carry: the seconds of the minute
        split.Seconds =
            TruncateTowardZero((minutes - static_cast<long double>(split.Minutes)) * 60);
    return split;
}

// QCK: whole units, minutes and seconds of a value for columns that hold at most `maxWhole`
// units, rounded to the half second. Zero, negative and NaN values give 0; values the columns
// can't hold give maxWhole:59:59.
struct RoundedSplit {
    std::int32_t Whole = 0;
    std::int32_t Minutes = 0;
    std::int32_t Seconds = 0;
    bool Carried = false;  // the minutes reached 60 and went into the whole part
};
RoundedSplit SplitRoundedWithin(double value, std::int32_t maxWhole);

// HOR and SZK: units, minutes and seconds of the magnitude, truncated to the second, the sign
// kept apart. NaN counts as 0 and huge values are held at a bound.
struct TruncatedSplit {
    std::int64_t Units = 0;
    std::int64_t Minutes = 0;
    std::int64_t Seconds = 0;
    bool Negative = false;
};
TruncatedSplit SplitTruncated(double value);

}  // namespace tervalo
