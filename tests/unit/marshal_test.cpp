// The marshalling of C bindings: argument access, each convention's check and conversion,
// the results, errno, and the value kinds with the C-string view behind them.
#include "lib/marshal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>

#include "core/data.h"

using namespace ruk;

namespace {

CellRef num(int64_t v) { return integer_from_int64(v); }
CellRef lit(const char* text) { return from_text(text); }

// The call cell the machine builds: the name leaf applied to the arguments.
CellRef call_cell(std::initializer_list<CellRef> args) {
    CellRef c = from_text("probe");
    for (const CellRef& a : args) c = apply(std::move(c), a);
    return c;
}

// ---- test-only C functions, observable through what they record ------------------

struct Seen {
    int calls = 0;
    int i = 0;
    const char* s = nullptr;
    double d = 0;
    unsigned char* p = nullptr;
};
Seen seen;

int probe(int i, const char* s, double d) {
    ++seen.calls;
    seen.i = i;
    seen.s = s;
    seen.d = d;
    return 42;
}
constexpr BuiltinRow kProbe = binding<Int(Int, Str, Flt), &probe>("probe");
static_assert(kProbe.arity == 3);

int take_string(const char* s) {
    ++seen.calls;
    seen.s = s;
    return 0;
}
int take_pointer(unsigned char* p) {
    ++seen.calls;
    seen.p = p;
    return 0;
}
int take_bool(bool b) {
    ++seen.calls;
    return b ? 1 : 0;
}
int64_t identity64(int64_t v) { return v; }
uint64_t all_ones() { return ~uint64_t(0); }
int minus_five() { return -5; }
const char* some_address() { return "x"; }
const char* null_address() { return nullptr; }
double one_and_a_half(double d) { return d + 0.5; }
double negated(double d) { return -d; }
int two() { return 2; }
int zero() { return 0; }
void nothing() { ++seen.calls; }
int sets_edom() {
    errno = EDOM;
    return -1;
}
int reads_errno() { return errno; }

TEST(CallArguments, ComeFirstToLastDownTheLeftSpine) {
    CellRef a = lit("a"), b = lit("b"), c = lit("c");
    CellRef x = call_cell({a, b, c});
    auto args = call_arguments<3>(x.get());
    ASSERT_TRUE(args);
    EXPECT_EQ((*args)[0], a.get());
    EXPECT_EQ((*args)[1], b.get());
    EXPECT_EQ((*args)[2], c.get());
    // fewer: the outermost ones; arity 0 looks at nothing
    auto last = call_arguments<1>(x.get());
    ASSERT_TRUE(last);
    EXPECT_EQ((*last)[0], c.get());
    EXPECT_TRUE(call_arguments<0>(lit("abort").get()));

    CellRef seven = call_cell({num(1), num(2), num(3), num(4), num(5), num(6), num(7)});
    auto all = call_arguments<7>(seven.get());
    ASSERT_TRUE(all);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(leaf_text((*all)[i]), std::to_string(i + 1));
}

TEST(CallArguments, AShortSpineIsNoCrashButZ) {
    // A program that redefines a builtin's name with fewer parameters makes such calls.
    EXPECT_FALSE(call_arguments<3>(call_cell({num(1), num(2)}).get()));
    EXPECT_FALSE(call_arguments<1>(lit("probe").get()));
    seen = {};
    EXPECT_TRUE(kProbe.implementation(call_cell({num(1), lit("[s]")})).same(leaves().Z));
    EXPECT_EQ(seen.calls, 0);
}

// ---- checks: first to last, the first failure stops everything ---------------------

TEST(Checks, AnyWrongArgumentGivesZAndNoCall) {
    CellRef good_int = num(7), good_str = lit("[s]"), good_flt = real_from_double(2.5);
    CellRef bad = lit("name");
    const std::initializer_list<CellRef> calls[] = {
        {bad, good_str, good_flt},
        {good_int, bad, good_flt},  // the first is good, the second is not
        {good_int, good_str, bad},
        {good_int, real_from_double(1), good_flt},
        {good_int, good_str, num(2)},  // an integer is no float
        {lit("[7]"), good_str, good_flt},
    };
    for (const auto& args : calls) {
        seen = {};
        EXPECT_TRUE(kProbe.implementation(call_cell(args)).same(leaves().Z));
        EXPECT_EQ(seen.calls, 0);
    }
    seen = {};
    CellRef r = kProbe.implementation(call_cell({good_int, good_str, good_flt}));
    EXPECT_EQ(r.view(), "42");
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.i, 7);
    EXPECT_STREQ(seen.s, "[s]");
    EXPECT_EQ(seen.d, 2.5);
}

