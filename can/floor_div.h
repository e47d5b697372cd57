// Division that rounds toward minus infinity, for times before an epoch: the step, bucket or
// second a nanosecond count falls into, whichever side of zero it is.
//
//   a      b      FloorDiv(a, b)    (a / b in C++)
//   7      2      3                 3
//   -7     2      -4                -3
//   -8     2      -4                -4
//   -1     1000   -1                0
//   0      1000   0                 0
#pragma once

#include <cstdint>

namespace can {

constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

}  // namespace can
