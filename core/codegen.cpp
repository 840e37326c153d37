// From a definition's body to its code (core/code.h).
//
// The generator follows the machine's own order. A saturated strict head (a builtin, a
// definition whose name is no lazy head, "\" and "{") has its arguments reduced left to
// right, then fires; a partial application outside tail position has its parts reduced
// left to right and is a value. What depends on the continuation (a lazy head that may
// take arguments the continuation holds, an over-application, a head known only at run
// time) goes to the machine as a template, except for the shapes that the code decides
// itself: I, K and H by their rules, and a value applied to two branches, which is a
// truth value choosing one (K t e = t, H t e = e) or a list cell handing its parts to a
// two-parameter binder (J x y t (h\t\b) = b with x for h and y for t).
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/analyse.h"
#include "core/arith.h"
#include "core/builtin.h"
#include "core/code.h"
#include "core/compare.h"
#include "core/defs.h"
#include "core/leaves.h"
#include "core/machine.h"
#include "core/number.h"
#include "core/observe.h"

namespace ruk {

namespace {

constexpr int kMaxSpine = 64;  // longer spines go to the machine whole
// Arguments nested deeper than this go to the machine whole, so the generator's
// recursion stays within a fixed depth however deeply a body nests.
constexpr int kMaxNesting = 200;

struct Env {
    int16_t slot[26];
};

struct Spine {
    Cell* head;
    Cell* args[kMaxSpine];
    int n = 0;
};

// The head of an application and its arguments, first argument first; false when it has
// more arguments than the generator follows.
bool take_spine(Cell* t, Spine& s) {
    int n = 0;
    Cell* h = t;
    while (is_pair(h) && !is_data(h)) {
        if (n == kMaxSpine) return false;
        s.args[n++] = right_of(h);
        h = left_of(h);
    }
    for (int i = 0, j = n - 1; i < j; ++i, --j) std::swap(s.args[i], s.args[j]);
    s.head = h;
    s.n = n;
    return true;
}

// Replaces the head by the spine of x, keeping the arguments from `from` on.
bool respine(Spine& s, Cell* x, int from) {
    Spine inner;
    if (!take_spine(x, inner)) return false;
    int rest = s.n - from;
    if (inner.n + rest > kMaxSpine) return false;
    Cell* tail[kMaxSpine];
    for (int i = 0; i < rest; ++i) tail[i] = s.args[from + i];
    s.head = inner.head;
    s.n = 0;
    for (int i = 0; i < inner.n; ++i) s.args[s.n++] = inner.args[i];
    for (int i = 0; i < rest; ++i) s.args[s.n++] = tail[i];
    return true;
}

// The prelude combinator a name leaf fires as, while the prelude's definition stands.
char native_of(Cell* h) {
    if (!is_name_leaf(h)) return 0;
    const Target t = resolve_name(h);
    return t.def && !t.builtin ? t.def->native : 0;
}

bool natives_stand() {
    for (char c : {'I', 'K', 'H', 'J', 'V'}) {
        char name[2] = {c, 0};
        Definition* d = find_definition(name);
        if (!d || d->native != c) return false;
    }
    return true;
}

// Whether every leading binder of a definition's term has a letter as its key.
bool letter_keys(Cell* body) {
    for (; is_binder(body); body = right_of(body))
        if (!is_letter_leaf(right_of(left_of(body)))) return false;
    return true;
}

class Generator {
   public:
    Generator(Code& code, bool natives) : code_(code), natives_(natives) {}

    // tail: the value is the body's value, and the continuation is the caller's.
    void gen(Cell* t, const Env& env, bool tail) {
        if (nesting_ == kMaxNesting && !is_letter_leaf(t)) {
            machine(t, env, tail);
            return;
        }
        ++nesting_;
        gen_term(t, env, tail);
        --nesting_;
    }

   private:
    void gen_term(Cell* t, const Env& env, bool tail) {
        if (is_letter_leaf(t)) {
            emit({.op = Op::Local, .a = env.slot[first_byte(t) - 'a']});
            ret(tail);
            return;
        }
        if (variable_set(t) == 0 && is_whnf(t)) {
            emit({.op = Op::Const, .a = constant(t)});
            ret(tail);
            return;
        }
        if (is_binder(t)) {  // a closure: the binder with its letters put in
            emit({.op = Op::Term, .a = templ(t, env)});
            ret(tail);
            return;
        }
        if (is_leaf(t)) {
            gen_nullary(t, env, tail);
            return;
        }
        Spine s;
        if (!take_spine(t, s) || !simplify(s)) {
            machine(t, env, tail);
            return;
        }
        gen_spine(t, s, env, tail);
    }