TEST(Checks, IntegerConventionTakesEveryIntegerFormAndTheCConversion) {
    constexpr BuiltinRow wide = binding<Int(Int), &identity64>("probe");
    auto run = [&](CellRef v) { return wide.implementation(call_cell({std::move(v)})); };
    EXPECT_EQ(run(num(-12)).view(), "012");
    EXPECT_EQ(run(leaves().K).view(), "0");
    CellRef list5 = list_from_bits(bits_from_decimal("5"));  // the bit list of 5
    ASSERT_TRUE(is_integer(list5.get()));
    EXPECT_EQ(run(list5).view(), "5");
    EXPECT_EQ(run(lit("18446744073709551617")).view(), "1");  // modulo 2^64
    for (CellRef v : {lit("005"), lit("00"), lit("[5]"), make_blob("5"), real_from_double(5),
                      lit("H"), lit("x"), apply(lit("[a]"), lit("[b]")), apply(lit("S"), lit("K"))})
        EXPECT_TRUE(run(v).same(leaves().Z)) << v.view();

    // an int parameter gets the low 32 bits
    seen = {};
    CellRef s = lit("[s]"), f = real_from_double(0);
    (void)kProbe.implementation(call_cell({num((int64_t(1) << 32) + 5), s, f}));
    EXPECT_EQ(seen.i, 5);
    (void)kProbe.implementation(call_cell({num(4294967295), s, f}));
    EXPECT_EQ(seen.i, -1);

    // a pointer parameter gets the value as an address
    unsigned char buffer[4];
    constexpr BuiltinRow ptr = binding<Int(Addr), &take_pointer>("probe");
    (void)ptr.implementation(
        call_cell({integer_from_uint64(reinterpret_cast<uintptr_t>(buffer + 1))}));
    EXPECT_EQ(seen.p, buffer + 1);
    seen = {};
    EXPECT_TRUE(ptr.implementation(call_cell({num(0)})).same(leaves().Z));  // no null address
    EXPECT_EQ(seen.calls, 0);
    constexpr BuiltinRow ptr_or_null = binding<Int(AddrOrNull), &take_pointer>("probe");
    seen.p = buffer;
    EXPECT_EQ(ptr_or_null.implementation(call_cell({num(0)})).view(), "0");
    EXPECT_EQ(seen.p, nullptr);
    EXPECT_TRUE(ptr_or_null.implementation(call_cell({lit("[0]")})).same(leaves().Z));
}

TEST(Checks, StringConventionIsTheCStringView) {
    constexpr BuiltinRow str = binding<Int(Str), &take_string>("probe");
    auto view = [&](const CellRef& v) -> std::string {
        seen = {};
        CellRef r = str.implementation(call_cell({v}));
        if (r.same(leaves().Z)) return "Z";
        EXPECT_EQ(seen.calls, 1);
        return seen.s ? std::string(seen.s) : "null";
    };
    EXPECT_EQ(view(make_blob("abc")), "abc");
    EXPECT_EQ(view(make_blob(")x(")), ")x(");  // after the first ")" only
    EXPECT_EQ(view(make_blob("")), "");
    EXPECT_EQ(view(make_blob(std::string(100, 'q'))), std::string(100, 'q'));  // two digits
    EXPECT_EQ(view(make_blob(std::string("a\0b", 3))), "a");                   // C stops at NUL
    EXPECT_EQ(view(lit("[abc]")), "[abc]");                                    // brackets and all
    const char text[] = "in memory";
    EXPECT_EQ(view(integer_from_uint64(reinterpret_cast<uintptr_t>(text))), "in memory");
    EXPECT_EQ(view(num(0)), "Z");  // C string functions read their string: no null
    EXPECT_EQ(view(leaves().K), "Z");
    for (CellRef v : {apply(lit("[a]"), lit("[b]")), real_from_double(1), lit("005"), lit("abc"),
                      lit("H"), apply(lit("S"), lit("K"))})
        EXPECT_EQ(view(v), "Z") << v.view();

    constexpr BuiltinRow str_or_null = binding<Int(StrOrNull), &take_string>("probe");
    seen.s = text;
    EXPECT_EQ(str_or_null.implementation(call_cell({num(0)})).view(), "0");
    EXPECT_EQ(seen.s, nullptr);
    EXPECT_TRUE(str_or_null.implementation(call_cell({real_from_double(0)})).same(leaves().Z));

    // the pointer is into the cell itself: no copy
    CellRef blob = make_blob("xyz");
    (void)str.implementation(call_cell({blob}));
    EXPECT_EQ(seen.s, blob_payload(blob.get()).data());
}

