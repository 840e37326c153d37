// Builtins: trees, lists and texts. Identity and sharing (raws tern leak type), taking data
// apart (left rght leaf tail look into), building (cats cork) and the conversions between
// the kinds (init rows lord lots).
//
// Every one of them takes a data cell both as itself and in its evaluated tree form
// V (X J) payload, and gives "Z" for an argument of a kind it has no rule for.
#pragma once

#include <span>

#include "lib/marshal.h"

namespace ruk {

// Identity and sharing.
[[nodiscard]] CellRef data_raws(Cell* a, Cell* b);
[[nodiscard]] CellRef data_tern(Cell* x);
[[nodiscard]] CellRef data_leak(Cell* x);
[[nodiscard]] CellRef data_type(Cell* x);
// Taking apart. `tail` owns its call, to shorten a blob that nothing else holds in place.
[[nodiscard]] CellRef data_left(Cell* x);
[[nodiscard]] CellRef data_rght(Cell* x);
[[nodiscard]] CellRef data_leaf(Cell* x);
[[nodiscard]] CellRef data_tail(CellRef call, Cell* x);
[[nodiscard]] CellRef data_look(Cell* index, Cell* x);
[[nodiscard]] CellRef data_into(Cell* start, Cell* length, Cell* x);
// Building. `cork` owns its call, to change a blob that nothing else holds in place.
[[nodiscard]] CellRef data_cats(Cell* x, Cell* y);
[[nodiscard]] CellRef data_cork(CellRef call, Cell* index, Cell* e, Cell* x);
// Conversions.
[[nodiscard]] CellRef data_init(Cell* x);
[[nodiscard]] CellRef data_rows(Cell* x);
[[nodiscard]] CellRef data_lord(Cell* x);
[[nodiscard]] CellRef data_lots(Cell* x);

inline constexpr BuiltinRow kDataRows[] = {
    by_hand<&data_cats>("cats"), by_hand<&data_cork>("cork"), by_hand<&data_init>("init"),
    by_hand<&data_into>("into"), by_hand<&data_leaf>("leaf"), by_hand<&data_leak>("leak"),
    by_hand<&data_left>("left"), by_hand<&data_look>("look"), by_hand<&data_lord>("lord"),
    by_hand<&data_lots>("lots"), by_hand<&data_raws>("raws"), by_hand<&data_rght>("rght"),
    by_hand<&data_rows>("rows"), by_hand<&data_tail>("tail"), by_hand<&data_tern>("tern"),
    by_hand<&data_type>("type"),
};
inline constexpr std::span<const BuiltinRow> kDataBuiltins = kDataRows;

}  // namespace ruk
