#include "core/print.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>


using namespace ruk;
using namespace std::string_literals;

namespace {

CellRef L(const std::string& text) { return from_bytes(text); }
CellRef A(CellRef l, CellRef r) { return apply(std::move(l), std::move(r)); }

CellRef float_leaf(double d) {
    std::string t = " ";
    t.append(reinterpret_cast<const char*>(&d), sizeof d);
    return from_string(std::move(t));
}

TEST(Shown, NulAndNewlineSwap) {
    EXPECT_EQ(shown("a\nb\0c"s), "a\0b\nc"s);
    EXPECT_EQ(shown(shown("x\n\0"s)), "x\n\0"s);
    EXPECT_EQ(shown(""), "");
}

TEST(Printer, Leaves) {
    EXPECT_EQ(print_term(L("abc")), "abc");
    EXPECT_EQ(print_term(L("[a\nb]")), "[a\0b]"s);
    EXPECT_EQ(print_term(L("\n")), "\0"s);
    // empty texts, blobs, floats and the cycle and update markers print as "()"
    EXPECT_EQ(print_term(L("")), "()");
    EXPECT_EQ(print_term(L("(b)xyz")), "()");
    EXPECT_EQ(print_term(L("()")), "()");
    EXPECT_EQ(print_term(float_leaf(0.0)), "()");
    EXPECT_EQ(print_term(L(")")), "()");
    EXPECT_EQ(print_term(L("]")), "()");
}

TEST(Printer, TightJoinsFlatteningAndParentheses) {
    EXPECT_EQ(print_term(A(L("K"), L("x"))), "Kx");
    EXPECT_EQ(print_term(A(L("K"), L("K"))), "KK");
    EXPECT_EQ(print_term(A(L("S"), L("_q"))), "S_q");
    EXPECT_EQ(print_term(A(L("+"), L("1"))), "+1");
    EXPECT_EQ(print_term(A(L("~"), L("\n"))), "~\0"s);  // a control character is tight
    EXPECT_EQ(print_term(A(L("\t"), L("a"))), "\ta");
    // a loose last character, a long right part starting otherwise, or "(" in front
    EXPECT_EQ(print_term(A(L("f"), L("x"))), "(f x)");
    EXPECT_EQ(print_term(A(L("K"), L("Kx"))), "(K Kx)");
    EXPECT_EQ(print_term(A(L("K"), L("[t]"))), "(K [t])");
    EXPECT_EQ(print_term(A(L("K"), A(L("f"), L("x")))), "(K (f x))");
    EXPECT_EQ(print_term(A(L("()"), L("x"))), "(() x)");
    EXPECT_EQ(print_term(A(L("K"), L("(b)xyz"))), "(K ())");
    // left-nested applications print flat; a tight join counts as a word
    EXPECT_EQ(print_term(A(A(L("plus"), L("1")), L("2"))), "(plus 1 2)");
    EXPECT_EQ(print_term(A(A(A(L("f"), L("a")), L("b")), L("c"))), "(f a b c)");
    EXPECT_EQ(print_term(A(A(L("+"), L("1")), L("2"))), "(+1 2)");
    EXPECT_EQ(print_term(A(A(L("K"), L("x")), L("y"))), "(Kx y)");
    EXPECT_EQ(print_term(A(A(L("f"), L("a")), A(L("g"), L("b")))), "(f a (g b))");
    EXPECT_EQ(print_term(A(A(A(L("f"), L("a")), L("b")), L("K"))), "(f a b K)");
    EXPECT_EQ(print_term(A(A(L("K"), L("K")), L("K"))), "KKK");
    EXPECT_EQ(print_term(A(A(L("()"), L("x")), L("y"))), "(() x y)");
    EXPECT_EQ(print_term(A(A(L("+"), A(L("f"), L("x"))), L("y"))), "(+ (f x) y)");
}

// The rules written plainly, by string concatenation, as the reference.
bool tight(char ch) {
    auto c = static_cast<unsigned char>(ch);
    return c < 32 || c > 126 || (c >= 'A' && c <= 'Z') ||
           std::strchr("{,}~!@#$%^&*<>-|+/=\\.`'\":;?", ch) != nullptr;
}

std::string reference(Cell* c) {
    if (is_leaf(c)) {
        char f = char(first_byte(c));
        std::string_view t = leaf_text(c);
        if (t.empty() || f == '(' || f == ')' || f == ']' || f == ' ') return "()";
        return shown(t);
    }
    std::string l = reference(left_of(c)), r = reference(right_of(c));
    char r0 = r[0];
    if (l[0] != '(' && tight(l.back()) &&
        ((r.size() == 1 && tight(r0)) || r0 == '_' || (r0 >= 'a' && r0 <= 'z') || (r0 >= '0' && r0 <= '9')))
        return l + r;
    if (l[0] == '(' && l[1] != ')') return l.substr(0, l.size() - 1) + " " + r + ")";
    return "(" + l + " " + r + ")";
}

TEST(Printer, AgreesWithThePlainRulesOnRandomTerms) {
    const std::vector<std::string> leaves = {"K", "x", "+", "ab", "1", "_q", "()", "(b)xyz", "\n", "[t]",
                                             "}", ",", "S", "f", "\t", "]", "a\nb", "9z"};
    std::mt19937 rng(12345);
    std::function<CellRef(int)> make = [&](int depth) -> CellRef {
        if (depth == 0 || rng() % 3 == 0) return L(leaves[rng() % leaves.size()]);
        return A(make(depth - 1), make(depth - 1));
    };
    for (int i = 0; i < 5000; ++i) {
        CellRef t = make(7);
        ASSERT_EQ(print_term(t), reference(t.get())) << i;
    }
}

TEST(Printer, CutKeepsExactlyTheFirstBytesOfTheWholeForm) {
    // "1," and "a~" begin with glue and end tight: their joins stay undecided longest
    const std::vector<std::string> leaves = {"K", "x", "+", "ab", "1", "_q", "()", "\n", "[t]",
                                             "}", "S", "f", "1,", "a~", "9z", "(b)xyz"};
    std::mt19937 rng(777);
    std::function<CellRef(int)> make = [&](int depth) -> CellRef {
        if (depth == 0 || rng() % 4 == 0) return L(leaves[rng() % leaves.size()]);
        return A(make(depth - 1), make(depth - 1));
    };
    for (int i = 0; i < 3000; ++i) {
        CellRef t = make(8);
        std::string whole = reference(t.get());
        ASSERT_EQ(print_term(t), whole);
        for (size_t limit : {size_t(0), size_t(1), size_t(2), size_t(rng() % 40), whole.size() - 1,
                             whole.size()}) {
            std::string want = whole;
            if (whole.size() > limit) want = whole.substr(0, limit) + std::string(kCutMarker);
            ASSERT_EQ(print_term(t, limit), want) << i << " limit " << limit;
        }
    }
}

// x applied to itself, n times over: 2^n leaves in a value of n + 1 cells.
CellRef doubled(CellRef x, int n, const std::string& head) {
    for (int i = 0; i < n; ++i) x = head.empty() ? A(x, x) : A(A(L(head), x), x);
    return x;
}

TEST(Printer, SharedValuesAreCutWithoutWritingOutTheTree) {
    // "(V (V ... K K) (V ... K K))": 2^60 leaves; the cut comes after kPrintLimit bytes
    CellRef v = doubled(L("K"), 60, "V");
    std::string p = print_term(v);
    ASSERT_EQ(p.size(), kPrintLimit + kCutMarker.size());
    EXPECT_EQ(p.substr(0, 12), "(V (V (V (V ");
    EXPECT_EQ(p.substr(p.size() - kCutMarker.size()), kCutMarker);
    // the same value, printed small, agrees with the plain rules
    EXPECT_EQ(print_term(doubled(L("K"), 3, "V")), reference(doubled(L("K"), 3, "V").get()));

    // "1,1,1,...": every join tight, so the outermost pairs stay undecided to the end;
    // the printer stops all the same, taking them for tight joins
    CellRef t = doubled(L("1,"), 60, "");
    p = print_term(t);
    ASSERT_EQ(p.size(), kPrintLimit + kCutMarker.size());
    EXPECT_EQ(p.find_first_not_of("1,"), kPrintLimit);
    EXPECT_EQ(p.substr(kPrintLimit), kCutMarker);
    // a form exactly as long as the limit is whole
    CellRef small = doubled(L("1,"), 10, "");
    ASSERT_EQ(reference(small.get()).size(), 2048u);
    EXPECT_EQ(print_term(small, 2048), reference(small.get()));
    EXPECT_EQ(print_term(small, 2047),
              reference(small.get()).substr(0, 2047) + std::string(kCutMarker));
}

TEST(Printer, LongChainsBothWaysWithoutRecursion) {
    // on the ordinary thread stack, which a recursive printer would overflow
    {
        const size_t n = 300000;  // far past what a recursive printer survives here
        CellRef left = L("f");
        for (size_t i = 0; i < n; ++i) left = A(std::move(left), L("x"));
        std::string p = print_term(left);
        EXPECT_EQ(p.size(), 2 * n + 3);  // "(f x x ... x)"
        EXPECT_EQ(p.substr(0, 6), "(f x x");
        EXPECT_EQ(p.substr(p.size() - 4), "x x)");

        CellRef right = L("x");
        for (size_t i = 0; i < n; ++i) right = A(L("g"), std::move(right));
        p = print_term(right);
        EXPECT_EQ(p.size(), 4 * (n - 1) + 5);  // "(g (g ... (g x)))"
        EXPECT_EQ(p.substr(0, 8), "(g (g (g");

        CellRef tight_chain = L("x");
        for (size_t i = 0; i < n; ++i) tight_chain = A(L("K"), std::move(tight_chain));
        p = print_term(tight_chain);
        EXPECT_EQ(p.size(), 4 * (n - 2) + 6);  // "(K (K ... (K Kx)))"
        EXPECT_EQ(p.substr(0, 6), "(K (K ");
    }
}

TEST(Printer, ALongListIsCutAtExactlyTheLimit) {
    // (V K (V K ... )): each pair's form is known from the first leaf of its right part,
    // long before the list ends, so the cut keeps the exact beginning
    const size_t n = 2500000;  // about 10 MB printed
    CellRef head = A(L("V"), L("K"));
    CellRef list = L("K");
    for (size_t i = 0; i < n; ++i) list = A(head, std::move(list));
    std::string p = print_term(list);
    std::string want;
    while (want.size() < kPrintLimit) want += "(VK ";
    want.resize(kPrintLimit);
    EXPECT_EQ(p, want + std::string(kCutMarker));
}

}  // namespace
