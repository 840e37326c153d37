// The builtin table: every builtin's name, arity and implementation.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

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

// One row of a family's implementations (see lib/marshal.h for how rows are written).
// Each family of builtins lists its rows in its own header; the table joins them over
// the vocabulary of all names and arities, and checks them against it when compiling.
struct BuiltinRow {
    std::string_view name;
    uint8_t arity;
    BuiltinFn implementation;
};

using BuiltinTable = std::map<std::string, BuiltinEntry, std::less<>>;

// Built on first use (and whenever it is found empty), then kept for the process.
const BuiltinTable& builtin_table();
// Empties the table; the next builtin_table() rebuilds it.
void reset_builtin_table();

// The names whose implementation is still the placeholder that answers "Z".
std::vector<std::string> placeholder_builtins();

// The placeholder itself: releases the call and answers "Z".
CellRef placeholder_builtin(CellRef call);

}  // namespace ruk
