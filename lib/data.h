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
[[nodiscard]] CellRef data_raws(CellRef call);
[[nodiscard]] CellRef data_tern(CellRef call);
[[nodiscard]] CellRef data_leak(CellRef call);
[[nodiscard]] CellRef data_type(CellRef call);
// Taking apart.
[[nodiscard]] CellRef data_left(CellRef call);
[[nodiscard]] CellRef data_rght(CellRef call);
[[nodiscard]] CellRef data_leaf(CellRef call);
[[nodiscard]] CellRef data_tail(CellRef call);
[[nodiscard]] CellRef data_look(CellRef call);
[[nodiscard]] CellRef data_into(CellRef call);
// Building.
[[nodiscard]] CellRef data_cats(CellRef call);
[[nodiscard]] CellRef data_cork(CellRef call);
// Conversions.
[[nodiscard]] CellRef data_init(CellRef call);
[[nodiscard]] CellRef data_rows(CellRef call);
[[nodiscard]] CellRef data_lord(CellRef call);
[[nodiscard]] CellRef data_lots(CellRef call);

inline constexpr BuiltinRow kDataRows[] = {
    row("cats", 2, &data_cats), row("cork", 3, &data_cork), row("init", 1, &data_init),
    row("into", 3, &data_into), row("leaf", 1, &data_leaf), row("leak", 1, &data_leak),
    row("left", 1, &data_left), row("look", 2, &data_look), row("lord", 1, &data_lord),
    row("lots", 1, &data_lots), row("raws", 2, &data_raws), row("rght", 1, &data_rght),
    row("rows", 1, &data_rows), row("tail", 1, &data_tail), row("tern", 1, &data_tern),
    row("type", 1, &data_type),
};
inline constexpr std::span<const BuiltinRow> kDataBuiltins = kDataRows;

}  // namespace ruk
