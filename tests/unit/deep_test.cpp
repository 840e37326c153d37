// Terms a million levels deep through every walk after the parser: the analysis, the
// preparing passes and checks, substitution, the code generator and the bit lists made
// by builtins. Each test runs on a thread with an ordinary 8 MiB stack, which a walk that
// recursed once per level would overflow many times over. The terms are built from cells,
// and looked at with loops: the test's own helpers must not recurse either.
#include <gtest/gtest.h>
#include <pthread.h>

#include <bit>
#include <functional>
#include <string>
#include <vector>

#include "core/analyse.h"
#include "core/check.h"
#include "core/code.h"
#include "core/compile.h"
#include "core/defs.h"
#include "core/intern.h"
#include "core/leaves.h"
#include "core/machine.h"
#include "core/number.h"
#include "core/passes.h"
#include "core/print.h"
#include "core/start.h"
#include "terms.h"

using namespace ruk;
using namespace ruk::terms;

namespace {

constexpr size_t kDepth = 1000000;
constexpr size_t kSmallStack = size_t(8) << 20;

void on_small_stack(const std::function<void()>& fn) {
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, kSmallStack), 0);
    pthread_t thread;
    auto trampoline = [](void* p) -> void* {
        (*static_cast<const std::function<void()>*>(p))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, trampoline, const_cast<std::function<void()>*>(&fn)), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attr);
}

// ---- building ---------------------------------------------------------------------

// (((head arg) arg) ... arg), n arguments.
CellRef spine(CellRef head, const CellRef& arg, size_t n) {
    for (size_t i = 0; i < n; ++i) head = apply(std::move(head), arg);
    return head;
}
// f (f (... (f inner))), n times.
CellRef nest(const CellRef& f, CellRef inner, size_t n) {
    for (size_t i = 0; i < n; ++i) inner = apply(f, std::move(inner));
    return inner;
}
// key\key\...\body, n binders.
CellRef binders(const CellRef& key, CellRef body, size_t n) {
    CellRef head = L("\\");
    for (size_t i = 0; i < n; ++i) body = apply(apply(head, key), std::move(body));
    return body;
}
// {key=value} ... {key=value} body, n brace forms.
CellRef braces(const CellRef& key, const CellRef& value, CellRef body, size_t n) {
    CellRef head = L("{");
    for (size_t i = 0; i < n; ++i) body = apply(apply(apply(head, key), value), std::move(body));
    return body;
}

// ---- looking ----------------------------------------------------------------------

// The cell reached by going right (or left) n times.
Cell* down_right(Cell* c, size_t n) {
    for (size_t i = 0; i < n; ++i) c = right_of(c);
    return c;
}
Cell* down_left(Cell* c, size_t n) {
    for (size_t i = 0; i < n; ++i) c = left_of(c);
    return c;
}
// Every cell of the term satisfies p; a shared cell is looked at each time it is reached,
// so only trees and terms sharing leaves should come here.
template <class P>
bool every_cell(Cell* term, P p) {
    std::vector<Cell*> todo{term};
    while (!todo.empty()) {
        Cell* c = todo.back();
        todo.pop_back();
        if (!p(c)) return false;
        if (is_pair(c)) {
            todo.push_back(right_of(c));
            todo.push_back(left_of(c));
        }
    }
    return true;
}
// A leaf of exactly this text.
bool is_text(Cell* c, std::string_view t) { return is_leaf(c) && leaf_text(c) == t; }
uint32_t bit(char letter) { return uint32_t(1) << (letter - 'a'); }

// A small table: the binder heads, ff with two parameters, gg with one.
void small_table() {
    definitions().clear();
    definitions()["\\"] = Definition(lam({"a", "b", "c"}, L("Z")));
    definitions()["{"] = Definition(lam({"a", "b", "c"}, L("Z")));
    definitions()["ff"] = Definition(lam({"a", "b"}, L("a")));
    definitions()["gg"] = Definition(lam({"a"}, L("a")));
    definitions()["K"] = Definition(lam({"a", "b"}, L("a")));
    definitions()["V"] = Definition(lam({"a", "b", "c"}, T("(c a b)")));
}

// ---- the analysis -----------------------------------------------------------------

