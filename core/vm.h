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

// Whether the continuation holds at least `count` arguments for a lazy head: frames that
// apply the value to one, and resume frames waiting to choose between two branches,
// which stand for two (and, outside tail position, for the rest of their activation).
// `choices` tells whether such a resume frame was counted.
inline bool frames_apply(Continuation& k, int count, bool* choices) {
    int found = 0;
    for (size_t j = k.size(); j > 0 && found < count; --j) {
        const Frame& f = k[j - 1];
        if (f.kind() == FrameKind::ApplyTo) {
            found += 1;
            continue;
        }
        if (f.kind() != FrameKind::Resume || f.code->insns[f.pc()].op != Op::Branch) break;
        *choices = true;
        found += 2;
        if (!f.code->insns[f.pc()].tail) break;
    }
    return found >= count;
}

// Replaces the resume frames among the top `count` arguments by the frames they stand for.
void expand_choices(Continuation& k, int count);

// Whether the top `count` frames all apply the value to an argument, once the resume
// frames at a choice among them have been replaced by the frames they stand for.
inline bool apply_frames_on_top(Continuation& k, int count) {
    bool choices = false;
    if (!frames_apply(k, count, &choices)) return false;
    if (choices) expand_choices(k, count);
    return true;
}

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
