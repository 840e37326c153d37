// Builtins as the core sees them: an entry of the builtin table (an arity and an
// implementation) and the look-up of the table by name. The library builds the table
// (lib/table.h); the core only reads it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "core/cell.h"

namespace ruk {

// An implementation receives the saturated call: the builtin's name leaf applied to its
// arguments, the last argument the right child of the call cell, the one before it the
// right child of its left child, and so on; for arity 0 the name leaf itself. It owns the
// call and returns the result (the leaf "Z" for arguments of the wrong kind).
using BuiltinFn = CellRef (*)(CellRef call);

struct BuiltinEntry {
    uint8_t arity;
    BuiltinFn implementation;
};

using BuiltinTable = std::map<std::string, BuiltinEntry, std::less<>>;

// Built on first use (and whenever it is found empty), then kept for the process.
const BuiltinTable& builtin_table();
// Empties the table; the next builtin_table() rebuilds it.
void reset_builtin_table();

}  // namespace ruk
