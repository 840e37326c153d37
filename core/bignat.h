// Natural numbers in limbs of eight decimal digits: the engine under core/bigint.h.
// A limb holds the value of eight digits of the decimal text (base 10^8), so text is
// read and written limb by limb without any change of radix. Limb vectors are least
// significant first; a trimmed vector has no high zero limbs and zero is the empty one.
//
// bigtext.cpp  text to limbs and back, and text times one limb without limbs at all
// bigmul.cpp   sums, differences and products (schoolbook, Karatsuba)
// bigntt.cpp   products of long numbers by number-theoretic transforms
// bigdiv.cpp   quotients and remainders (long division, Newton reciprocals)
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ruk::bignat {

using Limb = uint32_t;
using Nat = std::vector<Limb>;
using View = std::span<const Limb>;

inline constexpr Limb kBase = 100000000;
inline constexpr size_t kLimbDigits = 8;

// Routines for the 256-bit vector instructions; they run only where vector_kernels() says.
#define RUK_AVX2 __attribute__((target("avx2")))

// ---- text (bigtext.cpp) ----

// The limbs of a text of decimal digits (asserted); leading zeros are allowed.
[[nodiscard]] Nat parse(std::string_view digits);
// The decimal text of v followed by `zeros` zeros: no leading zeros, "0" for zero.
[[nodiscard]] std::string print(View v, size_t zeros = 0);
// Writes v as exactly `width` digits, zero-padded on the left; v must fit.
void print_padded(View v, char* out, size_t width);
// The product of the magnitude text a (canonical, not "0") and one limb m (1 <= m <
// 10^8), followed by `zeros` zeros, as canonical text, in one pass over the text.
[[nodiscard]] std::string multiply_text_by_limb(std::string_view a, Limb m, size_t zeros = 0);
// Whether the 256-bit vector routines run: the processor has them and tests have not
// turned them off with use_portable_kernels(true).
[[nodiscard]] bool vector_kernels();
void use_portable_kernels(bool on);

// ---- limb arithmetic (bigmul.cpp) ----

[[nodiscard]] inline View trimmed(View v) {
    size_t n = v.size();
    while (n != 0 && v[n - 1] == 0) --n;
    return v.first(n);
}
inline void trim(Nat& v) {
    while (!v.empty() && v.back() == 0) v.pop_back();
}
// Trimmed operands: -1, 0 or 1.
[[nodiscard]] int compare(View a, View b);
[[nodiscard]] Nat add(View a, View b);
// a - b for a >= b.
[[nodiscard]] Nat subtract(View a, View b);
// r[0..n) += b (b no longer than r); the carry out of the top limb.
[[nodiscard]] Limb add_into(Limb* r, size_t n, View b);
// r[0..n) -= b (b no longer than r); the borrow out of the top limb.
[[nodiscard]] Limb subtract_from(Limb* r, size_t n, View b);
// r[0..n) = r * m + carry, for m < 10^8; the carry out.
[[nodiscard]] Limb multiply_by_limb(Limb* r, size_t n, Limb m, Limb carry = 0);
// out[0..a.size() + b.size()) = a * b; out must not overlap the operands.
void multiply_into(View a, View b, Limb* out);
[[nodiscard]] Nat multiply(View a, View b);

// ---- transforms (bigntt.cpp) ----

// The longest product the transforms take, in limbs.
[[nodiscard]] size_t ntt_max_product();
// Tests: lowers that length (0 restores it), to reach what lies beyond with short numbers.
void limit_transforms(size_t max_product);
// out[0..a.size() + b.size()) = a * b by transforms; a.size() + b.size() - 1 must not
// exceed ntt_max_product(). Squares when a and b are the same span.
void ntt_multiply(View a, View b, Limb* out);

// ---- division (bigdiv.cpp) ----

// Truncating division of a by d != 0; either output may be null. Outputs are trimmed.
void divide(View a, View d, Nat* quotient, Nat* remainder);

}  // namespace ruk::bignat
