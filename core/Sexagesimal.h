// Sexagesimal rules, in one place: sums of units, minutes and seconds, the splits that the
// writers of each format use, truncation and the readers' bounds. The formats differ on purpose
// (AAF and QCK round to the half second before truncating, HOR and SZK truncate), so each rule
// has a name that says which it is.
#pragma once

#include <cstdint>

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

// units + minutes / 60 + seconds / 3600, summed in that order in extended precision.
double SexagesimalSum(std::int32_t units, std::int32_t minutes, std::int32_t seconds);

// The same sum of values that a chart file may hold as any number (floats, or integers beyond
// 32 bits), with the sign apart: a zero stays +0, so that no writer shows "-0".
double SignedSexagesimalSum(long double units, long double minutes, long double seconds,
                            bool negative);

// A read value above `limit` is replaced by `replacement`: an hour of 25 becomes 23, a zone of
// 15 hours 14. Readers bound the fields of a chart so, rather than rejecting it.
constexpr std::int32_t ReplaceAbove(std::int32_t value, std::int32_t limit,
                                    std::int32_t replacement) {
    return value > limit ? replacement : value;
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
long double BoundForWriting(double value);

// AAF: units, minutes and seconds of a value, rounded to the half second; 60 minutes carry
// into the units (12:59:59.6 becomes 13:00:00).
struct RoundedUnits {
    std::int64_t Units = 0;
    std::int64_t Minutes = 0;
    std::int64_t Seconds = 0;
};
RoundedUnits SplitRounded(long double value);

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
