// Exact arithmetic and order on binary floats.
//
// A binary float's payload is a sign element and binary digits whose weights grow in both
// directions (see core/number.h). Sums are exact: both payloads are laid out as one
// fixed-point integer at a common scale, added or subtracted with carries, and written
// back in the interleaved form. A result is always the compact number leaf of its
// shortest payload: the sign element, then digits up to the highest set one. Zero is
// "000" whatever the signs that made it; the NaN "00" absorbs every sum.
#pragma once

#include "core/cell.h"

namespace ruk {

// a + b, or a - b when `subtract` (b's sign element flipped); both of kind BinaryFloat.
[[nodiscard]] CellRef binary_float_sum(Cell* a, Cell* b, bool subtract);

// The numeric order of two binary floats: -1, 0 or 1. Zeros of either sign are equal;
// the NaN "00" equals itself and lies below every number.
[[nodiscard]] int binary_float_order(Cell* a, Cell* b);

}  // namespace ruk
