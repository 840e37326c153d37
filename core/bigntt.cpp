// Products of long numbers by number-theoretic transforms. The limbs (below 10^8) are
// taken as coefficients and convolved modulo three primes below 2^30; the exact column
// sums, below 2^24 * 10^16 and so below the product of the primes, are rebuilt by the
// Chinese remainder theorem and carried into limbs. Arithmetic modulo each prime is in
// Montgomery form with values kept below twice the prime between steps.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <vector>

#include "core/assert.h"
#include "core/bignat.h"

namespace ruk::bignat {

namespace {

// Montgomery arithmetic modulo p < 2^30 with R = 2^32.
struct Modulus {
    uint32_t p;
    uint32_t neg_inverse;  // -p^-1 mod 2^32
    uint32_t r2;           // R^2 mod p
    uint32_t generator;    // of the multiplicative group
    unsigned two_adicity;  // p - 1 = odd * 2^two_adicity

    // t R^-1 mod p, below 2p, for t < p 2^32.
    constexpr uint32_t reduce(uint64_t t) const {
        uint32_t m = uint32_t(t) * neg_inverse;
        return uint32_t((t + uint64_t(m) * p) >> 32);
    }
    constexpr uint32_t mul(uint32_t a, uint32_t b) const { return reduce(uint64_t(a) * b); }
    constexpr uint32_t to_mont(uint32_t a) const { return mul(a, r2); }
    constexpr uint32_t pow(uint32_t base_mont, uint64_t e) const {
        uint32_t r = to_mont(1);
        for (; e != 0; e >>= 1, base_mont = mul(base_mont, base_mont))
            if (e & 1) r = mul(r, base_mont);
        return r;
    }
};

constexpr Modulus make_modulus(uint32_t p, uint32_t generator) {
    uint32_t inv = 1;  // Newton's iteration for p^-1 mod 2^32
    for (int i = 0; i < 5; ++i) inv *= 2 - p * inv;
    unsigned k = 0;
    while (((p - 1) >> k & 1) == 0) ++k;
    uint64_t r = (uint64_t(1) << 32) % p;
    return Modulus{p, uint32_t(0) - inv, uint32_t(r * r % p), generator, k};
}

constexpr std::array<Modulus, 3> kModuli = {
    make_modulus(469762049, 3),   // 7 * 2^26 + 1
    make_modulus(167772161, 3),   // 5 * 2^25 + 1
    make_modulus(754974721, 11),  // 45 * 2^24 + 1
};
constexpr unsigned kMaxLog = 24;

static_assert(kModuli[0].p < (1u << 30) && kModuli[1].p < (1u << 30) && kModuli[2].p < (1u << 30));
static_assert(kModuli[0].two_adicity >= kMaxLog && kModuli[1].two_adicity >= kMaxLog &&
              kModuli[2].two_adicity >= kMaxLog);
// Column sums are below 2^kMaxLog (10^8)^2: they must be below the product of the primes.
static_assert((unsigned __int128)(kModuli[0].p) * kModuli[1].p * kModuli[2].p >
              ((unsigned __int128)(1) << kMaxLog) * kBase * kBase);
static_assert(kModuli[1].p > kBase, "limbs are residues as they stand");
static_assert(kModuli[0].mul(kModuli[0].to_mont(5), kModuli[0].to_mont(7)) % kModuli[0].p ==
              kModuli[0].to_mont(35));

// Garner's constants: the inverse of p0 modulo p1, of p0 and of p1 modulo p2.
constexpr uint64_t inverse_mod(uint64_t a, uint64_t m) {
    uint64_t r = 1, e = m - 2;
    for (a %= m; e != 0; e >>= 1, a = a * a % m)
        if (e & 1) r = r * a % m;
    return r;
}
constexpr uint64_t kP0 = kModuli[0].p, kP1 = kModuli[1].p, kP2 = kModuli[2].p;
constexpr uint64_t kInv01 = inverse_mod(kP0, kP1);
constexpr uint64_t kInv02 = inverse_mod(kP0, kP2);
constexpr uint64_t kInv12 = inverse_mod(kP1, kP2);
constexpr uint64_t kP01 = kP0 * kP1;
constexpr uint64_t kP01High = kP01 / kBase, kP01Low = kP01 % kBase;
static_assert(kP0 * kInv01 % kP1 == 1 && kP1 * kInv12 % kP2 == 1);

// Twiddle factors of one modulus in Montgomery form, below p: entry h + j is w^j for the
// root w of order 2h, for h = 1, 2, 4, ...; a table serves every length up to its size.
struct Twiddles {
    std::vector<uint32_t> forward, inverse;
};

void fill_twiddles(const Modulus& m, size_t n, Twiddles& t) {
    t.forward.assign(n, 0);
    t.inverse.assign(n, 0);
    auto canonical = [&m](uint32_t x) { return x >= m.p ? x - m.p : x; };
    for (size_t h = 1; h < n; h *= 2) {
        uint64_t order = 2 * h;
        uint32_t w = m.pow(m.to_mont(m.generator), (m.p - 1) / order);
        uint32_t wi = m.pow(w, order - 1);
        uint32_t x = m.to_mont(1), xi = x;
        for (size_t j = 0; j < h; ++j) {
            t.forward[h + j] = canonical(x);
            t.inverse[h + j] = canonical(xi);
            x = m.mul(x, w);
            xi = m.mul(xi, wi);
        }
    }
}

// Tables up to this length are kept for later products; longer ones are built per product.
constexpr size_t kKeepTwiddles = size_t(1) << 18;

const Twiddles& twiddles(size_t index, size_t n, Twiddles& local) {
    static std::array<Twiddles, 3> kept;
    if (n > kKeepTwiddles) {
        fill_twiddles(kModuli[index], n, local);
        return local;
    }
    Twiddles& t = kept[index];
    if (t.forward.size() < n) fill_twiddles(kModuli[index], std::max(n, size_t(1) << 12), t);
    return t;
}

inline uint32_t below2p(uint32_t x, uint32_t p2) { return x >= p2 ? x - p2 : x; }

// One stage of butterflies over pairs h apart. Forward (decimation in frequency):
// (u, v) -> (u + v, (u - v) w); inverse (decimation in time): (u, v) -> (u + v w, u - v w).
// Values stay below 2p.
void forward_stage(uint32_t* a, size_t n, size_t h, const Modulus& m, const uint32_t* w) {
    const uint32_t p2 = 2 * m.p;
    const uint32_t* wh = w + h;
    for (size_t s = 0; s < n; s += 2 * h) {
        uint32_t* x = a + s;
        uint32_t* y = a + s + h;
        for (size_t j = 0; j < h; ++j) {
            uint32_t u = x[j], v = y[j];
            x[j] = below2p(u + v, p2);
            y[j] = m.mul(u - v + p2, wh[j]);
        }
    }
}

void inverse_stage(uint32_t* a, size_t n, size_t h, const Modulus& m, const uint32_t* w) {
    const uint32_t p2 = 2 * m.p;
    const uint32_t* wh = w + h;
    for (size_t s = 0; s < n; s += 2 * h) {
        uint32_t* x = a + s;
        uint32_t* y = a + s + h;
        for (size_t j = 0; j < h; ++j) {
            uint32_t u = x[j], v = m.mul(y[j], wh[j]);
            x[j] = below2p(u + v, p2);
            y[j] = below2p(u - v + p2, p2);
        }
    }
}

// ---- the same eight lanes at a time, where the processor has 256-bit vectors ----

struct Lanes {
    __m256i p, p2, neg_inverse;
};

RUK_AVX2 inline Lanes lanes_of(const Modulus& m) {
    return Lanes{_mm256_set1_epi32(int(m.p)), _mm256_set1_epi32(int(2 * m.p)),
                 _mm256_set1_epi32(int(m.neg_inverse))};
}

// Montgomery products of eight lanes: the even and the odd lanes in turn.
RUK_AVX2 inline __m256i mul8(__m256i a, __m256i b, const Lanes& k) {
    __m256i even = _mm256_mul_epu32(a, b);
    __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(a, 32), _mm256_srli_epi64(b, 32));
    __m256i me = _mm256_mul_epu32(even, k.neg_inverse), mo = _mm256_mul_epu32(odd, k.neg_inverse);
    even = _mm256_add_epi64(even, _mm256_mul_epu32(me, k.p));
    odd = _mm256_add_epi64(odd, _mm256_mul_epu32(mo, k.p));
    return _mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA);
}

