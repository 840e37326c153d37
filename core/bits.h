// Natural numbers between decimal text and binary, bit strings and the binary float
// payload: the machinery behind the number conversions of core/number.h, on bytes and
// limbs only (no cells), so that the arithmetic can use it too.
// Decimal digits are read 19 at a time and binary numbers held in 64-bit limbs, so
// conversions are quadratic in the length with a small constant.
#pragma once

#include <cstddef>
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

// ---- bit strings ------------------------------------------------------------------

// A list of elements K (one) and H (zero) travels inside the builtins as a bit string:
// bytes in which element i is bit i mod 8 of byte i / 8, followed by a single 1 bit, the
// end marker; the last byte is never zero and the string is never empty.
using BitString = std::string;

// The bit string of a number leaf's text: z leading zeros, then digits N, give
// V = N 2^(z+1) + 2^z - 1. Asserts on a non-digit; an empty text is the fatal "strnbits".
[[nodiscard]] BitString bits_from_decimal(std::string_view text);
// The number leaf text of a bit string, the inverse of bits_from_decimal: as many "0"
// as there are low 1 bits (the end marker counted), then the decimal digits of what lies
// above the lowest 0 bit, none when that is zero (V = 1 gives "0", V = 3 gives "00").
[[nodiscard]] std::string decimal_from_bits(std::string_view bits);
// The number of elements in a bit string: the position of its end marker.
[[nodiscard]] size_t bit_length(std::string_view bits);
// Element i of a bit string (i below its bit length; asserted).
[[nodiscard]] bool bit_at(std::string_view bits, size_t i);

// ---- binary floats ----------------------------------------------------------------

// Index in a bit string of the digit of weight 2^w: after the two K elements, payload
// index 2w + 1 for w >= 0 and -2w for w < 0. The sign element is at index 2.
[[nodiscard]] constexpr size_t binary_float_index(int64_t w) {
    return 2 + (w >= 0 ? 2 * size_t(w) + 1 : 2 * size_t(-w));
}
// True when the bit string of a binary float has a magnitude digit set.
[[nodiscard]] bool has_magnitude_digit(std::string_view bits);
// The weight k of the highest set magnitude digit (2^k) of a binary float's bit string.
// Without any magnitude digit it is the fatal "rakerank": check has_magnitude_digit.
[[nodiscard]] int64_t binary_float_exponent(std::string_view bits);
// The bit string of the binary float of a finite non-zero double: K K, the sign element,
// and every binary digit of d (the implicit leading 1 included) at its interleaved index.
[[nodiscard]] BitString binary_float_bits(double d);
// double_from_binary_float on the bit string of a binary float.
[[nodiscard]] double double_from_binary_float_bits(std::string_view bits);
// The bit pattern of the binary float NaN.
inline constexpr uint64_t kBinaryFloatNaN = 0x7FF9000000000000ULL;

}  // namespace ruk
