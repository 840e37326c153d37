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

struct BuiltinEntry;
struct Definition;

// What a name leaf stands for: its definition, and the builtin to call when saturated.
struct Target {
    Definition* def = nullptr;
    const BuiltinEntry* builtin = nullptr;
};
const Target& resolve_name(Cell* leaf);

// Heads whose first byte is one of these take their arguments unreduced.
constexpr bool lazy_head_byte(unsigned char b) {
    switch (b) {
        case '&': case '|': case 'A': case 'B': case 'C': case 'D': case 'E': case 'F':
        case 'H': case 'I': case 'J': case 'K': case 'L': case 'N': case 'Q': case 'R':
        case 'T': case 'U': case 'V': case 'X': case 'Z':
            return true;
        default:
            return false;
    }
}

// Replaces every letter of `letters` free in t by values[letter], in one walk.
CellRef substitute_letters(Cell* t, Cell* const* values, uint32_t letters);

// Steps taken since the process started (for benchmarks).
uint64_t machine_steps();

#ifdef RUK_STEP_LIMIT
// Fuzzing builds bound every run: once the machine's steps and the compiled calls
// together reach the limit, the pending work is dropped and the run's value is "Z".
// step_budget counts down; set it before each run.
inline uint64_t step_budget = 0;
[[nodiscard]] inline bool out_of_steps() {
    if (step_budget == 0) return true;
    --step_budget;
    return false;
}
// Work of a single step that grows with its data (the list form of a text) is charged to
// the budget as so many steps.
inline void charge_steps(uint64_t steps) { step_budget = steps < step_budget ? step_budget - steps : 0; }
#endif

// Forgets the name resolutions cached by the machine (after the tables are rebuilt).
void reset_machine();

}  // namespace ruk
