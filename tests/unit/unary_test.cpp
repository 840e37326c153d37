// The one-operand operators $ ~ ! and the builtins real and rank, on every kind.
#include "core/unary.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "core/leaves.h"
#include "core/number.h"
#include "operands.h"

using namespace ruk;
using namespace ruk::operands;

namespace {

std::string B(const CellRef& x) { return show(buck(x.get())); }
std::string W(const CellRef& x) { return show(wave(x.get())); }
std::string F(const CellRef& x) { return show(flip(x.get())); }
std::string R(const CellRef& x) { return show(rank_of(x.get())); }

double nan_with(uint64_t bits) { return std::bit_cast<double>(bits); }
uint64_t bits_of(const CellRef& r) { return std::bit_cast<uint64_t>(dbl(r)); }

TEST(Unary, Integers) {
    EXPECT_EQ(B(num("0")), "K");
    EXPECT_EQ(B(num("5")), "K");
    EXPECT_EQ(B(num("05")), "H");
    EXPECT_EQ(B(list("05")), "H");
    EXPECT_EQ(B(name("K")), "K");
    EXPECT_EQ(W(num("5")), "05");
    EXPECT_EQ(W(num("05")), "5");
    EXPECT_EQ(W(num("0")), "0");
    EXPECT_TRUE(is_integer(wave(list("5").get()).get()));
    EXPECT_EQ(show(compact_form(wave(list("5").get()).get())), "05");
    EXPECT_EQ(F(num("6")), "02");  // H H K reversed is K H H
    EXPECT_EQ(F(num("1")), "1");
    EXPECT_EQ(F(num("0")), "0");
    EXPECT_EQ(F(list("6")), "02");
    EXPECT_EQ(F(num(F(num("123456789012345678901234567890")))), "123456789012345678901234567890");
}

TEST(Unary, Booleans) {
    EXPECT_TRUE(flip(name("K").get()).same(leaves().H));
    EXPECT_TRUE(flip(name("H").get()).same(leaves().K));
    EXPECT_EQ(B(name("H")), "Z");
    EXPECT_EQ(W(name("H")), "Z");
}

TEST(Unary, Reals) {
    EXPECT_EQ(B(real(-0.0)), "H");
    EXPECT_EQ(B(real(0.0)), "K");
    EXPECT_EQ(B(real(nan_with(0xFFF8000000000000ULL))), "H");
    EXPECT_EQ(dbl(wave(real(2.5).get())), -2.5);
    EXPECT_TRUE(std::signbit(dbl(wave(real(0.0).get()))));
    EXPECT_EQ(bits_of(wave(real(nan_with(0x7FF8000000000001ULL)).get())), 0xFFF8000000000001ULL);
    EXPECT_EQ(F(real(1.5)), "Z");
    EXPECT_EQ(F(real(INFINITY)), "Z");
    EXPECT_EQ(F(real(-INFINITY)), "Z");
}

TEST(Unary, NaNPayloadReversal) {
    // The bits above the lowest set one trade places end for end; the rest stays.
    EXPECT_EQ(bits_of(flip(real(nan_with(0x7FF8000000000000ULL)).get())), 0x7FF8000000000000ULL);
    EXPECT_EQ(bits_of(flip(real(nan_with(0x7FF0000000000003ULL)).get())), 0x7FF8000000000001ULL);
    EXPECT_EQ(bits_of(flip(real(nan_with(0xFFF8000000000001ULL)).get())), 0xFFF0000000000003ULL);
    // p = 4, bit 5 goes to 51 and 51 to 5
    EXPECT_EQ(bits_of(flip(real(nan_with(0x7FF8000000000030ULL)).get())), 0x7FF8000000000030ULL);
    EXPECT_EQ(bits_of(flip(real(nan_with(0x7FF0000000000030ULL)).get())), 0x7FF8000000000010ULL);
    // every NaN stays a NaN and comes back after two flips
    for (uint64_t payload :
         {1ULL, 2ULL, 0x10ULL, 0x80000ULL, 0x123456789ABCDULL, 0xFFFFFFFFFFFFFULL}) {
        uint64_t x = 0x7FF0000000000000ULL | payload;
        CellRef once = flip(real(nan_with(x)).get());
        EXPECT_TRUE(std::isnan(dbl(once))) << std::hex << x;
        EXPECT_EQ(bits_of(flip(once.get())), x) << std::hex << x;
    }
}

TEST(Unary, BinaryFloats) {
    auto bf = [](double d) { return binary_float_from_double(d); };
    EXPECT_EQ(B(bf(1.5)), "K");
    EXPECT_EQ(B(bf(-1.5)), "H");
    EXPECT_EQ(B(num("00")), "K");
    EXPECT_EQ(B(num("000")), "K");
    EXPECT_EQ(B(num("001")), "H");  // a zero with the sign element H
    EXPECT_EQ(W(bf(1.5)), show(bf(-1.5)));
    EXPECT_EQ(W(bf(-0.25)), show(bf(0.25)));
    EXPECT_EQ(W(list(show(bf(3.0)))), show(bf(-3.0)));
    EXPECT_EQ(W(num("00")), "00");
    EXPECT_EQ(W(num("000")), "000");
    // reversal is the bit list's: K K at the front move to the back
    EXPECT_EQ(F(num("000")), "000");  // K K reversed is K K
    EXPECT_EQ(F(num(F(bf(1.5)))), show(bf(1.5)));
}

TEST(Unary, Blobs) {
    EXPECT_EQ(B(blob("")), "Z");
    EXPECT_EQ(W(blob("")), "Z");
    EXPECT_EQ(B(blob("abc")), "[a]");
    EXPECT_EQ(B(blob("\nx")), "[[p]]");
    EXPECT_EQ(B(blob("[x")), "[[q]]");
    EXPECT_EQ(B(blob("]x")), "[[r]]");
    EXPECT_EQ(B(blob(std::string("\0x", 2))), std::string("[\0]", 3));
    EXPECT_EQ(W(blob("a")), "()");
    EXPECT_EQ(W(blob("abc")), show(blob("bc")));
    EXPECT_EQ(F(blob("\x01\x02\x03")), show(blob("\x03\x02\x01")));
    EXPECT_EQ(F(blob("")), "()");
}

TEST(Unary, Texts) {
    EXPECT_EQ(B(text("[]")), "Z");
    EXPECT_EQ(W(text("[]")), "Z");
    EXPECT_EQ(B(text("[abc]")), "[a]");
    EXPECT_EQ(W(text("[abc]")), "[bc]");
    EXPECT_EQ(W(text("[a]")), "[]");
    EXPECT_EQ(B(text("[[p]bc]")), "[[p]]");
    EXPECT_EQ(W(text("[[p]bc]")), "[bc]");
    EXPECT_EQ(B(text("[[ab]c]")), "[[ab]]");
    EXPECT_EQ(F(text("[abc]")), "[cba]");
    EXPECT_EQ(F(text("[a[p]b[q]]")), "[[q]b[p]a]");
    EXPECT_EQ(F(text("[x[a[b]c]y]")), "[y[a[b]c]x]");
    EXPECT_EQ(F(text("[]")), "[]");
    // a pair: its children for $ and ~, its flattened text for !
    CellRef l = text("[ab]"), r = text("[c]");
    CellRef pair = apply(l, r);
    EXPECT_TRUE(buck(pair.get()).same(l));
    EXPECT_TRUE(wave(pair.get()).same(r));
    EXPECT_EQ(F(pair), "[[c]ba]");
}

TEST(Unary, OtherKindsGiveZ) {
    CellRef others[] = {name("abc"), apply(name("S"), name("K")), num("1x"),
                        apply2(name("J"), name("I"), name("K"))};
    for (const CellRef& o : others) {
        EXPECT_EQ(B(o), "Z");
        EXPECT_EQ(W(o), "Z");
        EXPECT_EQ(F(o), "Z");
        EXPECT_EQ(show(real_of(o.get())), "Z");
        EXPECT_EQ(R(o), "Z");
    }
}

TEST(RealAndRank, Real) {
    EXPECT_EQ(dbl(real_of(num("042").get())), -42.0);
    EXPECT_EQ(dbl(real_of(num("0").get())), 0.0);
    EXPECT_EQ(dbl(real_of(name("K").get())), 0.0);
    EXPECT_EQ(dbl(real_of(list("0300").get())), -300.0);
    EXPECT_EQ(dbl(real_of(num(std::string(400, '9')).get())), INFINITY);
    EXPECT_EQ(dbl(real_of(binary_float_from_double(-2.75).get())), -2.75);
    EXPECT_TRUE(std::isnan(dbl(real_of(num("00").get()))));
    EXPECT_EQ(dbl(real_of(blob("2.5xyz").get())), 2.5);
    EXPECT_EQ(dbl(real_of(blob("").get())), 0.0);
    EXPECT_EQ(dbl(real_of(blob("abc").get())), 0.0);
    EXPECT_EQ(dbl(real_of(blob(std::string("1\0"
                                           "5",
                                           3))
                              .get())),
              1.0);
    EXPECT_EQ(dbl(real_of(text("[2.5]").get())), 2.5);
    EXPECT_EQ(dbl(real_of(text("[-1e3x]").get())), -1000.0);
    EXPECT_EQ(dbl(real_of(text("[]").get())), 0.0);
    EXPECT_EQ(dbl(real_of(apply(text("[1.2]"), text("[3]")).get())), 1.2);
    CellRef r = real(7.25);
    EXPECT_TRUE(real_of(r.get()).same(r));
}

TEST(RealAndRank, Rank) {
    EXPECT_EQ(R(num("0")), "1");
    EXPECT_EQ(R(num("0123")), "4");
    EXPECT_EQ(R(num("123")), "3");
    EXPECT_EQ(R(name("K")), "1");
    EXPECT_EQ(R(list("05")), "2");
    EXPECT_EQ(R(real(1e300)), "8");
    EXPECT_EQ(R(blob("")), "0");
    EXPECT_EQ(R(blob(std::string(70, 'x'))), "70");
    EXPECT_EQ(R(num("00")), "2");
    EXPECT_EQ(R(list("0012")), "4");
    EXPECT_EQ(R(text("[abc]")), "5");
    EXPECT_EQ(R(text("[]")), "2");
    EXPECT_EQ(R(apply(text("[ab]"), text("[c]"))), "7");
    EXPECT_EQ(R(text("[" + std::string(100000, 'a') + "]")), "100002");
    // deep data pairs are walked without recursion
    CellRef deep = text("[a]");
    for (int i = 0; i < 200000; ++i) deep = apply(std::move(deep), text("[b]"));
    EXPECT_EQ(R(deep), "600003");
}

}  // namespace
