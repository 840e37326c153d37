// The arithmetic operators + - * / % ^: exact integers (against Python's int), reals,
// binary float sums (against Python's fractions), blobs and texts, and the refusals.
#include "core/arith.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/analyse.h"
#include "core/compare.h"
#include "core/leaves.h"
#include "core/number.h"
#include "core/unary.h"
#include "lib/table.h"
#include "operands.h"

using namespace ruk;
using namespace ruk::operands;

namespace {

constexpr ArithOp kOps[] = {ArithOp::Plus, ArithOp::Dash, ArithOp::Mult,
                            ArithOp::Over, ArithOp::Cent, ArithOp::Powa};
const char* const kOpNames[] = {"plus", "dash", "mult", "over", "cent", "powa"};

std::string calc(ArithOp op, const CellRef& a, const CellRef& b) {
    return show(arithmetic(op, a.get(), b.get()));
}
std::string calc(ArithOp op, const char* a, const char* b) { return calc(op, num(a), num(b)); }

struct Case {
    ArithOp op;
    const char* a;
    const char* b;
    const char* expected;
};

// ---- integers -----------------------------------------------------------------------

TEST(ArithInteger, SignsCarriesAndCanonicalResults) {
    const Case cases[] = {
        {ArithOp::Plus, "5", "07", "02"},
        {ArithOp::Plus, "07", "7", "0"},
        {ArithOp::Plus, "999", "1", "1000"},
        {ArithOp::Plus, "0", "0", "0"},
        {ArithOp::Plus, "01", "01", "02"},
        {ArithOp::Dash, "3", "3", "0"},
        {ArithOp::Dash, "0", "5", "05"},
        {ArithOp::Dash, "05", "05", "0"},
        {ArithOp::Dash, "0", "0", "0"},
        {ArithOp::Mult, "0", "123", "0"},
        {ArithOp::Mult, "0", "05", "0"},
        {ArithOp::Mult, "05", "0", "0"},
        {ArithOp::Mult, "04", "25", "0100"},
        {ArithOp::Mult, "10", "10", "100"},
        {ArithOp::Mult, "03", "03", "9"},
        {ArithOp::Over, "7", "0", "Z"},
        {ArithOp::Over, "1", "2", "0"},
        {ArithOp::Over, "01", "2", "0"},
        {ArithOp::Over, "7", "2", "3"},
        {ArithOp::Over, "07", "2", "03"},
        {ArithOp::Over, "7", "02", "03"},
        {ArithOp::Over, "07", "02", "3"},
        {ArithOp::Cent, "06", "3", "0"},
        {ArithOp::Cent, "6", "03", "0"},
        {ArithOp::Cent, "7", "3", "1"},
        {ArithOp::Cent, "07", "3", "2"},
        {ArithOp::Cent, "7", "03", "02"},
        {ArithOp::Cent, "07", "03", "01"},
        {ArithOp::Cent, "7", "0", "Z"},
        {ArithOp::Powa, "2", "0", "1"},
        {ArithOp::Powa, "0", "0", "1"},
        {ArithOp::Powa, "2", "01", "0"},
        {ArithOp::Powa, "1", "01", "0"},
        {ArithOp::Powa, "02", "3", "08"},
        {ArithOp::Powa, "02", "2", "4"},
        {ArithOp::Powa, "2", "100", "1267650600228229401496703205376"},
        {ArithOp::Powa, "0", "5", "0"},
        // around the machine word: the fast path must hand over, not overflow
        {ArithOp::Plus, "999999999999999999", "1", "1000000000000000000"},
        {ArithOp::Dash, "0999999999999999999", "1", "01000000000000000000"},
        {ArithOp::Mult, "999999999999999999", "999999999999999999",
         "999999999999999998000000000000000001"},
        {ArithOp::Mult, "0999999999999999999", "999999999999999999",
         "0999999999999999998000000000000000001"},
        {ArithOp::Powa, "2", "64", "18446744073709551616"},
        {ArithOp::Powa, "3", "40", "12157665459056928801"},
        {ArithOp::Powa, "03", "41", "036472996377170786403"},
        {ArithOp::Over, "9223372036854775808", "01", "09223372036854775808"},
        {ArithOp::Cent, "09223372036854775808", "9223372036854775807", "9223372036854775806"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(calc(c.op, c.a, c.b), c.expected)
            << kOpNames[int(c.op)] << " " << c.a << " " << c.b;
}

TEST(ArithInteger, BitListsAndKReadAsTheirValues) {
    EXPECT_EQ(calc(ArithOp::Plus, list("5"), num("3")), "8");
    EXPECT_EQ(calc(ArithOp::Mult, list("05"), list("05")), "25");
    EXPECT_EQ(calc(ArithOp::Dash, num("5"), list("012345678901234567890")), "12345678901234567895");
    EXPECT_EQ(calc(ArithOp::Plus, name("K"), num("5")), "5");
    EXPECT_EQ(calc(ArithOp::Dash, num("5"), name("K")), "5");
    EXPECT_EQ(calc(ArithOp::Over, num("5"), name("K")), "Z");
    EXPECT_EQ(calc(ArithOp::Powa, num("7"), name("K")), "1");
    // a list whose tail is a number leaf
    CellRef tail = apply2(name("J"), name("H"), num("5"));  // elements H, then those of 5
    EXPECT_EQ(calc(ArithOp::Plus, tail, num("0")), show(compact_form(tail.get())));
    // K then the empty list (a minus zero without a meaning of its own) reads as zero
    CellRef minus_zero = apply2(name("J"), name("K"), name("K"));
    EXPECT_EQ(calc(ArithOp::Plus, minus_zero, num("1")), "1");
    EXPECT_EQ(calc(ArithOp::Mult, minus_zero, num("05")), "0");
}

TEST(ArithInteger, PowersOfHugeExponentsAnswerQuicklyOrRefuse) {
    const char* huge = "1000000000000000000000000000000";  // 10^30
    const char* odd = "1000000000000000000000000000001";
    EXPECT_EQ(calc(ArithOp::Powa, "0", huge), "0");
    EXPECT_EQ(calc(ArithOp::Powa, "1", huge), "1");
    EXPECT_EQ(calc(ArithOp::Powa, "01", huge), "1");
    EXPECT_EQ(calc(ArithOp::Powa, "01", odd), "01");
    EXPECT_EQ(calc(ArithOp::Powa, "2", huge), "Z");
    EXPECT_EQ(calc(ArithOp::Powa, "02", odd), "Z");
    EXPECT_EQ(calc(ArithOp::Powa, "2", "10000000000"), "Z");         // 3 * 10^9 digits
    EXPECT_EQ(calc(ArithOp::Powa, "123456789", "1000000000"), "Z");  // 8 * 10^9 digits
    EXPECT_EQ(calc(ArithOp::Powa, num("5"), num("0" + std::string(huge))), "0");
    // a power past the machine word goes on exactly
    std::string p = calc(ArithOp::Powa, "7", "100");
    EXPECT_EQ(p.size(), 85u);
    EXPECT_EQ(p.substr(0, 10), "3234476509");
    EXPECT_EQ(p.substr(75), "6928060001");
}

// Random pairs through every integer operator, against Python's int.
TEST(ArithInteger, AgreesWithPythonOnRandomOperands) {
    std::mt19937_64 rng(20240611);
    std::vector<std::string> requests;
    std::vector<std::string> results;
    const char* const ops[] = {"plus", "dash", "mult", "over", "cent"};
    for (int i = 0; i < 3000; ++i) {
        std::string a = random_integer(rng), b = random_integer(rng);
        if (i % 50 == 0) a = "0";
        if (i % 70 == 0) b = "0";
        if (i % 90 == 0) b = "K";
        if (i % 97 == 0) a = "K";
        // now and then the same operands as bit lists
        bool lists = i % 13 == 0 && a.size() < 200 && b.size() < 200;
        CellRef x = lists && a != "K" ? list(a) : num(a), y = lists && b != "K" ? list(b) : num(b);
        if (a == "K") x = name("K");
        if (b == "K") y = name("K");
        for (int k = 0; k < 5; ++k) {
            requests.push_back(std::string("int ") + ops[k] + " " + a + " " + b);
            results.push_back(calc(kOps[k], x, y));
        }
        // powers with exponents that keep the results to some ten thousand digits
        std::string e = std::to_string(rng() % (a.size() > 100 ? 8 : 120));
        if (i % 11 == 0) e = "0" + e;  // negative (or "00": skip that one)
        if (e == "00") e = "0";
        requests.push_back("int powa " + a + " " + e);
        results.push_back(calc(ArithOp::Powa, x, num(e)));
    }
    std::vector<std::string> answers;
    if (!ask_oracle(requests, answers)) GTEST_SKIP() << "python3 is not available";
    int failures = 0;
    for (size_t i = 0; i < requests.size() && failures < 10; ++i)
        if (results[i] != answers[i]) {
            ++failures;
            ADD_FAILURE() << requests[i].substr(0, 300) << "\n got " << results[i].substr(0, 200)
                          << "\n want " << answers[i].substr(0, 200);
        }
}

// ---- reals and mixed kinds ------------------------------------------------------------

TEST(ArithReal, FollowsIeeeAndTheCLibraryAndNeverRefuses) {
    EXPECT_EQ(dbl(arithmetic(ArithOp::Plus, real(1.5).get(), real(2.25).get())), 3.75);
    EXPECT_EQ(dbl(arithmetic(ArithOp::Dash, real(1.5).get(), real(2.25).get())), -0.75);
    EXPECT_EQ(dbl(arithmetic(ArithOp::Mult, real(1.5).get(), real(-2).get())), -3.0);
    EXPECT_EQ(dbl(arithmetic(ArithOp::Over, real(1.0).get(), real(0.0).get())),
              std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(dbl(arithmetic(ArithOp::Over, real(0.0).get(), real(0.0).get()))));
    EXPECT_EQ(dbl(arithmetic(ArithOp::Cent, real(5.5).get(), real(2.0).get())), 1.5);
    EXPECT_EQ(dbl(arithmetic(ArithOp::Cent, real(-5.5).get(), real(2.0).get())), -1.5);  // fmod
    EXPECT_TRUE(std::isnan(dbl(arithmetic(ArithOp::Cent, real(1).get(), real(0).get()))));
    EXPECT_EQ(dbl(arithmetic(ArithOp::Powa, real(2).get(), real(-1).get())), 0.5);
}

TEST(ArithReal, MixedNumbersMeetAsDoubles) {
    EXPECT_EQ(dbl(arithmetic(ArithOp::Plus, num("1").get(), real(2.5).get())), 3.5);
    EXPECT_EQ(dbl(arithmetic(ArithOp::Dash, real(2.5).get(), num("03").get())), 5.5);
    EXPECT_EQ(dbl(arithmetic(ArithOp::Over, num("1").get(), real(0).get())),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(dbl(arithmetic(ArithOp::Mult, list("05").get(), real(0.5).get())), -2.5);
    // an integer with a binary float: both as doubles, even for the operators that
    // refuse two binary floats
    CellRef quarter = binary_float_from_double(0.25);
    EXPECT_EQ(dbl(arithmetic(ArithOp::Plus, num("2").get(), quarter.get())), 2.25);
    EXPECT_EQ(dbl(arithmetic(ArithOp::Over, quarter.get(), num("2").get())), 0.125);
    EXPECT_EQ(dbl(arithmetic(ArithOp::Powa, quarter.get(), real(0.5).get())), 0.5);
    // a 400-digit integer is beyond the doubles
    EXPECT_EQ(dbl(arithmetic(ArithOp::Plus, num(std::string(400, '9')).get(), real(1).get())),
              std::numeric_limits<double>::infinity());
}

// ---- binary floats --------------------------------------------------------------------

TEST(ArithBinaryFloat, SumsAreExact) {
    auto bf = [](double d) { return binary_float_from_double(d); };
    auto sum = [](const CellRef& a, const CellRef& b, ArithOp op = ArithOp::Plus) {
        return show(arithmetic(op, a.get(), b.get()));
    };
    EXPECT_EQ(sum(bf(1.5), bf(0.25)), show(bf(1.75)));
    EXPECT_EQ(sum(bf(1.5), bf(-0.25)), show(bf(1.25)));
    EXPECT_EQ(sum(bf(-1.5), bf(0.25)), show(bf(-1.25)));
    EXPECT_EQ(sum(bf(1.5), bf(0.25), ArithOp::Dash), show(bf(1.25)));
    EXPECT_EQ(sum(bf(3), bf(3), ArithOp::Dash), "000");
    EXPECT_EQ(sum(bf(1e300), bf(1e-300)), sum(bf(1e-300), bf(1e300)));
    // the exact sum keeps digits no double could: 2^100 + 2^-100 comes back apart
    CellRef big =
        arithmetic(ArithOp::Plus, bf(std::ldexp(1, 100)).get(), bf(std::ldexp(1, -100)).get());
    EXPECT_EQ(sum(big, bf(std::ldexp(1, 100)), ArithOp::Dash), show(bf(std::ldexp(1, -100))));
    // NaN "00" absorbs; zero "000" is neutral
    EXPECT_EQ(sum(num("00"), bf(1)), "00");
    EXPECT_EQ(sum(bf(1), num("00"), ArithOp::Dash), "00");
    EXPECT_EQ(sum(num("000"), bf(-2.5)), show(bf(-2.5)));
    EXPECT_EQ(sum(num("000"), bf(2.5), ArithOp::Dash), show(bf(-2.5)));
    EXPECT_EQ(sum(num("000"), num("000")), "000");
    // the other operators refuse two binary floats
    for (ArithOp op : {ArithOp::Mult, ArithOp::Over, ArithOp::Cent, ArithOp::Powa})
        EXPECT_EQ(sum(bf(1), bf(2), op), "Z");
}

TEST(ArithBinaryFloat, AgreesWithExactFractions) {
    std::mt19937_64 rng(77);
    std::vector<std::string> requests, results;
    for (int i = 0; i < 2000; ++i) {
        std::string a = random_binary_float(rng, i % 4 == 0 ? 600 : 40);
        std::string b = random_binary_float(rng, i % 5 == 0 ? 600 : 40);
        if (i % 100 == 0) a = "000";
        if (i % 150 == 0) b = "00";
        // list forms now and then ("00" has none: its list K is an integer)
        CellRef x = i % 7 == 0 ? list(a) : num(a);
        CellRef y = i % 9 == 0 && b != "00" ? list(b) : num(b);
        requests.push_back("bf plus " + a + " " + b);
        results.push_back(calc(ArithOp::Plus, x, y));
        requests.push_back("bf dash " + a + " " + b);
        results.push_back(calc(ArithOp::Dash, x, y));
    }
    std::vector<std::string> answers;
    if (!ask_oracle(requests, answers)) GTEST_SKIP() << "python3 is not available";
    int failures = 0;
    for (size_t i = 0; i < requests.size() && failures < 10; ++i)
        if (results[i] != answers[i]) {
            ++failures;
            ADD_FAILURE() << requests[i] << "\n got  " << results[i] << "\n want " << answers[i];
        }
}

// ---- blobs and texts ------------------------------------------------------------------

TEST(ArithBytes, JoiningBlobsAndTexts) {
    EXPECT_EQ(show(arithmetic(ArithOp::Plus, blob("ab").get(), blob(std::string("\0c", 2)).get())),
              show(blob(std::string("ab\0c", 4))));
    EXPECT_EQ(calc(ArithOp::Plus, text("[ab]"), text("[cd]")), "[abcd]");
    EXPECT_EQ(calc(ArithOp::Plus, text("[]"), text("[]")), "[]");
    EXPECT_EQ(calc(ArithOp::Plus, text("[a[p]]"), text("[[q]b]")), "[a[p][q]b]");
    // a data pair is its left text with its right text as the last element
    CellRef pair = apply(text("[ab]"), text("[c]"));
    EXPECT_EQ(calc(ArithOp::Plus, pair, text("[d]")), "[ab[c]d]");
    // text - text is the pair, a applied to b
    CellRef a = text("[x]"), b = text("[y]");
    CellRef p = arithmetic(ArithOp::Dash, a.get(), b.get());
    ASSERT_TRUE(p.is_pair());
    EXPECT_EQ(p.left_ptr(), a.get());
    EXPECT_EQ(p.right_ptr(), b.get());
    // the other pairs of blobs or texts are refused
    EXPECT_EQ(calc(ArithOp::Dash, blob("a"), blob("b")), "Z");
    for (ArithOp op : {ArithOp::Mult, ArithOp::Over, ArithOp::Cent, ArithOp::Powa}) {
        EXPECT_EQ(calc(op, blob("a"), blob("b")), "Z");
        EXPECT_EQ(calc(op, text("[a]"), text("[b]")), "Z");
    }
}

TEST(ArithBytes, TrimmingFromEitherEnd) {
    EXPECT_EQ(calc(ArithOp::Dash, text("[abc]"), num("1")), "[bc]");
    EXPECT_EQ(calc(ArithOp::Dash, text("[abc]"), num("01")), "[ab]");
    EXPECT_EQ(calc(ArithOp::Dash, text("[abc]"), num("0")), "[abc]");
    EXPECT_EQ(calc(ArithOp::Dash, text("[abc]"), num("3")), "[]");
    EXPECT_EQ(calc(ArithOp::Dash, text("[abc]"), num("03")), "[]");
    EXPECT_EQ(calc(ArithOp::Dash, text("[abc]"), num("4")), "Z");
    EXPECT_EQ(calc(ArithOp::Dash, text("[abc]"), num("04")), "Z");
    EXPECT_EQ(calc(ArithOp::Dash, text("[]"), num("0")), "[]");
    EXPECT_EQ(calc(ArithOp::Dash, text("[abc]"), list("2")), "[c]");
    EXPECT_EQ(calc(ArithOp::Dash, text("[abc]"), name("K")), "[abc]");
    // escapes and nested texts are cut whole, never split
    EXPECT_EQ(calc(ArithOp::Dash, text("[[p]ab[q]]"), num("1")), "[ab[q]]");
    EXPECT_EQ(calc(ArithOp::Dash, text("[[p]ab[q]]"), num("01")), "[[p]ab]");
    EXPECT_EQ(calc(ArithOp::Dash, text("[[p]ab[q]]"), num("4")), "[]");
    EXPECT_EQ(calc(ArithOp::Dash, text("[x[ab]y]"), num("2")), "[y]");
    // a "[" without its "]" is a unit of its own
    EXPECT_EQ(calc(ArithOp::Dash, text("[a[b]"), num("2")), "[b]");
    EXPECT_EQ(calc(ArithOp::Dash, apply(text("[ab]"), text("[c]")), num("01")), "[ab]");

    EXPECT_EQ(calc(ArithOp::Dash, blob("abc"), num("1")), show(blob("bc")));
    EXPECT_EQ(calc(ArithOp::Dash, blob("abc"), num("02")), show(blob("a")));
    EXPECT_EQ(calc(ArithOp::Dash, blob("abc"), num("3")), "()");
    EXPECT_EQ(calc(ArithOp::Dash, blob("abc"), num("4")), "Z");
    EXPECT_EQ(calc(ArithOp::Dash, blob("[p]"), num("1")), show(blob("p]")));  // bytes, not units
    // counts that do not fit a machine word are refused, not wrapped around
    EXPECT_EQ(calc(ArithOp::Dash, blob("abc"), num("18446744073709551617")), "Z");
    EXPECT_EQ(calc(ArithOp::Dash, text("[abc]"), num("018446744073709551615")), "Z");
    EXPECT_EQ(calc(ArithOp::Dash, text("[abc]"), num("09223372036854775808")), "Z");
}

TEST(ArithBytes, RepetitionAndItsLimits) {
    EXPECT_EQ(calc(ArithOp::Mult, text("[ab]"), num("3")), "[ababab]");
    EXPECT_EQ(calc(ArithOp::Mult, text("[ab]"), num("0")), "[]");
    EXPECT_EQ(calc(ArithOp::Mult, text("[ab]"), num("01")), "Z");
    EXPECT_EQ(calc(ArithOp::Mult, text("[[p]]"), num("2")), "[[p][p]]");
    EXPECT_EQ(calc(ArithOp::Mult, blob("xyz"), num("2")), show(blob("xyzxyz")));
    EXPECT_EQ(calc(ArithOp::Mult, blob("xyz"), num("0")), "()");
    std::string many;
    for (int i = 0; i < 1000; ++i) many += "abc";
    EXPECT_EQ(calc(ArithOp::Mult, text("[abc]"), num("1000")), "[" + many + "]");
    EXPECT_EQ(calc(ArithOp::Mult, blob("abc"), list("1000")), show(blob(many)));
    // results beyond what memory could hold are "Z", quickly, and never wrap around
    EXPECT_EQ(calc(ArithOp::Mult, text("[ab]"), num("1000000000000000000")), "Z");
    EXPECT_EQ(calc(ArithOp::Mult, blob("ab"), num("18446744073709551617")), "Z");
    EXPECT_EQ(calc(ArithOp::Mult, blob("ab"), num("9223372036854775807")), "Z");
    EXPECT_EQ(calc(ArithOp::Mult, blob(std::string(1 << 16, 'x')), num("1000000")), "Z");
    // the empty value repeated any number of times is empty
    EXPECT_EQ(calc(ArithOp::Mult, text("[]"), num("100000000000000000000000")), "[]");
    EXPECT_EQ(calc(ArithOp::Mult, blob(""), num("5")), "()");
    EXPECT_EQ(calc(ArithOp::Mult, blob(""), num("05")), "Z");
}

// A pair whose halves are one shared cell stands for twice its half's text; doubled 40
// times it stands for terabytes, 70 times for more bytes than 64 bits count. Operators
// that need the bytes refuse such texts quickly instead of trying to build them.
TEST(ArithBytes, SharedPairsStandingForHugeTexts) {
    auto doubled = [](int times) {
        CellRef d = text("[ab]");
        for (int i = 0; i < times; ++i) d = apply(d, d);
        analyse(d.get());  // as the machine has it: marked as data once, not walked
        return d;
    };
    CellRef big = doubled(40), huge = doubled(70), small = doubled(3);
    EXPECT_EQ(show(rank_of(big.get())), "4398046511104");  // 4 * 2^40
    EXPECT_EQ(show(rank_of(huge.get())), "Z");
    EXPECT_EQ(show(rank_of(small.get())), "32");
    EXPECT_EQ(calc(ArithOp::Plus, small, text("[c]")), "[ab[ab][ab[ab]][ab[ab][ab[ab]]]c]");
    for (const CellRef& d : {big, huge}) {
        EXPECT_EQ(calc(ArithOp::Plus, d, text("[c]")), "Z");
        EXPECT_EQ(calc(ArithOp::Plus, text("[c]"), d), "Z");
        EXPECT_EQ(calc(ArithOp::Dash, d, num("1")), "Z");
        EXPECT_EQ(calc(ArithOp::Mult, d, num("2")), "Z");
        EXPECT_EQ(show(flip(d.get())), "Z");
        EXPECT_EQ(show(real_of(d.get())), "Z");
        EXPECT_EQ(show(comparison(CompareOp::Less, d.get(), text("[a]").get())), "Z");
        EXPECT_EQ(show(comparison(CompareOp::Same, d.get(), d.get())), "Z");
        // taking the pair apart needs no bytes
        EXPECT_EQ(buck(d.get()).get(), left_of(d.get()));
        EXPECT_TRUE(calc(ArithOp::Dash, d, d) == "pair");
    }
}

// ---- refusals -------------------------------------------------------------------------

TEST(ArithRefusal, OtherKindsAndMixedBytesGiveZ) {
    CellRef others[] = {name("abc"), name("H"), apply(name("S"), name("K")),
                        apply2(name("J"), name("I"), name("K")), num("12x")};
    CellRef numbers[] = {num("5"), real(1.5), num("0012"), list("07"), blob("a"), text("[a]")};
    for (ArithOp op : kOps)
        for (const CellRef& o : others)
            for (const CellRef& n : numbers) {
                EXPECT_EQ(calc(op, o, n), "Z") << kOpNames[int(op)] << " " << show(o);
                EXPECT_EQ(calc(op, n, o), "Z") << kOpNames[int(op)] << " " << show(o);
            }
    // a blob or text with a number of another kind, or with each other
    for (ArithOp op : kOps) {
        EXPECT_EQ(calc(op, blob("a"), real(1)), "Z");
        EXPECT_EQ(calc(op, num("1"), blob("a")), "Z");
        EXPECT_EQ(calc(op, text("[a]"), num("0012")), "Z");
        EXPECT_EQ(calc(op, num("1"), text("[a]")), "Z");
        EXPECT_EQ(calc(op, blob("a"), text("[a]")), "Z");
    }
    EXPECT_EQ(calc(ArithOp::Plus, blob("a"), num("1")), "Z");
    EXPECT_EQ(calc(ArithOp::Over, text("[ab]"), num("1")), "Z");
    EXPECT_TRUE(arithmetic(ArithOp::Plus, name("x").get(), num("1").get()).same(leaves().Z));
}

TEST(ArithBuiltins, EveryRowReachesItsOperator) {
    auto call = [](const char* builtin, std::vector<CellRef> args) {
        CellRef c = from_text(builtin);
        for (CellRef& a : args) c = apply(std::move(c), std::move(a));
        return show(builtin_table().at(builtin).implementation(std::move(c)));
    };
    EXPECT_EQ(call("plus", {num("7"), num("5")}), "12");
    EXPECT_EQ(call("dash", {num("7"), num("5")}), "2");
    EXPECT_EQ(call("mult", {num("7"), num("5")}), "35");
    EXPECT_EQ(call("over", {num("7"), num("5")}), "1");
    EXPECT_EQ(call("cent", {num("7"), num("05")}), "03");
    EXPECT_EQ(call("powa", {num("7"), num("5")}), "16807");
    EXPECT_EQ(call("less", {num("7"), num("5")}), "H");
    EXPECT_EQ(call("gteq", {num("7"), num("5")}), "K");
    EXPECT_EQ(call("same", {num("7"), num("5")}), "H");
    EXPECT_EQ(call("diff", {num("7"), num("5")}), "K");
    EXPECT_EQ(call("buck", {num("07")}), "H");
    EXPECT_EQ(call("wave", {num("07")}), "7");
    EXPECT_EQ(call("flip", {num("6")}), "02");
    EXPECT_EQ(call("rank", {num("0123")}), "4");
    EXPECT_EQ(dbl(builtin_table().at("real").implementation(apply(name("real"), num("042")))),
              -42.0);
    // a call with fewer arguments than the builtin takes (its name redefined by the
    // program with fewer parameters) is refused
    EXPECT_EQ(call("plus", {num("1")}), "Z");
    EXPECT_EQ(call("wave", {}), "Z");
}

}  // namespace
