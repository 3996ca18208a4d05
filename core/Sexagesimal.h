// Arithmetic in x87 extended precision, where the formats' minutes and seconds are worked out.
#pragma once

#include <cstdint>

namespace tervalo {

// Truncates toward zero a long double whose magnitude is below 2^62. The direct x87
// conversion reloads the FPU control word on every call, which dominated whole conversions;
// going through double (rounded to nearest) and stepping back when that crossed an integer
// gives the same result.
inline std::int64_t TruncateExtended(long double value) {
    auto whole = static_cast<std::int64_t>(static_cast<double>(value));
    if (value >= 0) {
        if (static_cast<long double>(whole) > value) --whole;
    } else if (static_cast<long double>(whole) < value) {
        ++whole;
    }
    return whole;
}

}  // namespace tervalo
