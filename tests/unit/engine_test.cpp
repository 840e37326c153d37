// Compiled definitions against the plain machine: the same values, the same reports, no
// cell or stack value left behind, and the code doing the work it is meant to do.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/cell.h"
#include "core/code.h"
#include "core/compile.h"
#include "core/print.h"
#include "core/stack.h"
#include "core/start.h"
#include "core/vm.h"

using namespace ruk;

namespace {

char* fake_argv[] = {const_cast<char*>("ruk"), const_cast<char*>("test.ruk"), nullptr};

struct Outcome {
    std::string value;  // the integer, or the report's type and text
    bool compiled = false;
    int64_t leaked = 0;       // cells live after the tables were emptied, beyond before
    size_t stack_values = 0;  // values the compiled code left on its stack
    EngineStats work;         // what the compiled code did during the run
};

// One run of the program, from an empty table to an empty table.
void run_once(const std::string& program, Outcome& out) {
    initialise();
    EngineStats start = engine_stats();
    Report r = compile(program);
    if (r.ok()) r = run_program(fake_argv);
    out.value = r.ok() ? print_term(program_result()) : std::string(type_name(r.type)) + ": " + r.text;
    out.compiled = compiled_engine_on();
    out.stack_values = vm_live_values();
    EngineStats end = engine_stats();
    out.work = {end.entries - start.entries, end.calls - start.calls,
                end.handovers - start.handovers};
    initialise();
}

// The program run three times: the cells live after the third run must be those live
// after the second (the first may make what lives for the process).
Outcome run(const std::string& program, bool machine) {
    Outcome out;
    if (machine)
        setenv("RUK_ENGINE", "machine", 1);
    else
        unsetenv("RUK_ENGINE");
    run_on_big_stack([&] {
        run_once(program, out);
        run_once(program, out);
        uint64_t steady = cell_stats().live;
        run_once(program, out);
        out.leaked = int64_t(cell_stats().live) - int64_t(steady);
        return 0;
    });
    unsetenv("RUK_ENGINE");
    return out;
}

// Runs the program on both engines; both must give `expected` and leave nothing behind.
void agree(const std::string& program, const std::string& expected) {
    SCOPED_TRACE(program);
    Outcome m = run(program, true);
    Outcome c = run(program, false);
    EXPECT_EQ(m.value, expected);
    EXPECT_EQ(c.value, expected);
    EXPECT_FALSE(m.compiled);
    EXPECT_EQ(c.stack_values, 0u);
    EXPECT_EQ(m.leaked, 0);
    EXPECT_EQ(c.leaked, 0);
}

TEST(Engine, ArithmeticAndRecursion) {
    agree("a\\nf 15,nf\\n\\n<2?1?nf(n-1)+nf(n-2)+1", "1973");
    agree("a\\sa 1 1000 0,sa\\i\\n\\c\\n<i?c?sa(i+1)n(c+i)", "500500");
    agree("a\\st 5000,st\\n\\n<1?0?n+st(n-1)", "12502500");
    // small integers crossing into big ones and back, both signs; / truncates, % floors
    agree("a\\ff 999999999999999999 1,ff\\x\\y\\(x+y)*(x+y)-(x+y)*(x+y)+x+y",
          "1000000000000000000");
    agree("a\\ff 0999999999999999999 01,ff\\x\\y\\x+y", "01000000000000000000");
    agree("a\\ff 07 2,ff\\x\\y\\(x/y)*100+(x%y)", "0299");
    agree("a\\ff 7 02,ff\\x\\y\\(x/y)*100+(x%y)", "0301");
    agree("a\\ff 1000000000 1000000000,ff\\x\\y\\x*y*x/y", "1000000000000000000");
    agree("a\\ff 7 0,ff\\x\\y\\x/y",
          "Range: The program must return an integer. Instead we encountered:\nZ");
    // comparisons of every kind, as values and as choices
    agree("a\\ff 3 4,ff\\x\\y\\(x<y)+(x>y)*2+(x=y)*4+(x#y)*8",
          "Range: The program must return an integer. Instead we encountered:\nZ");
    agree("a\\ff 3 4,ff\\x\\y\\((x<y)?1?0)+((x>y)?2?0)+((x=y)?4?0)+((x#y)?8?0)", "9");
    agree("a\\ff [ab] [ac],ff\\x\\y\\(x<y)?1?2", "1");
}

TEST(Engine, LazinessAndChoices) {
    // an unused argument is never reduced, in tail position and elsewhere
    agree("a\\ff 1,ff\\n\\K n (M M)", "1");
    agree("a\\ff 1,ff\\n\\H (M M) n", "1");
    agree("a\\ff 1,ff\\n\\1+(K n (M M))", "2");
    agree("a\\ff 1,ff\\n\\(n<2)?5?(M M)", "5");
    // a lazy head's partial application: its arguments wait when the continuation holds
    // what it still needs, and are reduced when nothing does
    agree("a\\(mk 5) 1 K,mk\\n\\J n (M M)", "5");
    agree("a\\fs (mk 5),mk\\n\\J n (n+1),fs\\l\\l 0 K", "5");
    agree("a\\(mk 5) 0 (h\\t\\h+t),mk\\n\\J n (n+1)", "11");
    // a condition computed by a definition whose value is a lazy partial application
    agree("a\\go 1,go\\n\\n+((hh n)?7?30),hh\\n\\K (I I)", "31");
    agree("a\\go 1,go\\n\\(hh n)?7?30,hh\\n\\N (M M)", "7");
    // a choice on a value that is no truth value goes back to the machine
    agree("a\\go 0,go\\n\\n?7?30", "7");
    agree("a\\go 5,go\\n\\(n?7?(h\\t\\t)) 4",
          "Range: The program must return an integer. Instead we encountered:\nVK1");
}

TEST(Engine, ListsClosuresAndBindings) {
    agree("a\\sm (rg 1 100) 0,rg\\i\\n\\n<i?K?J i (rg(i+1)n),sm\\l\\c\\l c (h\\t\\sm t (c+h))",
          "5050");
    agree("a\\ap (ad 3) 4,ad\\n\\x\\x+n,ap\\f\\x\\f x", "7");
    agree("a\\tw (ad 3) 4,ad\\n\\x\\x+n,tw\\f\\x\\f (f x)", "10");
    agree("a\\ff 4,ff\\n\\x{n*n}y{x+1}x+y", "33");
    agree("a\\ff 4,ff\\n\\(p q){V n (n+1)}p*q", "20");
    agree("a\\ff 2 3 4,ff\\x\\y\\x",
          "Range: The program must return an integer. Instead we encountered:\nVH1");
    agree("a\\(ff 2) 3,ff\\x\\y\\x*y", "6");
    agree("a\\ff 2,ff\\x\\gg x,gg\\x\\y\\x*y",
          "Range: The program must return an integer. Instead we encountered:\n(gg 2)");
    // nullary definitions: computed once, and a cycle through them
    agree("a\\ff 3,ff\\n\\n+xs+xs,xs\\(I 4)", "11");
    agree("a\\ff 1,ff\\n\\n+dd,dd\\ee+1,ee\\dd", "Cycle: Cycle detected on function [dd].");
    // prelude combinators and operators redefined by the program
    agree("a\\ff 1,ff\\n\\(n<2)?5?6,K\\a\\b\\b", "6");
    agree("a\\ff 3 4,ff\\x\\y\\x+y,[+]\\q\\r\\q*r", "12");
}

TEST(Engine, CompiledCodeDoesTheWork) {
    // A recursion of plain arithmetic runs entirely in compiled code.
    Outcome c = run("a\\nf 15,nf\\n\\n<2?1?nf(n-1)+nf(n-2)+1", false);
    EXPECT_TRUE(c.compiled);
    EXPECT_EQ(c.work.entries, 1u);
    EXPECT_EQ(c.work.calls, 1972u);
    EXPECT_EQ(c.work.handovers, 0u);
    // So does a list built lazily and consumed by a binder of two parameters.
    c = run("a\\sm (rg 1 100) 0,rg\\i\\n\\n<i?K?J i (rg(i+1)n),sm\\l\\c\\l c (h\\t\\sm t (c+h))",
            false);
    EXPECT_EQ(c.work.handovers, 0u);
    // A program that looks at cell identity or changes blobs in place keeps the machine.
    for (const char* p : {"a\\raws 1 1?1?2", "a\\leak 5 - (leak 5) + 1", "a\\K 1 (tail 5)",
                          "a\\K 1 (cork 0 [a] 5)"}) {
        SCOPED_TRACE(p);
        EXPECT_FALSE(run(p, false).compiled);
    }
}

TEST(Engine, DeepRecursionInConstantStack) {
    // non-tail recursion keeps its activations on the continuation, not the thread's stack
    agree("a\\(st 300000)%251,st\\n\\n<1?0?n+st(n-1)", "34");
    // a loop of tail calls runs in constant space
    agree("a\\lp 200000,lp\\n\\n<1?7?lp(n-1)", "7");
}

}  // namespace
