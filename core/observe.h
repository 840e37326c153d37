// Hooks through which a tool watches a run: every builtin call and every firing of a
// definition, on both engines. ruk itself never sets them, so each hook point costs one
// test of a null pointer that is always taken the same way.
//
// The depth passed with each event is the number of frames of the continuation when it
// happens. A definition fired at depth d replaces whatever activation stood at d or above
// (a tail call, or work already finished); a builtin called at depth d belongs to the
// innermost activation at or below d. Both engines keep their pending work on the same
// continuation, so the two give the same answer.
#pragma once

#include <cstddef>

#include "core/cell.h"

namespace ruk {

struct BuiltinEntry;
struct Definition;

struct RunHooks {
    // Calls the builtin on its saturated call (it owns the call) and returns the result.
    // Must call entry.implementation exactly once and must not hold a reference to the
    // call or its arguments meanwhile: some builtins change a blob in place when the
    // call holds its only reference, and a watched run must do the same work.
    CellRef (*builtin)(const BuiltinEntry& entry, CellRef call, size_t depth);
    // A definition (with parameters, or without and not yet a value) fires.
    void (*definition)(const Definition* def, size_t depth);
};

// Null unless a tool is watching. Definitions compiled while it is set leave every
// builtin call to the machine (no fast paths for small integers), so that both engines
// make the same calls and only the machine's call site needs a hook.
inline const RunHooks* run_hooks = nullptr;

}  // namespace ruk
