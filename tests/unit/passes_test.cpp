#include "core/passes.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/intern.h"
#include "core/leaves.h"
#include "core/print.h"
#include "terms.h"

using namespace ruk;
using namespace ruk::terms;

namespace {

// A term that is a tree of 2^depth paths but only `depth` distinct pairs.
CellRef doubling(CellRef leaf, int depth) {
    CellRef t = std::move(leaf);
    for (int i = 0; i < depth; ++i) t = apply(t, t);
    return t;
}

TEST(QuotePass, QuoteBecomesSourceTextAndValue) {
    CellRef q = quote_pass(T("(` (plus 1 2))").get());
    // V applied to the text of the printed term and to the term itself
    EXPECT_EQ(S(q), "((V [(plus 1 2)]) ((plus 1) 2))");
    EXPECT_EQ(first_byte(right_of(left_of(q.get()))), '[');
    EXPECT_EQ(leaf_text(right_of(left_of(q.get()))).size(), 12u);

    // A quote inside a quote: the outer text is the source as written, the value has the
    // inner quote replaced too.
    q = quote_pass(T("(g (` (` x)))").get());
    EXPECT_EQ(S(q), "(g ((V [`x]) ((V [x]) x)))");
    // Any leaf that begins with a backquote quotes.
    EXPECT_EQ(S(quote_pass(T("(`abc K)").get())), "((V [K]) K)");
    // a backquote that is not applied stays
    EXPECT_EQ(S(quote_pass(T("(x `)").get())), "(x `)");
}

TEST(QuotePass, TermsWithoutQuotesComeBackUnchanged) {
    CellRef t = T("(f (g x) (h (k y)))");
    CellRef q = quote_pass(t.get());
    EXPECT_TRUE(q.same(t));
    // Only the path to the quote is rebuilt.
    t = T("((a b) (c (` d)))");
    q = quote_pass(t.get());
    EXPECT_EQ(left_of(q.get()), left_of(t.get()));
    EXPECT_NE(right_of(q.get()), right_of(t.get()));
}

TEST(KeyPairPass, PairKeyBecomesThreeNestedBraceForms) {
    CellRef t = brace(T("(p q)"), L("A"), L("B"));
    CellRef r = key_pair_pass(t.get());
    // {q = A; {p = q K; {q = q H; B}}}
    EXPECT_EQ(S(r), SB("q", "A", SB("p", "(q K)", SB("q", "(q H)", "B"))));

    // An operator key binds the operator itself, in the keys and in the projections.
    r = key_pair_pass(brace(T("(p [+])"), L("A"), T("(+ p)")).get());
    EXPECT_EQ(S(r), SB("+", "A", SB("p", "(+ K)", SB("+", "(+ H)", "(+ p)"))));

    // long names and "_" are names too
    r = key_pair_pass(brace(T("(first _)"), L("A"), L("B")).get());
    EXPECT_EQ(S(r), SB("_", "A", SB("first", "(_ K)", SB("_", "(_ H)", "B"))));
}

TEST(KeyPairPass, OtherKeysAndFormsAreOnlyRebuilt) {
    // A part that is not a name or a bracketed operator leaves the form to the key check:
    // capitals, lone operator characters, names with other characters, numbers, texts.
    for (const char* key : {"(p 1)", "(p [ab])", "((p q) r)", "(p (q r))", "(K q)", "(p K)",
                            "(X ,)", "(p })", "(p +)", "(p [a])"}) {
        CellRef t = brace(T(key), L("A"), L("B"));
        EXPECT_TRUE(key_pair_pass(t.get()).same(t)) << key;
    }
    // a backslash binder with a pair key is left for the key check
    CellRef lam = T("((\\ (p q)) B)");
    EXPECT_TRUE(key_pair_pass(lam.get()).same(lam));
}

TEST(KeyPairPass, InnerFormsAreRewrittenFirst) {
    // The value and the body of a rewritten form are rewritten before it.
    CellRef inner = brace(T("(c d)"), L("X"), L("Y"));
    CellRef t = brace(T("(a b)"), inner, brace(T("(e f)"), L("U"), L("W")));
    CellRef r = key_pair_pass(t.get());
    std::string in = SB("d", "X", SB("c", "(d K)", SB("d", "(d H)", "Y")));
    std::string body = SB("f", "U", SB("e", "(f K)", SB("f", "(f H)", "W")));
    EXPECT_EQ(S(r), SB("b", in, SB("a", "(b K)", SB("b", "(b H)", body))));
}

TEST(KeyCheck, AcceptableKeysAreNamesAndBracketedOperators) {
    for (const char* k : {"x", "count", "_", "a_b", "[+]", "[{]", "[,]", "[?]", "[\\]"})
        EXPECT_TRUE(is_acceptable_key(L(k).get())) << k;
    for (const char* k : {"K", "Kx", "xK", "}", ",", "+", "\\", "\x01", "\xff", "x1", "1", "[ab]",
                          "[a]", "[K]", "[++]", "[x", "(_)x", "[]"})
        EXPECT_FALSE(is_acceptable_key(L(k).get())) << k;
    EXPECT_FALSE(is_acceptable_key(T("(a b)").get()));
    // the key check applies the same rule to a binder's key
    CellRef capital = T("((\\ K) x)");
    EXPECT_EQ(find_funky_binder(capital.get()), capital.get());
    EXPECT_EQ(find_funky_binder(T("((\\ [+]) x)").get()), nullptr);
}

TEST(KeyCheck, FindsTheFirstOffendingBinderOutermostFirst) {
    EXPECT_EQ(find_funky_binder(T("(f ((\\ x) x) 1)").get()), nullptr);
    EXPECT_EQ(find_funky_binder(L("x").get()), nullptr);

    // the whole binder, body included
    CellRef bad = T("((\\ 1) (f x))");
    CellRef t = apply(L("g"), bad);
    EXPECT_EQ(find_funky_binder(t.get()), bad.get());

    // function part before argument part
    CellRef first = T("((\\ 2) a)");
    CellRef second = T("((\\ 3) b)");
    t = apply(apply(L("f"), first), second);
    EXPECT_EQ(find_funky_binder(t.get()), first.get());
    t = apply(apply(T("(g h)"), first), second);
    EXPECT_EQ(find_funky_binder(t.get()), first.get());

    // outermost first: a bad binder inside a bad binder reports the outer one
    CellRef outer = apply(T("(\\ (a b))"), T("((\\ 4) c)"));
    EXPECT_EQ(find_funky_binder(outer.get()), outer.get());

    // a brace form: its key, then its value, then its body
    CellRef in_value = T("((\\ 5) v)");
    CellRef in_body = T("((\\ 6) w)");
    t = brace(L("k"), in_value, in_body);
    EXPECT_EQ(find_funky_binder(t.get()), in_value.get());
    t = brace(L("k"), L("v"), in_body);
    EXPECT_EQ(find_funky_binder(t.get()), in_body.get());
    t = brace(L("7"), in_value, in_body);
    EXPECT_EQ(find_funky_binder(t.get()), t.get());
    // a pair key the key-pair pass did not rewrite
    t = brace(T("(p 1)"), L("v"), L("w"));
    EXPECT_EQ(find_funky_binder(t.get()), t.get());
}

TEST(NameLists, ReferencedNames) {
    CellRef t = T("((\\ x) (plus x (K 1 [t]) } , foo K \\ { Z (b c) count))");
    std::vector<std::string> want = {",", "K", "Z", "count", "foo", "plus", "}"};
    EXPECT_EQ(referenced_names(t.get()), want);
    // markers and names that start with a brace character are still names
    want = {")x", "]y", "{z"};
    EXPECT_EQ(referenced_names(apply(apply(L(")x"), L("]y")), L("{z")).get()), want);
    EXPECT_TRUE(referenced_names(T("(1 [a] a)").get()).empty());
}

TEST(NameLists, BoundKeys) {
    // keys of binders and brace forms anywhere, long and single-letter apart
    CellRef t = apply(T("((\\ count) ((\\ b) ((\\ acc) (count acc))))"),
                      brace(L("a"), L("1"), brace(L("[+]"), L("2"), T("((\\ b) b)"))));
    BoundKeys k = bound_keys(t.get());
    std::vector<std::string> want = {"[+]", "acc", "count"};
    EXPECT_EQ(k.long_names, want);
    EXPECT_EQ(k.letters, 0b11u);
    // a pair key counts as neither
    k = bound_keys(brace(T("(p q)"), L("1"), L("2")).get());
    EXPECT_TRUE(k.long_names.empty());
    EXPECT_EQ(k.letters, 0u);
}

TEST(Renaming, LongNamesTakeTheLowestFreeLettersInOrder) {
    CellRef t = T("((\\ count) ((\\ a) ((\\ acc) ((\\ b) (count acc a b)))))");
    BoundKeys k = bound_keys(t.get());
    std::vector<Renaming> r = choose_letters(k);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].name, "acc");
    EXPECT_EQ(r[0].letter, 'c');
    EXPECT_EQ(r[1].name, "count");
    EXPECT_EQ(r[1].letter, 'd');
    EXPECT_EQ(S(rename_long_names(t.get(), r)),
              "((\\ d) ((\\ a) ((\\ c) ((\\ b) (((d c) a) b)))))");

    BoundKeys gaps;
    gaps.long_names = {"p", "q", "r"};
    gaps.letters = 0b1011;  // a, b, d
    r = choose_letters(gaps);
    EXPECT_EQ(std::string({r[0].letter, r[1].letter, r[2].letter}), "cef");
}

