#include "core/parse.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <string_view>

#include "core/print.h"
#include "core/stack.h"

using namespace ruk;
using namespace std::string_literals;

namespace {

// Fully parenthesised form, for checking shapes exactly: "(f x)", leaves as their text
// with a newline written "\n".
std::string sx(Cell* c) {
    if (is_leaf(c)) {
        std::string t(leaf_text(c));
        return t == "\n" ? "\\n" : t;
    }
    std::string s = "(";
    s += sx(left_of(c));
    s += ' ';
    s += sx(right_of(c));
    s += ')';
    return s;
}

// A whole text normalised, indexed and parsed as one expression (commas are not cut, and
// no comma check runs).
CellRef parse_text(std::string_view raw, Report& error) {
    Source src;
    Report r = load_source(raw, src);
    if (!r.ok()) {
        error = std::move(r);
        return CellRef();
    }
    return parse_expression(src, Segment{0, src.text.size()}, error);
}

// The shape of a program text parsed as one expression.
std::string tree(const std::string& text) {
    Report error;
    CellRef t = parse_text(text, error);
    if (!t) return "error: " + error.text;
    EXPECT_TRUE(error.ok());
    return sx(t.get());
}

// The term printer's form of a parsed text.
std::string printed(const std::string& text) {
    Report error;
    CellRef t = parse_text(text, error);
    return t ? print_term(t) : "error: " + error.text;
}

TEST(PositionCode, FiveDigitsMostSignificantFirst) {
    EXPECT_EQ(position_code(0), ",,,,,");
    EXPECT_EQ(position_code(1), ",,,,_");
    EXPECT_EQ(position_code(63), ",,,,Y");
    EXPECT_EQ(position_code(64), ",,,_,");
    EXPECT_EQ(position_code(20 * 64 * 64 + 25), ",,u,z");
    EXPECT_EQ(position_code((int64_t(1) << 30) - 1), "YYYYY");
    EXPECT_EQ(position_code(int64_t(1) << 30), "!!!!!");
    EXPECT_DEATH((void)position_code(-1), "ASSERTION FAILED:b:");
    EXPECT_DEATH((void)position_code((int64_t(1) << 30) + 1), "ASSERTION FAILED:b:");
}

void expect_error(const std::string& raw, ReportType type, int64_t position, const std::string& text) {
    Report r = check_brackets(raw);
    EXPECT_EQ(r.type, type) << raw << ": " << type_name(r.type);
    EXPECT_EQ(r.position, position) << raw;
    EXPECT_EQ(r.text, text) << raw;
    EXPECT_EQ(r.name, "") << raw;
}

TEST(BracketCheck, DanglingAndMisfittingBrackets) {
    expect_error(")", ReportType::Match, 0, "Match[,,,,,]Left dangling parenthesis.");
    expect_error("a)", ReportType::Match, 1, "Match[,,,,_]Left dangling parenthesis.");
    expect_error("ab]", ReportType::Match, 2, "Match[,,,,a]Left dangling bracket.");
    expect_error("}", ReportType::Match, 0, "Match[,,,,,]Left dangling wing.");
    expect_error("(]", ReportType::Match, 0, "Match[,,,,,]Doesn't fit ']' at [,,,,_].");
    expect_error("x{(a}", ReportType::Match, 2, "Match[,,,,a]Doesn't fit '}' at [,,,,c].");
    expect_error("{", ReportType::Match, 0, "Match[,,,,,]Right dangling wing.");
    expect_error("a(b[c", ReportType::Match, 3, "Match[,,,,b]Right dangling bracket.");
    expect_error("((x)", ReportType::Match, 0, "Match[,,,,,]Right dangling parenthesis.");
    expect_error("[a]b]", ReportType::Match, 4, "Match[,,,,c]Left dangling bracket.");
    // the first fault from the left is reported, before any comma fault
    expect_error("(a,b) )", ReportType::Match, 6, "Match[,,,,e]Left dangling parenthesis.");
    // inside a literal only "[" and "]" count, and they nest
    EXPECT_TRUE(check_brackets("[(]").ok());
    EXPECT_TRUE(check_brackets("[a[}]b]").ok());
    EXPECT_TRUE(check_brackets("").ok());
    EXPECT_TRUE(check_brackets("f(x){[y]}").ok());
}

TEST(BracketCheck, CommasOnlyInCallListsAndBraces) {
    const std::string m = "]Comma encountered in parenthesization which is not a call list.";
    for (const char* ok : {"g(a,b)", "{a,b}", "a,b", "f(x)(a,b)", "[x](a,b)", "g\t(a,b)", "f((a,b))",
                           "([a,b])", "({a,b})", "~(a,b)", "{(a,b)}", "g(a,(b))"})
        EXPECT_TRUE(check_brackets(ok).ok()) << ok;
    expect_error("g (a,b)", ReportType::Comma, 4, "Comma[,,,,c" + m);
    expect_error("(a,b)", ReportType::Comma, 2, "Comma[,,,,a" + m);
    expect_error("x+(a,b)", ReportType::Comma, 4, "Comma[,,,,c" + m);
    expect_error("g\n(a,b)", ReportType::Comma, 4, "Comma[,,,,c" + m);
    expect_error("(a,b,c)", ReportType::Comma, 2, "Comma[,,,,a" + m);  // the leftmost comma of the group
    expect_error("(f(a,b),c)", ReportType::Comma, 7, "Comma[,,,,f" + m);
    expect_error("(a,{b,c})", ReportType::Comma, 2, "Comma[,,,,a" + m);
    // the group met first from the right is the one reported
    expect_error("(a,b)+(c,d)", ReportType::Comma, 8, "Comma[,,,,g" + m);
}

TEST(Source, LoadingNormalisesAndGuardsUncheckedText) {
    Source src;
    ASSERT_TRUE(load_source("  a + (b )\n", src).ok());
    EXPECT_EQ(src.text, "a+(b)");
    EXPECT_EQ(src.partner[2], 4u);
    Report r = load_source("x )", src);
    EXPECT_EQ(r.type, ReportType::Match);
    EXPECT_EQ(r.text, "Match[,,,,_]Left dangling parenthesis.");  // offset in "x)"
    Report e;
    EXPECT_FALSE(parse_text("(", e));
    EXPECT_EQ(e.type, ReportType::Match);
}

TEST(Source, TopLevelCommasCutSegments) {
    Source src;
    ASSERT_TRUE(load_source("a, b(c,d), {e,f}, [g,h], (i), j", src).ok());
    EXPECT_EQ(src.text, "a,b(c,d),{e,f},[g,h],(i),j");
    std::vector<std::string> got;
    for (Segment s : split_commas(src)) got.push_back(src.text.substr(s.begin, s.end - s.begin));
    EXPECT_EQ(got, (std::vector<std::string>{"a", "b(c,d)", "{e,f}", "[g,h]", "(i)", "j"}));
    std::vector<Segment> inner = split_commas(src, {4, 7});  // "c,d"
    ASSERT_EQ(inner.size(), 2u);
    EXPECT_EQ(inner[1].begin, 6u);
    ASSERT_TRUE(load_source("", src).ok());
    EXPECT_EQ(split_commas(src).size(), 1u);
    ASSERT_TRUE(load_source(",", src).ok());
    ASSERT_EQ(split_commas(src).size(), 2u);
    EXPECT_EQ(split_commas(src)[1].begin, 1u);
}

TEST(Grammar, EachLevelGroupsItsOwnWay) {
    // level 1, right
    EXPECT_EQ(tree("h;g;x"), "((; h) ((; g) x))");
    EXPECT_EQ(tree("n\\p\\q\\e"), "((\\ n) ((\\ p) ((\\ q) e)))");
    EXPECT_EQ(tree("x\\a;b"), "((\\ x) ((; a) b))");
    // level 2, left; a newline applies the later line to the earlier
    EXPECT_EQ(tree("a?b?c"), "((? ((? a) b)) c)");
    EXPECT_EQ(tree("a\ng"), "(g a)");
    EXPECT_EQ(tree("a\nb\nc"), "(c (b a))");
    EXPECT_EQ(tree("a?b\nc"), "(c ((? a) b))");
    // levels 3 and 4, right
    EXPECT_EQ(tree("a&b|c"), "((& a) ((| b) c))");
    EXPECT_EQ(tree("a=b=c"), "((= a) ((= b) c))");
    EXPECT_EQ(tree("a<b>c#d"), "((< a) ((> b) ((# c) d)))");
    // level 5, left
    EXPECT_EQ(tree("x@g"), "((@ x) g)");
    EXPECT_EQ(tree("a b c"), "((a b) c)");
    EXPECT_EQ(tree("a@b c"), "(((@ a) b) c)");
    // levels 6 and 7, left; level 8, right
    EXPECT_EQ(tree("a-b-c"), "((- ((- a) b)) c)");
    EXPECT_EQ(tree("a.b"), "((. a) b)");
    EXPECT_EQ(tree("a:b+c"), "((+ ((: a) b)) c)");
    EXPECT_EQ(tree("a*b/c%d'e"), "((' ((% ((/ ((* a) b)) c)) d)) e)");
    EXPECT_EQ(tree("a^b^c"), "((^ a) ((^ b) c))");
}

TEST(Grammar, LooserLevelsCutFirst) {
    EXPECT_EQ(tree("a+b*c"), "((+ a) ((* b) c))");
    EXPECT_EQ(tree("a*b+c"), "((+ ((* a) b)) c)");
    EXPECT_EQ(tree("a*b^c"), "((* a) ((^ b) c))");
    EXPECT_EQ(tree("a=b+c"), "((= a) ((+ b) c))");
    EXPECT_EQ(tree("a&b=c"), "((& a) ((= b) c))");
    EXPECT_EQ(tree("a?b&c"), "((? a) ((& b) c))");
    EXPECT_EQ(tree("a&b?c"), "((? ((& a) b)) c)");
    EXPECT_EQ(tree("f;a?b"), "((; f) ((? a) b))");
    EXPECT_EQ(tree("a\\b c"), "((\\ a) (b c))");
    EXPECT_EQ(tree("(a+b)*c"), "((* ((+ a) b)) c)");
    // operators of levels 6 to 8 bind tighter than blank-separated application
    EXPECT_EQ(tree("g a + b"), "(g ((+ a) b))");
    // an application without blanks binds tighter than one with blanks
    EXPECT_EQ(tree("a c b(c)"), "((a c) (b c))");
    EXPECT_EQ(tree("a Ya b"), "((a (Y a)) b)");
}

TEST(Grammar, EmptyOperandsArePlaceholders) {
    EXPECT_EQ(tree("-1"), "((- }) 1)");
    EXPECT_EQ(tree("a+"), "((+ a) })");
    EXPECT_EQ(tree(""), "}");
    EXPECT_EQ(tree("a;;b"), "((; a) ((; }) b))");
    EXPECT_EQ(tree("()"), "}");
    EXPECT_EQ(tree("a=-b"), "((= a) ((- }) b))");
}

TEST(Grammar, BraceForms) {
    EXPECT_EQ(tree("f{x}y"), "((({ f) x) y)");
    EXPECT_EQ(tree("{a,b}"), "((({ }) ((, a) b)) })");
    EXPECT_EQ(tree("{a,b,c}"), "((({ }) ((, ((, a) b)) c)) })");
    EXPECT_EQ(tree("{}"), "((({ }) }) })");
    EXPECT_EQ(tree("{,}"), "((({ }) ((, }) })) })");
    EXPECT_EQ(tree("{a;b,c+d}"), "((({ }) ((, ((; a) b)) ((+ c) d))) })");
    EXPECT_EQ(tree("a{b}c;d"), "((({ a) b) ((; c) d))");
    EXPECT_EQ(tree("a;b{c}d"), "((; a) ((({ b) c) d))");
    EXPECT_EQ(tree("a{b}c{d}e"), "((({ a) b) ((({ c) d) e))");
    EXPECT_EQ(tree("x{ y } z"), "((({ x) y) z)");
    EXPECT_EQ(tree("{{x}}"), "((({ }) ((({ }) x) })) })");
}

TEST(Grammar, ItemsAndCallLists) {
    EXPECT_EQ(tree("Ya"), "(Y a)");
    EXPECT_EQ(tree("aS"), "(a S)");
    EXPECT_EQ(tree("BKK"), "((B K) K)");
    EXPECT_EQ(tree("12ab"), "(12 ab)");
    EXPECT_EQ(tree("x1"), "(x 1)");
    EXPECT_EQ(tree("c(d,e)"), "((c d) e)");
    EXPECT_EQ(tree("g()"), "(g })");
    EXPECT_EQ(tree("g(,)"), "((g }) })");
    EXPECT_EQ(tree("f(x)(y)"), "((f x) y)");
    EXPECT_EQ(tree("(f)(x)"), "(f x)");
    EXPECT_EQ(tree("((a))"), "a");
    EXPECT_EQ(tree("f(a + b, c)"), "((f ((+ a) b)) c)");
    EXPECT_EQ(tree("f(g(x),{y})"), "((f (g x)) ((({ }) y) }))");
    EXPECT_EQ(tree("g (x)"), "(g x)");
    EXPECT_EQ(tree("f[x]"), "(f [x])");
    EXPECT_EQ(tree("[a b]c"), "([a b] c)");
    EXPECT_EQ(tree("a\r\nb"), "(b (a \r))");
    EXPECT_EQ(tree("a\0"s), "(a \\n)");  // a NUL item is the newline leaf
    EXPECT_EQ(tree("[a\0b]"s), "[a\nb]");
    EXPECT_EQ(tree("[x]\n[y]"), "([y] [x])");
}

TEST(Grammar, UnaryPrefixPostfixAndRuns) {
    EXPECT_EQ(tree("~x"), "(~ x)");
    EXPECT_EQ(tree("x!~"), "(~ (! x))");
    EXPECT_EQ(tree("~!x"), "(~ (! x))");
    EXPECT_EQ(tree("!x~"), "(~ (! x))");
    EXPECT_EQ(tree("g~x"), "(g (~ x))");
    EXPECT_EQ(tree("g~!x"), "(g (~ (! x)))");
    EXPECT_EQ(tree("g~x!y"), "((g (~ x)) (! y))");
    EXPECT_EQ(tree("g~(a b)"), "(g (~ (a b)))");
    EXPECT_EQ(tree("g(~x)"), "(g (~ x))");
    EXPECT_EQ(tree("~"), "(~ })");
    EXPECT_EQ(tree("~!"), "(! (~ }))");
    EXPECT_EQ(tree("a+~b"), "((+ a) (~ b))");
    EXPECT_EQ(tree("\"$`x"), "(\" ($ (` x)))");
    EXPECT_EQ(tree("f~(a,b)"), "(f (~ (a, b)))");  // "a," is a name leaf
    EXPECT_EQ(tree("~(x,y)z"), "(~ ((x, y) z))");
}

TEST(Grammar, PrinterShowsTheShapes) {
    EXPECT_EQ(printed("plus 1 2"), "(plus 1 2)");
    EXPECT_EQ(printed("Kx"), "Kx");
    EXPECT_EQ(printed("-1"), "-}1");
    EXPECT_EQ(printed("a+b"), "(+a b)");
    EXPECT_EQ(printed("f(g x,y)"), "(f (g x) y)");
}

TEST(Grammar, MeaninglessItemsAreParseErrors) {
    Report e;
    EXPECT_FALSE(parse_text("~(,,)", e));
    EXPECT_EQ(e.type, ReportType::Parse);
    EXPECT_EQ(e.name, "");
    EXPECT_EQ(e.position, 2);
    EXPECT_EQ(e.text, "Parse[,,,,a]Unexpected item ,,.");
    // the leftmost of several is reported, wherever the grammar met it first
    Report f;
    EXPECT_FALSE(parse_text("x=~(X,Y);~(,,)", f));
    EXPECT_EQ(f.position, 4);
    EXPECT_EQ(f.text, "Parse[,,,,c]Unexpected item X,.");
    // positions count in the whole normalised text, not the segment
    Source src;
    ASSERT_TRUE(load_source("a ,  b~(,,,)", src).ok());
    std::vector<Segment> segs = split_commas(src);
    ASSERT_EQ(segs.size(), 2u);
    Report g;
    EXPECT_TRUE(parse_expression(src, segs[0], g));
    EXPECT_TRUE(g.ok());
    EXPECT_FALSE(parse_expression(src, segs[1], g));
    EXPECT_EQ(g.position, 5);
    EXPECT_EQ(g.text, "Parse[,,,,d]Unexpected item ,,,.");
}

TEST(Grammar, RandomCheckedTextsParseOrReportWithoutAsserting) {
    // Any text that passes the bracket check must load, cut and parse to a printable
    // term or a "Parse" report: nothing in between may assert.
    const std::string alphabet = "ab1XK(){}[],;\\?&|=<>#@+-:.*/%'^~!\"$` \n\t\r"s + '\0';
    std::mt19937 rng(2024);
    int checked = 0, refused = 0;
    for (int round = 0; round < 60000; ++round) {
        std::string text;
        for (unsigned n = rng() % 14; n > 0; --n) text += alphabet[rng() % alphabet.size()];
        if (!check_brackets(text).ok()) continue;
        ++checked;
        Source src;
        ASSERT_TRUE(load_source(text, src).ok()) << text;
        for (Segment s : split_commas(src)) {
            Report e;
            CellRef t = parse_expression(src, s, e);
            if (t) {
                EXPECT_FALSE(print_term(t).empty());
                EXPECT_TRUE(e.ok());
            } else {
                ++refused;
                EXPECT_EQ(e.type, ReportType::Parse) << text;
            }
        }
    }
    EXPECT_GT(checked, 20000);
    EXPECT_LT(refused, checked / 100);
}

// ---- size and depth ----------------------------------------------------------------

// Runs the body on the interpreter's big stack, as the real front end does.
void on_big_stack(const std::function<void()>& body) {
    run_on_big_stack([&] {
        body();
        return 0;
    });
}

TEST(Scale, DeepNestingParses) {
    on_big_stack([] {
        const size_t n = 100000;
        uint64_t live = cell_stats().live;
        Report e;
        {
            std::string nest(n, '(');
            nest += 'x';
            nest.append(n, ')');
            CellRef t = parse_text(nest, e);
            ASSERT_TRUE(t);
            EXPECT_EQ(t.view(), "x");
        }
        {
            std::string lit = "f";
            lit.append(n, '[');
            lit += 'x';
            lit.append(n, ']');
            CellRef t = parse_text(lit, e);
            ASSERT_TRUE(t);
            EXPECT_EQ(leaf_text(right_of(t.get())).size(), 2 * n + 1);
        }
        {
            CellRef t = parse_text(std::string(n, '{') + std::string(n, '}'), e);
            ASSERT_TRUE(t);
            std::string p = print_term(t);
            EXPECT_EQ(p.substr(0, 12), "({} ({} ({} ");  // ((({ }) L) })
        }
        {
            std::string calls;
            for (size_t i = 0; i < n; ++i) calls += "f(";
            calls += 'x';
            calls.append(n, ')');
            CellRef t = parse_text(calls, e);
            ASSERT_TRUE(t);
            std::string p = print_term(t);
            EXPECT_EQ(p.size(), 4 * n + 1);  // "(f (f ... x))"
        }
        EXPECT_TRUE(e.ok());
        EXPECT_EQ(cell_stats().live, live);  // every term freed
    });
}

TEST(Scale, LongChainsParse) {
    on_big_stack([] {
        uint64_t live = cell_stats().live;
        Report e;
        {
            // a million-term chain at one level, a long unary run, a long right-grouped chain
            std::string chain = "1";
            for (int i = 1; i < 1000000; ++i) chain += "+1";
            CellRef t = parse_text(chain, e);
            ASSERT_TRUE(t);
            EXPECT_EQ(print_term(t).substr(0, 9), "(+ (+ (+ ");
            const size_t m = 300000;
            std::string run(m, '~');
            run += 'x';
            run.append(m, '!');
            CellRef r = parse_text(run, e);
            ASSERT_TRUE(r);
            std::string a = "1";
            for (size_t i = 1; i < m; ++i) a += "=1";
            CellRef s = parse_text(a, e);
            ASSERT_TRUE(s);
        }
        EXPECT_TRUE(e.ok());
        EXPECT_EQ(cell_stats().live, live);  // every term freed
    });
}

}  // namespace
