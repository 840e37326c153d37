#include "lib/chars.h"

namespace ruk {

// The magnitude is taken unsigned, so that the most negative value has one; it does not
// fit the signed type and wraps back to itself.
int64_t absolute_value(int64_t v) noexcept {
    uint64_t m = v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v);
    return static_cast<int64_t>(m);
}

int32_t absolute_value32(int32_t v) noexcept {
    uint32_t m = v < 0 ? uint32_t(0) - uint32_t(v) : uint32_t(v);
    return static_cast<int32_t>(m);
}

int64_t low_seven_bits(int64_t v) noexcept { return v & 0x7f; }

bool below_128(uint32_t v) noexcept { return v < 128; }

}  // namespace ruk
