// Compiled definitions: the body of a definition turned, once, into code over parameter
// slots that does what the machine would do with the body after substitution, without
// building the substituted body.
//
// The code is for a stack of values. A value is either a cell (one count held) or a
// small integer (|x| below 10^18, the integers whose canonical number leaf the operators
// read with machine arithmetic), which becomes that number leaf only when it leaves the
// code: stored in a term, handed to a builtin, returned to the machine.
//
// Whatever the code cannot follow itself it hands to the machine as the very term the
// machine would hold at that point (a template: a piece of the body with the slots'
// values put in for its letters). In the middle of a body the activation then waits in
// a "resume" frame of the continuation for the value; in tail position it is gone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/cell.h"

namespace ruk {

struct BuiltinEntry;
struct Definition;

// ---- values ---------------------------------------------------------------------

using Val = uintptr_t;  // low bit 1: a small integer; otherwise a Cell* holding one count

inline constexpr int64_t kSmallLimit = 1000000000000000000LL;  // 10^18, exclusive
inline bool is_small(Val v) { return (v & 1) != 0; }
inline int64_t small_value(Val v) { return int64_t(v) >> 1; }
inline Val small_val(int64_t x) { return (uint64_t(x) << 1) | 1; }
inline bool fits_small(int64_t x) { return x > -kSmallLimit && x < kSmallLimit; }
inline Cell* val_cell(Val v) { return reinterpret_cast<Cell*>(v); }
inline Val cell_val(Cell* c) { return reinterpret_cast<Val>(c); }

inline void retain_val(Val v) {
    if (!is_small(v) && v) retain(val_cell(v));
}
inline void release_val(Val v) {
    if (!is_small(v) && v) release(val_cell(v));
}

// The value as a cell: a small integer becomes its canonical number leaf.
CellRef box(Val v);

// ---- instructions ---------------------------------------------------------------

enum class Op : uint8_t {
    Local,    // push slot a
    Const,    // push constant a
    Store,    // pop into slot a
    Nullary,  // push the value of the nullary definition defs[a], or have the machine
              // reduce its name (template b)
    Call,     // call definition defs[a] on the top n values; tail: its value is ours
    Builtin,  // call builtin builtins[a], name leaf constant b, on the top n values
    Arith,    // x: the operation; as Builtin when the operands are not small integers.
              // Operands c and d: -1 from the stack, 2k slot k, 2k + 1 constant k;
              // s1 of them on the stack; s2 set for a comparison
    Compare,  // x: the operation; likewise
    // The same with the operands' places known: both on the stack (SS), slot c and a
    // small constant imm (LK), the stack and imm (SK), slots c and d (LL)
    ArithSS,
    ArithLK,
    ArithSK,
    ArithLL,
    CompareSS,
    CompareLK,
    CompareSK,
    CompareLL,
    ReadByte,  // getx of a small address (operand c as for Arith); as Builtin otherwise
    Apply,     // the top n + 1 values, a head and its arguments, as one partial application
    Term,      // push template a with the slots put in (a closure: already a value)
    LazyTail,  // a lazy head's partial application in tail position, n arguments short: when
               // the continuation holds that many arguments, the machine reduces template a
               // (the head takes them unreduced); otherwise go on and build the value
    Machine,   // have the machine reduce template a
    Branch,    // pop v: K goes on, H jumps to a; J x y with c >= 0 stores x, y in slots
               // s1, s2 and jumps to c; anything else: the machine reduces v t e
               // (templates b and d); the branches join at e
    Jump,      // to a
    Ret,       // the top value is the body's value
};

struct Insn {
    Op op;
    bool tail = false;  // Call, Builtin, Arith, Compare, Machine, Branch, Nullary
    uint8_t n = 0;      // argument count
    uint8_t x = 0;      // operation of Arith and Compare
    int32_t a = 0, b = 0, c = -1, d = 0, e = 0;
    uint16_t s1 = 0, s2 = 0;
    Val imm = 0;  // a small integer operand
};

// A piece of the body and, for each letter free in it, the slot that holds its value.
struct Template {
    CellRef term;
    uint32_t letters = 0;
    uint16_t slot[26] = {};
};

struct Code {
    std::string name;
    uint32_t params = 0;
    uint32_t slots = 0;  // parameters and the body's own bindings
    uint32_t frame = 0;  // slots and the most the code can push
    std::vector<Insn> insns;
    std::vector<Val> consts;  // each holds one count
    std::vector<Template> templates;
    std::vector<Definition*> defs;
    mutable std::vector<const Code*> callees;  // the code of defs[i], filled on the first call
    std::vector<const BuiltinEntry*> builtins;
    ~Code() {
        for (Val v : consts) release_val(v);
    }
};

// The code of a definition with parameters, compiled on first use; null when the
// definition is left to the machine (its head takes arguments unreduced, or a key is no
// letter).
const Code* code_of(Definition* def);

// Whether definitions run as compiled code: off when RUK_ENGINE=machine, and for a
// program that looks at cell identity (raws, leak) or changes blobs in place (tail,
// cork), whose results depend on which cells the machine happens to share.
bool compiled_engine_on();
// Decides it for the program now in the definition table (after the checker).
void choose_engine();

}  // namespace ruk
