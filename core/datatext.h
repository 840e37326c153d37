// The bytes of texts and blobs as the operators see them.
//
// A data cell is a text leaf "[" units "]" or a pair of data cells. A pair (l r) stands
// for the text of l with the whole text of r added as its last element, so that taking
// it apart from its end gives r back: (l r) with l = "[ab]" and r = "[c]" is "[ab[c]]",
// and its length is the sum of the lengths of its parts. A unit is one byte, or a group
// "[" ... "]" (an escape such as "[p]", or a nested text) kept whole. Operators that cut
// or reverse a text do so by units, so an escape is never split.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/cell.h"

namespace ruk {

// The longest text or blob an operator builds, in bytes; longer results are "Z".
inline constexpr uint64_t kMaxBuiltBytes = uint64_t(1) << 31;

// The length of a data cell's whole text, without building it: each pair is measured
// once, so parts shared many times over cost nothing extra. Saturates at UINT64_MAX.
[[nodiscard]] uint64_t data_length(Cell* d);
// Appends the whole text of a data cell, brackets included (a pair flattened as above).
// Walks with its own stack, so any depth of nesting is fine; the caller bounds the length.
void append_data_text(Cell* d, std::string& out);
// The bytes between the outer brackets of a data cell. A text leaf is viewed in place
// (valid while the cell lives); a pair is flattened into `store` and viewed there.
// False when the text is longer than kMaxBuiltBytes: pairs that share their parts can
// stand for texts far larger than memory, and those are refused, never built.
[[nodiscard]] bool data_inner(Cell* d, std::string& store, std::string_view* inner);

// The end of the unit that starts at i in the inner bytes s (i < s.size()): after the
// matching "]" when s[i] is a "[" that has one, else i + 1.
[[nodiscard]] size_t unit_end(std::string_view s, size_t i);
// The number of units in s.
[[nodiscard]] size_t unit_count(std::string_view s);
// The position where unit k of s starts (s.size() when k is the count).
[[nodiscard]] size_t unit_offset(std::string_view s, size_t k);
// The units of s in reverse order.
[[nodiscard]] std::string reverse_units(std::string_view s);

// A text leaf "[" inner "]", or "Z" when it would be longer than kMaxBuiltBytes or too
// long for its length to be recorded while holding a NUL byte (its end would be lost).
[[nodiscard]] CellRef text_from_inner(std::string_view inner);
// text_from_inner of a string that already holds "[" inner "]"; the string is emptied.
[[nodiscard]] CellRef text_from_string(std::string&& whole);
// A blob of these bytes, or "Z" when they are more than kMaxBuiltBytes.
[[nodiscard]] CellRef blob_from_bytes(std::string_view bytes);

}  // namespace ruk
