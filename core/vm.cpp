#include "core/vm.h"

#include <cstring>

#include "core/analyse.h"
#include "core/arith.h"
#include "core/builtin.h"
#include "core/compare.h"
#include "core/defs.h"
#include "core/leaves.h"
#include "core/machine.h"
#include "core/number.h"
#include "core/observe.h"

namespace ruk {

CellRef box(Val v) {
    if (is_small(v)) return integer_from_int64(small_value(v));
    return CellRef(val_cell(v));
}

namespace {

// The values of every activation: its slots at its base, then what it is computing.
GrowStack<Val> values;
EngineStats stats;

inline void release_range(Val* from, Val* to) {
    for (Val* p = from; p < to; ++p) release_val(*p);
}

// Takes over the value's count.
inline CellRef adopt_box(Val v) {
    if (is_small(v)) return integer_from_int64(small_value(v));
    return CellRef::adopt(val_cell(v));
}

// The template's term with the values of the slots at bp put in for its letters.
CellRef instantiate(const Template& tp, const Val* bp) {
    if (tp.letters == 0) return tp.term;
    Cell* cells[26];
    CellRef boxes[26];
    for (int i = 0; i < 26; ++i) {
        if (!(tp.letters >> i & 1)) continue;
        Val v = bp[tp.slot[i]];
        if (is_small(v)) {
            boxes[i] = box(v);
            cells[i] = boxes[i].get();
        } else {
            cells[i] = val_cell(v);
        }
    }
    return substitute_letters(tp.term.get(), cells, tp.letters);
}

inline bool small_operand(Val v, int64_t* out) {
    if (is_small(v)) {
        *out = small_value(v);
        return true;
    }
    return small_integer(val_cell(v), out);
}

inline bool is_leaf_named(Val v, const CellRef& shared, char letter) {
    if (is_small(v)) return false;
    Cell* c = val_cell(v);
    return c == shared.get() || is_letter(c, letter);
}

// pair(pair(J, x), y)
inline bool is_list_cell(Val v) {
    if (is_small(v)) return false;
    Cell* c = val_cell(v);
    return is_pair(c) && is_pair(left_of(c)) && is_letter(left_of(left_of(c)), 'J');
}

// The builtin applied to the n values below sp, which it consumes. (A watched run has no
// builtin calls in compiled code: core/codegen.cpp leaves them to the machine.)
CellRef call_builtin(const Code* code, const Insn& i, Val* from) {
    CellRef redex = box(code->consts[size_t(i.b)]);
    for (Val* p = from; p < from + i.n; ++p) redex = apply(std::move(redex), adopt_box(*p));
    return code->builtins[size_t(i.a)]->implementation(std::move(redex));
}

// An operand that is not on the stack: 2k is slot k, 2k + 1 constant k (borrowed).
inline Val operand(int32_t source, const Val* bp, const Code* code) {
    return source & 1 ? code->consts[size_t(source >> 1)] : bp[source >> 1];
}

// Pops the operands of a two-operand instruction that were on the stack; small integers
// hold no cell.
inline Val* drop_operands(const Insn& i, Val* sp, Val a, Val b) {
    if (!(is_small(a) && is_small(b)))
        for (int j = 1; j <= i.s1; ++j) release_val(sp[-j]);
    return sp - i.s1;
}

// Puts both operands of a two-operand instruction on the stack, in order.
inline Val* spill_operands(const Insn& i, Val* sp, const Val* bp, const Code* code) {
    if (i.c >= 0 && i.d >= 0) {
        Val a = operand(i.c, bp, code), b = operand(i.d, bp, code);
        retain_val(a);
        retain_val(b);
        sp[0] = a;
        sp[1] = b;
        return sp + 2;
    }
    if (i.d >= 0) {
        Val b = operand(i.d, bp, code);
        retain_val(b);
        *sp = b;
        return sp + 1;
    }
    if (i.c >= 0) {
        Val a = operand(i.c, bp, code);
        retain_val(a);
        sp[0] = sp[-1];
        sp[-1] = a;
        return sp + 1;
    }
    return sp;
}

// The stack must hold the activation's slots and what its code can push; past the end of
// its range memory has run out.
inline void need_room(Val* sp, const Code* code) {
    if (!values.room(sp, code->frame)) [[unlikely]]
        out_of_memory();
}

// Hands a term to the machine: in tail position the activation is over, otherwise it
// waits at `resume` for the value.
void hand_over(CellRef term, bool tail, const Code* code, uint32_t resume, Val* bp, Val* sp,
               CellRef& x, Continuation& k) {
    ++stats.handovers;
    if (tail) {
        release_range(bp, sp);
        sp = bp;
    } else {
        k.push_resume(code, resume, uint32_t(bp - values.data()));
    }
    values.set_top(sp);
    x = std::move(term);
}

#define PC_OF(at) uint32_t((at)-code->insns.data())
#define TO_MACHINE(term, tail, resume) hand_over(term, tail, code, resume, bp, sp, x, k)

// Runs the activation at bp from pc until the machine has work; x is then its focus.
void execute(const Code* code, uint32_t pc, Val* bp, CellRef& x, Continuation& k) {
    Val* sp = values.top();
    const Insn* ip = code->insns.data() + pc;
    const Cell* K = leaves().K.get();
    const Cell* H = leaves().H.get();
    Val* const stack0 = values.data();
    for (;;) {
        const Insn& i = *ip++;
        Val va, vb;
        switch (i.op) {
            case Op::Local: {
                Val v = bp[i.a];
                retain_val(v);
                *sp++ = v;
                break;
            }
            case Op::Const: {
                Val v = code->consts[size_t(i.a)];
                retain_val(v);
                *sp++ = v;
                break;
            }
            case Op::Store: {
                Val v = *--sp;
                release_val(bp[i.a]);
                bp[i.a] = v;
                break;
            }
            case Op::Nullary: {
                Cell* t = code->defs[size_t(i.a)]->term.get();
                if (is_whnf(t)) {  // computed, or a value from the start
                    retain(t);
                    *sp++ = cell_val(t);
                    break;
                }
                TO_MACHINE(instantiate(code->templates[size_t(i.b)], bp), i.tail, PC_OF(ip));
                return;
            }
            case Op::Call: {
                ++stats.calls;
                const Code* callee = code->callees[size_t(i.a)];
                if (!callee) {
                    Definition* def = code->defs[size_t(i.a)];
                    callee = code_of(def);
                    // A watched run keeps the callee out of the cache, so that every call
                    // comes here and is told of (at the depth where it will run), and an
                    // unwatched one pays nothing for the hook.
                    if (run_hooks) [[unlikely]]
                        run_hooks->definition(def, k.size() + (i.tail ? 0 : 1));
                    else
                        code->callees[size_t(i.a)] = callee;
                }
                Val* args = sp - i.n;
                if (i.tail) {  // the arguments take the place of this activation
                    release_range(bp, args);
                    // the arguments lie above the slots: copy upwards, first to last
                    switch (i.n) {
                        case 1: bp[0] = args[0]; break;
                        case 2:
                            bp[0] = args[0];
                            bp[1] = args[1];
                            break;
                        case 3:
                            bp[0] = args[0];
                            bp[1] = args[1];
                            bp[2] = args[2];
                            break;
                        default: std::memmove(bp, args, i.n * sizeof(Val));
                    }
                    sp = bp + i.n;
                } else {
                    k.push_resume(code, PC_OF(ip), uint32_t(bp - stack0));
                    bp = args;
                }
                if (callee != code || !i.tail) need_room(sp, callee);  // a loop has its room
#ifdef RUK_STEP_LIMIT
                if (out_of_steps()) {  // the machine ends the run at its next step
                    values.set_top(sp);
                    drop_continuation(k);
                    x = leaves().Z;
                    return;
                }
#endif
                code = callee;
                ip = code->insns.data();
                for (uint32_t j = i.n; j < code->slots; ++j) *sp++ = 0;
                break;
            }
            // the operands' places, then the operation
            case Op::ArithSS:
            case Op::CompareSS:
                va = sp[-2];
                vb = sp[-1];
                goto operands;
            case Op::ArithLK:
            case Op::CompareLK:
                va = bp[i.c >> 1];
                vb = i.imm;
                goto operands;
            case Op::ArithSK:
            case Op::CompareSK:
                va = sp[-1];
                vb = i.imm;
                goto operands;
            case Op::ArithLL:
            case Op::CompareLL:
                va = bp[i.c >> 1];
                vb = bp[i.d >> 1];
                goto operands;
            case Op::Arith:
            case Op::Compare:
                va = i.c < 0 ? sp[i.d < 0 ? -2 : -1] : operand(i.c, bp, code);
                vb = i.d < 0 ? sp[-1] : operand(i.d, bp, code);
            operands:
                if (i.s2) goto compare;
                {
                    int64_t a, b, r;
                    if (small_operand(va, &a) && small_operand(vb, &b) &&
                        small_arithmetic(ArithOp(i.x), a, b, &r) && fits_small(r)) {
                        sp = drop_operands(i, sp, va, vb);
                        *sp++ = small_val(r);
                        break;
                    }
                    sp = spill_operands(i, sp, bp, code);
                    goto builtin;
                }
            compare : {
                int64_t a, b;
                if (!small_operand(va, &a) || !small_operand(vb, &b)) {
                    sp = spill_operands(i, sp, bp, code);
                    goto builtin;
                }
                sp = drop_operands(i, sp, va, vb);
                bool truth = order_holds(CompareOp(i.x), a, b);
                if (ip->op == Op::Branch) {  // a comparison choosing a branch
                    ip = truth ? ip + 1 : code->insns.data() + ip->a;
                    break;
                }
                Cell* t = const_cast<Cell*>(truth ? K : H);
                retain(t);
                *sp++ = cell_val(t);
                break;
            }
            case Op::ReadByte: {
                Val v = i.c < 0 ? sp[-1] : operand(i.c, bp, code);
                int64_t address;
                if (is_small(v) && (address = small_value(v)) != 0) {
                    Val byte =
                        small_val(*reinterpret_cast<const unsigned char*>(uintptr_t(address)));
                    if (i.c < 0)
                        sp[-1] = byte;
                    else
                        *sp++ = byte;
                    break;
                }
                if (i.c >= 0) {
                    retain_val(v);
                    *sp++ = v;
                }
                goto builtin;
            }
            case Op::LazyTail:
                if (bool choices = false; frames_apply(k, i.n, &choices)) {
                    TO_MACHINE(instantiate(code->templates[size_t(i.a)], bp), true, 0);
                    return;
                }
                break;
            case Op::Builtin:
            builtin : {
                sp -= i.n;
                CellRef r = call_builtin(code, i, sp);
                if (is_whnf(r.get())) {
                    *sp++ = cell_val(r.take());
                    break;
                }
                TO_MACHINE(std::move(r), i.tail, PC_OF(ip));
                return;
            }
            case Op::Apply: {
                Val* from = sp - i.n - 1;
                CellRef r = adopt_box(*from);
                for (Val* p = from + 1; p < sp; ++p) r = apply(std::move(r), adopt_box(*p));
                sp = from;
                *sp++ = cell_val(r.take());
                break;
            }
            case Op::Term:
                *sp++ = cell_val(instantiate(code->templates[size_t(i.a)], bp).take());
                break;
            case Op::Machine:
                TO_MACHINE(instantiate(code->templates[size_t(i.a)], bp), i.tail, PC_OF(ip));
                return;
            case Op::Branch: {
                Val v = *--sp;
                if (v == cell_val(const_cast<Cell*>(K)) || is_leaf_named(v, leaves().K, 'K')) {
                    release_val(v);  // K t e = t
                    break;
                }
                if (v == cell_val(const_cast<Cell*>(H)) || is_leaf_named(v, leaves().H, 'H')) {
                    release_val(v);  // H t e = e
                    ip = code->insns.data() + i.a;
                    break;
                }
                if (i.c >= 0 && is_list_cell(v)) {  // J x y t (h\t\b) = b, x for h, y for t
                    Cell* c = val_cell(v);
                    Cell* head = right_of(left_of(c));
                    Cell* rest = right_of(c);
                    retain(head);
                    retain(rest);
                    release_val(bp[i.s1]);
                    bp[i.s1] = cell_val(head);
                    release_val(bp[i.s2]);
                    bp[i.s2] = cell_val(rest);
                    release_val(v);
                    ip = code->insns.data() + i.c;
                    break;
                }
                CellRef term = apply2(adopt_box(v), instantiate(code->templates[size_t(i.b)], bp),
                                      instantiate(code->templates[size_t(i.d)], bp));
                TO_MACHINE(std::move(term), i.tail, uint32_t(i.e));
                return;
            }
            case Op::Jump: ip = code->insns.data() + i.a; break;
            case Op::Ret: {
                Val v = *--sp;
                release_range(bp, sp);
                sp = bp;
                if (!k.empty() && k.back().kind() == FrameKind::Resume) {
                    Frame f = k.pop();
                    code = f.code;
                    ip = code->insns.data() + f.pc();
                    bp = stack0 + f.base;
                    *sp++ = v;
                    break;
                }
                values.set_top(sp);
                x = adopt_box(v);
                return;
            }
        }
    }
}

#undef PC_OF
#undef TO_MACHINE

}  // namespace

void vm_enter(const Code* code, Cell* const* args, int n, CellRef& x, Continuation& k) {
    ++stats.entries;
    Val* bp = values.top();
    need_room(bp, code);
    Val* sp = bp;
    for (int j = 0; j < n; ++j) {
        int64_t v;
        if (is_leaf(args[j]) && unsigned(first_byte(args[j]) - '0') < 10u &&
            small_integer(args[j], &v)) {
            *sp++ = small_val(v);  // read once here, not at every use
            continue;
        }
        retain(args[j]);
        *sp++ = cell_val(args[j]);
    }
    for (uint32_t j = uint32_t(n); j < code->slots; ++j) *sp++ = 0;
    values.set_top(sp);
    execute(code, 0, bp, x, k);
}

void vm_resume(CellRef& x, Continuation& k) {
    Frame f = k.pop();
    values.push(cell_val(x.take()));
    execute(f.code, f.pc(), values.data() + f.base, x, k);
}

void expand_choices(Continuation& k, int count) {
    for (int i = 1; i <= count; ++i) {
        Frame& f = k[k.size() - size_t(i)];
        if (f.kind() == FrameKind::ApplyTo) continue;
        RUK_ASSERT(f.kind() == FrameKind::Resume);  // frames_apply counted it
        // v t e: the frames "apply to t", "apply to e", then the rest of the activation
        Frame above[64];
        int n = i - 1;
        RUK_ASSERT(n <= 64);
        for (int j = 0; j < n; ++j) above[j] = k.pop();
        Frame waiting = k.pop();
        const Insn& b = waiting.code->insns[waiting.pc()];
        Val* bp = values.data() + waiting.base;
        CellRef t = instantiate(waiting.code->templates[size_t(b.b)], bp);
        CellRef e = instantiate(waiting.code->templates[size_t(b.d)], bp);
        if (b.tail) {  // the activation's value is that of v t e: it is over
            release_range(bp, values.top());
            values.set_top(bp);
        } else {
            k.push_resume(waiting.code, uint32_t(b.e), waiting.base);
        }
        k.push_cell(FrameKind::ApplyTo, std::move(e));
        k.push_cell(FrameKind::ApplyTo, std::move(t));
        for (int j = n - 1; j >= 0; --j) k.push(above[j]);
        ++i;  // the frame of e follows that of t
    }
}

void drop_continuation(Continuation& k) {
    while (!k.empty()) {
        Frame f = k.pop();
        if (f.kind() != FrameKind::Resume) release(f.cell);
    }
    release_range(values.data(), values.top());
    values.set_top(values.data());
}

size_t vm_live_values() { return values.size(); }

EngineStats engine_stats() { return stats; }

}  // namespace ruk
