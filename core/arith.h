// The arithmetic operators + - * / % ^ (the builtins plus dash mult over cent powa).
//
// Each takes two values in weak head normal form and dispatches on their operand kinds:
//   either operand of kind other                      "Z"
//   a blob or text, then an integer, for - and *      trimming and repetition
//   different kinds, a blob or text among them        "Z"
//   different kinds among integer, real, binary float both as doubles, then as reals
//   the same kind                                     the operation of that kind
// Integers are exact, in decimal of any length; / truncates toward zero and % takes the
// sign of the divisor; a power too large to build is "Z". Reals follow IEEE and the C
// library. Binary floats add and subtract exactly. Blobs and texts join with +; a text
// - a text is the pair of the two. Every other pair of kinds gives "Z". Results made of
// bytes are bounded by kMaxBuilt (core/datatext.h): beyond it they are "Z", and so
// are trimming and repetition counts of more than 18 digits, which no text could meet.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/cell.h"

namespace ruk {

enum class ArithOp { Plus, Dash, Mult, Over, Cent, Powa };

// a op b, a new cell (or one of the operands, or the shared "Z").
[[nodiscard]] CellRef arithmetic(ArithOp op, Cell* a, Cell* b);

// An integer as a sign and a canonical decimal magnitude (no leading zeros, "0" for
// zero, never a negative zero). A bit list is brought to its compact form first, which
// `hold` keeps alive while the magnitude is in use.
struct Decimal {
    bool negative = false;
    std::string_view magnitude;
    CellRef hold;
};
// v of kind Integer. "K" reads as zero, like "0".
[[nodiscard]] Decimal decimal_of(Cell* v);

// The value of a number leaf integer of at most 18 digits after its sign, the case that
// machine arithmetic serves; false for anything else.
[[nodiscard]] bool small_integer(Cell* v, int64_t* out);

// x op y for two such integers by machine arithmetic: / truncates toward zero and % takes
// the sign of the divisor. False for a division by zero (which is "Z"), for a product
// beyond 64 bits (which needs 128), and for ^, which is not served.
[[nodiscard]] inline bool small_arithmetic(ArithOp op, int64_t x, int64_t y, int64_t* r) {
    switch (op) {
        case ArithOp::Plus: *r = x + y; return true;  // both below 10^18: no overflow
        case ArithOp::Dash: *r = x - y; return true;
        case ArithOp::Mult: return !__builtin_mul_overflow(x, y, r);
        case ArithOp::Over:
            if (y == 0) return false;
            *r = x / y;  // C++ truncates toward zero
            return true;
        case ArithOp::Cent: {
            if (y == 0) return false;
            int64_t m = x % y;  // the sign of x; moved to the sign of y
            if (m != 0 && (m < 0) != (y < 0)) m += y;
            *r = m;
            return true;
        }
        case ArithOp::Powa: break;
    }
    return false;
}

}  // namespace ruk
