// The leaf intern table: one shared leaf per text. After the intern pass equal texts in all
// definitions are one cell, so the analysis of a name is done once. Interned leaves live
// for the rest of the run, and so do the shared pairs of shared cells (the builtin `tern`).
#pragma once

#include <string_view>

#include "core/cell.h"

namespace ruk {

// Empties the table and the shared pairs, then enters the shared combinator leaves
// (core/leaves.h).
void clear_intern_table();
// The shared leaf of this leaf's text: the one already entered, or this one, entered now.
CellRef intern(CellRef leaf);
// The shared leaf of a text, made when missing.
CellRef intern_text(std::string_view text);
// The one pair of these two shared cells (interned leaves or shared pairs), made when
// missing.
CellRef intern_pair(Cell* left, Cell* right);
// Whether c is the shared leaf of its text (and so lives for the rest of the run).
bool is_interned(Cell* c);

}  // namespace ruk
