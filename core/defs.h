// The definition table: every definition of the prelude, the builtins and the program,
// ordered byte-wise by name (the entry definition has the empty name). The in-progress
// flag of a name lives in its entry.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/cell.h"

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

using DefinitionTable = std::map<std::string, Definition, std::less<>>;

DefinitionTable& definitions();
// The entry of a name, or null.
Definition* find_definition(std::string_view name);

}  // namespace ruk
