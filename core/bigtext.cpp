// Decimal text to limbs of eight digits and back. A limb is the value of eight digits of
// the text, so conversion is linear: eight digits are read or written with a handful of
// multiplications on one machine word, or thirty-two at a time with the 256-bit vector
// instructions where the processor has them (chosen once, at run time).
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "core/assert.h"
#include "core/bignat.h"

namespace ruk::bignat {

namespace {

using u128 = unsigned __int128;

bool g_portable = false;

// ---- eight digits in one 64-bit word (the first digit in the lowest byte) ----

uint64_t load8(const char* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Nonzero when some byte of the word is not a digit.
uint64_t non_digits8(uint64_t v) {
    return ((v & 0xF0F0F0F0F0F0F0F0) | (((v + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) >> 4)) ^
           0x3333333333333333;
}

// The value of eight digits: pairs, then fours, then the whole, each by one multiply.
Limb value8(uint64_t v) {
    v -= 0x3030303030303030;
    v = v * 10 + (v >> 8);
    constexpr uint64_t mask = 0x000000FF000000FF;
    constexpr uint64_t mul1 = 100 + (1000000ULL << 32);
    constexpr uint64_t mul2 = 1 + (10000ULL << 32);
    return Limb((((v & mask) * mul1) + (((v >> 16) & mask) * mul2)) >> 32);
}

// Eight digits of v < 10^8, zero-padded: halves, then pairs, then single digits.
uint64_t text8(Limb v) {
    uint64_t hi = v / 10000, lo = v % 10000;
    uint64_t merged = hi | (lo << 32);
    uint64_t top = ((merged * 10486) >> 20) & ((0x7FULL << 32) | 0x7FULL);  // quarters / 100
    uint64_t hundreds = ((merged - 100 * top) << 16) + top;
    uint64_t tens = ((hundreds * 103) >> 10) & 0x000F000F000F000F;  // pairs / 10
    tens += (hundreds - 10 * tens) << 8;
    return tens | 0x3030303030303030;
}

void store8(char* out, Limb v) {
    uint64_t t = text8(v);
    std::memcpy(out, &t, 8);
}

// The value of up to eight digits.
Limb value_short(const char* p, size_t n, uint64_t& bad) {
    Limb v = 0;
    for (size_t i = 0; i < n; ++i) {
        unsigned d = static_cast<unsigned char>(p[i]) - unsigned('0');
        bad |= d > 9;
        v = v * 10 + d;
    }
    return v;
}

size_t limb_digits(Limb v) {
    size_t n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

size_t digits128(u128 v) {
    size_t n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

// ---- thirty-two digits in one 256-bit register ----

struct Vec {
    __m256i pair_weights, four_weights, ten_thousand, ascii_eight;     // reading
    __m256i by_ten_thousand, by_hundred, by_ten, hundred, ten, ascii;  // writing
};

RUK_AVX2 inline Vec vec_constants() {
    Vec k;
    k.pair_weights = _mm256_set1_epi16(0x010A);      // bytes (10, 1)
    k.four_weights = _mm256_set1_epi32(0x00010064);  // words (100, 1)
    k.ten_thousand = _mm256_set1_epi64x(10000);
    k.ascii_eight = _mm256_set1_epi64x(533333328);       // '0' * 11111111
    k.by_ten_thousand = _mm256_set1_epi64x(0xD1B71759);  // 2^45 / 10^4, rounded up
    k.by_hundred = _mm256_set1_epi16(5243);              // 2^19 / 100, rounded up
    k.by_ten = _mm256_set1_epi16(6554);                  // 2^16 / 10, rounded up
    k.hundred = _mm256_set1_epi16(100);
    k.ten = _mm256_set1_epi16(10);
    k.ascii = _mm256_set1_epi8('0');
    // Hidden from the optimiser, which would otherwise trade each multiplication by 100
    // or 10 for a longer run of shifts and adds.
    asm("" : "+x"(k.hundred), "+x"(k.ten));
    return k;
}

// Four limbs from 32 digits, in the 64-bit lanes in text order (most significant first).
// The digits' bytes are folded into running minimum and maximum for the digit check.
RUK_AVX2 inline __m256i value32(const char* p, const Vec& k, __m256i& low, __m256i& high) {
    __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    low = _mm256_min_epu8(low, x);
    high = _mm256_max_epu8(high, x);
    x = _mm256_maddubs_epi16(x, k.pair_weights);  // pairs: 10 a + b
    x = _mm256_madd_epi16(x, k.four_weights);     // fours: 100 ab + cd
    x = _mm256_add_epi64(_mm256_mul_epu32(x, k.ten_thousand), _mm256_srli_epi64(x, 32));
    return _mm256_sub_epi64(x, k.ascii_eight);  // the '0' of every byte, taken off once
}

RUK_AVX2 inline bool all_digits(__m256i low, __m256i high) {
    __m256i below = _mm256_subs_epu8(_mm256_set1_epi8('0'), low);
    __m256i above = _mm256_subs_epu8(high, _mm256_set1_epi8('9'));
    __m256i bad = _mm256_or_si256(below, above);
    return _mm256_testz_si256(bad, bad);
}

// 32 digits of four values < 10^8 held in the 64-bit lanes in text order: split at 10^4,
// then at 100, then at 10, each by a multiplication by a reciprocal.
RUK_AVX2 inline __m256i text32(__m256i v, const Vec& k) {
    __m256i hi = _mm256_srli_epi64(_mm256_mul_epu32(v, k.by_ten_thousand), 45);
    __m256i lo = _mm256_sub_epi64(v, _mm256_mul_epu32(hi, k.ten_thousand));
    __m256i fours = _mm256_or_si256(hi, _mm256_slli_epi64(lo, 32));
    __m256i t = _mm256_srli_epi16(_mm256_mulhi_epu16(fours, k.by_hundred), 3);
    __m256i r = _mm256_sub_epi16(fours, _mm256_mullo_epi16(t, k.hundred));
    __m256i pairs = _mm256_or_si256(t, _mm256_slli_epi32(r, 16));
    __m256i tens = _mm256_mulhi_epu16(pairs, k.by_ten);
    __m256i ones = _mm256_sub_epi16(pairs, _mm256_mullo_epi16(tens, k.ten));
    __m256i digits = _mm256_or_si256(tens, _mm256_slli_epi16(ones, 8));
    return _mm256_add_epi8(digits, k.ascii);
}

// Reads the limbs of text[0..n) from the right, 32 digits at a time, into out[0..);
// returns how many digits it read (a multiple of 32).
RUK_AVX2 size_t parse_blocks(const char* text, size_t n, Limb* out) {
    const Vec k = vec_constants();
    const __m256i low_dwords = _mm256_setr_epi32(6, 4, 2, 0, 6, 4, 2, 0);
    __m256i low = _mm256_set1_epi8(char(0xFF)), high = _mm256_setzero_si256();
    size_t done = 0;
    for (; n - done >= 32; done += 32, out += 4) {
        __m256i v = value32(text + n - done - 32, k, low, high);
        __m256i limbs = _mm256_permutevar8x32_epi32(v, low_dwords);  // least significant first
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(limbs));
    }
    RUK_ASSERT(all_digits(low, high));
    return done;
}

// Writes limbs v[0..count) as text ending at `end`, 32 digits at a time; returns how many
// limbs it wrote (a multiple of 4).
RUK_AVX2 size_t print_blocks(const Limb* v, size_t count, char* end) {
    const Vec k = vec_constants();
    size_t done = 0;
    for (; count - done >= 4; done += 4) {
        __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + done));
        __m256i lanes = _mm256_cvtepu32_epi64(_mm_shuffle_epi32(four, 0x1B));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(end - 8 * done - 32), text32(lanes, k));
    }
    return done;
}

// The text a[0..n) times m < 10^8, written from `end` leftwards, 32 digits at a time.
// Each limb x gives x m = q 10^8 + r; the limb written is r plus the q of the limb below,
// and the rare sum past 10^8 carries one up. q comes from a fixed-point reciprocal of
// 10^8 / m that is short by at most one, which one comparison puts right. Returns the
// digits done and updates the carry into the next block.
RUK_AVX2 size_t multiply_blocks(const char* a, size_t n, Limb m, char* end, uint64_t& carry_io) {
    const Vec k = vec_constants();
    unsigned shift = 32;  // the largest that keeps the reciprocal below 2^32
    while ((u128(m) << (shift + 1)) / kBase < (u128(1) << 32)) ++shift;
    const uint64_t reciprocal = uint64_t((u128(m) << shift) / kBase);
    const __m256i mv = _mm256_set1_epi64x(m), rv = _mm256_set1_epi64x(int64_t(reciprocal));
    const __m128i sv = _mm_cvtsi32_si128(int(shift));
    const __m256i base = _mm256_set1_epi64x(kBase), top = _mm256_set1_epi64x(kBase - 1);
    __m256i low = _mm256_set1_epi8(char(0xFF)), high = _mm256_setzero_si256();
    // The q of the block below (less significant); only its first lane is read.
    __m256i below_q = _mm256_setr_epi64x(int64_t(carry_io), 0, 0, 0);
    size_t done = 0;
    for (; n - done >= 32; done += 32) {
        __m256i x = value32(a + n - done - 32, k, low, high);
        __m256i q = _mm256_srl_epi64(_mm256_mul_epu32(x, rv), sv);
        __m256i r = _mm256_sub_epi64(_mm256_mul_epu32(x, mv), _mm256_mul_epu32(q, base));
        __m256i short_by_one = _mm256_cmpgt_epi64(r, top);
        q = _mm256_sub_epi64(q, short_by_one);
        r = _mm256_sub_epi64(r, _mm256_and_si256(short_by_one, base));
        // Lane i takes the q of lane i + 1, the limb below; the last lane that of the block below.
        __m256i below = _mm256_alignr_epi8(_mm256_permute2x128_si256(q, below_q, 0x21), q, 8);
        __m256i t = _mm256_add_epi64(r, below);
        __m256i over = _mm256_cmpgt_epi64(t, top);
        if (!_mm256_testz_si256(over, over)) [[unlikely]] {
            alignas(32) uint64_t lanes[4];
            _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), t);
            uint64_t c = 0;
            for (int i = 3; i >= 0; --i) {
                lanes[i] += c;
                c = lanes[i] >= kBase;
                if (c) lanes[i] -= kBase;
            }
            t = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes));
            q = _mm256_add_epi64(q, _mm256_setr_epi64x(int64_t(c), 0, 0, 0));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(end - done - 32), text32(t, k));
        below_q = q;
    }
    RUK_ASSERT(all_digits(low, high));
    carry_io = uint64_t(_mm256_extract_epi64(below_q, 0));
    return done;
}