// x - 2p when that does not wrap, else x.
RUK_AVX2 inline __m256i below2p8(__m256i x, const Lanes& k) {
    return _mm256_min_epu32(x, _mm256_sub_epi32(x, k.p2));
}

RUK_AVX2 void forward_stage8(uint32_t* a, size_t n, size_t h, const Modulus& m, const uint32_t* w) {
    const Lanes k = lanes_of(m);
    const uint32_t* wh = w + h;
    for (size_t s = 0; s < n; s += 2 * h) {
        __m256i* x = reinterpret_cast<__m256i*>(a + s);
        __m256i* y = reinterpret_cast<__m256i*>(a + s + h);
        for (size_t j = 0; j < h / 8; ++j) {
            __m256i u = _mm256_loadu_si256(x + j), v = _mm256_loadu_si256(y + j);
            __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(wh) + j);
            _mm256_storeu_si256(x + j, below2p8(_mm256_add_epi32(u, v), k));
            _mm256_storeu_si256(y + j, mul8(_mm256_add_epi32(_mm256_sub_epi32(u, v), k.p2), t, k));
        }
    }
}

RUK_AVX2 void inverse_stage8(uint32_t* a, size_t n, size_t h, const Modulus& m, const uint32_t* w) {
    const Lanes k = lanes_of(m);
    const uint32_t* wh = w + h;
    for (size_t s = 0; s < n; s += 2 * h) {
        __m256i* x = reinterpret_cast<__m256i*>(a + s);
        __m256i* y = reinterpret_cast<__m256i*>(a + s + h);
        for (size_t j = 0; j < h / 8; ++j) {
            __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(wh) + j);
            __m256i u = _mm256_loadu_si256(x + j), v = mul8(_mm256_loadu_si256(y + j), t, k);
            _mm256_storeu_si256(x + j, below2p8(_mm256_add_epi32(u, v), k));
            _mm256_storeu_si256(y + j, below2p8(_mm256_add_epi32(_mm256_sub_epi32(u, v), k.p2), k));
        }
    }
}

