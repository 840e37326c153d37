// Value kinds and the C-string view: how the builtin library sorts its arguments and how
// a value stands in for a `const char*` when a C function wants a string.
#pragma once

#include <optional>
#include <string_view>

#include "core/cell.h"

namespace ruk {

// The five kinds, read off the operand kind of core/number.h:
//   post  a blob leaf "(" length ")" bytes
//   real  a float leaf: a blank and the 8 bytes of a double
//   bits  an integer or a binary float, in any encoding
//   zits  a data cell: a text leaf "[", or a pair of data cells
//   iron  everything else: combinators, partial applications, other pairs and names
enum class ValueKind : unsigned char { post, real, bits, zits, iron };

[[nodiscard]] ValueKind value_kind(Cell* v);
// The kind as `type` reports it: "[post]", "[real]", "[bits]", "[zits]" or "[iron]".
[[nodiscard]] std::string_view value_kind_text(ValueKind k);

// The C-string view of a string argument, or nothing when v cannot be one:
//   a blob      the address of its first payload byte (just after the first ")")
//   a text leaf the address of its text from the first byte, the opening "[" included
//   an integer  its value (modulo 2^64) taken as an address; 0 is the null pointer
// A data pair has no bytes of its own in one piece, so it is refused, as are floats,
// binary floats and every other kind. The bytes of a leaf end in a NUL, so a C function
// reading up to the terminator stays inside the cell; the pointer is valid while the cell
// lives and must never be written through.
[[nodiscard]] std::optional<const char*> c_string_view(Cell* v);

}  // namespace ruk