TEST(Renaming, CoversUsesOutsideTheBinderAndSharesTheRest) {
    // every leaf of the text, in any scope, even one naming another definition
    CellRef t = T("(foo ((\\ foo) foo) (g h))");
    CellRef r = rename_long_names(t.get(), {{"foo", 'a'}});
    EXPECT_EQ(S(r), "((a ((\\ a) a)) (g h))");
    EXPECT_EQ(right_of(r.get()), right_of(t.get()));
    EXPECT_TRUE(rename_long_names(t.get(), {{"zzz", 'a'}}).same(t));
}

TEST(InternPass, EqualTextsBecomeOneCell) {
    clear_intern_table();
    CellRef one = intern_pass(T("(K x (f K))").get());
    CellRef two = intern_pass(T("((\\ x) (K x))").get());
    Cell* k1 = left_of(left_of(one.get()));
    Cell* k2 = left_of(right_of(two.get()));
    EXPECT_EQ(k1, k2);
    EXPECT_EQ(k1, leaves().K.get());  // the shared combinator leaf
    EXPECT_EQ(right_of(left_of(one.get())), right_of(right_of(two.get()))) << "x";
    // interning an interned term changes nothing
    EXPECT_TRUE(intern_pass(one.get()).same(one));
}

TEST(Passes, SharedSubtermsAreVisitedOnce) {
    // 2^60 paths: any pass that walked paths instead of cells would never finish.
    CellRef t = doubling(L("foo"), 60);
    EXPECT_EQ(referenced_names(t.get()), std::vector<std::string>{"foo"});
    EXPECT_EQ(find_funky_binder(t.get()), nullptr);
    EXPECT_TRUE(quote_pass(t.get()).same(t));
    EXPECT_TRUE(key_pair_pass(t.get()).same(t));
    CellRef r = rename_long_names(t.get(), {{"foo", 'a'}});
    Cell* c = r.get();
    for (int i = 0; i < 60; ++i) {
        ASSERT_EQ(left_of(c), right_of(c));  // the sharing survives
        c = left_of(c);
    }
    EXPECT_EQ(leaf_text(c), "a");
    clear_intern_table();
    CellRef in = intern_pass(t.get());
    EXPECT_EQ(in.get(), t.get());  // its one leaf entered the table as itself
    EXPECT_EQ(bound_keys(doubling(T("((\\ xs) xs)"), 60).get()).long_names,
              std::vector<std::string>{"xs"});
}

}  // namespace
