// Numbers and truth values as cells: operand kinds, sign and magnitude, machine integers,
// reals, and the walk from bit lists to bit strings. The decimal and binary conversions
// themselves are in core/bits.cpp.
#include "core/number.h"

#include "core/leaves.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "core/analyse.h"
#include "core/bits.h"

namespace ruk {

namespace {

using u128 = unsigned __int128;

inline bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

inline const char* bytes_of(const Cell* c) { return static_cast<const Leaf*>(c)->bytes(); }

inline bool is_number_leaf(const Cell* c) { return is_leaf(c) && is_digit(first_byte(c)); }

bool all_digits(std::string_view t) {
    for (char c : t)
        if (!is_digit(static_cast<unsigned char>(c))) return false;
    return true;
}

// J e rest, e the leaf K or H: gives the element (K = true) and the rest.
bool split_list_cell(const Cell* c, bool* element, Cell** rest) {
    if (!is_pair(c)) return false;
    const Cell* l = left_of(c);
    if (!is_pair(l) || !is_letter(left_of(l), 'J')) return false;
    const Cell* e = right_of(l);
    if (is_letter(e, 'K'))
        *element = true;
    else if (is_letter(e, 'H'))
        *element = false;
    else
        return false;
    *rest = right_of(c);
    return true;
}

// True when the list from c on is whole: elements K or H, ending in "K" or a number leaf
// of digits only.
bool list_is_whole(Cell* c) {
    bool e;
    while (split_list_cell(c, &e, &c)) continue;
    if (is_letter(c, 'K')) return true;
    return is_number_leaf(c) && all_digits(leaf_text(c));
}

// A negative number leaf: "0" followed by a digit other than "0".
inline bool is_negative_text(std::string_view t) {
    return t.size() > 1 && t[0] == '0' && t[1] != '0';
}

// The low 64 bits of V for a number leaf text of z zeros and then digits N:
// V = N 2^(z+1) + 2^z - 1.
uint64_t low64_of_bit_value(std::string_view text) {
    size_t z = 0;
    while (z < text.size() && text[z] == '0') ++z;
    uint64_t n = low64_of_digits(text.substr(z));
    uint64_t high = z + 1 < 64 ? n << (z + 1) : 0;
    uint64_t ones = z < 64 ? (uint64_t(1) << z) - 1 : ~uint64_t(0);
    return high + ones;
}

// The low 64 bits of V >> 1 for the list or number leaf v (the magnitude part of the
// machine-integer conversion).
uint64_t low64_of_half_value(Cell* v) {
    if (is_leaf(v)) {
        if (is_letter(v, 'K')) return 0;
        RUK_ASSERT(is_number_leaf(v));
        std::string_view t = leaf_text(v);
        size_t z = 0;
        while (z < t.size() && t[z] == '0') ++z;
        uint64_t n = low64_of_digits(t.substr(z));
        if (z == 0) return n;  // V = 2N
        // V >> 1 = N 2^z + 2^(z-1) - 1
        uint64_t high = z < 64 ? n << z : 0;
        uint64_t ones = z - 1 < 64 ? (uint64_t(1) << (z - 1)) - 1 : ~uint64_t(0);
        return high + ones;
    }
    // Bits 1..64 of V come from the first 65 positions of the list.
    u128 acc = 0;
    size_t pos = 0;
    bool e;
    while (split_list_cell(v, &e, &v)) {
        if (pos < 65 && e) acc |= u128(1) << pos;
        ++pos;
    }
    if (pos < 65) {
        if (is_letter(v, 'K'))
            acc |= u128(1) << pos;
        else {
            RUK_ASSERT(is_number_leaf(v));
            acc += u128(low64_of_bit_value(leaf_text(v))) << pos;
        }
    }
    return uint64_t(acc >> 1);
}

// Appends the elements of a bit string after `count` elements held in out (bits at and
// above `count` clear).
void append_bits(BitString& out, size_t count, std::string_view tail) {
    size_t at = count / 8, bit = count % 8;
    out.resize(at + tail.size() + 1, '\0');
    for (size_t i = 0; i < tail.size(); ++i) {
        unsigned b = static_cast<unsigned char>(tail[i]);
        out[at + i] = char(static_cast<unsigned char>(out[at + i]) | ((b << bit) & 0xFF));
        if (bit != 0) out[at + i + 1] = char(b >> (8 - bit));
    }
    while (out.back() == 0) out.pop_back();
}

// strtod of "-" + magnitude (digits), without touching the heap for short texts.
double read_negative(std::string_view magnitude) {
    char small[64];
    std::string large;
    char* p = small;
    if (magnitude.size() + 2 > sizeof small) {
        large.resize(magnitude.size() + 2);
        p = large.data();
    }
    p[0] = '-';
    std::memcpy(p + 1, magnitude.data(), magnitude.size());
    p[1 + magnitude.size()] = '\0';
    return std::strtod(p, nullptr);
}

// Writes the decimal digits of x ("0" for zero) to end just before `end`; gives their count.
size_t write_u64(char* end, uint64_t x) {
    char* p = end;
    do {
        *--p = char('0' + x % 10);
        x /= 10;
    } while (x != 0);
    return size_t(end - p);
}

}  // namespace

// ---- truth values -----------------------------------------------------------------

CellRef boolean(bool value) { return leaf_bool(value); }

CellRef undefined() { return leaves().Z; }

bool is_letter(const Cell* c, char letter) {
    if (!is_leaf(c)) return false;
    const char* b = bytes_of(c);
    return b[0] == letter && b[1] == '\0';
}

// ---- operand kinds ----------------------------------------------------------------

bool is_data_cell(Cell* c) {
    auto settled = [](const Cell* x, bool* data) {
        if (annotation_byte(x) != 0) {
            *data = is_data_annotation(x);
            return true;
        }
        if (is_leaf(x)) {
            *data = first_byte(x) == '[';
            return true;
        }
        return false;
    };
    bool data;
    if (settled(c, &data)) return data;
    // Most pairs are applications with a name at the head: look there first.
    const Cell* head = c;
    while (is_pair(head) && annotation_byte(head) == 0) head = left_of(head);
    if (!settled(head, &data) || !data) return false;
    std::vector<const Cell*> todo{c};
    std::unordered_set<const Cell*> seen;  // shared parts are looked at once
    while (!todo.empty()) {
        const Cell* x = todo.back();
        todo.pop_back();
        if (settled(x, &data)) {
            if (!data) return false;
            continue;
        }
        if (!seen.insert(x).second) continue;
        todo.push_back(right_of(x));
        todo.push_back(left_of(x));
    }
    return true;
}

bool is_bit_list(Cell* v) {
    if (is_leaf(v)) return is_letter(v, 'K') || is_digit(first_byte(v));
    bool e;
    Cell* rest;
    return split_list_cell(v, &e, &rest);
}

Kind operand_kind(Cell* v) {
    unsigned char first = first_byte(v);
    if (is_leaf(v)) {
        if (first == ' ') return Kind::Real;
        if (first == '(') return Kind::Blob;
    }
    if (is_data_cell(v)) return Kind::Data;
    if (is_leaf(v)) {
        if (is_letter(v, 'K')) return Kind::Integer;
        if (!is_digit(first)) return Kind::Other;
        std::string_view t = leaf_text(v);
        if (!all_digits(t)) return Kind::Other;
        return t.size() > 1 && t[1] == '0' && t[0] == '0' ? Kind::BinaryFloat : Kind::Integer;
    }
    bool e0;
    Cell* rest;
    if (!split_list_cell(v, &e0, &rest) || !list_is_whole(rest)) return Kind::Other;
    if (!e0) return Kind::Integer;  // H ...
    // K then: H ..., "K", or a number leaf not beginning "0" is an integer; K ... (a
    // second K element, also from a leaf beginning "0") a binary float.
    bool e1;
    Cell* after;
    if (split_list_cell(rest, &e1, &after)) return e1 ? Kind::BinaryFloat : Kind::Integer;
    if (is_letter(rest, 'K')) return Kind::Integer;
    std::string_view t = leaf_text(rest);
    if (t[0] != '0') return Kind::Integer;
    return t.size() > 1 ? Kind::BinaryFloat : Kind::Other;  // "0" alone has no elements
}

// ---- sign and magnitude -----------------------------------------------------------

bool is_non_negative(Cell* v) {
    if (is_leaf(v)) return !is_number_leaf(v) || !is_negative_text(leaf_text(v));
    bool e;
    Cell* rest;
    return !(split_list_cell(v, &e, &rest) && e);
}

CellRef magnitude(Cell* v) {
    if (is_leaf(v)) {
        if (is_number_leaf(v) && is_negative_text(leaf_text(v)))
            return from_bytes(leaf_text(v).substr(1));
        return CellRef(v);
    }
    bool e;
    Cell* rest;
    if (split_list_cell(v, &e, &rest) && e) return CellRef(rest);
    return CellRef(v);
}

CellRef negate(Cell* v) {
    if (is_zero(v)) return CellRef(v);
    if (is_number_leaf(v)) {
        std::string_view t = leaf_text(v);
        if (t[0] == '0') return from_bytes(t.substr(1));
        std::string s;
        s.reserve(t.size() + 1);
        s += '0';
        s += t;
        return from_string(std::move(s));
    }
    bool e;
    Cell* rest;
    RUK_ASSERT(split_list_cell(v, &e, &rest));
    if (e) return CellRef(rest);
    return apply(apply(leaves().J, leaves().K), CellRef(v));
}

bool is_zero(Cell* v) { return is_letter(v, 'K') || is_letter(v, '0'); }

// ---- machine integers -------------------------------------------------------------

CellRef integer_from_int64(int64_t x) {
    char buf[24];
    char* end = buf + sizeof buf;
    // the magnitude as unsigned, so that INT64_MIN has one
    uint64_t m = x < 0 ? uint64_t(0) - uint64_t(x) : uint64_t(x);
    size_t n = write_u64(end, m);
    if (x < 0) {
        ++n;
        *(end - n) = '0';  // the minus sign before the digits
    }
    return from_bytes(std::string_view(end - n, n));
}

CellRef integer_from_uint64(uint64_t x) {
    char buf[24];
    char* end = buf + sizeof buf;
    size_t n = write_u64(end, x);
    return from_bytes(std::string_view(end - n, n));
}

CellRef integer_from_int64_printed(int64_t x) {
    if (x < 0) return integer_from_int64(x);
    char buf[24];
    int n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(x));
    return from_bytes(std::string_view(buf, size_t(n)));
}

