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
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/bits.h"
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

// The bit string of an integer or binary float: the list's elements, then at a number
// leaf tail that leaf's elements and end marker, at "K" the end marker. A broken list
// gives the empty string.
[[nodiscard]] BitString bits_from_value(Cell* v);
// The bit list J e0 (J e1 (... K)) of a bit string.
[[nodiscard]] CellRef list_from_bits(std::string_view bits);
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

// The binary float of a double as a number leaf: "00" for -0.0, the infinities and every
// NaN; "000" for +0.0; otherwise the compact form of binary_float_bits(d).
[[nodiscard]] CellRef binary_float_from_double(double d);
// The double of a binary float (number leaf or list, kind BinaryFloat): "00" is the NaN
// 0x7FF9000000000000; no magnitude digit ("000", "0000") gives a zero with the sign
// element's sign; an exponent of 1024 or more or below -1074 gives that NaN; otherwise
// the digits truncated (never rounded) to a double.
[[nodiscard]] double double_from_binary_float(Cell* v);
// double_from_binary_float as a float leaf.
[[nodiscard]] CellRef real_from_binary_float(Cell* v);

}  // namespace ruk