    int emit(Insn i) {
        code_.insns.push_back(i);
        return int(code_.insns.size() - 1);
    }
    int here() const { return int(code_.insns.size()); }
    // A position that jumps lead to: code before it may not be merged into code after it.
    int target() {
        barrier_ = here();
        return barrier_;
    }
    void ret(bool tail) {
        if (tail) emit({.op = Op::Ret});
    }

    int constant(Cell* c) {
        int64_t x;
        if (small_integer(c, &x)) {
            code_.consts.push_back(small_val(x));
        } else {
            retain(c);
            code_.consts.push_back(cell_val(c));
        }
        return int(code_.consts.size() - 1);
    }

    int templ(Cell* t, const Env& env) {
        Template tp;
        tp.term = CellRef(t);
        tp.letters = variable_set(t);
        for (int i = 0; i < 26; ++i)
            if (tp.letters & (1u << i)) {
                RUK_ASSERT(env.slot[i] >= 0);
                tp.slot[i] = uint16_t(env.slot[i]);
            }
        code_.templates.push_back(std::move(tp));
        return int(code_.templates.size() - 1);
    }

    int def_index(Definition* d) {
        code_.defs.push_back(d);
        code_.callees.push_back(nullptr);
        return int(code_.defs.size() - 1);
    }

    int new_slot() { return int(code_.slots++); }

    void machine(Cell* t, const Env& env, bool tail) {
        emit({.op = Op::Machine, .tail = tail, .a = templ(t, env)});
    }

    // A name without parameters: a builtin of no arguments, or a definition computed once.
    void gen_nullary(Cell* t, const Env& env, bool tail) {
        const Target target = resolve_name(t);
        if (target.builtin && target.builtin->arity == 0 && !run_hooks) {
            code_.builtins.push_back(target.builtin);
            emit({.op = Op::Builtin,
                  .tail = tail,
                  .n = 0,
                  .a = int(code_.builtins.size() - 1),
                  .b = constant(t)});
            ret(tail);
            return;
        }
        if (!target.def) {
            machine(t, env, tail);
            return;
        }
        emit({.op = Op::Nullary, .tail = tail, .a = def_index(target.def), .b = templ(t, env)});
        ret(tail);
    }

    // Folds what the machine would only pass through: a name whose definition is a value
    // that can no longer change (an operator standing for its builtin), and the lazy
    // combinators I, K and H applied to enough arguments.
    bool simplify(Spine& s) {
        for (int rounds = 0; rounds < 64; ++rounds) {
            Cell* h = s.head;
            if (!is_name_leaf(h) || is_letter_leaf(h)) return true;
            const Target target = resolve_name(h);
            if (!target.def) return true;
            if (!target.builtin && leading_binders(target.def->term.get()) == 0 &&
                is_whnf(target.def->term.get()) && s.n > 0) {
                // a value is never written back, so the name stands for it for good
                if (!respine(s, target.def->term.get(), 0)) return false;
                continue;
            }
            char native = natives_ ? native_of(h) : 0;
            if (native == 'I' && s.n >= 1) {
                if (!respine(s, s.args[0], 1)) return false;
                continue;
            }
            if (native == 'K' && s.n >= 2) {
                if (!respine(s, s.args[0], 2)) return false;
                continue;
            }
            if (native == 'H' && s.n >= 2) {
                if (!respine(s, s.args[1], 2)) return false;
                continue;
            }
            return true;
        }
        return false;
    }

    // Whether x, with the slots put in, is in weak head normal form whatever they hold.
    bool value_shape(Cell* x) {
        if (is_letter_leaf(x) || is_binder(x)) return true;
        if (variable_set(x) == 0) return is_whnf(x);
        return false;
    }

    void gen_args(const Spine& s, int from, int to, const Env& env) {
        for (int i = from; i < to; ++i) gen(s.args[i], env, false);
    }

