#include "core/binfloat.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "core/number.h"

namespace ruk {

namespace {

using Limbs = std::vector<uint64_t>;

// A binary float read from its bit string.
struct Payload {
    bool nan = false;       // the leaf "00"
    bool negative = false;  // sign element H
    BitString bits;
    size_t length = 0;  // elements, the end marker not counted
};

Payload read_payload(Cell* v) {
    Payload p;
    p.bits = bits_from_value(v);
    RUK_ASSERT(!p.bits.empty());
    p.length = bit_length(p.bits);
    if (p.length < 2) {
        p.nan = true;  // "00": a single K element
        return p;
    }
    RUK_ASSERT((p.bits[0] & 3) == 3);  // K K
    p.negative = p.length > 2 && !bit_at(p.bits, 2);
    return p;
}

// The weight of the digit at element i >= 3: 2^k at 2k + 3, 2^-k at 2k + 2.
int64_t weight_of(size_t i) { return (i & 1) ? int64_t((i - 3) / 2) : -int64_t((i - 2) / 2); }

// The digits of p as a natural number scaled by 2^scale: the digit of weight 2^w becomes
// bit w + scale. Every weight of an n-element payload lies within (-n/2, n/2).
Limbs scaled_digits(const Payload& p, size_t scale, size_t limbs) {
    Limbs v(limbs, 0);
    for (size_t k = 0; k < p.bits.size(); ++k) {
        for (unsigned byte = static_cast<unsigned char>(p.bits[k]); byte != 0; byte &= byte - 1) {
            size_t i = k * 8 + size_t(std::countr_zero(byte));
            if (i < 3 || i >= p.length) continue;  // K K, the sign, the end marker
            size_t pos = size_t(weight_of(i) + int64_t(scale));
            v[pos / 64] |= uint64_t(1) << (pos % 64);
        }
    }
    return v;
}

int compare_limbs(const Limbs& a, const Limbs& b) {
    for (size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

bool is_zero_limbs(const Limbs& a) {
    return std::all_of(a.begin(), a.end(), [](uint64_t x) { return x == 0; });
}

// a += b, the same length; the caller leaves a spare top bit for the carry.
void add_limbs(Limbs& a, const Limbs& b) {
    uint64_t carry = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        uint64_t s;
        uint64_t c1 = __builtin_add_overflow(a[i], b[i], &s);
        uint64_t c2 = __builtin_add_overflow(s, carry, &a[i]);
        carry = c1 | c2;
    }
    RUK_ASSERT(carry == 0);
}

// a -= b, a >= b.
void subtract_limbs(Limbs& a, const Limbs& b) {
    uint64_t borrow = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        uint64_t d;
        uint64_t b1 = __builtin_sub_overflow(a[i], b[i], &d);
        uint64_t b2 = __builtin_sub_overflow(d, borrow, &a[i]);
        borrow = b1 | b2;
    }
    RUK_ASSERT(borrow == 0);
}

// The compact number leaf of the binary float with this sign and the digits of v scaled
// by 2^scale: K K, the sign element, each digit at its interleaved element, and the end
// marker just above the highest element set.
CellRef binary_float_leaf(bool negative, const Limbs& v, size_t scale) {
    size_t low = SIZE_MAX, high = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == 0) continue;
        if (low == SIZE_MAX) low = i * 64 + size_t(std::countr_zero(v[i]));
        high = i * 64 + 63 - size_t(std::countl_zero(v[i]));
    }
    if (low == SIZE_MAX) return from_text("000");
    auto index = [scale](size_t pos) { return binary_float_index(int64_t(pos) - int64_t(scale)); };
    // The element index grows with the distance from weight 1/2 on either side, so the
    // highest and the lowest digit hold the candidates for the last element.
    size_t last = std::max({size_t(2), index(high), index(low)});
    BitString bits((last + 2 + 7) / 8, '\0');
    auto set = [&bits](size_t i) {
        bits[i / 8] = char(static_cast<unsigned char>(bits[i / 8]) | (1u << (i % 8)));
    };
    set(0);
    set(1);
    if (!negative) set(2);
    for (size_t i = 0; i < v.size(); ++i)
        for (uint64_t x = v[i]; x != 0; x &= x - 1)
            set(index(i * 64 + size_t(std::countr_zero(x))));
    set(last + 1);
    return from_string(decimal_from_bits(bits));
}

// Both payloads at one scale, with a spare bit above the largest for a carry.
struct Aligned {
    Limbs a, b;
    size_t scale;
};

Aligned align(const Payload& pa, const Payload& pb) {
    size_t n = std::max(pa.length, pb.length);
    size_t scale = n / 2;
    size_t limbs = (2 * scale + 2) / 64 + 1;
    return {scaled_digits(pa, scale, limbs), scaled_digits(pb, scale, limbs), scale};
}

}  // namespace

CellRef binary_float_sum(Cell* a, Cell* b, bool subtract) {
    Payload pa = read_payload(a), pb = read_payload(b);
    if (pa.nan || pb.nan) return from_text("00");
    if (subtract) pb.negative = !pb.negative;
    Aligned x = align(pa, pb);
    if (pa.negative == pb.negative) {
        add_limbs(x.a, x.b);
        return binary_float_leaf(pa.negative, x.a, x.scale);
    }
    // Different signs: the larger magnitude less the smaller, with the larger one's sign.
    int c = compare_limbs(x.a, x.b);
    if (c == 0) return from_text("000");
    if (c > 0) {
        subtract_limbs(x.a, x.b);
        return binary_float_leaf(pa.negative, x.a, x.scale);
    }
    subtract_limbs(x.b, x.a);
    return binary_float_leaf(pb.negative, x.b, x.scale);
}

int binary_float_order(Cell* a, Cell* b) {
    Payload pa = read_payload(a), pb = read_payload(b);
    if (pa.nan || pb.nan) return pa.nan == pb.nan ? 0 : (pa.nan ? -1 : 1);
    Aligned x = align(pa, pb);
    // The sign of each value: -1, 0 or 1; zeros of either sign element are 0.
    int sa = is_zero_limbs(x.a) ? 0 : (pa.negative ? -1 : 1);
    int sb = is_zero_limbs(x.b) ? 0 : (pb.negative ? -1 : 1);
    if (sa != sb) return sa < sb ? -1 : 1;
    int c = compare_limbs(x.a, x.b);
    return sa < 0 ? -c : c;
}

}  // namespace ruk
