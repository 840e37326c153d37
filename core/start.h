// Program start: check the program, run the entry definition on the argument vector, and
// classify the value.
#pragma once

#include "core/cell.h"
#include "core/report.h"

namespace ruk {

// Checks the program, applies the entry definition to the argument-vector address and
// reduces it. An integer value is stored under the empty name; a cycle gives the "Cycle"
// report, any other value the "Range" report.
[[nodiscard]] Report run_program(char** argv);

// The value stored under the empty name by a successful run.
CellRef program_result();

}  // namespace ruk
