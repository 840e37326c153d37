// The preparing passes that turn a definition as the front end made it into the form the
// machine runs, and the name lists the checker reads off a term.
//
// Every pass rebuilds only what changes and shares the rest; a subterm shared inside one
// term is visited once, so each pass is linear in the number of distinct cells.
// No pass recurses: a term of any depth needs no more than a fixed amount of the stack.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/cell.h"

namespace ruk {

// (` x) becomes ((V [s]) x'), s the printed x and x' the quoted x: with V a b c = c a b
// the result is a pair of the source text and the value.
[[nodiscard]] CellRef quote_pass(Cell* term);

// {p q = A; B}, the key an application of two acceptable leaves, becomes
//   {q' = A; {p = q' K; {q' = q' H; B}}}
// so p is bound to the first component of the pair A (V a b K = a) and q' to the second
// (V a b H = b). q' is q with the brackets of an operator name taken off ("[+]" -> "+").
[[nodiscard]] CellRef key_pair_pass(Cell* term);

// Every leaf replaced by the shared leaf of its text (core/intern.h).
[[nodiscard]] CellRef intern_pass(Cell* term);

// An acceptable binder key, the one rule of the key-pair pass and the key check: a leaf
// that is a name (a-z and _ only) or a bracketed operator name such as "[+]". A capital,
// a lone operator character, a number or a text is not.
bool is_acceptable_key(Cell* key);

// The first binder or brace form whose key is not acceptable (the whole form, body
// included), searching function part before argument part, outermost first; null when
// every key is acceptable.
[[nodiscard]] Cell* find_funky_binder(Cell* term);

// The names a term refers to: the texts of its name leaves other than the binder heads
// "\" and "{" and the letters "a" to "z"; sorted, without repeats.
[[nodiscard]] std::vector<std::string> referenced_names(Cell* term);

// The keys bound anywhere in a term by backslash binders and brace forms: the leaves that
// are not a single letter (long names, sorted, without repeats) and the letters (bit k for
// "a" + k). A key that is an application is neither; the key check deals with it.
struct BoundKeys {
    std::vector<std::string> long_names;
    uint32_t letters = 0;
};
[[nodiscard]] BoundKeys bound_keys(Cell* term);

// A long name and the letter that replaces it.
struct Renaming {
    std::string name;
    char letter;
};
// Each long name, in ascending order, takes the lowest letter that is not yet used.
// The caller has made sure there are enough letters.
[[nodiscard]] std::vector<Renaming> choose_letters(const BoundKeys& keys);
// Every leaf whose text is a renamed long name becomes the leaf of its letter, whatever
// the scope: binders and uses alike. `renamings` is sorted by name.
[[nodiscard]] CellRef rename_long_names(Cell* term, const std::vector<Renaming>& renamings);

}  // namespace ruk