    void gen_spine(Cell* t, const Spine& s, const Env& env, bool tail) {
        Cell* h = s.head;
        if (s.n == 0) {
            gen(h, env, tail);
            return;
        }
        if (is_letter_leaf(h)) {
            if (s.n == 2 && natives_) {
                emit({.op = Op::Local, .a = env.slot[first_byte(h) - 'a']});
                branch(s.args[0], s.args[1], env, tail);
                return;
            }
            machine(t, env, tail);
            return;
        }
        if (!is_name_leaf(h)) {
            machine(t, env, tail);
            return;
        }
        // "{" key value body, and "\" key body argument: the value first, then the body
        // with the key bound to it.
        if (is_leaf_text(h, '{') || is_leaf_text(h, '\\')) {
            // applied to more (a binder given two arguments), the machine takes the rest
            if (s.n != 3) {
                machine(t, env, tail);
                return;
            }
            bool brace = is_leaf_text(h, '{');
            Cell* key = s.args[0];
            if (!is_letter_leaf(key)) {
                machine(t, env, tail);
                return;
            }
            gen(brace ? s.args[1] : s.args[2], env, false);
            Env inner = env;
            int slot = new_slot();
            inner.slot[first_byte(key) - 'a'] = int16_t(slot);
            emit({.op = Op::Store, .a = slot});
            gen(brace ? s.args[2] : s.args[1], inner, tail);
            return;
        }
        const Target target = resolve_name(h);  // a copy: resolving another leaf may reuse the slot
        if (!target.def) {
            machine(t, env, tail);
            return;
        }
        int arity = leading_binders(target.def->term.get());
        bool lazy = lazy_head_byte(first_byte(h));
        // v t e chooses by the prelude's truth values and list cells only
        bool choice = s.n == arity + 2 && natives_;
        if (target.builtin) {
            // A watched run has the machine make every builtin call, where the hooks see
            // it, in the order and with the arguments the machine engine has.
            if (run_hooks) {
                machine(t, env, tail);
                return;
            }
            if (s.n == arity || choice) {
                gen_args(s, 0, arity, env);
                bool then_branch = s.n == arity + 2;
                call_builtin(h, *target.builtin, arity, tail && !then_branch);
                if (then_branch)
                    branch(s.args[arity], s.args[arity + 1], env, tail);
                else
                    ret(tail);
                return;
            }
            if (s.n < arity && !lazy) {
                partial(h, s, env, tail);
                return;
            }
            machine(t, env, tail);
            return;
        }
        if (arity == 0 || lazy) {
            // a lazy head: a partial application is a value once its parts are; in tail
            // position the continuation may hold its missing arguments
            if (s.n < arity && !tail) {
                partial(h, s, env, tail);
                return;
            }
            if (s.n < arity && tail) {
                bool values = true;
                for (int i = 0; i < s.n; ++i) values = values && value_shape(s.args[i]);
                if (!values)
                    emit({.op = Op::LazyTail, .n = uint8_t(arity - s.n), .a = templ(t, env)});
                partial(h, s, env, tail);
                return;
            }
            machine(t, env, tail);
            return;
        }
        if ((s.n == arity || choice) && letter_keys(target.def->term.get())) {
            gen_args(s, 0, arity, env);
            bool then_branch = s.n == arity + 2;
            emit({.op = Op::Call,
                  .tail = tail && !then_branch,
                  .n = uint8_t(arity),
                  .a = def_index(target.def)});
            if (then_branch) branch(s.args[arity], s.args[arity + 1], env, tail);
            return;
        }
        if (s.n < arity) {
            partial(h, s, env, tail);
            return;
        }
        machine(t, env, tail);
    }

    void partial(Cell* h, const Spine& s, const Env& env, bool tail) {
        emit({.op = Op::Const, .a = constant(h)});
        gen_args(s, 0, s.n, env);
        emit({.op = Op::Apply, .n = uint8_t(s.n)});
        ret(tail);
    }

    void call_builtin(Cell* h, const BuiltinEntry& entry, int arity, bool tail) {
        code_.builtins.push_back(&entry);
        Insn i{.op = Op::Builtin,
               .tail = tail,
               .n = uint8_t(arity),
               .a = int(code_.builtins.size() - 1),
               .b = constant(h)};
        std::string_view name = leaf_text(h);
        static constexpr struct {
            const char* name;
            Op op;
            uint8_t x;
        } kFast[] = {
            {"plus", Op::Arith, uint8_t(ArithOp::Plus)},
            {"dash", Op::Arith, uint8_t(ArithOp::Dash)},
            {"mult", Op::Arith, uint8_t(ArithOp::Mult)},
            {"over", Op::Arith, uint8_t(ArithOp::Over)},
            {"cent", Op::Arith, uint8_t(ArithOp::Cent)},
            {"less", Op::Compare, uint8_t(CompareOp::Less)},
            {"gteq", Op::Compare, uint8_t(CompareOp::Gteq)},
            {"same", Op::Compare, uint8_t(CompareOp::Same)},
            {"diff", Op::Compare, uint8_t(CompareOp::Diff)},
        };
        if (arity == 2)
            for (const auto& f : kFast)
                if (name == f.name) {
                    i.op = f.op;
                    i.x = f.x;
                    i.c = i.d = -1;
                    fold_operand(i.d);
                    if (i.d >= 0) fold_operand(i.c);
                }
        if (arity == 1 && name == "getx") {
            i.op = Op::ReadByte;
            i.c = -1;
            fold_operand(i.c);
        }
        if (i.op == Op::Arith || i.op == Op::Compare) {
            i.s1 = uint16_t((i.c < 0) + (i.d < 0));  // operands on the stack
            i.s2 = i.op == Op::Compare;
            specialise(i);
        }
        emit(i);
    }

