// Runs compiled definitions (core/code.h) on the machine's continuation.
#pragma once

#include "core/cell.h"
#include "core/code.h"
#include "core/frames.h"

namespace ruk {

// Fires a compiled definition on the arguments of its saturated redex. When it returns,
// x is the machine's new focus: a value, or a term to reduce.
void vm_enter(const Code* code, Cell* const* args, int n, CellRef& x, Continuation& k);

// The top frame of k is a resume frame and x a value: the activation goes on with it.
void vm_resume(CellRef& x, Continuation& k);

// Whether the top `count` frames all apply the value to an argument. A resume frame
// waiting to choose between two branches stands for two such frames; it is replaced by
// them when they are needed.
bool apply_frames_on_top(Continuation& k, int count);

// Drops every frame and every value of the compiled code (the run ends with a cycle).
void drop_continuation(Continuation& k);

// Values held by compiled activations (zero between runs).
size_t vm_live_values();

// What the compiled code did since the process started, for benchmarks: activations
// entered from the machine, calls between compiled definitions, and terms handed to the
// machine because the code could not follow them itself.
struct EngineStats {
    uint64_t entries = 0;
    uint64_t calls = 0;
    uint64_t handovers = 0;
};
EngineStats engine_stats();

}  // namespace ruk
