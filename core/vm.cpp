#include "core/vm.h"

#include <cstring>

#include "core/analyse.h"
#include "core/arith.h"
#include "core/compare.h"
#include "core/defs.h"
#include "core/leaves.h"
#include "core/machine.h"
#include "core/number.h"
#include "lib/table.h"

namespace ruk {

void CodeDeleter::operator()(Code* c) const { delete c; }

namespace {

// The values of every activation: its slots at its base, then what it is computing.
GrowStack<Val> values;

inline void push(Val v) { values.push(v); }

void release_above(size_t from) {
    while (values.size() > from) release_val(values.pop());
}

// Takes over the value's count.
inline CellRef adopt_box(Val v) {
    if (is_small(v)) return integer_from_int64(small_value(v));
    return CellRef::adopt(val_cell(v));
}

// The template's term with the values of the slots at base put in for its letters.
CellRef instantiate(const Template& tp, size_t base) {
    if (tp.letters == 0) return tp.term;
    Cell* cells[26];
    CellRef boxes[26];
    for (int i = 0; i < 26; ++i) {
        if (!(tp.letters >> i & 1)) continue;
        Val v = values[base + tp.slot[i]];
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

inline bool is_leaf_named(Val v, char letter) { return !is_small(v) && is_letter(val_cell(v), letter); }

// pair(pair(J, x), y)
inline bool is_list_cell(Val v) {
    if (is_small(v)) return false;
    Cell* c = val_cell(v);
    return is_pair(c) && is_pair(left_of(c)) && is_letter(left_of(left_of(c)), 'J');
}

// The builtin applied to the top n values, which it consumes.
CellRef call_builtin(const Code* code, const Insn& i) {
    CellRef redex = box(code->consts[size_t(i.b)]);
    size_t from = values.size() - i.n;
    for (size_t j = from; j < values.size(); ++j) redex = apply(std::move(redex), adopt_box(values[j]));
    values.set_size(from);
    return code->builtins[size_t(i.a)]->implementation(std::move(redex));
}

bool small_arith(ArithOp op, int64_t x, int64_t y, int64_t* r) {
    switch (op) {
        case ArithOp::Plus: *r = x + y; break;
        case ArithOp::Dash: *r = x - y; break;
        case ArithOp::Mult: {
            __int128 p = __int128(x) * y;
            if (p <= -kSmallLimit || p >= kSmallLimit) return false;
            *r = int64_t(p);
            return true;
        }
        case ArithOp::Over:
            if (y == 0) return false;
            *r = x / y;  // truncates toward zero
            break;
        case ArithOp::Cent: {
            if (y == 0) return false;
            int64_t m = x % y;  // the sign of x, moved to the sign of y
            if (m != 0 && (m < 0) != (y < 0)) m += y;
            *r = m;
            break;
        }
        default: return false;
    }
    return fits_small(*r);
}

bool small_compare(CompareOp op, int64_t x, int64_t y) {
    switch (op) {
        case CompareOp::Less: return x < y;
        case CompareOp::Gteq: return x >= y;
        case CompareOp::Same: return x == y;
        case CompareOp::Diff: return x != y;
    }
    return false;
}

// Runs the activation at base from pc until the machine has work; x is then its focus.
void execute(const Code* code, uint32_t pc, uint32_t base, CellRef& x, Continuation& k) {
    // Hands a term to the machine: in tail position the activation is over, otherwise it
    // waits at `resume` for the value.
    auto to_machine = [&](CellRef term, bool tail, uint32_t resume) {
        if (tail)
            release_above(base);
        else
            k.push_resume(code, resume, base);
        x = std::move(term);
    };
    for (;;) {
        const Insn& i = code->insns[pc++];
        switch (i.op) {
            case Op::Local: {
                Val v = values[base + uint32_t(i.a)];
                retain_val(v);
                push(v);
                break;
            }
            case Op::Const: {
                Val v = code->consts[size_t(i.a)];
                retain_val(v);
                push(v);
                break;
            }
            case Op::Store: {
                Val v = values.pop();
                Val& slot = values[base + uint32_t(i.a)];
                release_val(slot);
                slot = v;
                break;
            }
            case Op::Nullary: {
                Cell* t = code->defs[size_t(i.a)]->term.get();
                if (is_whnf(t)) {  // computed, or a value from the start
                    retain(t);
                    push(cell_val(t));
                    break;
                }
                to_machine(instantiate(code->templates[size_t(i.b)], base), i.tail, pc);
                return;
            }
            case Op::Call: {
                const Code* callee = code_of(code->defs[size_t(i.a)]);
                size_t from = values.size() - i.n;
                if (i.tail) {
                    for (size_t j = base; j < from; ++j) release_val(values[j]);
                    std::memmove(&values[base], &values[from], i.n * sizeof(Val));
                    values.set_size(base + i.n);
                } else {
                    k.push_resume(code, pc, base);
                    base = uint32_t(from);
                }
                code = callee;
                pc = 0;
                for (uint32_t j = i.n; j < callee->slots; ++j) push(0);
                break;
            }
            case Op::Arith: {
                size_t top = values.size();
                int64_t a, b, r;
                if (small_operand(values[top - 2], &a) && small_operand(values[top - 1], &b) &&
                    small_arith(ArithOp(i.x), a, b, &r)) {
                    release_val(values[top - 2]);
                    release_val(values[top - 1]);
                    values[top - 2] = small_val(r);
                    values.set_size(top - 1);
                    break;
                }
                [[fallthrough]];
            }
            case Op::Compare:
                if (i.op == Op::Compare) {
                    size_t top = values.size();
                    int64_t a, b;
                    if (small_operand(values[top - 2], &a) && small_operand(values[top - 1], &b)) {
                        release_val(values[top - 2]);
                        release_val(values[top - 1]);
                        Cell* t = small_compare(CompareOp(i.x), a, b) ? leaves().K.get() : leaves().H.get();
                        retain(t);
                        values[top - 2] = cell_val(t);
                        values.set_size(top - 1);
                        break;
                    }
                }
                [[fallthrough]];
            case Op::Builtin: {
                CellRef r = call_builtin(code, i);
                if (is_whnf(r.get())) {
                    push(cell_val(r.take()));
                    break;
                }
                to_machine(std::move(r), i.tail, pc);
                return;
            }
            case Op::Apply: {
                size_t from = values.size() - i.n - 1;
                CellRef r = adopt_box(values[from]);
                for (size_t j = from + 1; j < values.size(); ++j) r = apply(std::move(r), adopt_box(values[j]));
                values.set_size(from);
                push(cell_val(r.take()));
                break;
            }
            case Op::Term:
                push(cell_val(instantiate(code->templates[size_t(i.a)], base).take()));
                break;
            case Op::Machine:
                to_machine(instantiate(code->templates[size_t(i.a)], base), i.tail, pc);
                return;
            case Op::Branch: {
                Val v = values.pop();
                if (is_leaf_named(v, 'K')) {  // K t e = t
                    release_val(v);
                    break;
                }
                if (is_leaf_named(v, 'H')) {  // H t e = e
                    release_val(v);
                    pc = uint32_t(i.a);
                    break;
                }
                if (i.c >= 0 && is_list_cell(v)) {  // J x y t (h\t\b) = b, x for h, y for t
                    Cell* c = val_cell(v);
                    Cell* head = right_of(left_of(c));
                    Cell* rest = right_of(c);
                    retain(head);
                    retain(rest);
                    Val& s1 = values[base + i.s1];
                    release_val(s1);
                    s1 = cell_val(head);
                    Val& s2 = values[base + i.s2];
                    release_val(s2);
                    s2 = cell_val(rest);
                    release_val(v);
                    pc = uint32_t(i.c);
                    break;
                }
                CellRef term = apply2(adopt_box(v), instantiate(code->templates[size_t(i.b)], base),
                                      instantiate(code->templates[size_t(i.d)], base));
                to_machine(std::move(term), i.tail, uint32_t(i.e));
                return;
            }
            case Op::Jump:
                pc = uint32_t(i.a);
                break;
            case Op::Ret: {
                Val v = values.pop();
                release_above(base);
                if (!k.empty() && k.back().kind() == FrameKind::Resume) {
                    Frame f = k.pop();
                    code = f.code;
                    pc = f.pc();
                    base = f.base;
                    push(v);
                    break;
                }
                x = adopt_box(v);
                return;
            }
        }
    }
}

}  // namespace

void vm_enter(const Code* code, Cell* const* args, int n, CellRef& x, Continuation& k) {
    uint32_t base = uint32_t(values.size());
    for (int j = 0; j < n; ++j) {
        retain(args[j]);
        push(cell_val(args[j]));
    }
    for (uint32_t j = uint32_t(n); j < code->slots; ++j) push(0);
    execute(code, 0, base, x, k);
}

void vm_resume(CellRef& x, Continuation& k) {
    Frame f = k.pop();
    push(cell_val(x.take()));
    execute(f.code, f.pc(), f.base, x, k);
}

bool apply_frames_on_top(Continuation& k, int count) {
    for (int i = 1; i <= count; ++i) {
        if (size_t(i) > k.size()) return false;
        Frame& f = k[k.size() - size_t(i)];
        if (f.kind() == FrameKind::ApplyTo) continue;
        if (f.kind() != FrameKind::Resume || f.code->insns[f.pc()].op != Op::Branch) return false;
        // v t e: the frames "apply to t", "apply to e", then the rest of the activation
        Frame above[64];
        int n = i - 1;
        RUK_ASSERT(n <= 64);
        for (int j = 0; j < n; ++j) above[j] = k.pop();
        Frame waiting = k.pop();
        const Insn& b = waiting.code->insns[waiting.pc()];
        CellRef t = instantiate(waiting.code->templates[size_t(b.b)], waiting.base);
        CellRef e = instantiate(waiting.code->templates[size_t(b.d)], waiting.base);
        if (b.tail)
            release_above(waiting.base);
        else
            k.push_resume(waiting.code, uint32_t(b.e), waiting.base);
        k.push_cell(FrameKind::ApplyTo, std::move(e));
        k.push_cell(FrameKind::ApplyTo, std::move(t));
        for (int j = n - 1; j >= 0; --j) k.push(above[j]);
        i = 0;  // look again from the top
    }
    return true;
}

void drop_continuation(Continuation& k) {
    while (!k.empty()) {
        Frame f = k.pop();
        if (f.kind() != FrameKind::Resume) release(f.cell);
    }
    release_above(0);
}

size_t vm_live_values() { return values.size(); }

}  // namespace ruk