int64_t int64_from_integer(Cell* v) {
    bool negative = !is_non_negative(v);
    uint64_t m;
    if (is_leaf(v)) {
        std::string_view t = leaf_text(v);
        if (negative) {
            m = low64_of_digits(t.substr(1));  // asserts on a non-digit
        } else {
            m = low64_of_half_value(v);
        }
    } else {
        bool e;
        Cell* rest;
        RUK_ASSERT(split_list_cell(v, &e, &rest));
        m = low64_of_half_value(negative ? rest : v);
    }
    return static_cast<int64_t>(negative ? uint64_t(0) - m : m);
}

// ---- reals ------------------------------------------------------------------------

CellRef real_from_double(double d) {
    char buf[9];
    buf[0] = ' ';
    std::memcpy(buf + 1, &d, 8);
    return from_bytes(std::string_view(buf, 9));
}

double double_from_real(Cell* real) {
    RUK_ASSERT(is_leaf(real) && first_byte(real) == ' ');
    double d;
    std::memcpy(&d, bytes_of(real) + 1, 8);
    return d;
}

double double_from_integer(Cell* v) {
    bool negative = !is_non_negative(v);
    if (is_letter(v, 'K')) return 0.0;
    if (is_leaf(v)) {
        RUK_ASSERT(is_number_leaf(v));
        std::string_view t = leaf_text(v);
        if (!negative) return std::strtod(t.data(), nullptr);  // leaf texts end in a NUL
        return read_negative(t.substr(1));
    }
    CellRef m = magnitude(v);
    CellRef text = compact_form(m.get());
    std::string_view t = text.view();
    if (!negative) return std::strtod(t.data(), nullptr);  // leaf texts end in a NUL
    return read_negative(t);
}

