#include "core/compare.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "core/arith.h"
#include "core/binfloat.h"
#include "core/data.h"
#include "core/datatext.h"
#include "core/leaves.h"
#include "core/number.h"

namespace ruk {

namespace {

int sign_of(int c) { return (c > 0) - (c < 0); }

// Bytewise, unsigned; a proper prefix comes first.
int byte_order(std::string_view x, std::string_view y) {
    size_t n = std::min(x.size(), y.size());
    if (n != 0)
        if (int c = std::memcmp(x.data(), y.data(), n); c != 0) return sign_of(c);
    return x.size() < y.size() ? -1 : (x.size() > y.size() ? 1 : 0);
}

// Canonical magnitudes: the longer is larger, else the first differing digit decides.
int magnitude_order(std::string_view x, std::string_view y) {
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    return sign_of(x.compare(y));
}

int integer_order(Cell* a, Cell* b) {
    Decimal x = decimal_of(a), y = decimal_of(b);
    if (x.negative != y.negative) return x.negative ? -1 : 1;
    int c = magnitude_order(x.magnitude, y.magnitude);
    return x.negative ? -c : c;
}

// Integers are equal when their decimal texts are: a number leaf's own text, a bit list's
// compact form, and for the leaf "K" the text "K", which is zero to the order but equals
// only "K".
bool integer_texts_equal(Cell* a, Cell* b) {
    bool ka = is_letter(a, 'K'), kb = is_letter(b, 'K');
    if (ka || kb) return ka && kb;
    return compact_form(a).view() == compact_form(b).view();
}

// By value, then equal values by their bit strings read as numbers.
int binary_float_total_order(Cell* a, Cell* b) {
    if (int c = binary_float_order(a, b); c != 0) return c;
    BitString x = bits_from_value(a), y = bits_from_value(b);
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    for (size_t i = x.size(); i-- > 0;)
        if (x[i] != y[i])
            return static_cast<unsigned char>(x[i]) < static_cast<unsigned char>(y[i]) ? -1 : 1;
    return 0;
}

CellRef from_order(CompareOp op, int c) { return leaf_bool(order_holds(op, c, 0)); }

}  // namespace

CellRef comparison(CompareOp op, Cell* a, Cell* b) {
    int64_t x, y;
    if (small_integer(a, &x) && small_integer(b, &y)) return leaf_bool(order_holds(op, x, y));

    Kind ka = operand_kind(a), kb = operand_kind(b);
    if (ka == Kind::Other || kb == Kind::Other) return leaves().Z;
    if (ka != kb) return from_order(op, kind_letter(ka) < kind_letter(kb) ? -1 : 1);
    switch (ka) {
        case Kind::Integer:
            if (op == CompareOp::Same || op == CompareOp::Diff)
                return leaf_bool(integer_texts_equal(a, b) == (op == CompareOp::Same));
            return from_order(op, integer_order(a, b));
        case Kind::Real:  // IEEE: a NaN is neither less, equal nor greater-or-equal
            return leaf_bool(order_holds(op, double_from_real(a), double_from_real(b)));
        case Kind::BinaryFloat: return from_order(op, binary_float_total_order(a, b));
        case Kind::Blob: return from_order(op, byte_order(blob_payload(a), blob_payload(b)));
        case Kind::Data: {
            DataText x, y;
            // texts too long to build (only shared pairs make them) cannot be compared
            if (!data_text(a, x) || !data_text(b, y)) return leaves().Z;
            return from_order(op, byte_order(text_inner(x.text), text_inner(y.text)));
        }
        case Kind::Other: break;
    }
    return leaves().Z;
}

}  // namespace ruk
