// Character classes and the small integer functions beside them: abs, labs, toascii,
// isascii, the <ctype.h> tests, tolower and toupper.
#pragma once

#include <ctype.h>

#include <cstdint>
#include <cstdio>

#include "lib/marshal.h"

namespace ruk {

// abs: the absolute value in 64 bits; the most negative value is its own absolute value.
[[nodiscard]] int64_t absolute_value(int64_t v) noexcept;
// labs: the same in 32 bits, on the low 32 bits of the argument.
[[nodiscard]] int32_t absolute_value32(int32_t v) noexcept;
// toascii: the low 7 bits.
[[nodiscard]] int64_t low_seven_bits(int64_t v) noexcept;
// isascii: the low 32 bits, unsigned, below 128; no C call.
[[nodiscard]] bool below_128(uint32_t v) noexcept;

// <ctype.h> defines its functions for EOF and 0..255 only. Any other int is no character:
// the tests say false and the mappings give it back unchanged.
[[nodiscard]] constexpr bool in_ctype_domain(int c) { return c == EOF || (c >= 0 && c <= 255); }
template <int (*Test)(int)>
[[nodiscard]] int guarded_test(int c) noexcept {
    return in_ctype_domain(c) ? Test(c) : 0;
}
template <int (*Map)(int)>
[[nodiscard]] int guarded_map(int c) noexcept {
    return in_ctype_domain(c) ? Map(c) : c;
}

inline constexpr BuiltinRow kCharBuiltins[] = {
    binding<Int(Int), &absolute_value>("abs"),
    binding<Bool(Int), &guarded_test<&::isalnum>>("isalnum"),
    binding<Bool(Int), &guarded_test<&::isalpha>>("isalpha"),
    binding<Bool(Int), &below_128>("isascii"),
    binding<Bool(Int), &guarded_test<&::isblank>>("isblank"),
    binding<Bool(Int), &guarded_test<&::isdigit>>("isdigit"),
    binding<Bool(Int), &guarded_test<&::isgraph>>("isgraph"),
    binding<Bool(Int), &guarded_test<&::islower>>("islower"),
    binding<Bool(Int), &guarded_test<&::isprint>>("isprint"),
    binding<Bool(Int), &guarded_test<&::ispunct>>("ispunct"),
    binding<Bool(Int), &guarded_test<&::isspace>>("isspace"),
    binding<Bool(Int), &guarded_test<&::isupper>>("isupper"),
    binding<Int(Int), &absolute_value32>("labs"),
    binding<Int(Int), &low_seven_bits>("toascii"),
    binding<Int(Int), &guarded_map<&::tolower>>("tolower"),
    binding<Int(Int), &guarded_map<&::toupper>>("toupper"),
};

}  // namespace ruk