CellRef real_from_integer(Cell* v) { return real_from_double(double_from_integer(v)); }

// ---- bit strings and compact form ---------------------------------------------------

BitString bits_from_value(Cell* v) {
    if (is_number_leaf(v)) return bits_from_decimal(leaf_text(v));
    BitString out;
    unsigned byte = 0;
    size_t count = 0;
    bool e;
    while (split_list_cell(v, &e, &v)) {
        byte |= unsigned(e) << (count % 8);
        if (++count % 8 == 0) {
            out.push_back(char(byte));
            byte = 0;
        }
    }
    if (is_letter(v, 'K')) {
        out.push_back(char(byte | (1u << (count % 8))));  // the end marker
        return out;
    }
    if (!is_number_leaf(v)) return BitString();
    if (count % 8 != 0) out.push_back(char(byte));
    append_bits(out, count, bits_from_decimal(leaf_text(v)));
    return out;
}

CellRef compact_form(Cell* v) {
    if (is_number_leaf(v)) return CellRef(v);
    if (is_letter(v, 'K')) return from_text("0");
    BitString bits = bits_from_value(v);
    RUK_ASSERT(!bits.empty());
    return from_string(decimal_from_bits(bits));
}

// ---- numbers applied as functions -------------------------------------------------

CellRef first_element(Cell* number) {
    RUK_ASSERT(is_number_leaf(number) && !is_letter(number, '0'));
    return from_text(first_byte(number) == '0' ? "K" : "H");
}

