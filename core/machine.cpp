#include "core/machine.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "core/analyse.h"
#include "core/builtin.h"
#include "core/data.h"
#include "core/code.h"
#include "core/defs.h"
#include "core/frames.h"
#include "core/intern.h"
#include "core/leaves.h"
#include "core/number.h"
#include "core/observe.h"
#include "core/vm.h"

namespace ruk {

// The state is a focus term x and a continuation. The continuation is kept as a vector of
// frames rather than as a chain of B and T pairs: a frame "apply to y" stands for B k (T y)
// and a frame "pass to c" for B k c. Popping a frame builds exactly the term the B and T
// rules would build (x y, or c x), and the frames are never visible to a program, so the
// runs are the same step for step; the vector only saves the pairs of the chain.

namespace {

uint64_t steps = 0;

std::unordered_map<const Cell*, Target>& resolved() {
    static std::unordered_map<const Cell*, Target> cache;
    return cache;
}

bool lazy_head(Cell* c) {
    while (is_pair(c) && !is_data(c)) c = left_of(c);
    return lazy_head_byte(first_byte(c));  // a data pair reads 0: strict
}

// ---- substitution ---------------------------------------------------------------
// All parameters of a definition are replaced in one walk. The values are closed terms,
// so this is the same as replacing them one at a time from the last to the first; where a
// key repeats, the innermost binder (the later argument) wins.

struct Bindings {
    Cell* value[26];
};

inline uint32_t key_bit(Cell* key) { return is_letter_leaf(key) ? variable_set(key) : 0; }

// The walk keeps its own stacks, so a body of any depth can be substituted into. A task
// is a subterm still to be substituted, with the letters to replace in it, or (no
// subterm) the joining of the two parts last finished into a pair; finished parts wait on
// the second stack, one count each. The machine runs on one thread, so one pair of stacks
// serves every call.
struct SubstTask {
    Cell* term;  // null: join
    uint32_t mask;
};
std::vector<SubstTask> subst_tasks;
std::vector<Cell*> subst_parts;
constexpr size_t kSubstKept = size_t(1) << 16;  // entries a stack keeps between calls

CellRef subst(Cell* t, const Bindings& b, uint32_t mask) {
    std::vector<SubstTask>& tasks = subst_tasks;
    std::vector<Cell*>& parts = subst_parts;
    const size_t task_base = tasks.size(), part_base = parts.size();
    for (;;) {
        // Down the function parts of t, leaving the rest as tasks.
        for (;;) {
            if ((variable_set(t) & mask) == 0) {  // nothing to replace: share
                retain(t);
                parts.push_back(t);
                break;
            }
            if (is_leaf(t)) {  // the letter itself
                Cell* v = b.value[first_byte(t) - 'a'];
                retain(v);
                parts.push_back(v);
                break;
            }
            Cell* l = left_of(t);
            if (is_binder(t)) {  // \key.body: the key is not replaced inside
                retain(l);
                parts.push_back(l);
                tasks.push_back({nullptr, 0});
                mask &= ~key_bit(right_of(l));
                t = right_of(t);
                continue;
            }
            if (is_brace_form(t)) {  // {key=value} body: the value sees the outer letters
                Cell* head = left_of(l);  // ({ key)
                retain(head);
                parts.push_back(head);
                tasks.push_back({nullptr, 0});
                tasks.push_back({right_of(t), mask & ~key_bit(right_of(head))});
                tasks.push_back({nullptr, 0});
                t = right_of(l);
                continue;
            }
            tasks.push_back({nullptr, 0});
            tasks.push_back({right_of(t), mask});
            t = l;
        }
        // The next subterm, joining finished parts on the way.
        for (;;) {
            if (tasks.size() == task_base) {
                RUK_ASSERT(parts.size() == part_base + 1);
                Cell* out = parts.back();
                parts.pop_back();
                if (task_base == 0) {  // the room a very deep term took is given back
                    if (tasks.capacity() > kSubstKept) std::vector<SubstTask>().swap(tasks);
                    if (parts.capacity() > kSubstKept) std::vector<Cell*>().swap(parts);
                }
                return CellRef::adopt(out);
            }
            SubstTask task = tasks.back();
            tasks.pop_back();
            if (task.term) {
                t = task.term;
                mask = task.mask;
                break;
            }
            Cell* r = parts.back();
            parts.pop_back();
            Cell* joined = make_pair_adopt(parts.back(), r);
            retain(joined);
            parts.back() = joined;
        }
    }
}

CellRef subst1(Cell* t, Cell* v, Cell* key) {
    uint32_t bit = key_bit(key);
    if (bit == 0) return CellRef(t);
    Bindings b;
    b.value[first_byte(key) - 'a'] = v;
    return subst(t, b, bit);
}

// ---- firing ---------------------------------------------------------------------

constexpr int kMaxArgs = 16;

// V (J (J b0 b1) (J b2 b3)) (J (J b4 b5) (J b6 b7)); bit i set gives I, clear gives H.
CellRef byte_tree(unsigned char byte) {
    const CommonLeaves& c = leaves();
    auto bit = [&](int i) { return (byte >> i) & 1 ? c.I : c.H; };
    auto j = [&](CellRef x, CellRef y) { return apply2(c.J, std::move(x), std::move(y)); };
    return apply2(c.V, j(j(bit(0), bit(1)), j(bit(2), bit(3))),
                  j(j(bit(4), bit(5)), j(bit(6), bit(7))));
}

// A blob is a balanced tree of its bytes: V (first 2^k bytes) (the rest).
CellRef blob_tree(Cell* blob) {
    std::string_view p = blob_payload(blob);
    if (p.empty()) return leaves().Z;
    if (p.size() == 1) return byte_tree(static_cast<unsigned char>(p[0]));
    size_t half = 1;
    while (half * 2 < p.size()) half *= 2;
    return apply2(leaves().V, make_blob(p.substr(0, half)), make_blob(p.substr(half)));
}

// The prelude's combinators, fired by their own rules: each builds exactly the term that
// substituting the arguments into the prelude's body would build, from the same shared
// leaves, without walking the body. Returns false for a combinator left to substitution.
bool fire_combinator(char letter, Cell* const* args, CellRef& x) {
    const CommonLeaves& c = leaves();
    auto arg = [&](int i) { return CellRef(args[i]); };
    CellRef r;
    switch (letter) {
        case 'A': r = apply2(arg(0), c.S, apply2(c.B, c.K, c.K)); break;   // A a = a S (B K K)
        case 'B': r = apply(arg(0), apply(arg(1), arg(2))); break;          // B a b c = a (b c)
        case 'C': r = apply2(arg(0), arg(2), arg(1)); break;                // C a b c = a c b
        case 'D': r = apply2(arg(0), arg(1), apply(arg(2), arg(3))); break;  // D a b c d = a b (c d)
        case 'E':                                                       // E a b c d e = a b (c d e)
            r = apply2(arg(0), arg(1), apply2(arg(2), arg(3), arg(4)));
            break;
        case 'F': r = apply2(c.V, arg(1), arg(0)); break;                   // F a b = V b a
        case 'H': r = c.I; break;                                           // H a = I
        case 'I': r = arg(0); break;                                        // I a = a
        case 'J': r = apply2(c.V, arg(0), arg(1)); break;                   // J a b c = V a b
        case 'K': r = arg(0); break;                                        // K a b = a
        case 'L': r = apply2(arg(0), c.K, apply(c.K, apply(c.K, c.H))); break;  // L a = a K (K (K H))
        case 'M': r = apply(arg(0), arg(0)); break;                         // M a = a a
        case 'N': r = c.K; break;                                           // N a = K
        case 'O': r = apply(arg(1), apply(arg(0), arg(1))); break;          // O a b = b (a b)
        case 'P': r = apply2(arg(0), apply(c.X, c.S), c.I); break;          // P a = a (X S) I
        case 'Q': r = apply2(arg(0), c.Z, c.K); break;                      // Q a = a Z K
        case 'R': r = apply2(arg(0), c.Z, c.H); break;                      // R a = a Z H
        case 'S': r = apply2(arg(0), arg(2), apply(arg(1), arg(2))); break;  // S a b c = a c (b c)
        case 'T': r = apply(arg(1), arg(0)); break;                         // T a b = b a
        case 'U': r = apply(c.U, arg(0)); break;                            // U a b = U a
        case 'V': r = apply2(arg(2), arg(0), arg(1)); break;                // V a b c = c a b
        case 'W': r = apply2(arg(0), arg(1), arg(1)); break;                // W a b = a b b
        case 'X': r = apply2(c.V, arg(1), apply2(arg(0), arg(3), arg(2))); break;  // X a b c d = V b (a d c)
        case 'Y': r = apply2(arg(0), apply(c.Y, arg(0)), arg(1)); break;    // Y a b = a (Y a) b
        case 'Z': r = c.Z; break;                                           // Z a = Z
        default: return false;                                              // G: by substitution
    }
    x = std::move(r);
    return true;
}

// Fires the saturated redex x (arity 0).
void fire(CellRef& x, Continuation& k) {
    Cell* args[kMaxArgs];
    int n = 0;
    Cell* h = x.get();
    while (is_pair(h) && !is_data(h)) {
        RUK_ASSERT(n < kMaxArgs);
        args[n++] = right_of(h);
        h = left_of(h);
    }
    for (int i = 0, j = n - 1; i < j; ++i, --j) std::swap(args[i], args[j]);
    const CommonLeaves& c = leaves();
    unsigned char b = first_byte(h);

    if (is_leaf(h) && is_name_leaf(h) && b != ')' && b != ']') {
        const Target& t = resolve_name(h);
        if (t.builtin) {  // builtins first: the call receives the whole redex
            if (run_hooks) [[unlikely]]
                x = run_hooks->builtin(*t.builtin, std::move(x), k.size());
            else
                x = t.builtin->implementation(std::move(x));
            return;
        }
        if (is_leaf_text(h, '{')) {  // { key value body
            RUK_ASSERT(n == 3);
            if (is_whnf(args[1])) {
                x = subst1(args[2], args[1], args[0]);
            } else {  // reduce the value, then hand it to \key.body
                k.push_cell(FrameKind::PassTo, apply(apply(c.backslash, CellRef(args[0])), CellRef(args[2])));
                x = CellRef(args[1]);
            }
            return;
        }
        if (is_leaf_text(h, '\\')) {  // \ key body argument
            RUK_ASSERT(n == 3);
            x = subst1(args[1], args[2], args[0]);
            return;
        }
        Definition* def = t.def;
        RUK_ASSERT(def != nullptr);
        if (def->native && fire_combinator(def->native, args, x)) return;
        if (run_hooks && (n > 0 || !is_whnf(def->term.get()))) [[unlikely]]
            run_hooks->definition(def, k.size());
        if (n > 0 && compiled_engine_on() && !lazy_head_byte(b)) {
            if (const Code* code = code_of(def)) {
                vm_enter(code, args, n, x, k);
                return;
            }
        }
        Cell* body = def->term.get();
        Bindings bind;
        uint32_t mask = 0;
        int keys = 0;
        for (; is_binder(body); body = right_of(body), ++keys) {
            RUK_ASSERT(keys < n);  // every key gets an argument
            Cell* key = right_of(left_of(body));
            if (uint32_t bit = key_bit(key)) {
                bind.value[first_byte(key) - 'a'] = args[keys];
                mask |= bit;
            }
        }
        RUK_ASSERT(keys == n);
        CellRef value = mask ? subst(body, bind, mask) : CellRef(body);
        if (n == 0 && !is_whnf(value.get())) {
            // A definition without parameters is computed once, then read from the table.
            switch (def->progress) {
                case -1: {
                    def->progress = 0;
                    std::string marker = "]";
                    marker += leaf_text(h);
                    x = apply(from_string(std::move(marker)), std::move(value));
                    return;
                }
                case 0: {  // its value is demanded while it is being computed
                    drop_continuation(k);
                    std::string marker = ")";
                    marker += leaf_text(h);
                    x = from_string(std::move(marker));
                    return;
                }
                default:
                    break;
            }
        }
        x = std::move(value);
        return;
    }

    if (b >= '0' && b <= '9') {  // a numeral is the list of its bits
        RUK_ASSERT(n == 1);
        std::string_view digits = leaf_text(h);
        // A digit item may run on into other characters ("1," from "~(1,2)"): such a
        // leaf is no number and means nothing applied.
        if (digits.find_first_not_of("0123456789") != std::string_view::npos)
            x = c.Z;
        else if (digits == "0")
            x = apply(c.K, CellRef(args[0]));  // 0 x = K x
        else
            x = apply2(c.V, first_element(h), rest_of_number(h));  // n x = V e0 rest
        return;
    }
    if (is_data(h)) {  // data taken apart from its end
        RUK_ASSERT(n == 1);
        Cell* x1 = args[0];
        CellRef rest, last;
        if (is_leaf(x1) && first_byte(x1) == 'G' && take_last(h, rest, last)) {
            x = apply2(c.V, std::move(rest), std::move(last));  // d G = V rest last
        } else {
            x = apply(apply(CellRef(x1), apply(c.X, c.J)), list_form(h));  // d f = f (X J) L(d)
        }
        return;
    }
    if (b == '(') {  // a blob: the balanced tree of its bytes
        RUK_ASSERT(n == 1);
        x = blob_tree(h);
        return;
    }
    if (b == ' ') {  // a real applied: its binary float applied
        RUK_ASSERT(n == 1);
        x = apply(binary_float_from_double(double_from_real(h)), CellRef(args[0]));
        return;
    }
    if (b == ']') {  // update marker: the value is written back under its name
        RUK_ASSERT(n == 1);
        CellRef v(args[0]);
        Definition* def = find_definition(leaf_text(h).substr(1));
        RUK_ASSERT(def != nullptr);
        // A binder is stored as I applied to it, so the name's binder count stays 0.
        def->term = is_binder(v.get()) ? apply(c.I, v) : v;
        def->progress = 1;
        x = std::move(v);
        return;
    }
    RUK_ASSERT(false);  // no rule for this head
}

// Reduce the function part when it is not a value yet, else the argument.
inline void reduce_part(CellRef& x, Continuation& k) {
    CellRef l, r;
    split(std::move(x), l, r);
    if (!is_whnf(l.get())) {
        k.push_cell(FrameKind::ApplyTo, std::move(r));
        x = std::move(l);
    } else {
        k.push_cell(FrameKind::PassTo, std::move(l));
        x = std::move(r);
    }
}

}  // namespace

// What a name leaf stands for. A program may define a builtin's name with another number
// of parameters; the builtin is then not called (its arguments would not be where it
// looks), and the definition fires.
const Target& resolve_name(Cell* h) {
    auto& cache = resolved();
    auto it = cache.find(h);
    if (it != cache.end()) return it->second;
    std::string_view name = leaf_text(h);
    Target t;
    t.def = find_definition(name);
    const BuiltinTable& table = builtin_table();
    auto b = table.find(name);
    if (b != table.end() && t.def && arity(h) == b->second.arity) t.builtin = &b->second;
    // Only shared leaves live for the whole run; others may be freed and their address reused.
    if (is_interned(h)) return cache.emplace(h, t).first->second;
    static Target scratch;
    scratch = t;
    return scratch;
}

CellRef substitute_letters(Cell* t, Cell* const* values, uint32_t letters) {
    Bindings b;
    for (int i = 0; i < 26; ++i)
        if (letters >> i & 1) b.value[i] = values[i];
    return subst(t, b, letters);
}

CellRef substitute(Cell* t, Cell* v, char c) {
    if (c < 'a' || c > 'z') return CellRef(t);
    Bindings b;
    b.value[c - 'a'] = v;
    return subst(t, b, uint32_t(1) << (c - 'a'));
}

CellRef run(CellRef term) {
    Continuation k;
    CellRef x = std::move(term);
    for (;;) {
        ++steps;
#ifdef RUK_STEP_LIMIT
        if (out_of_steps()) {
            drop_continuation(k);
            return leaves().Z;
        }
#endif
        Cell* c = x.get();
        if (is_whnf(c)) {
            if (k.empty()) return x;
            Frame f = k.back();
            switch (f.kind()) {
                case FrameKind::Resume:
                    vm_resume(x, k);
                    continue;
                case FrameKind::ApplyTo:  // T y v = v y
                    k.pop();
                    x = apply(std::move(x), CellRef::adopt(f.cell));
                    continue;
                case FrameKind::PassTo:  // c v
                    k.pop();
                    x = apply(CellRef::adopt(f.cell), std::move(x));
                    continue;
            }
        }
        if (is_leaf(c)) {  // a name without parameters
            fire(x, k);
            continue;
        }
        int a = annotation_value(c);
        if (a < 0) {  // more arguments than the head takes: reduce the function part first
            CellRef l, r;
            split(std::move(x), l, r);
            k.push_cell(FrameKind::ApplyTo, std::move(r));
            x = std::move(l);
            continue;
        }
        if (a == 0) {
            // A brace form fires as soon as its value is ready; its body waits for the key.
            if (!is_brace_form(c) && annotation_flag(c) && !lazy_head(c))
                reduce_part(x, k);
            else
                fire(x, k);
            continue;
        }
        // A partial application with something unreduced inside. A lazy head that the
        // continuation is about to apply to enough arguments takes them unreduced.
        if (lazy_head(c) && apply_frames_on_top(k, a)) {
            for (int i = 0; i < a; ++i) x = apply(std::move(x), CellRef::adopt(k.pop().cell));
            fire(x, k);
            continue;
        }
        reduce_part(x, k);
    }
}

uint64_t machine_steps() { return steps; }

void reset_machine() { resolved().clear(); }

}  // namespace ruk