// Writes limbs v[0..count) as text ending at `end`.
void print_limbs(const Limb* v, size_t count, char* end) {
    size_t done = vector_kernels() ? print_blocks(v, count, end) : 0;
    for (; done < count; ++done) store8(end - 8 * done - 8, v[done]);
}

// The number of digits of a * m, or 0 when the leading digits of a cannot decide it.
size_t product_length(std::string_view a, Limb m) {
    size_t k = std::min<size_t>(a.size(), 16);
    uint64_t head = 0;
    for (size_t i = 0; i < k; ++i) head = head * 10 + unsigned(a[i] - '0');
    u128 low = u128(head) * m;
    u128 high = k == a.size() ? low : u128(head + 1) * m - 1;
    size_t digits = digits128(low);
    return digits == digits128(high) ? digits + (a.size() - k) : 0;
}

}  // namespace

bool vector_kernels() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have && !g_portable;
}

void use_portable_kernels(bool on) { g_portable = on; }

Nat parse(std::string_view digits) {
    size_t n = digits.size();
    Nat out((n + kLimbDigits - 1) / kLimbDigits);
    const char* text = digits.data();
    size_t done = vector_kernels() ? parse_blocks(text, n, out.data()) : 0;
    Limb* limb = out.data() + done / kLimbDigits;
    uint64_t bad = 0;
    for (; n - done >= 8; done += 8) {
        uint64_t word = load8(text + n - done - 8);
        bad |= non_digits8(word);
        *limb++ = value8(word);
    }
    if (done < n) *limb = value_short(text, n - done, bad);
    RUK_ASSERT(bad == 0);
    trim(out);
    return out;
}

