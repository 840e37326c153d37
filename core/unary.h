// The one-operand operators $ ~ ! (the builtins buck wave flip) and the builtins real and
// rank. Each dispatches on the operand kind of its operand and answers "Z" for operands
// it does not take.
//
//              buck $               wave ~               flip !
//   integer    "K" when >= 0        -x                   its bit list reversed
//   real       "H" when the sign    -x                   a NaN's payload reversed;
//              bit is set                                "Z" for other doubles
//   bin. float "K" unless the sign  the sign element     its bit list reversed
//              element is H         flipped
//   blob       first byte as text   all but that byte    bytes reversed
//   text       first unit as text   all but that unit    units reversed
//   data pair  its left child       its right child      its text's units reversed
// The empty blob and the empty text have no first byte or unit: "Z". `flip` turns the
// leaf "K" into "H" and "H" into "K" before looking at kinds.
#pragma once

#include "core/cell.h"

namespace ruk {

[[nodiscard]] CellRef buck(Cell* x);
[[nodiscard]] CellRef wave(Cell* x);
[[nodiscard]] CellRef flip(Cell* x);

// x as a real: a real itself; an integer or binary float converted; the bytes of a blob
// or the inner bytes of a text read by strtod (0.0 when they hold no number); "Z" for
// anything else.
[[nodiscard]] CellRef real_of(Cell* x);
// The size of x as an integer: a blob's byte count, 8 for a real, the length of the
// compact decimal text of an integer or binary float, the length of a text with its
// brackets (of a data pair, the sum of its parts'); "Z" for anything else.
[[nodiscard]] CellRef rank_of(Cell* x);

}  // namespace ruk