// out[i] = out[i] b[i] R^-1 for n a multiple of 8.
RUK_AVX2 void pointwise8(uint32_t* out, const uint32_t* b, size_t n, const Modulus& m) {
    const Lanes k = lanes_of(m);
    __m256i* o = reinterpret_cast<__m256i*>(out);
    const __m256i* v = reinterpret_cast<const __m256i*>(b);
    for (size_t i = 0; i < n / 8; ++i)
        _mm256_storeu_si256(o + i, mul8(_mm256_loadu_si256(o + i), _mm256_loadu_si256(v + i), k));
}

// out[i] = out[i] c R^-1, made a plain residue below p, for n a multiple of 8.
RUK_AVX2 void scale8(uint32_t* out, uint32_t c, size_t n, const Modulus& m) {
    const Lanes k = lanes_of(m);
    const __m256i cv = _mm256_set1_epi32(int(c));
    __m256i* o = reinterpret_cast<__m256i*>(out);
    for (size_t i = 0; i < n / 8; ++i) {
        __m256i x = mul8(_mm256_loadu_si256(o + i), cv, k);
        _mm256_storeu_si256(o + i, _mm256_min_epu32(x, _mm256_sub_epi32(x, k.p)));
    }
}

// The three stages of pairs 4, 2 and 1 apart, done inside registers on two blocks of
// eight at a time: the lanes are dealt into a register of first elements u and one of
// second elements v, paired with their twiddles, and dealt back.
RUK_AVX2 inline void deal4(__m256i x, __m256i y, __m256i& u, __m256i& v) {
    u = _mm256_permute2x128_si256(x, y, 0x20);
    v = _mm256_permute2x128_si256(x, y, 0x31);
}
RUK_AVX2 inline void deal2(__m256i x, __m256i y, __m256i& u, __m256i& v) {
    u = _mm256_unpacklo_epi64(x, y);
    v = _mm256_unpackhi_epi64(x, y);
}
RUK_AVX2 inline void deal1(__m256i x, __m256i y, __m256i& u, __m256i& v) {
    u = _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(x), _mm256_castsi256_ps(y),
                                              _MM_SHUFFLE(2, 0, 2, 0)));
    v = _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(x), _mm256_castsi256_ps(y),
                                              _MM_SHUFFLE(3, 1, 3, 1)));
}
RUK_AVX2 inline void undeal1(__m256i u, __m256i v, __m256i& x, __m256i& y) {
    x = _mm256_unpacklo_epi32(u, v);
    y = _mm256_unpackhi_epi32(u, v);
}