TEST(DeepTerms, AnalysisOfEveryShape) {
    on_small_stack([] {
        small_table();
        // a spine: f takes two, so the arity falls to its floor of -51
        CellRef s = spine(L("ff"), L("x"), kDepth);
        EXPECT_EQ(arity(s.get()), -51);
        EXPECT_FALSE(flag(s.get()));
        EXPECT_EQ(variable_set(s.get()), bit('x'));
        EXPECT_TRUE(every_cell(s.get(), [](Cell* c) { return annotation_byte(c) != 0; }));

        // nested saturated calls: every argument but the innermost still to reduce
        CellRef n = nest(L("gg"), L("y"), kDepth);
        EXPECT_EQ(arity(n.get()), 0);
        EXPECT_TRUE(flag(n.get()));
        EXPECT_EQ(variable_set(n.get()), bit('y'));
        Cell* innermost = down_right(n.get(), kDepth - 1);
        EXPECT_FALSE(flag(innermost));

        // a chain of data pairs adds up the lengths of its texts
        CellRef d = nest(L("[a]"), L("[]"), kDepth);
        EXPECT_TRUE(is_data(d.get()));
        EXPECT_EQ(field_bits(d.get()), 3 * kDepth + 2);
        EXPECT_EQ(arity(d.get()), 1);

        // binders: x\x\...(x y) leaves y free and waits for its argument
        CellRef b = binders(L("x"), T("(x y)"), kDepth);
        EXPECT_EQ(variable_set(b.get()), bit('y'));
        EXPECT_EQ(arity(b.get()), 1);
        EXPECT_TRUE(is_whnf(b.get()));

        // brace forms: the values see y, the key x is bound in the bodies only
        CellRef r = braces(L("x"), L("y"), L("x"), kDepth);
        EXPECT_EQ(variable_set(r.get()), bit('y'));
        EXPECT_EQ(arity(r.get()), 0);
        EXPECT_TRUE(flag(r.get()));
        EXPECT_EQ(variable_set(down_right(r.get(), kDepth - 1)), bit('y'));
        definitions().clear();
    });
}

// ---- the passes -------------------------------------------------------------------

TEST(DeepTerms, PassesRebuildEveryLevel) {
    on_small_stack([] {
        // a quote at the bottom of a deep nesting
        CellRef q = quote_pass(nest(L("gg"), T("(` (gg z))"), kDepth).get());
        Cell* bottom = down_right(q.get(), kDepth);
        EXPECT_EQ(S(bottom), "((V [(gg z)]) (gg z))");
        EXPECT_TRUE(is_text(down_left(q.get(), 1), "gg"));

        // brace forms with a pair of keys, nested: each becomes three
        CellRef k = key_pair_pass(braces(T("(p q)"), L("A"), L("B"), kDepth).get());
        Cell* c = k.get();
        bool shapes = true;
        for (size_t i = 0; i < kDepth && shapes; ++i) {
            shapes = S(left_of(c)) == "(({ q) A)";
            c = right_of(c);
            shapes = shapes && S(left_of(c)) == "(({ p) (q K))";
            c = right_of(c);
            shapes = shapes && S(left_of(c)) == "(({ q) (q H))";
            c = right_of(c);
        }
        EXPECT_TRUE(shapes);
        EXPECT_TRUE(is_text(c, "B"));

        // keys bound at every level, then renamed wherever they stand
        CellRef named = binders(L("count"), binders(L("a"), T("(count a)"), kDepth), kDepth);
        BoundKeys keys = bound_keys(named.get());
        EXPECT_EQ(keys.long_names, std::vector<std::string>{"count"});
        EXPECT_EQ(keys.letters, bit('a'));
        CellRef renamed = rename_long_names(named.get(), choose_letters(keys));
        EXPECT_TRUE(every_cell(renamed.get(), [](Cell* x) { return !is_text(x, "count"); }));
        EXPECT_EQ(S(down_right(renamed.get(), 2 * kDepth)), "(b a)");

        // one leaf per text, however deep the leaves stand
        CellRef interned = intern_pass(nest(L("gg"), L("gg"), kDepth).get());
        Cell* g = left_of(interned.get());
        EXPECT_EQ(down_right(interned.get(), kDepth), g);
        EXPECT_EQ(left_of(down_right(interned.get(), kDepth - 1)), g);

        // names referred to at the bottom of a spine and of a nesting
        CellRef refs = apply(spine(L("ff"), L("x"), kDepth), nest(L("gg"), L("deep"), kDepth));
        EXPECT_EQ(referenced_names(refs.get()), (std::vector<std::string>{"deep", "ff", "gg"}));
    });
}

