// Numbers and truth values as cells.
//
// Truth is the leaf "K", falsehood the leaf "H"; "Z" is the undefined result.
// Integers are number leaves in decimal, most significant digit first, with no sign
// character: a leading "0" is the minus sign ("042" is -42, "0" alone is zero), and a
// text beginning "00" is a binary float. Integers may also be bit lists built from
// J x y (a list cell), K (the empty list) and the elements K (one) and H (zero):
// a positive N is H then the binary digits of N below its top 1, least significant first;
// -N is K then the list of N; a list may end in a number leaf that stands for its own
// elements. Reading the elements e0..en-1 as V = e0 + 2 e1 + ... + 2^n (the last term
// marks the end), a number leaf of z zeros and then the digits of N has V = N 2^(z+1) +
// 2^z - 1. Reals are float leaves: a blank and the 8 bytes of a double, little-endian.
// A binary float is a value whose list begins K K; the rest, its payload, holds the
// sign element (K +, H -), then the digit of weight 2^k at payload index 2k + 1 and the
// digit of weight 2^-k at payload index 2k.
//
// Inside the builtins a list travels as a bit string: bytes in which element i is bit
// i mod 8 of byte i / 8, followed by a single 1 bit, the end marker; the last byte is
// never zero and the string is never empty.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/cell.h"

