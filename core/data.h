// Data taken apart from its end, as the machine takes it, and blobs.
#pragma once

#include <string_view>

#include "core/cell.h"

namespace ruk {

// Splits a data cell into its rest and its last element: a data pair into its children,
// a text "[...x]" into "[...]" and x (a nested "[...]" as it stands, a single byte as its
// character form). False for the empty text "[]".
bool take_last(Cell* d, CellRef& rest, CellRef& last);

// The list form of a data cell: K for "[]", else J (list of the rest) (list of the last).
CellRef list_form(Cell* d);

// A blob leaf holding these bytes: "(" + length in the digit alphabet + ")" + bytes.
CellRef make_blob(std::string_view bytes);
// The payload of a blob leaf.
std::string_view blob_payload(Cell* blob);

}  // namespace ruk