TEST(Checks, FloatAndBooleanConventions) {
    constexpr BuiltinRow flt = binding<Flt(Flt), &one_and_a_half>("probe");
    CellRef r = flt.implementation(call_cell({real_from_double(1.0)}));
    EXPECT_EQ(r.first_byte(), ' ');
    EXPECT_EQ(double_from_real(r.get()), 1.5);
    for (CellRef v : {num(1), lit("001"), make_blob("1"), lit("[1]"), lit("x")})
        EXPECT_TRUE(flt.implementation(call_cell({v})).same(leaves().Z)) << v.view();

    constexpr BuiltinRow boolean = binding<Int(Bool), &take_bool>("probe");
    EXPECT_EQ(boolean.implementation(call_cell({leaves().K})).view(), "1");
    EXPECT_EQ(boolean.implementation(call_cell({lit("H")})).view(), "0");
    seen = {};
    for (CellRef v : {num(1), num(0), lit("[K]"), lit("KK"), apply(lit("K"), lit("H"))})
        EXPECT_TRUE(boolean.implementation(call_cell({v})).same(leaves().Z));
    EXPECT_EQ(seen.calls, 0);
}

// ---- results ------------------------------------------------------------------------

TEST(Results, EachConventionMakesItsCell) {
    auto run = [](BuiltinFn fn) { return fn(lit("probe")); };
    EXPECT_EQ(run(c_call<Int(), &minus_five>).view(), "05");
    EXPECT_EQ(run(c_call<Int(), &all_ones>).view(), "18446744073709551615");  // unsigned
    EXPECT_EQ(run(c_call<Addr(), &null_address>).view(), "0");
    CellRef a = run(c_call<Addr(), &some_address>);
    EXPECT_EQ(uint64_t(int64_from_integer(a.get())), reinterpret_cast<uintptr_t>(some_address()));
    EXPECT_TRUE(run(c_call<Bool(), &two>).same(leaves().K));  // any non-zero
    EXPECT_TRUE(run(c_call<Bool(), &zero>).same(leaves().H));
    seen = {};
    EXPECT_TRUE(run(c_call<Unit(), &nothing>).same(leaves().I));
    EXPECT_EQ(seen.calls, 1);

    // a double keeps all its bits, NaN payloads and negative zero included
    constexpr BuiltinRow flt =
        binding<Flt(Flt), static_cast<double (*)(double)>(&std::fabs)>("probe");
    double nan = std::nan("0x123");
    CellRef r = flt.implementation(call_cell({real_from_double(nan)}));
    ASSERT_EQ(r.view().size(), 9u);
    double back = double_from_real(r.get());
    EXPECT_EQ(std::memcmp(&back, &nan, 8), 0);
    CellRef negative_zero = c_call<Flt(Flt), &negated>(call_cell({real_from_double(0.0)}));
    EXPECT_TRUE(std::signbit(double_from_real(negative_zero.get())));
}

TEST(Results, CallsLeaveNoCellsBehind) {
    (void)leaves();
    CellRef good = lit("[s]"), f = real_from_double(1);
    uint64_t live = cell_stats().live;
    for (int i = 0; i < 3; ++i) {
        (void)kProbe.implementation(call_cell({num(i), good, f}));
        (void)kProbe.implementation(call_cell({num(i), lit("bad"), f}));
        (void)c_call<Addr(), &some_address>(lit("probe"));
    }
    EXPECT_EQ(cell_stats().live, live);
}

// ---- errno ----------------------------------------------------------------------

