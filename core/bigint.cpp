// Exact arithmetic on magnitude texts: machine words for the shortest, otherwise the
// limbs of core/bignat.h. A product by a number of at most eight digits never leaves the
// text: it is one pass from the last digit to the first.
#include "core/bigint.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "core/assert.h"
#include "core/bignat.h"

namespace ruk {

namespace {

using bignat::Limb;
using bignat::Nat;
using bignat::View;

// Digits that fit a 64-bit word whatever they are, and whose sums do too.
constexpr size_t kWordDigits = 18;

void check_magnitude(std::string_view m) {
    RUK_ASSERT(!m.empty() && (m[0] != '0' || m.size() == 1));
}

bool is_zero(std::string_view m) { return m.size() == 1 && m[0] == '0'; }

uint64_t word_of(std::string_view m) {
    uint64_t v = 0;
    for (char c : m) {
        unsigned d = static_cast<unsigned char>(c) - unsigned('0');
        RUK_ASSERT(d < 10);
        v = v * 10 + d;
    }
    return v;
}

std::string text_of(uint64_t v) {
    char buf[24];
    auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    return std::string(buf, end);
}

std::string text_of(unsigned __int128 v) {
    if (v >> 64 == 0) return text_of(uint64_t(v));
    constexpr uint64_t ten19 = 10000000000000000000ULL;
    std::string low = text_of(uint64_t(v % ten19));
    return text_of(v / ten19) + std::string(19 - low.size(), '0') + low;
}

// Trailing zeros of a magnitude other than "0", eight at a time.
size_t trailing_zeros(std::string_view m) {
    constexpr uint64_t kEightZeros = 0x3030303030303030;
    size_t z = 0, n = m.size();
    for (uint64_t w; n - z >= 9; z += 8) {
        std::memcpy(&w, m.data() + n - z - 8, 8);
        if (w != kEightZeros) break;
    }
    while (m[n - 1 - z] == '0') ++z;
    return z;
}

}  // namespace

int compare_magnitudes(std::string_view a, std::string_view b) {
    check_magnitude(a);
    check_magnitude(b);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    int c = std::memcmp(a.data(), b.data(), a.size());
    return (c > 0) - (c < 0);
}

std::string add_magnitudes(std::string_view a, std::string_view b) {
    check_magnitude(a);
    check_magnitude(b);
    if (a.size() <= kWordDigits && b.size() <= kWordDigits) return text_of(word_of(a) + word_of(b));
    if (is_zero(a)) return std::string(b);
    if (is_zero(b)) return std::string(a);
    Nat x = bignat::parse(a), y = bignat::parse(b);
    return bignat::print(bignat::add(x, y));
}

std::string subtract_magnitudes(std::string_view a, std::string_view b) {
    RUK_ASSERT(compare_magnitudes(a, b) >= 0);
    if (a.size() <= kWordDigits) return text_of(word_of(a) - word_of(b));
    if (is_zero(b)) return std::string(a);
    Nat x = bignat::parse(a), y = bignat::parse(b);
    return bignat::print(bignat::subtract(x, y));
}

std::string multiply_magnitudes(std::string_view a, std::string_view b) {
    check_magnitude(a);
    check_magnitude(b);
    if (is_zero(a) || is_zero(b)) return "0";
    if (a.size() < b.size()) std::swap(a, b);
    if (a.size() <= kWordDigits)  // b is as short
        return text_of((unsigned __int128)word_of(a) * word_of(b));
    // Trailing zeros (a factorial gathers many) are set aside and put back at the end.
    size_t zeros = 0;
    for (std::string_view* x : {&a, &b}) {
        size_t z = trailing_zeros(*x);
        *x = x->substr(0, x->size() - z);
        zeros += z;
    }
    if (a.size() < b.size()) std::swap(a, b);
    if (b.size() <= bignat::kLimbDigits) {
        Limb m = Limb(word_of(b));
        if (m == 1) {
            std::string out(a.size() + zeros, '0');
            std::memcpy(out.data(), a.data(), a.size());
            return out;
        }
        return bignat::multiply_text_by_limb(a, m, zeros);
    }
    Nat x = bignat::parse(a);
    if (a == b) return bignat::print(bignat::multiply(x, x), zeros);
    Nat y = bignat::parse(b);
    return bignat::print(bignat::multiply(x, y), zeros);
}

void divide_magnitudes(std::string_view a, std::string_view b, std::string* quotient,
                       std::string* remainder) {
    RUK_ASSERT(!is_zero(b));
    if (compare_magnitudes(a, b) < 0) {
        if (quotient) quotient->assign(1, '0');
        if (remainder) *remainder = std::string(a);
        return;
    }
    if (a.size() <= kWordDigits) {
        uint64_t x = word_of(a), y = word_of(b);
        if (quotient) *quotient = text_of(x / y);
        if (remainder) *remainder = text_of(x % y);
        return;
    }
    Nat x = bignat::parse(a), y = bignat::parse(b), q, r;
    bignat::divide(x, y, quotient ? &q : nullptr, remainder ? &r : nullptr);
    if (quotient) *quotient = bignat::print(q);
    if (remainder) *remainder = bignat::print(r);
}

std::string power_magnitude(std::string_view a, uint64_t exponent) {
    check_magnitude(a);
    if (exponent == 0) return "1";
    if (is_zero(a) || a == "1") return std::string(a);
    if (exponent == 1) return std::string(a);
    // a = c 10^z; the result is c^e followed by e z zeros.
    size_t z = trailing_zeros(a);
    std::string_view c = a.substr(0, a.size() - z);
    // Refuse results past the bound before any work: log10 a from its leading digits.
    size_t lead = std::min<size_t>(c.size(), 17);
    double log10c = std::log10(double(word_of(c.substr(0, lead)))) + double(c.size() - lead);
    double digits = double(exponent) * (log10c + double(z));
    if (digits >= double(max_power_digits)) return "";
    size_t zeros = size_t(exponent) * z;
    if (c == "1") {
        std::string out(zeros + 1, '0');
        out[0] = '1';
        return out;
    }
    Nat base = bignat::parse(c);
    Nat r = base;
    int top = 63 - __builtin_clzll(exponent);
    for (int bit = top - 1; bit >= 0; --bit) {
        r = bignat::multiply(r, r);
        if ((exponent >> bit) & 1) {
            if (base.size() == 1) {
                Limb carry = bignat::multiply_by_limb(r.data(), r.size(), base[0]);
                if (carry != 0) r.push_back(carry);
            } else {
                r = bignat::multiply(r, base);
            }
        }
    }
    return bignat::print(r, zeros);
}

}  // namespace ruk
