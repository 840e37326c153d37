#include "core/parse.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "core/print.h"

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

TEST(Grammar, AGroupAfterACommaDependsOnTheGroupAroundIt) {
    // a comma that separates arguments or list items starts a new word: a plain group
    EXPECT_EQ(tree("f(a,(b))"), "((f a) b)");
    EXPECT_EQ(tree("f(a,(b)(c),(d))"), "(((f a) (b c)) d)");
    EXPECT_EQ(tree("{a,(b)}"), "((({ }) ((, a) b)) })");
    // inside a plain group a comma belongs to an item ("a," or "," alone), and a group
    // after it is a call
    EXPECT_EQ(tree("~(a,(b))"), "(~ (a, b))");
    EXPECT_EQ(tree("~(a,(b),(c))"), "(~ (((a, b) ,) c))");
    EXPECT_EQ(tree("~(f(a,(b)),(c))"), "(~ ((((f a) b) ,) c))");
    EXPECT_EQ(tree("~({a,(b)},(c))"), "(~ ((({ }) ((, a) b)) (, c)))");
    // so does a comma outside every group of the text parsed
    EXPECT_EQ(tree("a,(b)"), "(a, b)");
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
//
// These run on the ordinary thread stack, which a parser that recursed per bracket or per
// operator would overflow long before a million levels.

constexpr size_t kDeep = 1000000;

std::string repeat(std::string_view piece, size_t n) {
    std::string s;
    s.reserve(piece.size() * n);
    for (size_t i = 0; i < n; ++i) s += piece;
    return s;
}

// The child of c along `path` ("l" left, "r" right), or null where a leaf is in the way.
Cell* at(Cell* c, std::string_view path) {
    for (char step : path) {
        if (c == nullptr || !is_pair(c)) return nullptr;
        c = step == 'l' ? left_of(c) : right_of(c);
    }
    return c;
}

bool is_leaf_of(Cell* c, std::string_view text) {
    return c != nullptr && is_leaf(c) && leaf_text(c) == text;
}

// One level of a nested term: the leaves it holds at the given paths, and the path down
// to the next level.
struct Level {
    std::vector<std::pair<std::string, std::string>> leaves;
    std::string next;
};

// Parses `text` as one expression and checks that it is `levels` nested levels, without
// recursion, around the leaf `bottom`.
void expect_levels(const std::string& text, const Level& level, size_t levels,
                   std::string_view bottom) {
    Report e;
    CellRef t = parse_text(text, e);
    ASSERT_TRUE(t) << e.text;
    Cell* c = t.get();
    size_t n = 0;
    for (;; ++n) {
        bool holds = true;
        for (const auto& [path, leaf] : level.leaves)
            holds = holds && is_leaf_of(at(c, path), leaf);
        Cell* next = holds ? at(c, level.next) : nullptr;
        if (next == nullptr) break;
        c = next;
    }
    EXPECT_EQ(n, levels) << text.substr(0, 20);
    EXPECT_TRUE(is_leaf_of(c, bottom)) << text.substr(0, 20);
}

TEST(Scale, EveryBracketKindNestsAMillionDeep) {
    const size_t n = kDeep;
    uint64_t live = cell_stats().live;
    Report e;
    // plain groups vanish
    CellRef t = parse_text(repeat("(", n) + "x" + repeat(")", n), e);
    ASSERT_TRUE(t);
    EXPECT_EQ(t.view(), "x");
    // a text literal is one leaf, however deep
    t = parse_text("f" + repeat("[", n) + "x" + repeat("]", n), e);
    ASSERT_TRUE(t);
    EXPECT_EQ(leaf_text(right_of(t.get())).size(), 2 * n + 1);
    t = CellRef();
    EXPECT_TRUE(e.ok());
    // call lists, as the only and as a later argument: (f (f ... x)), ((f a) ((f a) ... x))
    expect_levels(repeat("f(", n) + "x" + repeat(")", n), {{{"l", "f"}}, "r"}, n, "x");
    expect_levels(repeat("f(a,", n) + "x" + repeat(")", n), {{{"ll", "f"}, {"lr", "a"}}, "r"}, n,
                  "x");
    // a plain group after a unary operator keeps its commas in items: (~ (a, (~ (a, ... x))))
    expect_levels(repeat("~(a,", n) + "x" + repeat(")", n), {{{"l", "~"}, {"rl", "a,"}}, "rr"}, n,
                  "x");
    // brace lists, ((({ }) L) }) around the next level L, and brace forms as values
    expect_levels(repeat("{", n) + repeat("}", n), {{{"lll", "{"}, {"llr", "}"}, {"r", "}"}}, "lr"},
                  n, "}");
    expect_levels(repeat("x{", n) + "y" + repeat("}z", n), {{{"llr", "x"}, {"r", "z"}}, "lr"}, n,
                  "y");
    // all of them in turn: ({f([a]x)}) is ((({ }) (f ([a] x))) }) around the next level
    expect_levels(repeat("({f([a]", n) + "x" + repeat(")})", n),
                  {{{"lll", "{"}, {"lrl", "f"}, {"lrrl", "[a]"}}, "lrrr"}, n, "x");
    EXPECT_EQ(cell_stats().live, live);  // every term freed
}

TEST(Scale, FaultsAMillionBracketsDeepAreReported) {
    const size_t n = kDeep;
    const std::string open = repeat("(", n), close = repeat(")", n);
    // a meaningless item at the bottom
    Report e;
    EXPECT_FALSE(parse_text(open + "~(,,)" + close, e));
    EXPECT_EQ(e.type, ReportType::Parse);
    EXPECT_EQ(e.position, int64_t(n) + 2);
    // a misfit and a comma outside a call list at the bottom, found on the raw text
    Report m = check_brackets(open + "]" + close);
    EXPECT_EQ(m.type, ReportType::Match);
    EXPECT_EQ(m.position, int64_t(n) - 1);
    EXPECT_EQ(m.text, "Match[" + position_code(int64_t(n) - 1) + "]Doesn't fit ']' at [" +
                          position_code(int64_t(n)) + "].");
    Report c = check_brackets(open + "x+(a,b)" + close);
    EXPECT_EQ(c.type, ReportType::Comma);
    EXPECT_EQ(c.position, int64_t(n) + 4);
}

TEST(Scale, OperatorChainsAMillionLong) {
    const size_t n = kDeep;
    uint64_t live = cell_stats().live;
    // left grouping: ((+ ((+ 1) 1)) 1); right grouping: ((^ 1) ((^ 1) 1))
    expect_levels("1" + repeat("+1", n - 1), {{{"ll", "+"}, {"r", "1"}}, "lr"}, n - 1, "1");
    expect_levels("1" + repeat("^1", n - 1), {{{"ll", "^"}, {"lr", "1"}}, "r"}, n - 1, "1");
    expect_levels(repeat("p\\", n - 1) + "e", {{{"ll", "\\"}, {"lr", "p"}}, "r"}, n - 1, "e");
    expect_levels(repeat("x{1}", n - 1) + "e", {{{"lll", "{"}, {"lr", "1"}}, "r"}, n - 1, "e");
    // lines, juxtaposition and call chains: a line applies the next line to the one before,
    // (a (a (a a))); juxtaposed items apply left to right, (((I I) I) I)
    expect_levels("a" + repeat("\na", n - 1), {{{"l", "a"}}, "r"}, n - 1, "a");
    expect_levels(repeat("I", n), {{{"r", "I"}}, "l"}, n - 1, "I");
    expect_levels("f" + repeat("(x)", n), {{{"r", "x"}}, "l"}, n, "f");
    // unary operators: (~ (~ ... x)), (! (! ... x)), and runs inside a word ((g (~ x)) (~ x))
    expect_levels(repeat("~", n) + "x", {{{"l", "~"}}, "r"}, n, "x");
    expect_levels("x" + repeat("!", n), {{{"l", "!"}}, "r"}, n, "x");
    expect_levels("g" + repeat("~x", n), {{{"rl", "~"}, {"rr", "x"}}, "l"}, n, "g");
    EXPECT_EQ(cell_stats().live, live);  // every term freed
}

}  // namespace