CellRef rest_of_number(Cell* number) {
    RUK_ASSERT(is_number_leaf(number) && !is_letter(number, '0'));
    std::string_view t = leaf_text(number);
    // z zeros and N: V >> 1 is the value of z - 1 zeros and N.
    if (t[0] == '0') return from_bytes(t.substr(1));
    // V = 2N, so the rest is the text of N's own bits: its t low ones as zeros, then
    // N >> (t + 1) in decimal.
    if (t.size() <= 19) {
        RUK_ASSERT(all_digits(t));
        uint64_t n = low64_of_digits(t);
        int ones = std::countr_one(n);  // n < 10^19 is not all ones
        char buf[96];
        std::memset(buf, '0', size_t(ones));
        uint64_t above = ones < 63 ? n >> (ones + 1) : 0;
        size_t len = size_t(ones);
        if (above != 0) {
            char digits[24];
            size_t k = write_u64(digits + sizeof digits, above);
            std::memcpy(buf + len, digits + sizeof digits - k, k);
            len += k;
        }
        return from_bytes(std::string_view(buf, len));
    }
    int ones = std::countr_one(low64_of_digits(t));
    if (ones < 59) {
        std::string s(size_t(ones), '0');
        s += halve_digits(t, unsigned(ones + 1));
        return from_string(std::move(s));
    }
    // 59 or more low ones: halve the bit string instead
    BitString bits = bits_from_decimal(t);
    for (size_t i = 0; i < bits.size(); ++i) {
        unsigned next = i + 1 < bits.size() ? static_cast<unsigned char>(bits[i + 1]) : 0;
        bits[i] = char((static_cast<unsigned char>(bits[i]) >> 1) | ((next & 1) << 7));
    }
    while (bits.back() == 0) bits.pop_back();
    return from_string(decimal_from_bits(bits));
}

// ---- cells from bit strings and binary floats ----------------------------------------

CellRef list_from_bits(std::string_view bits) {
    size_t n = bit_length(bits);
    const CommonLeaves& shared = leaves();
    CellRef j = shared.J, one = shared.K, zero = shared.H;
    // Once the checker has analysed the program (J among it), each pair is analysed as it
    // is made, from parts analysed already: a long list is never analysed in one deep walk.
    const bool analysed = annotation_byte(j.get()) != 0;
    CellRef list = one;
    for (size_t i = n; i-- > 0;) {
        list = apply(apply(j, bit_at(bits, i) ? one : zero), std::move(list));
        if (analysed) {
            analyse(left_of(list.get()));
            analyse(list.get());
        }
    }
    return list;
}

CellRef binary_float_from_double(double d) {
    if (std::isnan(d) || std::isinf(d) || (d == 0.0 && std::signbit(d))) return from_text("00");
    if (d == 0.0) return from_text("000");
    return from_string(decimal_from_bits(binary_float_bits(d)));
}

double double_from_binary_float(Cell* v) {
    BitString bits = bits_from_value(v);
    RUK_ASSERT(!bits.empty());
    return double_from_binary_float_bits(bits);
}

CellRef real_from_binary_float(Cell* v) { return real_from_double(double_from_binary_float(v)); }

}  // namespace ruk
