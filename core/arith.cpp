#include "core/arith.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "core/bigint.h"
#include "core/binfloat.h"
#include "core/data.h"
#include "core/datatext.h"
#include "core/leaves.h"
#include "core/number.h"

namespace ruk {

namespace {

using i128 = __int128;
using u128 = unsigned __int128;

// Magnitudes of up to 18 digits take machine arithmetic: they are below 10^18, so a sum
// or difference of two stays far inside 64 bits and a product inside 128.
constexpr size_t kSmallDigits = 18;
constexpr uint64_t kTen19 = 10000000000000000000ULL;

inline bool is_digit(unsigned char c) { return unsigned(c) - unsigned('0') < 10u; }

}  // namespace

bool small_integer(Cell* v, int64_t* out) {
    if (!is_leaf(v) || !is_digit(first_byte(v))) return false;
    std::string_view t = leaf_text(v);
    bool negative = false;
    if (t.size() > 1 && t[0] == '0') {
        if (t[1] == '0') return false;  // a binary float
        negative = true;
        t.remove_prefix(1);
    }
    if (t.size() > kSmallDigits) return false;
    int64_t x = 0;
    for (char c : t) {
        if (!is_digit(static_cast<unsigned char>(c))) return false;  // no number at all
        x = x * 10 + (c - '0');
    }
    *out = negative ? -x : x;
    return true;
}

namespace {

// Writes the digits of x in front of p, padded with zeros to `width`; returns the new front.
char* put_digits(char* p, uint64_t x, int width = 1) {
    do {
        *--p = char('0' + x % 10);
        x /= 10;
        --width;
    } while (x != 0 || width > 0);
    return p;
}

// The canonical number leaf of x, written on the stack ("0" minus sign, no negative zero).
CellRef integer_leaf(i128 x) {
    if (x >= INT64_MIN && x <= INT64_MAX) return integer_from_int64(int64_t(x));
    char buf[48];
    char* end = buf + sizeof buf;
    u128 m = x < 0 ? u128(0) - u128(x) : u128(x);
    char* p;
    if (m >> 64 == 0) {
        p = put_digits(end, uint64_t(m));
    } else {
        RUK_ASSERT(m / kTen19 >> 64 == 0);  // below 10^38: products of two small magnitudes
        p = put_digits(end, uint64_t(m % kTen19), 19);
        p = put_digits(p, uint64_t(m / kTen19));
    }
    if (x < 0) *--p = '0';
    return from_bytes(std::string_view(p, size_t(end - p)));
}

// The number leaf of a sign and a canonical magnitude (empty reads as zero); "0" never
// takes the sign.
CellRef signed_result(bool negative, std::string&& magnitude) {
    if (magnitude.empty()) magnitude.push_back('0');
    if (negative && magnitude != "0") magnitude.insert(magnitude.begin(), '0');
    return from_string(std::move(magnitude));
}

uint64_t read_u64(std::string_view digits) {
    RUK_ASSERT(digits.size() <= 19);
    uint64_t x = 0;
    for (char c : digits) x = x * 10 + uint64_t(c - '0');
    return x;
}

// ---- integers ---------------------------------------------------------------------

CellRef add_signed(bool an, std::string_view am, bool bn, std::string_view bm) {
    if (an == bn) return signed_result(an, add_magnitudes(am, bm));
    // Different signs: the larger magnitude less the smaller, with the larger one's sign.
    int c = compare_magnitudes(am, bm);
    if (c == 0) return from_text("0");
    if (c > 0) return signed_result(an, subtract_magnitudes(am, bm));
    return signed_result(bn, subtract_magnitudes(bm, am));
}

// True when |a|^e, |a| >= 2 with `length` digits, surely has more than max_power_digits
// digits: it has more than e (length - 1) and more than e log10(2).
bool power_too_large(size_t length, uint64_t e) {
    if (u128(length - 1) * e >= max_power_digits) return true;
    return double(e) * 0.301 >= double(max_power_digits);
}

CellRef integer_power(const Decimal& a, const Decimal& b) {
    if (b.negative) return from_text("0");
    if (b.magnitude == "0") return from_text("1");  // 0^0 too
    bool odd = (b.magnitude.back() - '0') % 2 == 1;
    bool negative = a.negative && odd;
    if (a.magnitude == "0") return from_text("0");
    if (a.magnitude == "1") return from_text(negative ? "01" : "1");
    // |a| >= 2: an exponent of 19 digits or more would make more than 10^18 digits.
    if (b.magnitude.size() > kSmallDigits) return leaves().Z;
    uint64_t e = read_u64(b.magnitude);
    if (power_too_large(a.magnitude.size(), e)) return leaves().Z;
    if (a.magnitude.size() <= kSmallDigits) {
        // by squaring in 64 bits while the result fits
        uint64_t result = 1, base = read_u64(a.magnitude);
        bool fits = true;
        for (uint64_t k = e;;) {
            if ((k & 1) && __builtin_mul_overflow(result, base, &result)) {
                fits = false;
                break;
            }
            k >>= 1;
            if (k == 0) break;
            if (__builtin_mul_overflow(base, base, &base)) {
                fits = false;
                break;
            }
        }
        if (fits) return integer_leaf(negative ? -i128(result) : i128(result));
    }
    std::string m = power_magnitude(a.magnitude, e);
    if (m.empty()) return leaves().Z;
    return signed_result(negative, std::move(m));
}

// The remainder with the sign of the divisor: a = b q + r with q = floor(a / b).
CellRef integer_remainder(const Decimal& a, const Decimal& b) {
    if (b.magnitude == "0") return leaves().Z;
    std::string r;
    divide_magnitudes(a.magnitude, b.magnitude, nullptr, &r);
    if (r == "0") return from_text("0");
    if (a.negative == b.negative) return signed_result(b.negative, std::move(r));
    return signed_result(b.negative, subtract_magnitudes(b.magnitude, r));
}

CellRef integer_operation(ArithOp op, Cell* x, Cell* y) {
    Decimal a = decimal_of(x), b = decimal_of(y);
    switch (op) {
        case ArithOp::Plus: return add_signed(a.negative, a.magnitude, b.negative, b.magnitude);
        case ArithOp::Dash: return add_signed(a.negative, a.magnitude, !b.negative, b.magnitude);
        case ArithOp::Mult:
#ifdef RUK_FUZZING
            // the fuzzing build bounds products like powers (core/bigint.h)
            if (a.magnitude.size() + b.magnitude.size() > max_power_digits + 1) return leaves().Z;
#endif
            return signed_result(a.negative != b.negative,
                                 multiply_magnitudes(a.magnitude, b.magnitude));
        case ArithOp::Over: {
            if (b.magnitude == "0") return leaves().Z;
            std::string q;
            divide_magnitudes(a.magnitude, b.magnitude, &q, nullptr);
            return signed_result(a.negative != b.negative, std::move(q));  // toward zero
        }
        case ArithOp::Cent: return integer_remainder(a, b);
        case ArithOp::Powa: return integer_power(a, b);
    }
    RUK_FATAL("arithop");
}

// Both operands small number leaves: no big-number code and no heap beyond the leaf.
CellRef small_operation(ArithOp op, int64_t x, int64_t y) {
    RUK_ASSERT(op != ArithOp::Powa);
    int64_t r;
    if (small_arithmetic(op, x, y, &r)) return integer_from_int64(r);
    if (op == ArithOp::Mult) return integer_leaf(i128(x) * y);  // beyond 64 bits
    return leaves().Z;                                          // a division by zero
}

// ---- reals ------------------------------------------------------------------------

double as_double(Cell* v, Kind k) {
    switch (k) {
        case Kind::Real: return double_from_real(v);
        case Kind::Integer: return double_from_integer(v);
        case Kind::BinaryFloat: return double_from_binary_float(v);
        default: break;
    }
    RUK_FATAL("truecast");
}

CellRef real_operation(ArithOp op, double x, double y) {
    switch (op) {
        case ArithOp::Plus: return real_from_double(x + y);
        case ArithOp::Dash: return real_from_double(x - y);
        case ArithOp::Mult: return real_from_double(x * y);
        case ArithOp::Over: return real_from_double(x / y);
        case ArithOp::Cent: return real_from_double(std::fmod(x, y));
        case ArithOp::Powa: return real_from_double(std::pow(x, y));
    }
    RUK_FATAL("arithop");
}

// ---- blobs and texts --------------------------------------------------------------

// The bytes of a blob, or the text a data value reads as; false for a text too long to
// build.
bool bytes_of(Cell* v, Kind k, DataText& store, std::string_view* bytes) {
    if (k == Kind::Blob) {
        *bytes = blob_payload(v);
        return true;
    }
    if (!data_text(v, store)) return false;
    *bytes = store.text;
    return true;
}

CellRef same_kind_from(Kind k, std::string_view bytes) {
    return k == Kind::Blob ? blob_result(bytes) : text_from_inner(bytes);
}

// The sign of the integer n, and its magnitude when that has at most 18 digits; false
// for a longer one, which is far more than any blob or text is long or could be
// repeated. (Read as a machine integer, such a count would wrap around instead.)
bool small_count(Cell* n, bool* negative, uint64_t* magnitude) {
    Decimal d = decimal_of(n);
    *negative = d.negative;
    if (d.magnitude.size() > kSmallDigits) return false;
    *magnitude = read_u64(d.magnitude);
    return true;
}

// a - n for a blob or text a of length L: n > 0 drops the first n units, n <= 0 the
// last |n|; |n| = L leaves the empty value, |n| > L is "Z". Texts are cut by elements.
CellRef trimmed(Cell* a, Kind k, Cell* n) {
    bool negative = false;
    uint64_t m = 0;
    if (!small_count(n, &negative, &m)) return leaves().Z;
    DataText store;
    std::string_view s;
    if (!bytes_of(a, k, store, &s)) return leaves().Z;
    if (k == Kind::Blob) {
        if (m > s.size()) return leaves().Z;
        return blob_result(negative ? s.substr(0, s.size() - m) : s.substr(m));
    }
    Elements e = text_elements(s);
    if (m > e.count) return leaves().Z;
    return text_from_inner(negative ? e.slice(0, e.count - m) : e.slice(m, e.count));
}

// Appends s n times, doubling the copied block each round.
void append_repeated(std::string& out, std::string_view s, size_t n) {
    size_t start = out.size(), total = s.size() * n;
    if (total == 0) return;
    out.resize(start + total);
    char* base = out.data() + start;
    std::memcpy(base, s.data(), s.size());
    for (size_t filled = s.size(); filled < total;) {
        size_t chunk = std::min(filled, total - filled);
        std::memcpy(base + filled, base, chunk);
        filled += chunk;
    }
}

// a * n for a blob or text a: its bytes n times over; n < 0 is "Z", and so is a result
// longer than kMaxBuilt.
CellRef repeated(Cell* a, Kind k, Cell* n) {
    bool negative = false;
    uint64_t m = 0;
    DataText store;
    std::string_view s;
    if (!bytes_of(a, k, store, &s)) return leaves().Z;
    if (k == Kind::Data) s = text_inner(s);
    bool small = small_count(n, &negative, &m);
    if (negative) return leaves().Z;
    if (s.empty()) return same_kind_from(k, {});
    if (!small) return leaves().Z;
    if (m == 0) return same_kind_from(k, {});
    if (u128(s.size()) * m > kMaxBuilt) return leaves().Z;
    std::string out;
    if (k == Kind::Blob) {
        append_repeated(out, s, size_t(m));
        return blob_result(out);
    }
    out.reserve(size_t(s.size() * m + 2));
    out += '[';
    append_repeated(out, s, size_t(m));
    out += ']';
    return text_result(std::move(out));
}

// a + b for two blobs or two texts: the bytes of a, then those of b.
CellRef joined(Cell* a, Cell* b, Kind k) {
    DataText sa, sb;
    std::string_view x, y;
    if (!bytes_of(a, k, sa, &x) || !bytes_of(b, k, sb, &y)) return leaves().Z;
    if (k == Kind::Data) {
        x = text_inner(x);
        y = text_inner(y);
    }
    if (u128(x.size()) + y.size() > kMaxBuilt) return leaves().Z;
    std::string out;
    out.reserve(x.size() + y.size() + 2);
    if (k == Kind::Data) out += '[';
    out += x;
    out += y;
    if (k == Kind::Blob) return blob_result(out);
    out += ']';
    return text_result(std::move(out));
}

}  // namespace

Decimal decimal_of(Cell* v) {
    Decimal d;
    std::string_view t;
    if (is_leaf(v) && is_digit(first_byte(v))) {
        t = leaf_text(v);
    } else if (is_letter(v, 'K')) {
        t = "0";
    } else {
        d.hold = compact_form(v);
        t = d.hold.view();
    }
    if (t.size() > 1 && t[0] == '0') {
        d.negative = true;
        t.remove_prefix(1);
    }
    // Only the list K then the empty list, which has no meaning of its own, gives "00":
    // it reads as zero.
    while (t.size() > 1 && t[0] == '0') t.remove_prefix(1);
    if (t == "0") d.negative = false;
    d.magnitude = t;
    return d;
}

CellRef arithmetic(ArithOp op, Cell* a, Cell* b) {
    int64_t x, y;
    if (op != ArithOp::Powa && small_integer(a, &x) && small_integer(b, &y))
        return small_operation(op, x, y);

    Kind ka = operand_kind(a), kb = operand_kind(b);
    if (ka == Kind::Other || kb == Kind::Other) return leaves().Z;
    bool bytes_first = ka == Kind::Blob || ka == Kind::Data;
    if (bytes_first && kb == Kind::Integer) {
        if (op == ArithOp::Dash) return trimmed(a, ka, b);
        if (op == ArithOp::Mult) return repeated(a, ka, b);
    }
    if (ka != kb) {
        if (bytes_first || kb == Kind::Blob || kb == Kind::Data) return leaves().Z;
        return real_operation(op, as_double(a, ka), as_double(b, kb));
    }
    switch (ka) {
        case Kind::Integer: return integer_operation(op, a, b);
        case Kind::Real: return real_operation(op, double_from_real(a), double_from_real(b));
        case Kind::BinaryFloat:
            if (op == ArithOp::Plus || op == ArithOp::Dash)
                return binary_float_sum(a, b, op == ArithOp::Dash);
            return leaves().Z;
        case Kind::Blob:
            if (op == ArithOp::Plus) return joined(a, b, ka);
            return leaves().Z;
        case Kind::Data:
            if (op == ArithOp::Plus) return joined(a, b, ka);
            if (op == ArithOp::Dash) return apply(CellRef(a), CellRef(b));  // a applied to b
            return leaves().Z;
        case Kind::Other: break;
    }
    return leaves().Z;
}

}  // namespace ruk
