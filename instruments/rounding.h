#pragma once

#include "instruments/config.h"

#include <cmath>

namespace zb {

// x rounded to the nearest integer, halves to even, whatever the floating-point rounding mode.
inline Real roundHalfEven(Real x) {
    const Real down = std::floor(x);
    const Real rest = x - down;
    if (rest > 0.5L)
        return down + 1;
    if (rest < 0.5L)
        return down;
    return std::fmod(down, 2.0L) == 0 ? down : down + 1;
}

} // namespace zb
