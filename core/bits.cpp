// Bit strings: decimal text to binary and back, and the binary float payload; no cells.
// Small values take machine-word paths; long ones go through limbs.
#include "core/bits.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <span>
#include <string>

#include "core/assert.h"
#include "core/bignat.h"

namespace ruk {

static_assert(std::endian::native == std::endian::little, "limbs and bytes share an order");

namespace {

using u128 = unsigned __int128;

constexpr auto kPow10 = [] {
    std::array<uint64_t, 20> p{};
    p[0] = 1;
    for (size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
    return p;
}();
constexpr uint64_t kTen19 = kPow10[19];  // the largest power of ten in a limb
// floor((2^128 - 1) / 10^19) - 2^64, the reciprocal for dividing two limbs by 10^19.
constexpr uint64_t kTen19Inverse = uint64_t(~u128(0) / kTen19 - (u128(1) << 64));
static_assert(kTen19 >> 63 == 1, "the divisor must have its top bit set");

// Value of up to 19 decimal digits.
inline uint64_t read_digits(const char* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) {
        unsigned d = static_cast<unsigned char>(p[i]) - unsigned('0');
        RUK_ASSERT(d < 10);
        v = v * 10 + d;
    }
    return v;
}

// Writes the 19 digits of c < 10^19, zero-padded, to out[0..18].
inline void write_19(char* out, uint64_t c) {
    for (int i = 18; i >= 0; --i) {
        out[i] = char('0' + c % 10);
        c /= 10;
    }
}

// Appends the digits of c without leading zeros (nothing for 0).
inline void append_u64(std::string& out, uint64_t c) {
    char buf[20];
    int i = 20;
    while (c != 0) {
        buf[--i] = char('0' + c % 10);
        c /= 10;
    }
    out.append(buf + i, size_t(20 - i));
}

void append_u128(std::string& out, u128 v) {
    if (v >> 64 == 0) return append_u64(out, uint64_t(v));
    uint64_t low = uint64_t(v % kTen19);
    append_u128(out, v / kTen19);
    char buf[19];
    write_19(buf, low);
    out.append(buf, 19);
}

// Divides (r, u0) by 10^19 with r < 10^19: returns the quotient, leaves the remainder in
// r. Division by an invariant integer through its reciprocal (two multiplications and a
// correction instead of a hardware division).
inline uint64_t divide_ten19(uint64_t& r, uint64_t u0) {
    uint64_t low, high;
#if defined(__x86_64__)
    // GCC spills the halves of a 128-bit product through memory; mulq keeps them in
    // registers, which makes long conversions a third faster.
    asm("mulq %3" : "=a"(low), "=d"(high) : "a"(r), "rm"(kTen19Inverse) : "cc");
#else
    u128 p = u128(kTen19Inverse) * r;
    low = uint64_t(p);
    high = uint64_t(p >> 64);
#endif
    uint64_t q0 = low + u0;
    uint64_t q1 = high + r + (q0 < u0) + 1;
    uint64_t rem = u0 - q1 * kTen19;
    uint64_t back = uint64_t(0) - uint64_t(rem > q0);  // all ones when q1 was one too big
    q1 += back;
    rem += back & kTen19;
    if (rem >= kTen19) [[unlikely]] {
        ++q1;
        rem -= kTen19;
    }
    r = rem;
    return q1;
}

void trim(Limbs& v) {
    while (!v.empty() && v.back() == 0) v.pop_back();
}

// Trailing 1 bits of a bit string from bit 0 (the whole string when all bits are 1).
size_t low_ones(std::string_view bits) {
    size_t i = 0;
    while (i < bits.size() && static_cast<unsigned char>(bits[i]) == 0xFF) ++i;
    size_t z = i * 8;
    if (i < bits.size()) z += size_t(std::countr_one(static_cast<unsigned char>(bits[i])));
    return z;
}

void check_bits(std::string_view bits) {
    RUK_ASSERT(!bits.empty());
    RUK_ASSERT(bits.back() != 0);
}

// The bit string of V = N 2^shift + 2^ones - 1, N given as limbs, ones < shift.
BitString bits_of(const Limbs& n, size_t shift, size_t ones) {
    size_t top = n.empty() ? ones : shift + 64 * (n.size() - 1) + size_t(std::bit_width(n.back()));
    RUK_ASSERT(top != 0);
    BitString out((top + 7) / 8, '\0');
    std::memset(out.data(), 0xFF, ones / 8);
    if (ones % 8) out[ones / 8] = char((1u << (ones % 8)) - 1);
    size_t at = shift / 8, bit = shift % 8;
    const unsigned char* src = reinterpret_cast<const unsigned char*>(n.data());
    size_t count = n.size() * 8;
    for (size_t i = 0; i < count; ++i) {
        unsigned b = src[i];
        if (b == 0) continue;
        out[at + i] = char(static_cast<unsigned char>(out[at + i]) | ((b << bit) & 0xFF));
        if (bit != 0 && at + i + 1 < out.size())
            out[at + i + 1] = char(static_cast<unsigned char>(out[at + i + 1]) | (b >> (8 - bit)));
    }
    while (!out.empty() && out.back() == 0) out.pop_back();
    return out;
}

// A mask of the bits of byte b whose element positions lie in [lo, hi).
unsigned range_mask(size_t b, size_t lo, size_t hi) {
    size_t first = b * 8;
    size_t start = lo > first ? lo - first : 0;
    size_t end = hi < first + 8 ? hi - first : 8;
    if (hi <= first || start >= end) return 0;
    return ((1u << end) - 1) & ~((1u << start) - 1);
}

// Highest set element of parity `odd` in [lo, hi), or SIZE_MAX.
size_t highest_set(std::string_view bits, bool odd, size_t lo, size_t hi) {
    unsigned parity = odd ? 0xAA : 0x55;
    for (size_t b = (hi + 7) / 8; b-- > lo / 8;) {
        unsigned v = static_cast<unsigned char>(bits[b]) & parity & range_mask(b, lo, hi);
        if (v != 0) return b * 8 + size_t(std::bit_width(v)) - 1;
    }
    return SIZE_MAX;
}

// Lowest set element of parity `odd` in [lo, hi), or SIZE_MAX.
size_t lowest_set(std::string_view bits, bool odd, size_t lo, size_t hi) {
    unsigned parity = odd ? 0xAA : 0x55;
    for (size_t b = lo / 8; b * 8 < hi; ++b) {
        unsigned v = static_cast<unsigned char>(bits[b]) & parity & range_mask(b, lo, hi);
        if (v != 0) return b * 8 + size_t(std::countr_zero(v));
    }
    return SIZE_MAX;
}

// The exponent of the highest set magnitude digit, if there is one.
bool find_exponent(std::string_view bits, int64_t* exponent) {
    size_t n = bit_length(bits);
    // Digits of weight 2^k (k >= 0) sit at odd elements from 3, of weight 2^-k at even
    // elements from 4.
    size_t p = highest_set(bits, true, 3, n);
    if (p != SIZE_MAX) {
        *exponent = int64_t((p - 3) / 2);
        return true;
    }
    p = lowest_set(bits, false, 4, n);
    if (p != SIZE_MAX) {
        *exponent = -int64_t((p - 2) / 2);
        return true;
    }
    return false;
}

}  // namespace

// ---- limbs ------------------------------------------------------------------------

namespace {

// The quadratic sweeps: each digit group (or each division by 10^19) passes over all the
// limbs. Best for short numbers; long ones are cut in halves first (below).
Limbs limbs_from_digits_by_sweeps(std::string_view digits) {
    Limbs v;
    v.reserve(digits.size() / 19 + 1);
    size_t pos = 0, len = digits.size() % 19;
    if (len == 0) len = 19;
    while (pos < digits.size()) {
        // v = v * 10^len + the next len digits
        uint64_t carry = read_digits(digits.data() + pos, len), scale = kPow10[len];
        pos += len;
        len = 19;
        for (uint64_t& x : v) {
            u128 t = u128(x) * scale + carry;
            x = uint64_t(t);
            carry = uint64_t(t >> 64);
        }
        if (carry != 0) v.push_back(carry);
    }
    return v;
}

void append_digits_by_sweeps(std::string& out, Limbs v) {
    trim(v);
    if (v.size() <= 1) {
        if (!v.empty()) append_u64(out, v[0]);
        return;
    }
    // Four divisions by 10^19 per sweep from the top limb down. The four remainder
    // chains are independent, so the divisions overlap instead of waiting on each other.
    std::vector<uint64_t> chunks;  // base 10^19, least significant first
    chunks.reserve(v.size() + v.size() / 32 + 4);
    while (v.size() > 1) {
        uint64_t r0 = 0, r1 = 0, r2 = 0, r3 = 0;
        for (size_t i = v.size(); i-- > 0;) {
            uint64_t x = v[i];
            x = divide_ten19(r0, x);
            x = divide_ten19(r1, x);
            x = divide_ten19(r2, x);
            x = divide_ten19(r3, x);
            v[i] = x;
        }
        chunks.insert(chunks.end(), {r0, r1, r2, r3});
        trim(v);
    }
    if (!v.empty()) {
        chunks.push_back(v[0] % kTen19);
        chunks.push_back(v[0] / kTen19);
    }
    while (chunks.back() == 0) chunks.pop_back();  // the value is not zero
    append_u64(out, chunks.back());
    size_t at = out.size();
    out.resize(at + 19 * (chunks.size() - 1));
    for (size_t i = chunks.size() - 1; i-- > 0; at += 19) write_19(out.data() + at, chunks[i]);
}

// Numbers longer than this many binary limbs are cut in halves, and the halves joined with
// the decimal limb arithmetic of core/bignat.h (transforms for long products, Newton
// reciprocals for long quotients), so a conversion costs a few long products instead of
// time quadratic in the length: 10^7 bits take seconds, not minutes.
constexpr size_t kSweepLimbs = 64;

// 2^(64 * kSweepLimbs * 2^k) in decimal limbs, for k = 0, 1, ...: each the square of the
// one before, made when first needed.
struct PowersOfTwo {
    std::vector<bignat::Nat> nats;
    const bignat::Nat& at(size_t k) {
        while (nats.size() <= k) {
            if (nats.empty()) {
                Limbs one(kSweepLimbs, 0);
                one.push_back(1);
                std::string digits;
                append_digits_by_sweeps(digits, one);
                nats.push_back(bignat::parse(digits));
            } else {
                nats.push_back(bignat::multiply(nats.back(), nats.back()));
            }
        }
        return nats[k];
    }
};

// The level k with kSweepLimbs * 2^k < n <= kSweepLimbs * 2^(k+1), for n > kSweepLimbs.
size_t split_level(size_t n) {
    size_t k = 0;
    while ((kSweepLimbs << (k + 1)) < n) ++k;
    return k;
}

// v (binary limbs) in decimal limbs: v = high * 2^(64 h) + low.
bignat::Nat decimal_limbs(std::span<const uint64_t> v, PowersOfTwo& powers) {
    if (v.size() <= kSweepLimbs) {
        std::string digits;
        append_digits_by_sweeps(digits, Limbs(v.begin(), v.end()));
        return digits.empty() ? bignat::Nat() : bignat::parse(digits);
    }
    size_t k = split_level(v.size()), h = kSweepLimbs << k;
    bignat::Nat low = decimal_limbs(v.first(h), powers);
    bignat::Nat high = decimal_limbs(v.subspan(h), powers);
    return bignat::add(bignat::multiply(high, powers.at(k)), low);
}

// x (decimal limbs, trimmed) appended to out as binary limbs from limb `at` on, which
// must be zero: x = q * 2^(64 h) + r.
void binary_limbs(const bignat::Nat& x, Limbs& out, size_t at, PowersOfTwo& powers) {
    // Below the first power, x fits in kSweepLimbs binary limbs.
    if (bignat::compare(x, powers.at(0)) < 0) {
        Limbs part = limbs_from_digits_by_sweeps(bignat::print(x));
        if (out.size() < at + part.size()) out.resize(at + part.size(), 0);
        std::copy(part.begin(), part.end(), out.begin() + long(at));
        return;
    }
    // The largest power not above x, found from a guess of x's binary length (10^8 < 2^27):
    // r then fills the h limbs below q, and both are shorter than x.
    size_t k = split_level(std::max(x.size() * 27 / 64 + 1, kSweepLimbs + 1));
    while (k > 0 && bignat::compare(x, powers.at(k)) < 0) --k;
    bignat::Nat q, r;
    bignat::divide(x, powers.at(k), &q, &r);
    binary_limbs(r, out, at, powers);
    binary_limbs(q, out, at + (kSweepLimbs << k), powers);
}

}  // namespace

Limbs limbs_from_digits(std::string_view digits) {
    if (digits.size() <= 19 * kSweepLimbs) return limbs_from_digits_by_sweeps(digits);
    bignat::Nat x = bignat::parse(digits);
    bignat::trim(x);
    Limbs out;
    PowersOfTwo powers;
    if (!x.empty()) binary_limbs(x, out, 0, powers);
    trim(out);
    return out;
}

void append_digits(std::string& out, Limbs v) {
    trim(v);
    if (v.size() <= kSweepLimbs) return append_digits_by_sweeps(out, std::move(v));
    PowersOfTwo powers;
    out += bignat::print(decimal_limbs(v, powers));
}

uint64_t low64_of_digits(std::string_view digits) {
    size_t len = digits.size() % 19;
    if (len == 0) len = 19;
    uint64_t v = 0;
    for (size_t pos = 0; pos < digits.size(); pos += len, len = 19)
        v = v * kPow10[len] + read_digits(digits.data() + pos, len);  // modulo 2^64
    return v;
}

std::string halve_digits(std::string_view digits, unsigned k) {
    RUK_ASSERT(k <= 59);
    std::string out;
    out.reserve(digits.size());
    uint64_t r = 0, mask = (uint64_t(1) << k) - 1;
    for (char c : digits) {
        unsigned d = static_cast<unsigned char>(c) - unsigned('0');
        RUK_ASSERT(d < 10);
        uint64_t cur = r * 10 + d;  // below 10 * 2^59
        char q = char('0' + (cur >> k));
        r = cur & mask;
        if (q != '0' || !out.empty()) out.push_back(q);
    }
    return out;
}

Limbs limbs_from_bytes(std::string_view bits, size_t shift) {
    size_t total = bits.size() * 8;
    if (shift >= total) return {};
    size_t count = (total - shift + 63) / 64;
    Limbs v(count, 0);
    unsigned char* dst = reinterpret_cast<unsigned char*>(v.data());
    const unsigned char* src = reinterpret_cast<const unsigned char*>(bits.data());
    size_t at = shift / 8, bit = shift % 8, n = bits.size() - at;
    for (size_t i = 0; i < n; ++i) {
        unsigned b = src[at + i] >> bit;
        if (bit != 0 && at + i + 1 < bits.size())
            b |= (unsigned(src[at + i + 1]) << (8 - bit)) & 0xFF;
        dst[i] = static_cast<unsigned char>(b);
    }
    trim(v);
    return v;
}

// ---- bit strings ------------------------------------------------------------------

size_t bit_length(std::string_view bits) {
    check_bits(bits);
    return (bits.size() - 1) * 8 + size_t(std::bit_width(static_cast<unsigned char>(bits.back()))) -
           1;
}

bool bit_at(std::string_view bits, size_t i) {
    RUK_ASSERT(i < bit_length(bits));
    return (static_cast<unsigned char>(bits[i / 8]) >> (i % 8)) & 1;
}

BitString bits_from_decimal(std::string_view text) {
    if (text.empty()) RUK_FATAL("strnbits");
    size_t z = 0;
    while (z < text.size() && text[z] == '0') ++z;
    std::string_view digits = text.substr(z);
    // V = N 2^(z+1) + 2^z - 1
    if (digits.size() <= 19 && z <= 40) {
        u128 v =
            (u128(read_digits(digits.data(), digits.size())) << (z + 1)) | ((u128(1) << z) - 1);
        size_t top = v >> 64 ? 64 + size_t(std::bit_width(uint64_t(v >> 64)))
                             : size_t(std::bit_width(uint64_t(v)));
        char buf[16];
        std::memcpy(buf, &v, sizeof buf);
        return BitString(buf, (top + 7) / 8);
    }
    return bits_of(limbs_from_digits(digits), z + 1, z);
}

std::string decimal_from_bits(std::string_view bits) {
    check_bits(bits);
    size_t z = low_ones(bits);
    std::string out(z, '0');
    if (bits.size() <= 16) {
        u128 v = 0;
        std::memcpy(&v, bits.data(), bits.size());
        if (z + 1 < 128) append_u128(out, v >> (z + 1));
        return out;
    }
    append_digits(out, limbs_from_bytes(bits, z + 1));
    return out;
}

// ---- binary floats ----------------------------------------------------------------

bool has_magnitude_digit(std::string_view bits) {
    int64_t e;
    return find_exponent(bits, &e);
}

int64_t binary_float_exponent(std::string_view bits) {
    int64_t e;
    if (!find_exponent(bits, &e)) RUK_FATAL("rakerank");
    return e;
}

BitString binary_float_bits(double d) {
    RUK_ASSERT(std::isfinite(d) && d != 0.0);
    uint64_t raw = std::bit_cast<uint64_t>(d);
    uint64_t fraction = raw & ((uint64_t(1) << 52) - 1);
    int64_t biased = int64_t((raw >> 52) & 0x7FF);
    // Digit j of the significand has weight 2^(j + low).
    uint64_t significand = biased == 0 ? fraction : fraction | (uint64_t(1) << 52);
    int64_t low = biased == 0 ? -1074 : biased - 1075;
    size_t last = 2;  // the sign element
    for (uint64_t m = significand; m != 0; m &= m - 1)
        last = std::max(last, binary_float_index(std::countr_zero(m) + low));
    BitString out((last + 1) / 8 + 1, '\0');
    auto set = [&out](size_t i) {
        out[i / 8] = char(static_cast<unsigned char>(out[i / 8]) | (1u << (i % 8)));
    };
    set(0);
    set(1);
    if ((raw >> 63) == 0) set(2);  // K: positive
    for (uint64_t m = significand; m != 0; m &= m - 1)
        set(binary_float_index(std::countr_zero(m) + low));
    set(last + 1);  // the end marker
    return out;
}

double double_from_binary_float_bits(std::string_view bits) {
    const double nan = std::bit_cast<double>(kBinaryFloatNaN);
    if (bits == "\x03") return nan;  // the leaf "00"
    size_t n = bit_length(bits);
    RUK_ASSERT(n >= 2 && (bits[0] & 3) == 3);
    bool negative = n > 2 && !bit_at(bits, 2);
    int64_t e;
    if (!find_exponent(bits, &e)) return negative ? -0.0 : 0.0;
    if (e >= 1024 || e < -1074) return nan;
    auto digit = [&](int64_t w) -> uint64_t {
        size_t i = binary_float_index(w);
        return i < n && bit_at(bits, i) ? 1 : 0;
    };
    uint64_t raw = negative ? uint64_t(1) << 63 : 0;
    if (e >= -1022) {
        // normal: the 52 digits below the leading one, lower ones dropped
        raw |= uint64_t(e + 1023) << 52;
        for (int j = 1; j <= 52; ++j) raw |= digit(e - j) << (52 - j);
    } else {
        // subnormal: the digits of weight 2^-1023 .. 2^-1074
        for (int j = 0; j < 52; ++j) raw |= digit(j - 1074) << j;
    }
    return std::bit_cast<double>(raw);
}

}  // namespace ruk