TEST(ProgramErrno, OnlyBindingsChangeIt) {
    (void)c_call<Int(), &sets_edom>(lit("probe"));
    errno = 0;  // the interpreter's own work between two calls
    EXPECT_EQ((c_call<Int(), &reads_errno>(lit("probe")).view()), std::to_string(EDOM));
    EXPECT_EQ(errno, 0);  // and the interpreter gets its own back
    {
        CErrno scope;  // a binding written by hand
        EXPECT_EQ(errno, EDOM);
        errno = ERANGE;
    }
    EXPECT_EQ((c_call<Int(), &reads_errno>(lit("probe")).view()), std::to_string(ERANGE));
    // a refused call makes no C call and leaves it alone
    (void)c_call<Int(Int), &identity64>(call_cell({lit("x")}));
    EXPECT_EQ(program_errno, ERANGE);
}

// ---- value kinds and the C-string view --------------------------------------------

TEST(ValueKinds, FollowTheOperandKinds) {
    const std::pair<CellRef, ValueKind> cases[] = {
        {make_blob("ab"), ValueKind::post},
        {make_blob(""), ValueKind::post},
        {real_from_double(1), ValueKind::real},
        {num(5), ValueKind::bits},
        {num(-5), ValueKind::bits},
        {lit("005"), ValueKind::bits},  // binary float
        {leaves().K, ValueKind::bits},
        {list_from_bits(bits_from_decimal("9")), ValueKind::bits},
        {lit("[ab]"), ValueKind::zits},
        {apply(lit("[a]"), lit("[b]")), ValueKind::zits},
        {lit("x"), ValueKind::iron},
        {leaves().H, ValueKind::iron},
        {apply(lit("S"), lit("K")), ValueKind::iron},
        {apply(lit("[a]"), lit("x")), ValueKind::iron},
    };
    for (const auto& [v, kind] : cases) EXPECT_EQ(value_kind(v.get()), kind) << v.view();
    EXPECT_EQ(value_kind_text(ValueKind::post), "[post]");
    EXPECT_EQ(value_kind_text(ValueKind::real), "[real]");
    EXPECT_EQ(value_kind_text(ValueKind::bits), "[bits]");
    EXPECT_EQ(value_kind_text(ValueKind::zits), "[zits]");
    EXPECT_EQ(value_kind_text(ValueKind::iron), "[iron]");
}

TEST(ValueKinds, CStringViewPointsIntoTheCell) {
    CellRef blob = make_blob("payload"), text = lit("[t]");
    EXPECT_EQ(c_string_view(blob.get()), blob_payload(blob.get()).data());
    EXPECT_EQ(c_string_view(text.get()), static_cast<Leaf*>(text.get())->bytes());
    EXPECT_EQ(c_string_view(num(0).get()), nullptr);
    EXPECT_EQ(c_string_view(num(-1).get()), reinterpret_cast<const char*>(~uintptr_t(0)));
    EXPECT_FALSE(c_string_view(apply(lit("[a]"), lit("[b]")).get()));
    EXPECT_FALSE(c_string_view(lit("001").get()));
}

// ---- builtins written by hand ---------------------------------------------------------

std::string hand_seen;
CellRef two_arguments(Cell* a, Cell* b) {
    hand_seen = std::string(leaf_text(a)) + " " + std::string(leaf_text(b));
    return leaves().I;
}
// Keeps the call it owns, to show that it got the only count.
CellRef owns_its_call(CellRef call, Cell* x) {
    hand_seen = std::to_string(ref_count(call.get())) + " " + std::string(leaf_text(x));
    return call;
}

TEST(ByHand, ArityIsTheNumberOfArgumentsAndTheyComeInOrder) {
    constexpr BuiltinRow two = by_hand<&two_arguments>("probe");
    static_assert(two.arity == 2);
    EXPECT_TRUE(two.implementation(call_cell({lit("first"), lit("second")})).same(leaves().I));
    EXPECT_EQ(hand_seen, "first second");
    // A call too short for the arity never reaches the function.
    hand_seen.clear();
    EXPECT_TRUE(two.implementation(call_cell({lit("only")})).same(leaves().Z));
    EXPECT_EQ(hand_seen, "");

    constexpr BuiltinRow owning = by_hand<&owns_its_call>("probe");
    static_assert(owning.arity == 1);
    CellRef c = call_cell({lit("x")});
    Cell* cell = c.get();
    CellRef back = owning.implementation(std::move(c));
    EXPECT_EQ(hand_seen, "1 x");
    EXPECT_EQ(back.get(), cell);
}

}  // namespace
