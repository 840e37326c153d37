// Natural numbers between decimal text and binary: the machinery behind the bit-string
// conversions of core/number.h, kept apart so that the arithmetic can use it too.
// Decimal digits are read 19 at a time and binary numbers held in 64-bit limbs, so
// conversions are quadratic in the length with a small constant.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ruk {

// A natural number as little-endian 64-bit limbs; zero is the empty vector.
using Limbs = std::vector<uint64_t>;

// The number written by `digits` (decimal digits only, asserted; leading zeros allowed).
[[nodiscard]] Limbs limbs_from_digits(std::string_view digits);
// Appends the decimal digits of v to out: nothing for zero, else no leading zeros.
void append_digits(std::string& out, Limbs v);
// The number written by `digits` modulo 2^64 (decimal digits only, asserted).
[[nodiscard]] uint64_t low64_of_digits(std::string_view digits);
// The decimal digits of floor(N / 2^k) for the N written by `digits` (no leading zeros),
// k at most 59: empty when the quotient is zero. Linear in the length.
[[nodiscard]] std::string halve_digits(std::string_view digits, unsigned k);
// The number V >> shift for the bit string bytes `bits` (any bytes, least significant
// first), as limbs without high zero limbs.
[[nodiscard]] Limbs limbs_from_bytes(std::string_view bits, size_t shift);

}  // namespace ruk