RUK_AVX2 inline void forward_pair(__m256i& u, __m256i& v, __m256i t, const Lanes& k) {
    __m256i sum = below2p8(_mm256_add_epi32(u, v), k);
    v = mul8(_mm256_add_epi32(_mm256_sub_epi32(u, v), k.p2), t, k);
    u = sum;
}
RUK_AVX2 inline void inverse_pair(__m256i& u, __m256i& v, __m256i t, const Lanes& k) {
    __m256i vt = mul8(v, t, k);
    v = below2p8(_mm256_add_epi32(_mm256_sub_epi32(u, vt), k.p2), k);
    u = below2p8(_mm256_add_epi32(u, vt), k);
}

// Twiddles of the three short stages, laid out as the dealt lanes want them.
struct ShortTwiddles {
    __m256i h4, h2, h1;
};
RUK_AVX2 inline ShortTwiddles short_twiddles(const uint32_t* w) {
    ShortTwiddles t;
    t.h4 = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 4)));
    t.h2 = _mm256_setr_epi32(int(w[2]), int(w[3]), int(w[2]), int(w[3]), int(w[2]), int(w[3]),
                             int(w[2]), int(w[3]));
    t.h1 = _mm256_set1_epi32(int(w[1]));
    return t;
}

RUK_AVX2 void forward_last8(uint32_t* a, size_t n, const Modulus& m, const uint32_t* w) {
    const Lanes k = lanes_of(m);
    const ShortTwiddles t = short_twiddles(w);
    __m256i* p = reinterpret_cast<__m256i*>(a);
    for (size_t i = 0; i < n / 8; i += 2) {
        __m256i x = _mm256_loadu_si256(p + i), y = _mm256_loadu_si256(p + i + 1), u, v;
        deal4(x, y, u, v);
        forward_pair(u, v, t.h4, k);
        deal4(u, v, x, y);  // dealing twice by halves puts them back
        deal2(x, y, u, v);
        forward_pair(u, v, t.h2, k);
        deal2(u, v, x, y);
        deal1(x, y, u, v);
        forward_pair(u, v, t.h1, k);
        undeal1(u, v, x, y);
        _mm256_storeu_si256(p + i, x);
        _mm256_storeu_si256(p + i + 1, y);
    }
}

RUK_AVX2 void inverse_first8(uint32_t* a, size_t n, const Modulus& m, const uint32_t* w) {
    const Lanes k = lanes_of(m);
    const ShortTwiddles t = short_twiddles(w);
    __m256i* p = reinterpret_cast<__m256i*>(a);
    for (size_t i = 0; i < n / 8; i += 2) {
        __m256i x = _mm256_loadu_si256(p + i), y = _mm256_loadu_si256(p + i + 1), u, v;
        deal1(x, y, u, v);
        inverse_pair(u, v, t.h1, k);
        undeal1(u, v, x, y);
        deal2(x, y, u, v);
        inverse_pair(u, v, t.h2, k);
        deal2(u, v, x, y);
        deal4(x, y, u, v);
        inverse_pair(u, v, t.h4, k);
        deal4(u, v, x, y);
        _mm256_storeu_si256(p + i, x);
        _mm256_storeu_si256(p + i + 1, y);
    }
}