TEST(DeepTerms, KeyCheckFindsTheOffenceAtTheBottom) {
    on_small_stack([] {
        CellRef bad = binders(L("K"), L("x"), 1);
        CellRef t = binders(L("x"), braces(L("y"), L("v"), nest(L("gg"), bad, kDepth), kDepth), kDepth);
        EXPECT_EQ(find_funky_binder(t.get()), bad.get());
        CellRef clean = binders(L("x"), braces(L("y"), L("v"), nest(L("gg"), L("x"), kDepth), kDepth), kDepth);
        EXPECT_EQ(find_funky_binder(clean.get()), nullptr);
        // the value of a brace form is searched before its body
        CellRef first = binders(L("H"), L("x"), 1);
        CellRef both = braces(L("y"), nest(L("gg"), first, kDepth), nest(L("gg"), bad, kDepth), 1);
        EXPECT_EQ(find_funky_binder(both.get()), first.get());
    });
}

// The whole checker over definitions too deep for a recursive walk. No long names, so no
// trace line is printed.
class DeepChecker : public ::testing::Test {
protected:
    void SetUp() override {
        small_table();
        definitions()["H"] = Definition(lam({"a"}, L("I")));
        definitions()["I"] = Definition(lam({"a"}, L("a")));
        definitions()["Z"] = Definition(lam({"a"}, L("Z")));
        definitions()["\\"] = Definition(lam({"a", "b", "c"}, T("(H I K V Z)")));
        set_trace_log_path("/dev/null");
    }
    void TearDown() override {
        definitions().clear();
        set_trace_log_path("/tmp/redv.log");
    }
    Report check() {
        Report r;
        on_small_stack([&] { r = check_program(); });
        return r;
    }
};

TEST_F(DeepChecker, DeepDefinitionsPass) {
    definitions()[""] = Definition(lam({"a"}, nest(L("gg"), spine(L("ff"), L("a"), kDepth), kDepth)));
    definitions()["deep"] = Definition(binders(L("x"), braces(L("y"), T("(` x)"), L("y"), kDepth), kDepth));
    definitions()["unused"] = Definition(nest(L("gg"), L("missing"), kDepth));
    Report r = check();
    EXPECT_TRUE(r.ok()) << r.text;
    EXPECT_EQ(find_definition("unused"), nullptr);
    EXPECT_EQ(find_definition("deep"), nullptr);
    EXPECT_NE(find_definition("gg"), nullptr);
}

TEST_F(DeepChecker, ErrorsAtTheBottomAreFound) {
    definitions()[""] = Definition(lam({"a"}, L("deep")));
    definitions()["deep"] = Definition(lam({"a"}, nest(L("gg"), L("missing"), kDepth)));
    Report r = check();
    EXPECT_EQ(r.type, ReportType::Alive);
    EXPECT_EQ(r.text, "Alive [missing] referenced by [deep] but not defined.");

    SetUp();
    definitions()[""] = Definition(lam({"a"}, L("deep")));
    definitions()["deep"] = Definition(lam({"a"}, nest(L("gg"), braces(L("b"), L("q"), L("b"), kDepth), kDepth)));
    r = check();
    EXPECT_EQ(r.type, ReportType::Local);
    EXPECT_EQ(r.text, "Local variable q unbound in function [deep].");

    // (a key that is a leaf would have been renamed: an application is the offence left)
    SetUp();
    CellRef bad = binders(T("(1 2)"), L("a"), 1);
    std::string printed = print_term(bad);
    definitions()[""] = Definition(lam({"a"}, L("deep")));
    definitions()["deep"] = Definition(nest(L("gg"), bad, kDepth));
    r = check();
    EXPECT_EQ(r.type, ReportType::Funky);
    EXPECT_EQ(r.text, "Funky key in expression " + printed + " in function deep.");
}

// ---- substitution -----------------------------------------------------------------

