#include "core/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ruk;
using namespace std::string_literals;

namespace {

TEST(TextClasses, TablesHoldExactlyTheirMembers) {
    std::string glue, unary, op, punct, other;
    for (int c = 0; c < 256; ++c) {
        char ch = char(c);
        if (is_glue(ch)) glue += ch;
        if (is_unary(ch)) unary += ch;
        if (is_operator_char(ch)) op += ch;
        if (!is_other(ch) && !is_name_char(ch) && !is_digit_char(ch)) punct += ch;
        if (is_other(ch)) other += ch;
    }
    EXPECT_EQ(glue, "\n #%&'*+,-./:;<=>?@\\^|");
    EXPECT_EQ(glue.size(), 22u);
    EXPECT_EQ(unary, "!\"$`~");
    // the 27 operator characters, in byte order
    EXPECT_EQ(op, "!\"#$%&'*+,-./:;<=>?@\\^`{|}~");
    EXPECT_EQ(op.size(), 27u);
    // a word is cut before every character outside the operators, brackets and blanks
    EXPECT_EQ(punct, "\n !\"#$%&'()*+,-./:;<=>?@[\\]^`{|}~");
    EXPECT_EQ(punct.size(), 33u);
    // tab, CR, capitals, NUL and high bytes are each an item of their own
    for (char c : "\t\rAZ\x01\x7f\x80\xff"s) EXPECT_TRUE(is_other(c)) << int(c);
    EXPECT_TRUE(is_other('\0'));
    for (char c : "az_09,([{ \n"s) EXPECT_FALSE(is_other(c)) << c;
    EXPECT_TRUE(is_blank(' ') && is_blank('\n') && !is_blank('\t') && !is_blank('\r'));
}

TEST(TextClasses, NamesAndOperatorNames) {
    for (const char* t : {"a", "_", "count", "ab_c", "z_"}) EXPECT_TRUE(is_name(t)) << t;
    for (const char* t : {"", "K", "aB", "a1", "1a", "a,", "+", "[+]", "a b"})
        EXPECT_FALSE(is_name(t)) << t;
    for (char c : "{,}~!@#$%^&*<>-|+/=\\.`'\":;?"s)
        EXPECT_TRUE(is_operator_name(std::string{'[', c, ']'})) << c;
    for (const char* t : {"[a]", "[K]", "[(]", "[]]", "[[]", "[ ]", "[++]", "[+", "+]", "+", "[]"})
        EXPECT_FALSE(is_operator_name(t)) << t;
}

TEST(Normalise, BlankRunsBesideGlueAndBracketsVanish) {
    EXPECT_EQ(normalise(""), "");
    EXPECT_EQ(normalise(" \n  \n"), "");
    EXPECT_EQ(normalise("  a  "), "a");
    EXPECT_EQ(normalise("a + b"), "a+b");
    EXPECT_EQ(normalise("a\n+ b"), "a+b");
    EXPECT_EQ(normalise("f ; g"), "f;g");
    EXPECT_EQ(normalise("( x )"), "(x)");
    EXPECT_EQ(normalise("{ a } { b }"), "{a}{b}");
    EXPECT_EQ(normalise("a } b"), "a}b");
    EXPECT_EQ(normalise("a {b}"), "a{b}");
    // before "(" and "[" a blank stays: it separates an application
    EXPECT_EQ(normalise("g (x)"), "g (x)");
    EXPECT_EQ(normalise("g [x]"), "g [x]");
    EXPECT_EQ(normalise("[x] y"), "[x] y");
    EXPECT_EQ(normalise("a   b"), "a b");
    EXPECT_EQ(normalise("a \n \n b"), "a\nb");
    EXPECT_EQ(normalise("a\n\n\nb"), "a\nb");
    // tab and carriage return are ordinary characters
    EXPECT_EQ(normalise("a\r\nb"), "a\r\nb");
    EXPECT_EQ(normalise("a \t b"), "a \t b");
    EXPECT_EQ(normalise("\ta\t"), "\ta\t");
}

TEST(Normalise, LiteralsLoseLineBreaksAndTheSpacesBeforeThem) {
    EXPECT_EQ(normalise("[ab   \n  cd]"), "[ab  cd]");
    EXPECT_EQ(normalise("x = [ a  b ]"), "x=[ a  b ]");
    EXPECT_EQ(normalise("[a [b]\n c]"), "[a [b] c]");
    EXPECT_EQ(normalise("[a\n\n]"), "[a]");
    EXPECT_EQ(normalise("[a  ]"), "[a  ]");
    EXPECT_EQ(normalise("  [x]  "), "[x]");
    // a blank run after a literal is judged by the "]"
    EXPECT_EQ(normalise("[x] + [y]"), "[x]+[y]");
    // an unterminated literal (a text that fails the bracket check) is copied to the end
    EXPECT_EQ(normalise("[ab \n c"), "[ab c");
    EXPECT_EQ(normalise("a\0b"s), "a\0b"s);
}

std::vector<std::string> items(const std::string& word) {
    Source src{word, {}};
    EXPECT_TRUE(index_brackets(src));
    std::vector<std::string> out;
    for (size_t i = 0; i < word.size();) {
        size_t j = item_end(src, i, word.size());
        out.push_back(word.substr(i, j - i));
        i = j;
    }
    return out;
}

using Items = std::vector<std::string>;

TEST(Words, ItemsStartAtNamesDigitsOthersAndGroups) {
    EXPECT_EQ(items("Ya"), (Items{"Y", "a"}));
    EXPECT_EQ(items("aK"), (Items{"a", "K"}));
    EXPECT_EQ(items("BKK"), (Items{"B", "K", "K"}));
    EXPECT_EQ(items("ab_c1"), (Items{"ab_c", "1"}));
    EXPECT_EQ(items("g(x)"), (Items{"g", "(x)"}));
    EXPECT_EQ(items("(a)b"), (Items{"(a)", "b"}));
    EXPECT_EQ(items("12ab"), (Items{"12", "ab"}));
    EXPECT_EQ(items("x1"), (Items{"x", "1"}));
    EXPECT_EQ(items("f(x)(y)"), (Items{"f", "(x)", "(y)"}));
    EXPECT_EQ(items("a[x]b"), (Items{"a", "[x]", "b"}));
    EXPECT_EQ(items("[a[b]c]d"), (Items{"[a[b]c]", "d"}));
    EXPECT_EQ(items("(a(b)c)(d)"), (Items{"(a(b)c)", "(d)"}));
    EXPECT_EQ(items("\tX\r"), (Items{"\t", "X", "\r"}));
    // commas continue the item they follow
    EXPECT_EQ(items("a,b"), (Items{"a,", "b"}));
    EXPECT_EQ(items(",,"), (Items{",,"}));
    EXPECT_EQ(items("X,Y"), (Items{"X,", "Y"}));
    EXPECT_EQ(items("(a),b"), (Items{"(a)", ",", "b"}));
}

TEST(Words, BracketPartnersMatchBothWays) {
    Source src{"f(x)[a(b]{c[d]}", {}};
    ASSERT_TRUE(index_brackets(src));
    EXPECT_EQ(src.partner[1], 3u);
    EXPECT_EQ(src.partner[3], 1u);
    EXPECT_EQ(src.partner[4], 8u);  // the "(" inside the literal does not count
    EXPECT_EQ(src.partner[9], 14u);
    EXPECT_EQ(src.partner[11], 13u);
    for (const char* bad : {")", "(", "(]", "[", "{)", "(a}"}) {
        Source b{bad, {}};
        EXPECT_FALSE(index_brackets(b)) << bad;
    }
}

TEST(Atoms, LeavesByFirstCharacter) {
    EXPECT_EQ(atom_leaf("12").view(), "12");
    EXPECT_EQ(atom_leaf("ab_c").view(), "ab_c");
    EXPECT_EQ(atom_leaf("a,").view(), "a,");
    EXPECT_EQ(atom_leaf("K").view(), "K");
    EXPECT_EQ(atom_leaf("\t").view(), "\t");
    EXPECT_EQ(atom_leaf(","s).view(), ",");
    EXPECT_EQ(atom_leaf("\0"s).view(), "\n");  // a NUL item is the newline leaf
    // text leaves: newlines removed, NULs become newlines, brackets kept
    CellRef t = atom_leaf("[a\nb\0c]"s);
    EXPECT_EQ(t.view(), "[ab\nc]");
    EXPECT_EQ(field_bits(t.get()), 6u);
    // longer items starting with anything else have no meaning
    EXPECT_FALSE(atom_leaf(",,"));
    EXPECT_FALSE(atom_leaf("X,"));
}

}  // namespace
