// Sums, differences and products of limb vectors. Products pick their method by size:
// one limb is a single pass; short operands go schoolbook, summing 64-bit columns (a
// product of two limbs is below 10^16, so columns take well over a thousand of them
// before a carry is due); middle sizes split by Karatsuba; long ones go to the
// transforms of bigntt.cpp, and operands of very different lengths are cut into pieces.
#include <algorithm>
#include <cstring>

#include "core/assert.h"
#include "core/bignat.h"

namespace ruk::bignat {

namespace {

// Below this many limbs in the shorter operand, schoolbook.
constexpr size_t kKaratsubaMin = 96;
// From this many limbs in the shorter operand, transforms.
constexpr size_t kTransformMin = 128;
// Schoolbook takes the longer operand this many limbs at a time.
constexpr size_t kChunk = 256;

static_assert(kKaratsubaMin * (uint64_t(kBase) * kBase) < UINT64_MAX / 2, "columns fit");

// out[0..na + nb) = a * b for nb < kKaratsubaMin. Column sums of one chunk of a stay in
// 64-bit words; the top nb limbs of each chunk carry over into the next.
void schoolbook(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
    uint64_t acc[kChunk + kKaratsubaMin] = {};
    for (size_t s = 0; s < na; s += kChunk) {
        size_t c = std::min(kChunk, na - s);
        for (size_t j = 0; j < nb; ++j) {
            uint64_t bj = b[j];
            uint64_t* row = acc + j;
            const Limb* as = a + s;
            for (size_t i = 0; i < c; ++i) row[i] += as[i] * bj;
        }
        uint64_t carry = 0;
        for (size_t i = 0; i < c + nb; ++i) {
            uint64_t t = acc[i] + carry;
            carry = t / kBase;
            acc[i] = t % kBase;
        }
        RUK_ASSERT(carry == 0);
        for (size_t i = 0; i < c; ++i) out[s + i] = Limb(acc[i]);
        std::memmove(acc, acc + c, nb * sizeof(uint64_t));
        std::fill(acc + nb, acc + c + nb, 0);
    }
    for (size_t j = 0; j < nb; ++j) out[na + j] = Limb(acc[j]);
}

void multiply_rec(View a, View b, Limb* out);

// Products of operands of very different lengths: a in pieces as long as b.
void multiply_pieces(View a, View b, Limb* out) {
    size_t na = a.size(), nb = b.size();
    std::fill(out, out + na + nb, 0);
    Nat part(2 * nb);
    for (size_t s = 0; s < na; s += nb) {
        View piece = a.subspan(s, std::min(nb, na - s));
        multiply_rec(piece, b, part.data());
        Limb carry = add_into(out + s, na + nb - s, trimmed(View(part).first(piece.size() + nb)));
        RUK_ASSERT(carry == 0);
    }
}

// Karatsuba for nb <= na < 2 nb, split at k = ceil(na / 2) < nb:
// a b = z2 B^2k + ((a0 + a1)(b0 + b1) - z0 - z2) B^k + z0.
void karatsuba(View a, View b, Limb* out) {
    bool square = a.data() == b.data() && a.size() == b.size();
    size_t na = a.size(), nb = b.size(), k = (na + 1) / 2;
    View a0 = a.first(k), a1 = a.subspan(k), b0 = b.first(k), b1 = b.subspan(k);
    multiply_rec(a0, b0, out);
    multiply_rec(a1, b1, out + 2 * k);
    Nat sa = add(trimmed(a0), trimmed(a1));
    Nat sb = square ? Nat() : add(trimmed(b0), trimmed(b1));
    View vb = square ? View(sa) : View(sb);
    Nat mid(sa.size() + vb.size());
    if (!sa.empty() && !vb.empty()) multiply_rec(sa, vb, mid.data());
    Limb borrow = subtract_from(mid.data(), mid.size(), trimmed(View(out, 2 * k)));
    borrow |= subtract_from(mid.data(), mid.size(), trimmed(View(out + 2 * k, na + nb - 2 * k)));
    RUK_ASSERT(borrow == 0);
    Limb carry = add_into(out + k, na + nb - k, trimmed(View(mid)));
    RUK_ASSERT(carry == 0);
}

void multiply_rec(View a, View b, Limb* out) {
    if (a.size() < b.size()) std::swap(a, b);
    size_t na = a.size(), nb = b.size();
    if (nb == 0) {
        std::fill(out, out + na, 0);
        return;
    }
    if (nb == 1) {
        std::copy(a.begin(), a.end(), out);
        out[na] = multiply_by_limb(out, na, b[0]);
        return;
    }
    if (nb < kKaratsubaMin) return schoolbook(a.data(), na, b.data(), nb, out);
    if (nb >= kTransformMin && na + nb - 1 <= ntt_max_product()) return ntt_multiply(a, b, out);
    if (na >= 2 * nb - 1) return multiply_pieces(a, b, out);
    karatsuba(a, b, out);
}

}  // namespace

int compare(View a, View b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

Limb add_into(Limb* r, size_t n, View b) {
    RUK_ASSERT(b.size() <= n);
    Limb carry = 0;
    size_t i = 0;
    for (; i < b.size(); ++i) {
        Limb s = r[i] + b[i] + carry;
        carry = s >= kBase;
        r[i] = carry ? s - kBase : s;
    }
    for (; carry && i < n; ++i) {
        carry = r[i] == kBase - 1;
        r[i] = carry ? 0 : r[i] + 1;
    }
    return carry;
}

Limb subtract_from(Limb* r, size_t n, View b) {
    RUK_ASSERT(b.size() <= n);
    Limb borrow = 0;
    size_t i = 0;
    for (; i < b.size(); ++i) {
        Limb d = b[i] + borrow;
        borrow = r[i] < d;
        r[i] = borrow ? r[i] + kBase - d : r[i] - d;
    }
    for (; borrow && i < n; ++i) {
        borrow = r[i] == 0;
        r[i] = borrow ? kBase - 1 : r[i] - 1;
    }
    return borrow;
}

Nat add(View a, View b) {
    if (a.size() < b.size()) std::swap(a, b);
    Nat out(a.size() + 1);
    std::copy(a.begin(), a.end(), out.begin());
    Limb carry = add_into(out.data(), a.size(), b);
    out[a.size()] = carry;
    trim(out);
    return out;
}

Nat subtract(View a, View b) {
    Nat out(a.begin(), a.end());
    Limb borrow = subtract_from(out.data(), out.size(), b);
    RUK_ASSERT(borrow == 0);
    trim(out);
    return out;
}

Limb multiply_by_limb(Limb* r, size_t n, Limb m, Limb carry) {
    uint64_t c = carry;
    for (size_t i = 0; i < n; ++i) {
        uint64_t p = uint64_t(r[i]) * m + c;
        c = p / kBase;
        r[i] = Limb(p % kBase);
    }
    return Limb(c);
}

void multiply_into(View a, View b, Limb* out) { multiply_rec(a, b, out); }

Nat multiply(View a, View b) {
    a = trimmed(a);
    b = trimmed(b);
    if (a.empty() || b.empty()) return {};
    Nat out(a.size() + b.size());
    multiply_rec(a, b, out.data());
    trim(out);
    return out;
}

}  // namespace ruk::bignat