TEST(DeepTerms, SubstitutionReachesEveryLevel) {
    on_small_stack([] {
        small_table();
        CellRef v = L("5");
        // every argument of a spine, and its head
        CellRef s = substitute(spine(L("x"), L("x"), kDepth).get(), v.get(), 'x');
        bool all = true;
        Cell* c = s.get();
        for (size_t i = 0; i < kDepth; ++i, c = left_of(c)) all = all && right_of(c) == v.get();
        EXPECT_TRUE(all);
        EXPECT_EQ(c, v.get());

        // the bottom of a nesting; a part without the letter is shared, not copied
        CellRef closed = T("(gg y)");
        CellRef n = substitute(nest(L("gg"), apply(L("x"), closed), kDepth).get(), v.get(), 'x');
        Cell* bottom = down_right(n.get(), kDepth);
        EXPECT_EQ(left_of(bottom), v.get());
        EXPECT_EQ(right_of(bottom), closed.get());

        // through binders of other letters; a binder of the letter stops it
        CellRef b = substitute(binders(L("y"), T("(x y)"), kDepth).get(), v.get(), 'x');
        EXPECT_EQ(S(down_right(b.get(), kDepth)), "(5 y)");
        CellRef stop = binders(L("x"), T("(x y)"), kDepth);
        EXPECT_TRUE(substitute(stop.get(), v.get(), 'x').same(stop));

        // brace forms: every value sees the letter while the key differs...
        CellRef r = substitute(braces(L("y"), L("x"), L("y"), kDepth).get(), v.get(), 'x');
        c = r.get();
        for (size_t i = 0; i < kDepth; ++i, c = right_of(c)) all = all && right_of(left_of(c)) == v.get();
        EXPECT_TRUE(all);
        EXPECT_TRUE(is_text(c, "y"));
        // ...and when the key is the letter, only the outermost value does
        CellRef inner = braces(L("x"), L("x"), L("x"), kDepth - 1);
        CellRef outer = braces(L("x"), L("x"), inner, 1);
        CellRef o = substitute(outer.get(), v.get(), 'x');
        EXPECT_EQ(right_of(left_of(o.get())), v.get());
        EXPECT_EQ(right_of(o.get()), inner.get());
        definitions().clear();
    });
}

// ---- running: the code generator and the machine ------------------------------------

char* fake_argv[] = {const_cast<char*>("ruk"), const_cast<char*>("deep.ruk"), nullptr};

// The entry applies dd to 5; dd n = 1 + (1 + (... + n)), kDepth deep.
std::string run_deep_sum(bool machine) {
    std::string out;
    if (machine)
        setenv("RUK_ENGINE", "machine", 1);
    else
        unsetenv("RUK_ENGINE");
    on_small_stack([&] {
        initialise();
        Report r = compile("a\\0");
        ASSERT_TRUE(r.ok());
        definitions()[""] = Definition(lam({"a"}, T("(dd 5)")));
        definitions()["dd"] = Definition(lam({"n"}, nest(T("(plus 1)"), L("n"), kDepth)));
        r = run_program(fake_argv);
        out = r.ok() ? print_term(program_result()) : std::string(type_name(r.type)) + ": " + r.text;
        if (!machine) {
            const Code* code = code_of(find_definition("dd"));
            EXPECT_NE(code, nullptr);
        }
        initialise();
    });
    unsetenv("RUK_ENGINE");
    return out;
}

TEST(DeepTerms, BothEnginesRunADeepBody) {
    EXPECT_EQ(run_deep_sum(true), "1000005");
    EXPECT_EQ(run_deep_sum(false), "1000005");
}

// ---- bit lists --------------------------------------------------------------------

TEST(DeepTerms, BitListsAreAnalysedAsTheyAreMade) {
    on_small_stack([] {
        initialise();
        ASSERT_TRUE(compile("a\\0").ok());
        ASSERT_TRUE(run_program(fake_argv).ok());  // the checker has analysed J
        BitString bits(kDepth / 8, '\x5a');
        bits.push_back('\x01');
        CellRef list = list_from_bits(bits);
        EXPECT_TRUE(every_cell(list.get(), [](Cell* c) { return annotation_byte(c) != 0; }));
        EXPECT_TRUE(is_whnf(list.get()));
        EXPECT_EQ(bits_from_value(list.get()), bits);
        initialise();
    });
}

}  // namespace
