// The comparisons < > = # (the builtins less gteq same diff); ">" is "greater or equal".
//
// Values of kind other give "Z", and so do texts too long to build (only pairs that
// share their parts make them). Values of different kinds are ordered by their kind
// letters, blob < real < integer < binary float < data < other, and are never equal.
// Within a kind: blobs and texts by their bytes (unsigned, a proper prefix first; a data
// pair by the text it reads as), integers in numeric order ("K" reads as zero) and equal
// when their decimal texts are (so "K" equals only "K", and is neither below nor equal to
// "0"), reals in IEEE order (a NaN is neither less, equal nor greater-or-equal), binary
// floats by value. `diff` is the complement of `same` everywhere, `gteq` of `less`
// everywhere but at a real NaN.
//
// Binary floats with the same value but different payloads (zeros of both signs, digits
// of 0 written past the last 1) are equal in value but not the same; they are ordered by
// their compact forms read as bit values, so that exactly one of a < b, a = b, b < a holds.
// The NaN "00" lies below every number.
#pragma once

#include "core/cell.h"

namespace ruk {

enum class CompareOp { Less, Gteq, Same, Diff };

// The shared leaf "K" or "H", or "Z" when an operand is of kind other.
[[nodiscard]] CellRef comparison(CompareOp op, Cell* a, Cell* b);

// Whether x op y holds; for two values in some order, x is the order (below, at or above
// 0) and y is 0.
template <typename T>
[[nodiscard]] inline bool order_holds(CompareOp op, T x, T y) {
    switch (op) {
        case CompareOp::Less: return x < y;
        case CompareOp::Gteq: return x >= y;
        case CompareOp::Same: return x == y;
        case CompareOp::Diff: return x != y;
    }
    return false;
}

}  // namespace ruk
