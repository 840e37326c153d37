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
//
// A printed form longer than the limit is cut: its first `limit` bytes, then kCutMarker.
// The printer stops as soon as it has them, so a value whose shared parts stand for a
// tree far too big to write out (a pair of the same cell twice, nested a hundred times)
// costs time and memory in proportion to the limit, not to the tree.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/cell.h"

namespace ruk {

// The most bytes of a printed form written before it is cut.
inline constexpr size_t kPrintLimit = size_t(4) << 20;
// What follows the bytes kept of a printed form that was cut.
inline constexpr std::string_view kCutMarker = " ...(cut)";

// A text with its NUL and newline bytes exchanged (the exchange is its own inverse).
[[nodiscard]] std::string shown(std::string_view text);

// The printed form of a term; linear in its length, without recursion.
[[nodiscard]] std::string print_term(Cell* term, size_t limit = kPrintLimit);
[[nodiscard]] inline std::string print_term(const CellRef& term, size_t limit = kPrintLimit) {
    return print_term(term.get(), limit);
}

// The same joining of pairs, with leaves printed by `leaf` (an empty result prints "()").
using LeafPrinter = std::string (*)(Cell*);
[[nodiscard]] std::string print_term_with(Cell* term, LeafPrinter leaf, size_t limit = kPrintLimit);

}  // namespace ruk
