// The definition table: every definition of the prelude, the builtins and the program, by
// name (the entry definition has the empty name). The in-progress flag of a name lives in
// its entry. The table is hashed, so a program of a million definitions looks its names up
// in constant time; the checks that must meet names in byte order ask for that order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/cell.h"
#include "core/text.h"

namespace ruk {

struct BuiltinEntry;
struct Code;
struct CodeDeleter {
    void operator()(Code* c) const;
};

struct Definition {
    Definition() = default;
    explicit Definition(CellRef t, int8_t in_progress = -1) : term(std::move(t)), progress(in_progress) {}

    CellRef term;
    // In-progress entry: -1 none, 0 the value is being computed, 1 the table holds the value
    // (or the definition is in the nullary form and is computed afresh at every use).
    int8_t progress = -1;
    // The letter of a prelude combinator that the machine fires by its own rule instead of
    // by substitution, while the prelude's definition stands; 0 otherwise.
    char native = 0;
    // The compiled body (core/code.h), made on first use; `uncompiled` when it is left to
    // the machine.
    std::unique_ptr<Code, CodeDeleter> code;
    bool uncompiled = false;
};

using DefinitionTable = std::unordered_map<std::string, Definition, TextHash, std::equal_to<>>;
using DefinitionEntry = DefinitionTable::value_type;

// The entries of the table, ordered byte-wise by name; valid until an entry is erased.
std::vector<DefinitionEntry*> in_name_order(DefinitionTable& table);

DefinitionTable& definitions();
// The entry of a name, or null.
Definition* find_definition(std::string_view name);

}  // namespace ruk