// Lengths of at least 16 run wholly on vectors; shorter ones, or no vectors, scalar.
void forward(uint32_t* a, size_t n, const Modulus& m, const uint32_t* w) {
    if (vector_kernels() && n >= 16) {
        for (size_t h = n / 2; h >= 8; h /= 2) forward_stage8(a, n, h, m, w);
        return forward_last8(a, n, m, w);
    }
    for (size_t h = n / 2; h >= 1; h /= 2) forward_stage(a, n, h, m, w);
}

void inverse(uint32_t* a, size_t n, const Modulus& m, const uint32_t* w) {
    if (vector_kernels() && n >= 16) {
        inverse_first8(a, n, m, w);
        for (size_t h = 8; h < n; h *= 2) inverse_stage8(a, n, h, m, w);
        return;
    }
    for (size_t h = 1; h < n; h *= 2) inverse_stage(a, n, h, m, w);
}

// Scratch that outlives one product, so that repeated products do not fault in fresh
// pages; very long buffers are given back.
constexpr size_t kKeepWords = size_t(1) << 20;

struct Scratch {
    std::vector<uint32_t> buffer;
    uint32_t* get(size_t words) {
        if (buffer.size() < words) buffer.assign(words, 0);
        return buffer.data();
    }
    void release() {
        if (buffer.size() > kKeepWords) std::vector<uint32_t>().swap(buffer);
    }
};

// The cyclic convolution of a and b modulo kModuli[index], length n, plain residues into
// out[0..n). fb is scratch of n words (unused when squaring).
void convolve(size_t index, View a, View b, bool square, size_t n, uint32_t* out, uint32_t* fb) {
    const Modulus& m = kModuli[index];
    Twiddles local;
    const Twiddles& t = twiddles(index, n, local);
    std::copy(a.begin(), a.end(), out);
    std::fill(out + a.size(), out + n, 0);
    forward(out, n, m, t.forward.data());
    bool vectors = vector_kernels() && n % 8 == 0;
    if (!square) {
        std::copy(b.begin(), b.end(), fb);
        std::fill(fb + b.size(), fb + n, 0);
        forward(fb, n, m, t.forward.data());
    }
    const uint32_t* other = square ? out : fb;
    if (vectors) {
        pointwise8(out, other, n, m);
    } else {
        for (size_t i = 0; i < n; ++i) out[i] = m.mul(out[i], other[i]);
    }
    inverse(out, n, m, t.inverse.data());
    // The pointwise products carry R^-1 and the inverse transform a factor n: multiplying
    // by n^-1 R^2 in Montgomery form undoes both.
    uint32_t scale = m.mul(m.pow(m.to_mont(uint32_t(n % m.p)), m.p - 2), m.r2);
    if (vectors) return scale8(out, scale, n, m);
    for (size_t i = 0; i < n; ++i) {
        uint32_t x = m.mul(out[i], scale);
        out[i] = x >= m.p ? x - m.p : x;
    }
}

// Garner's digits of columns [0, count): v1 into r1, v2 into r2, with
// x = r0 + p0 v1 + p0 p1 v2, v1 < p1, v2 < p2.
void garner_digits(const uint32_t* r0, uint32_t* r1, uint32_t* r2, size_t from, size_t count) {
    for (size_t i = from; i < count; ++i) {
        uint64_t x0 = r0[i];
        uint64_t v1 = (r1[i] + kP1 - x0 % kP1) * kInv01 % kP1;
        uint64_t v2 = ((r2[i] + kP2 - x0) * kInv02 % kP2 + kP2 - v1) * kInv12 % kP2;
        r1[i] = uint32_t(v1);
        r2[i] = uint32_t(v2);
    }
}