std::string print(View v, size_t zeros) {
    v = trimmed(v);
    if (v.empty()) return "0";
    Limb head = v.back();
    size_t head_digits = limb_digits(head);
    size_t digits = head_digits + kLimbDigits * (v.size() - 1);
    std::string out(digits + zeros, '0');
    print_limbs(v.data(), v.size() - 1, out.data() + digits);
    for (size_t i = head_digits; i-- > 0; head /= 10) out[i] = char('0' + head % 10);
    return out;
}

void print_padded(View v, char* out, size_t width) {
    v = trimmed(v);
    size_t full = std::min(width / kLimbDigits, v.size());
    RUK_ASSERT(v.size() <= full + 1);
    print_limbs(v.data(), full, out + width);
    size_t rest = width - kLimbDigits * full;  // digits left of the full limbs
    Limb head = full < v.size() ? v[full] : 0;
    for (size_t i = rest; i-- > 0; head /= 10) out[i] = char('0' + head % 10);
    RUK_ASSERT(head == 0);
}

std::string multiply_text_by_limb(std::string_view a, Limb m, size_t zeros) {
    RUK_ASSERT(m != 0 && m < kBase && !a.empty() && a[0] != '0');
    size_t exact = product_length(a, m);
    size_t digits = exact != 0 ? exact : a.size() + limb_digits(m);
    std::string out(digits + zeros, '0');
    char* end = out.data() + digits;
    size_t n = a.size();
    uint64_t carry = 0;
    size_t done = vector_kernels() ? multiply_blocks(a.data(), n, m, end, carry) : 0;
    uint64_t bad = 0;
    for (; n - done >= 8; done += 8) {
        uint64_t word = load8(a.data() + n - done - 8);
        bad |= non_digits8(word);
        uint64_t p = uint64_t(value8(word)) * m + carry;
        carry = p / kBase;
        store8(end - done - 8, Limb(p % kBase));
    }
    uint64_t p = uint64_t(value_short(a.data(), n - done, bad)) * m + carry;
    RUK_ASSERT(bad == 0);
    const Limb head[2] = {Limb(p % kBase), Limb(p / kBase)};
    print_padded(View(head, 2), out.data(), digits - done);
    if (out[0] == '0') out.erase(0, 1);  // only when the length was not known in advance
    return out;
}

}  // namespace ruk::bignat