namespace ruk {

// ---- truth values -----------------------------------------------------------------

// The shared leaf "K" for true, "H" for false.
[[nodiscard]] CellRef boolean(bool value);
// The shared leaf "Z", the undefined result.
[[nodiscard]] CellRef undefined();
// True when c is the leaf whose whole text is the one character `letter`.
[[nodiscard]] bool is_letter(const Cell* c, char letter);

// ---- operand kinds ----------------------------------------------------------------

// The operand kinds; their letters order the kinds for the comparisons.
enum class Kind : char {
    Blob = 'a',         // a blob leaf "("
    Real = 'e',         // a float leaf " "
    Integer = 'i',      // a number leaf not beginning "00", "K", or a list of integer shape
    BinaryFloat = 'o',  // a number leaf beginning "00", or a list beginning K K
    Data = 'u',         // a data cell: texts and pairs of data cells
    Other = 'w',        // everything else
};

// The operand kind of v. Number leaves must be all digits, and a bit list must be well
// formed to its end (elements K or H, ending in "K" or a number leaf); anything else is
// Other, so no conversion below ever meets a broken number.
[[nodiscard]] Kind operand_kind(Cell* v);
// The letter of a kind: 'a', 'e', 'i', 'o', 'u' or 'w'.
[[nodiscard]] inline char kind_letter(Kind k) { return static_cast<char>(k); }
// True exactly when v is of kind Integer.
[[nodiscard]] inline bool is_integer(Cell* v) { return operand_kind(v) == Kind::Integer; }
// The data test: annotation byte 64, or unannotated and a text leaf "[" or a pair of
// data cells. Stands in for the translator's analysis until that marks data itself.
[[nodiscard]] bool is_data_cell(Cell* c);
// Shallow list check: the leaf "K", a leaf beginning with a digit, or a pair whose left
// child is J applied to H or K.
[[nodiscard]] bool is_bit_list(Cell* v);

// ---- sign and magnitude (integers) ------------------------------------------------

// False for a number leaf "0x..." with x a digit other than "0", and for a bit list
// whose first element is K; true otherwise ("0", "K", positive numbers, "00...").
[[nodiscard]] bool is_non_negative(Cell* v);
// |v|: a negative number leaf loses its first character, a list beginning K loses its
// first element; anything else comes back unchanged.
[[nodiscard]] CellRef magnitude(Cell* v);
// -v: "0" and "K" unchanged; a number leaf gains or loses a leading "0"; a list
// beginning K loses that element; a list beginning H gains K in front.
[[nodiscard]] CellRef negate(Cell* v);
// True for the leaves "0" and "K" only.
[[nodiscard]] bool is_zero(Cell* v);

// ---- machine integers -------------------------------------------------------------

// The canonical number leaf of x: "0", "7", "07", "09223372036854775808".
[[nodiscard]] CellRef integer_from_int64(int64_t x);
// The number leaf of an unsigned x, for C results such as `strtoul` that use all 64 bits.
[[nodiscard]] CellRef integer_from_uint64(uint64_t x);
// The text of "%lld" for x >= 0. A negative x gets the canonical form "0" + magnitude
// instead of a "-", which would make a name, not a number.
[[nodiscard]] CellRef integer_from_int64_printed(int64_t x);
// The integer v (number leaf or bit list) modulo 2^64, as a signed 64-bit number: the
// low 64 bits of the magnitude, negated in two's complement when v is negative.
// Asserts on a number leaf with a non-digit or a list of the wrong shape.
[[nodiscard]] int64_t int64_from_integer(Cell* v);

// ---- reals ------------------------------------------------------------------------

// The float leaf of d: a blank and the 8 bytes of d.
[[nodiscard]] CellRef real_from_double(double d);
// The double in a float leaf (first byte blank; asserted).
[[nodiscard]] double double_from_real(Cell* real);
// The integer v read by `strtod` from its decimal text, "-" in front when negative:
// correctly rounded, an infinity beyond the range of a double.
[[nodiscard]] double double_from_integer(Cell* v);
// double_from_integer as a float leaf.
[[nodiscard]] CellRef real_from_integer(Cell* v);

// ---- bit strings and compact form ---------------------------------------------------

// A bit string (see the top of this file).
using BitString = std::string;

// The bit string of an integer or binary float: the list's elements, then at a number
// leaf tail that leaf's elements and end marker, at "K" the end marker. A broken list
// gives the empty string.
[[nodiscard]] BitString bits_from_value(Cell* v);
// The bit string of a number leaf's text: z leading zeros, then digits N, give
// V = N 2^(z+1) + 2^z - 1. Asserts on a non-digit; an empty text is the fatal "strnbits".
[[nodiscard]] BitString bits_from_decimal(std::string_view text);
// The number leaf text of a bit string, the inverse of bits_from_decimal: as many "0"
// as there are low 1 bits (the end marker counted), then the decimal digits of what lies
// above the lowest 0 bit, none when that is zero (V = 1 gives "0", V = 3 gives "00").
[[nodiscard]] std::string decimal_from_bits(std::string_view bits);
// The bit list J e0 (J e1 (... K)) of a bit string.
[[nodiscard]] CellRef list_from_bits(std::string_view bits);
// The number of elements in a bit string: the position of its end marker.
[[nodiscard]] size_t bit_length(std::string_view bits);
// Element i of a bit string (i below its bit length; asserted).
[[nodiscard]] bool bit_at(std::string_view bits, size_t i);
// The number leaf of an integer or binary float: a number leaf is already compact and
// comes back itself; "K" gives "0"; a list gives the decimal text of its bit string.
[[nodiscard]] CellRef compact_form(Cell* v);

// ---- numbers applied as functions -------------------------------------------------

// The first element of a number leaf other than "0": "K" when it begins "0", else "H".
[[nodiscard]] CellRef first_element(Cell* number);
// The rest of a number leaf other than "0": the number leaf of its bit value halved
// (the rest of "5" is "01", of "05" is "5").
[[nodiscard]] CellRef rest_of_number(Cell* number);

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
// The binary float of a double as a number leaf: "00" for -0.0, the infinities and every
// NaN; "000" for +0.0; otherwise the compact form of binary_float_bits(d).
[[nodiscard]] CellRef binary_float_from_double(double d);
// The double of a binary float (number leaf or list, kind BinaryFloat): "00" is the NaN
// 0x7FF9000000000000; no magnitude digit ("000", "0000") gives a zero with the sign
// element's sign; an exponent of 1024 or more or below -1074 gives that NaN; otherwise
// the digits truncated (never rounded) to a double.
[[nodiscard]] double double_from_binary_float(Cell* v);
// double_from_binary_float on the bit string of a binary float.
[[nodiscard]] double double_from_binary_float_bits(std::string_view bits);
// double_from_binary_float as a float leaf.
[[nodiscard]] CellRef real_from_binary_float(Cell* v);
// The bit pattern of the binary float NaN.
inline constexpr uint64_t kBinaryFloatNaN = 0x7FF9000000000000ULL;

}  // namespace ruk