// The same eight columns at a time, by Montgomery products with the inverses in
// Montgomery form; returns how many columns it did.
RUK_AVX2 size_t garner_digits8(const uint32_t* r0, uint32_t* r1, uint32_t* r2, size_t count) {
    const Modulus& m1 = kModuli[1];
    const Modulus& m2 = kModuli[2];
    const Lanes k1 = lanes_of(m1), k2 = lanes_of(m2);
    const __m256i inv01 = _mm256_set1_epi32(int(m1.to_mont(uint32_t(kInv01)) % kP1));
    const __m256i inv02 = _mm256_set1_epi32(int(m2.to_mont(uint32_t(kInv02)) % kP2));
    const __m256i inv12 = _mm256_set1_epi32(int(m2.to_mont(uint32_t(kInv12)) % kP2));
    const __m256i three_p1 = _mm256_set1_epi32(int(3 * kP1));
    static_assert(kP0 < 3 * kP1 && 4 * kP1 < (uint64_t(1) << 32), "x1 + 3 p1 - x0 fits");
    static_assert(kP0 < kP2 && 4 * kP2 < (uint64_t(1) << 32), "sums below 4 p2 fit");
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r0 + i));
        __m256i* y1 = reinterpret_cast<__m256i*>(r1 + i);
        __m256i* y2 = reinterpret_cast<__m256i*>(r2 + i);
        __m256i d = _mm256_sub_epi32(_mm256_add_epi32(_mm256_loadu_si256(y1), three_p1), x0);
        __m256i v1 = mul8(d, inv01, k1);
        v1 = _mm256_min_epu32(v1, _mm256_sub_epi32(v1, k1.p));
        __m256i e = _mm256_sub_epi32(_mm256_add_epi32(_mm256_loadu_si256(y2), k2.p), x0);
        __m256i t = _mm256_sub_epi32(_mm256_add_epi32(mul8(e, inv02, k2), k2.p2), v1);
        __m256i v2 = mul8(t, inv12, k2);
        v2 = _mm256_min_epu32(v2, _mm256_sub_epi32(v2, k2.p));
        _mm256_storeu_si256(y1, v1);
        _mm256_storeu_si256(y2, v2);
    }
    return i;
}

size_t g_limit = 0;

}  // namespace

size_t ntt_max_product() { return g_limit != 0 ? g_limit : size_t(1) << kMaxLog; }

void limit_transforms(size_t max_product) {
    RUK_ASSERT(max_product <= size_t(1) << kMaxLog);
    g_limit = max_product;
}

void ntt_multiply(View a, View b, Limb* out) {
    bool square = a.data() == b.data() && a.size() == b.size();
    size_t len = a.size() + b.size();
    RUK_ASSERT(!a.empty() && !b.empty() && len - 1 <= ntt_max_product());
    size_t n = 1;
    while (n < len - 1) n *= 2;
    static Scratch scratch;
    uint32_t* r0 = scratch.get(4 * n);
    uint32_t* r1 = r0 + n;
    uint32_t* r2 = r1 + n;
    uint32_t* fb = r2 + n;
    convolve(0, a, b, square, n, r0, fb);
    convolve(1, a, b, square, n, r1, fb);
    convolve(2, a, b, square, n, r2, fb);
    size_t columns = len - 1;
    size_t done = vector_kernels() ? garner_digits8(r0, r1, r2, columns) : 0;
    garner_digits(r0, r1, r2, done, columns);
    // Column i is r0 + p0 v1 + p0 p1 v2; with p0 p1 = kP01High 10^8 + kP01Low, the sum
    // and the carry split at 10^8 stay in 64-bit words.
    uint64_t carry = 0;
    for (size_t i = 0; i < columns; ++i) {
        uint64_t low = r0[i] + kP0 * r1[i] + kP01Low * r2[i] + carry;
        out[i] = Limb(low % kBase);
        carry = low / kBase + kP01High * r2[i];
    }
    RUK_ASSERT(carry < kBase);
    out[columns] = Limb(carry);
    scratch.release();
}

}  // namespace ruk::bignat
