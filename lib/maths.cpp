#include "lib/maths.h"

#include <climits>

namespace ruk {

// Any exponent past ±2,200 already takes every finite double to infinity or zero, so
// clamping to the int range changes nothing but the wrap-around.
double scale_by_power_of_two(double x, int64_t exponent) noexcept {
    int e = exponent > INT_MAX   ? INT_MAX
            : exponent < INT_MIN ? INT_MIN
                                 : static_cast<int>(exponent);
    return std::ldexp(x, e);
}

}  // namespace ruk
