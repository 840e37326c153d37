// The reduction machine, run through the whole pipeline: compile, check, run.
#include "core/machine.h"

#include <gtest/gtest.h>

#include <string>

#include "core/analyse.h"
#include "core/compile.h"
#include "core/defs.h"
#include "core/number.h"
#include "core/print.h"
#include "core/stack.h"
#include "core/start.h"

using namespace ruk;

namespace {

char* fake_argv[] = {const_cast<char*>("ruk"), const_cast<char*>("test.ruk"), nullptr};

// The value of a program: its integer, or the report type and text.
std::string outcome(const std::string& program) {
    std::string out;
    run_on_big_stack([&] {
        initialise();
        Report r = compile(program);
        if (r.ok()) r = run_program(fake_argv);
        out = r.ok() ? print_term(program_result()) : std::string(type_name(r.type)) + ": " + r.text;
        return 0;
    });
    return out;
}

TEST(Machine, CombinatorsAndLaziness) {
    EXPECT_EQ(outcome("a\\K 5 7"), "5");
    EXPECT_EQ(outcome("a\\S K K 7"), "7");
    EXPECT_EQ(outcome("a\\I 9"), "9");
    EXPECT_EQ(outcome("a\\B I I 4"), "4");
    EXPECT_EQ(outcome("a\\C K 1 2"), "2");
    EXPECT_EQ(outcome("a\\T 3 I"), "3");
    // K never reduces its second argument: M M has no value.
    EXPECT_EQ(outcome("a\\K 5 (M M)"), "5");
    EXPECT_EQ(outcome("a\\H (M M) 6"), "6");
    // Y: the fixed point, through a definition that stops.
    EXPECT_EQ(outcome("a\\Y (f\\x\\x) 8"), "8");
}

TEST(Machine, BindersAndBraceForms) {
    EXPECT_EQ(outcome("a\\(x\\x) 7"), "7");
    EXPECT_EQ(outcome("a\\(x\\y\\x) 7 8"), "7");
    EXPECT_EQ(outcome("a\\(x\\y\\y) 7 8"), "8");
    EXPECT_EQ(outcome("a\\(x\\x\\x) 7 8"), "8");  // the inner binder hides the outer
    EXPECT_EQ(outcome("a\\x{5}x"), "5");
    EXPECT_EQ(outcome("a\\x{K 5 6}x"), "5");
    // The value is reduced before the body, and the body waits for its key.
    EXPECT_EQ(outcome("a\\x{I 3}y{x}K y x"), "3");
    // A key pair takes a V pair apart.
    EXPECT_EQ(outcome("a\\(p q){V 3 4}p"), "3");
    EXPECT_EQ(outcome("a\\(p q){V 3 4}q"), "4");
    // The argument vector's address is an integer.
    EXPECT_EQ(outcome("a\\K 0 a"), "0");
}

TEST(Machine, NumeralsAreBitLists) {
    EXPECT_EQ(outcome("a\\0 7 9"), "7");                // 0 x = K x
    EXPECT_EQ(outcome("a\\5 0 (h\\t\\h 3 4)"), "4");    // 5 x = V H rest: head H
    EXPECT_EQ(outcome("a\\05 0 (h\\t\\h 3 4)"), "3");   // -5 begins with K
    EXPECT_EQ(outcome("a\\5 0 (h\\t\\t)"), "01");       // the rest of 5 is the list of "01"
}

TEST(Machine, MalformedNumeralAppliedMeansNothing) {
    // "(1,2) is I applied to the leaf "1,", which then meets an argument.
    EXPECT_EQ(outcome("a\\\"(1,2) 5"),
              "Range: The program must return an integer. Instead we encountered:\nZ");
}

TEST(Machine, DataTakenApartFromItsEnd) {
    // d G = V rest last: the last element of "[ab]" is b's character form.
    EXPECT_EQ(outcome("a\\[xa] G (r\\l\\r)"),
              "Range: The program must return an integer. Instead we encountered:\n9112093");
    EXPECT_EQ(outcome("a\\[a] G (r\\l\\l)"),
              "Range: The program must return an integer. Instead we encountered:\n"
              "91919193939191939193939191939393");
    // A non-G argument gets X J and the list form: the empty text is K.
    EXPECT_EQ(outcome("a\\[] (x\\l\\l 1 2)"), "1");
}

TEST(Machine, ZeroParameterDefinitionsAndCycles) {
    EXPECT_EQ(outcome("a\\dd,dd\\K 3 4"), "3");
    EXPECT_EQ(outcome("a\\dd,dd\\dd"), "Cycle: Cycle detected on function [dd].");
    EXPECT_EQ(outcome("a\\dd,dd\\ee,ee\\dd"), "Cycle: Cycle detected on function [dd].");
    // Computed once, then read from the table.
    EXPECT_EQ(outcome("a\\K dd dd,dd\\I 6"), "6");
    // The nullary form is computed afresh and never written back.
    EXPECT_EQ(outcome("a\\dd,dd()\\I 6"), "6");
    // A definition whose value is a binder is stored as I applied to it.
    EXPECT_EQ(outcome("a\\K (dd 1) (dd 2),dd\\I(x\\x)"), "1");
}

TEST(Machine, StrictDefinitionsReduceArgumentsOnce) {
    EXPECT_EQ(outcome("a\\tw (I 5),tw\\x\\K x x"), "5");
    EXPECT_EQ(outcome("a\\fs 1 2 3,fs\\x\\y\\z\\z"), "3");
    // More arguments than a head takes: the saturated part first.
    EXPECT_EQ(outcome("a\\ff 1 2 3,ff\\x\\K"), "2");
    EXPECT_EQ(outcome("a\\ff 1 2,ff\\x\\K"),
              "Range: The program must return an integer. Instead we encountered:\nK2");
}

TEST(Machine, RangeReportsPrintTheValue) {
    EXPECT_EQ(outcome("a\\K"), "K");  // the empty bit list is zero
    std::string r = outcome("a\\S");
    EXPECT_EQ(r, "Range: The program must return an integer. Instead we encountered:\nS");
    std::string t = outcome("a\\[ab]");
    EXPECT_EQ(t, "Range: The program must return an integer. Instead we encountered:\n91979893");
}

TEST(Machine, SubstituteSharesWhatItDoesNotChange) {
    run_on_big_stack([] {
        initialise();
        (void)compile("0");
        CellRef x = from_text("x");
        CellRef k = from_text("5");
        CellRef body = apply(from_text("y"), from_text("y"));
        CellRef t = apply(x, body);
        definitions()["y"].term = from_text("Z");  // y is a name here
        CellRef r = substitute(t.get(), k.get(), 'x');
        EXPECT_EQ(print_term(r), "(5 (y y))");
        EXPECT_EQ(r.right().get(), body.get());
        return 0;
    });
}

}  // namespace
