#include "core/unary.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/data.h"
#include "core/datatext.h"
#include "core/leaves.h"
#include "core/number.h"

namespace ruk {

namespace {

// The list of a number reversed: element i goes to n - 1 - i, the end marker stays at n.
CellRef reversed_number(Cell* x) {
    BitString bits = bits_from_value(x);
    RUK_ASSERT(!bits.empty());
    size_t n = bit_length(bits);
    BitString out(bits.size(), '\0');
    for (size_t i = 0; i < n; ++i)
        if (bit_at(bits, i)) {
            size_t j = n - 1 - i;
            out[j / 8] = char(static_cast<unsigned char>(out[j / 8]) | (1u << (j % 8)));
        }
    out[n / 8] = char(static_cast<unsigned char>(out[n / 8]) | (1u << (n % 8)));
    return from_string(decimal_from_bits(out));
}

// A NaN with its payload reversed. The fraction is read as a list from its top bit down
// to its lowest set bit p, which ends it like an end marker: the bits above p trade
// places end for end (bit 51 - j with bit p + 1 + j), and bit p, the bits below it, the
// sign and the exponent stay. So the result is a NaN again, and flipping it twice gives
// x back. Infinities and finite doubles have no payload: "Z".
CellRef reversed_nan(double d) {
    constexpr uint64_t kFraction = (uint64_t(1) << 52) - 1;
    uint64_t raw = std::bit_cast<uint64_t>(d);
    uint64_t fraction = raw & kFraction;
    if (((raw >> 52) & 0x7FF) != 0x7FF || fraction == 0) return leaves().Z;
    int p = std::countr_zero(fraction);
    uint64_t out = raw & ~(kFraction & ~((uint64_t(2) << p) - 1));  // clear bits p+1..51
    for (int j = 0; j <= 50 - p; ++j)
        if ((raw >> (p + 1 + j)) & 1) out |= uint64_t(1) << (51 - j);
    return real_from_double(std::bit_cast<double>(out));
}

}  // namespace

CellRef buck(Cell* x) {
    switch (operand_kind(x)) {
        case Kind::Integer: return leaf_bool(is_non_negative(x));
        case Kind::Real: return leaf_bool(!std::signbit(double_from_real(x)));
        case Kind::BinaryFloat: {
            BitString bits = bits_from_value(x);
            return leaf_bool(bit_length(bits) <= 2 || bit_at(bits, 2));
        }
        case Kind::Blob: {
            std::string_view p = blob_payload(x);
            if (p.empty()) return leaves().Z;
            return from_string(encode_text(p.substr(0, 1)));
        }
        case Kind::Data: {
            if (is_pair(x)) return CellRef(left_of(x));
            Elements e = text_elements(leaf_text(x));
            if (e.count == 0) return leaves().Z;
            return text_from_inner(e.slice(0, 1));
        }
        case Kind::Other: break;
    }
    return leaves().Z;
}

CellRef wave(Cell* x) {
    switch (operand_kind(x)) {
        case Kind::Integer: return negate(x);
        case Kind::Real:
            return real_from_double(std::bit_cast<double>(
                std::bit_cast<uint64_t>(double_from_real(x)) ^ (uint64_t(1) << 63)));
        case Kind::BinaryFloat: {
            BitString bits = bits_from_value(x);
            if (bit_length(bits) <= 2) return CellRef(x);  // "00" and "000": no sign element
            bits[0] = char(bits[0] ^ 4);
            return from_string(decimal_from_bits(bits));
        }
        case Kind::Blob: {
            std::string_view p = blob_payload(x);
            if (p.empty()) return leaves().Z;
            return make_blob(p.substr(1));
        }
        case Kind::Data: {
            if (is_pair(x)) return CellRef(right_of(x));
            Elements e = text_elements(leaf_text(x));
            if (e.count == 0) return leaves().Z;
            return text_from_inner(e.slice(1, e.count));
        }
        case Kind::Other: break;
    }
    return leaves().Z;
}

CellRef flip(Cell* x) {
    if (is_letter(x, 'H')) return leaves().K;
    if (is_letter(x, 'K')) return leaves().H;  // before the kinds: here "K" is true
    switch (operand_kind(x)) {
        case Kind::Integer:
        case Kind::BinaryFloat: return reversed_number(x);
        case Kind::Real: return reversed_nan(double_from_real(x));
        case Kind::Blob: {
            std::string_view p = blob_payload(x);
            return make_blob(std::string(p.rbegin(), p.rend()));
        }
        case Kind::Data: {
            DataText t;
            if (!data_text(x, t)) return leaves().Z;
            Elements e = text_elements(t.text);
            std::string out;
            out.reserve(t.text.size());
            out += '[';
            for (size_t i = e.count; i-- > 0;) out += e.at(i);
            out += ']';
            return text_result(std::move(out));
        }
        case Kind::Other: break;
    }
    return leaves().Z;
}

CellRef real_of(Cell* x) {
    switch (operand_kind(x)) {
        case Kind::Real: return CellRef(x);
        case Kind::Integer: return real_from_integer(x);
        case Kind::BinaryFloat: return real_from_binary_float(x);
        case Kind::Blob:
            // the payload is followed by the leaf's NUL, so strtod stops inside the cell
            return real_from_double(std::strtod(blob_payload(x).data(), nullptr));
        case Kind::Data: {
            // the bytes inside the brackets: a text's "[" would stop the reading at once
            DataText t;
            if (!data_text(x, t)) return leaves().Z;
            return real_from_double(std::atof(t.text.data() + 1));
        }
        case Kind::Other: break;
    }
    return leaves().Z;
}

CellRef rank_of(Cell* x) {
    switch (operand_kind(x)) {
        case Kind::Blob: return integer_from_int64_printed(int64_t(blob_payload(x).size()));
        case Kind::Real: return from_text("8");
        case Kind::Integer:
        case Kind::BinaryFloat: return integer_from_int64(int64_t(compact_form(x).view().size()));
        case Kind::Data: {
            // shared pairs can stand for more bytes than a machine integer counts
            uint64_t n = data_length(x);
            if (n > uint64_t(INT64_MAX)) return leaves().Z;
            return integer_from_int64(int64_t(n));
        }
        case Kind::Other: break;
    }
    return leaves().Z;
}

}  // namespace ruk
