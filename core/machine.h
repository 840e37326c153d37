// The reduction machine: reduces a term to its value, a term in weak head normal form
// whose argument positions are all reduced too.
#pragma once

#include <cstdint>

#include "core/cell.h"

namespace ruk {

// Reduces the term until nothing is left to do. A definition without parameters that
// demands its own value ends the run with the cycle marker ")" + name as the value.
CellRef run(CellRef term);

// Replaces the free occurrences of the letter c in t by v, sharing everything unchanged.
CellRef substitute(Cell* t, Cell* v, char c);

// Steps taken since the process started (for benchmarks).
uint64_t machine_steps();

// Forgets the name resolutions cached by the machine (after the tables are rebuilt).
void reset_machine();

}  // namespace ruk