    // Picks the form of a two-operand instruction whose operands' places are common.
    void specialise(Insn& i) {
        bool arith = i.op == Op::Arith;
        bool small_const = i.d >= 0 && (i.d & 1) && is_small(code_.consts[size_t(i.d >> 1)]);
        if (small_const) i.imm = code_.consts[size_t(i.d >> 1)];
        if (i.c < 0 && i.d < 0)
            i.op = arith ? Op::ArithSS : Op::CompareSS;
        else if (i.c >= 0 && !(i.c & 1) && small_const)
            i.op = arith ? Op::ArithLK : Op::CompareLK;
        else if (i.c < 0 && small_const)
            i.op = arith ? Op::ArithSK : Op::CompareSK;
        else if (i.c >= 0 && !(i.c & 1) && i.d >= 0 && !(i.d & 1))
            i.op = arith ? Op::ArithLL : Op::CompareLL;
    }

    // Takes the last instruction into an operand of the next one when it only pushes a
    // slot or a constant.
    void fold_operand(int32_t& source) {
        int last = here() - 1;
        if (last < barrier_ || last < 0) return;
        const Insn& p = code_.insns[size_t(last)];
        if (p.op == Op::Local)
            source = 2 * p.a;
        else if (p.op == Op::Const)
            source = 2 * p.a + 1;
        else
            return;
        code_.insns.pop_back();
    }

    // v t e, with v on the stack.
    void branch(Cell* then_term, Cell* else_term, const Env& env, bool tail) {
        int at = emit({.op = Op::Branch,
                       .tail = tail,
                       .b = templ(then_term, env),
                       .d = templ(else_term, env)});
        barrier_ = here();
        // a two-parameter binder as the second branch also takes a list cell apart
        Cell* k1 = nullptr;
        Cell* k2 = nullptr;
        if (is_binder(else_term) && is_binder(right_of(else_term))) {
            k1 = right_of(left_of(else_term));
            k2 = right_of(left_of(right_of(else_term)));
            if (!is_letter_leaf(k1) || !is_letter_leaf(k2)) k1 = k2 = nullptr;
        }
        std::vector<int> joins;
        gen(then_term, env, tail);
        if (!tail) joins.push_back(emit({.op = Op::Jump}));
        code_.insns[size_t(at)].a = target();
        gen(else_term, env, tail);
        if (k1) {
            if (!tail) joins.push_back(emit({.op = Op::Jump}));
            Env cons = env;
            int s1 = new_slot(), s2 = new_slot();
            cons.slot[first_byte(k1) - 'a'] = int16_t(s1);
            cons.slot[first_byte(k2) - 'a'] = int16_t(s2);  // the inner key wins
            Insn& b = code_.insns[size_t(at)];
            b.c = target();
            b.s1 = uint16_t(s1);
            b.s2 = uint16_t(s2);
            gen(right_of(right_of(else_term)), cons, tail);
        }
        int join = target();
        code_.insns[size_t(at)].e = join;
        for (int j : joins) code_.insns[size_t(j)].a = join;
    }

    Code& code_;
    bool natives_;
    int barrier_ = 0;
    int nesting_ = 0;  // calls of gen under way
};

bool engine_on = true;

}  // namespace

void CodeDeleter::operator()(Code* c) const { delete c; }

bool compiled_engine_on() { return engine_on; }

void choose_engine() {
    const char* env = std::getenv("RUK_ENGINE");
    engine_on = !(env && std::strcmp(env, "machine") == 0);
    for (const char* name : {"raws", "leak", "tail", "cork"})
        if (find_definition(name)) engine_on = false;
}

const Code* code_of(Definition* def) {
    if (def->code) return def->code.get();
    if (def->uncompiled) return nullptr;
    Cell* body = def->term.get();
    if (!letter_keys(body)) {
        def->uncompiled = true;
        return nullptr;
    }
    Env env;
    for (int16_t& s : env.slot) s = -1;
    std::unique_ptr<Code, CodeDeleter> code(new Code);
    int params = 0;
    for (; is_binder(body); body = right_of(body), ++params) {
        Cell* key = right_of(left_of(body));
        env.slot[first_byte(key) - 'a'] = int16_t(params);  // a repeated key: the later wins
    }
    code->params = code->slots = uint32_t(params);
    Generator(*code, natives_stand()).gen(body, env, true);
    code->frame = code->slots + uint32_t(code->insns.size());
    def->code = std::move(code);
    return def->code.get();
}

}  // namespace ruk
