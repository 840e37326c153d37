// The builtin table: every builtin's name, arity and implementation, joined from the rows
// of the families. The entries and the look-up that the core reads are declared in
// core/builtin.h; the table is built here.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/builtin.h"

namespace ruk {

// One row of a family's implementations (see lib/marshal.h for how rows are written).
// Each family of builtins lists its rows in its own header; the table joins them over
// the vocabulary of all names and arities, and checks them against it when compiling.
struct BuiltinRow {
    std::string_view name;
    uint8_t arity;
    BuiltinFn implementation;
};

}  // namespace ruk
