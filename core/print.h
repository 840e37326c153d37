// The term printer, for tests, the trace log and error messages.
//
// A leaf prints as the shown form of its text, or as "()" when the text is empty or is a
// blob, float, cycle or update marker ("(", " ", ")", "]" first). A pair (l r) prints
// from the printed L and R:
//   L's last character tight, L not starting with "(", and R a single tight character
//   or starting with "_", a-z or 0-9:                     L R         "Kx", "+1"
//   L starting with "(" but not "()":                    L minus ")", " ", R, ")"
//   otherwise:                                            "(" L " " R ")"
// so (plus 1) then 2 prints "(plus 1 2)". Tight characters are the capitals, the
// operator characters (core/text.h) and bytes outside blank to "~".
#pragma once

#include <string>
#include <string_view>

#include "core/cell.h"

namespace ruk {

// A text with its NUL and newline bytes exchanged (the exchange is its own inverse).
[[nodiscard]] std::string shown(std::string_view text);

// The printed form of a term; linear in its size, without recursion.
[[nodiscard]] std::string print_term(Cell* term);
[[nodiscard]] inline std::string print_term(const CellRef& term) { return print_term(term.get()); }

// The same joining of pairs, with leaves printed by `leaf` (an empty result prints "()").
using LeafPrinter = std::string (*)(Cell*);
[[nodiscard]] std::string print_term_with(Cell* term, LeafPrinter leaf);

}  // namespace ruk
