// Trees, lists and texts: the builtins raws tern leak type, left rght leaf tail look into,
// cats cork and init rows lord lots, called through the builtin table as the machine calls
// them.
#include "lib/data.h"

#include <gtest/gtest.h>

#include "tests/unit/oracle.h"
#include <unistd.h>

#include <bit>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/analyse.h"
#include "core/data.h"
#include "core/intern.h"
#include "core/leaves.h"
#include "core/number.h"
#include "lib/table.h"
#include "tests/unit/builtin_calls.h"
#include "core/datatext.h"
#include "terms.h"

using namespace ruk;
using ruk::terms::S;

namespace {

using calls::call;
using calls::num;
CellRef leaf(std::string_view text) { return from_bytes(text); }
CellRef blob(std::string_view bytes) { return make_blob(bytes); }
CellRef real(double d) { return real_from_double(d); }
CellRef pair(CellRef l, CellRef r) { return apply(std::move(l), std::move(r)); }
// The evaluated form of a data cell: V (X J) payload.
CellRef tree_of(Cell* d) {
    return apply2(from_text("V"), apply(from_text("X"), from_text("J")), list_form(d));
}

bool is_z(const CellRef& r) { return r.is("Z"); }
// A builtin on a call built by hand, which the test may hold or not.
CellRef run(const char* name, CellRef call) {
    return builtin_table().at(name).implementation(std::move(call));
}
std::string payload(const CellRef& r) {
    EXPECT_EQ(r.first_byte(), '(') << S(r);
    return r.first_byte() == '(' ? std::string(blob_payload(r.get())) : "<no blob>";
}
int64_t int_of(const CellRef& r) {
    EXPECT_TRUE(is_integer(r.get())) << "not an integer: " << S(r);
    return is_integer(r.get()) ? int64_from_integer(r.get()) : INT64_MIN;
}
// The elements of a bit list as K and H.
std::string elements(Cell* list) {
    std::string out;
    while (is_pair(list)) {
        out += leaf_text(right_of(left_of(list)));
        list = right_of(list);
    }
    EXPECT_TRUE(is_letter(list, 'K')) << "list ends in " << leaf_text(list);
    return out;
}

std::string all_bytes() {
    std::string b;
    for (int c = 0; c < 256; ++c) b += char(c);
    return b;
}

// Runs tests/oracle/data_oracle.py on the requests; false when python3 is missing.
bool ask_oracle(const std::vector<std::string>& requests, std::vector<std::string>& answers) {
    return ask_oracle_script("data_oracle.py", requests, answers);
}

std::string hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out = "=";
    for (char c : bytes) {
        out += digits[static_cast<unsigned char>(c) >> 4];
        out += digits[static_cast<unsigned char>(c) & 15];
    }
    return out;
}

// ---- identity and sharing --------------------------------------------------------

TEST(DataIdentity, RawsIsCellIdentityAndTernSharesEqualValues) {
    clear_intern_table();
    CellRef a = leaf("[ab]"), b = leaf("[ab]");
    EXPECT_TRUE(call("raws", {a, a}).same(leaves().K));
    EXPECT_TRUE(call("raws", {a, b}).same(leaves().H));
    CellRef ta = call("tern", {a}), tb = call("tern", {b});
    EXPECT_TRUE(call("raws", {ta, tb}).same(leaves().K));
    EXPECT_EQ(ta.view(), "[ab]");

    // Equal pairs, built apart, become one cell too; so do equal subterms inside one value.
    CellRef p = pair(pair(leaf("f"), num(1)), pair(leaf("f"), num(1)));
    CellRef q = pair(pair(leaf("f"), num(1)), pair(leaf("f"), num(1)));
    CellRef tp = call("tern", {p}), tq = call("tern", {q});
    EXPECT_TRUE(tp.same(tq));
    EXPECT_EQ(tp.left_ptr(), tp.right_ptr());
    EXPECT_EQ(S(tp), "((f 1) (f 1))");
    // A shared value is its own shared copy.
    EXPECT_TRUE(call("tern", {tp}).same(tp));
}

TEST(DataIdentity, TernWalksDeepAndHeavilySharedValuesWithoutRecursion) {
    CellRef deep = leaf("x");
    for (int i = 0; i < 100000; ++i) deep = pair(leaf("f"), std::move(deep));
    CellRef t = call("tern", {deep});
    EXPECT_EQ(t.left().view(), "f");
    // 200 levels of (d d): a tree of 2^200 leaves, but 201 distinct cells.
    CellRef dag = leaf("y");
    for (int i = 0; i < 200; ++i) dag = pair(dag, dag);
    CellRef u = call("tern", {dag});
    EXPECT_EQ(u.left_ptr(), u.right_ptr());
}

TEST(DataIdentity, LeakKeepsTheCellForGoodWithOneCount) {
    Cell* raw;
    int64_t address;
    uint64_t live_before = cell_stats().live;
    {
        CellRef x = leaf("[kept]");
        raw = x.get();
        address = int_of(call("leak", {x}));
        EXPECT_EQ(ref_count(raw), 2u);
        (void)call("leak", {x});  // a second leak takes no second count
        EXPECT_EQ(ref_count(raw), 2u);
    }
    EXPECT_EQ(address, int64_t(reinterpret_cast<intptr_t>(raw)));
    EXPECT_EQ(ref_count(raw), 1u);
    EXPECT_EQ(leaf_text(raw), "[kept]");
    EXPECT_EQ(cell_stats().live, live_before + 1);
}

TEST(DataIdentity, TypeNamesTheKindAsASharedText) {
    clear_intern_table();
    const std::pair<CellRef, const char*> cases[] = {
        {blob("ab"), "[post]"},
        {real(1.5), "[real]"},
        {num(7), "[bits]"},
        {leaf("0042"), "[bits]"},
        {leaf("K"), "[bits]"},
        {leaf("[ab]"), "[zits]"},
        {pair(leaf("[a]"), leaf("[b]")), "[zits]"},
        {leaf("S"), "[iron]"},
        {pair(leaf("f"), num(1)), "[iron]"},
    };
    for (const auto& [value, kind] : cases) {
        CellRef t = call("type", {value});
        EXPECT_EQ(t.view(), kind) << S(value);
        EXPECT_TRUE(t.same(intern_text(kind)));
    }
}

// ---- conversions ----------------------------------------------------------------

TEST(DataConvert, InitAndRowsOfSingleBytes) {
    CellRef a = call("init", {num(65)});
    EXPECT_EQ(payload(a), "A");
    EXPECT_EQ(int_of(call("lord", {a})), 65);
    EXPECT_EQ(payload(call("init", {num(0x1ff)})), "\xff");
    EXPECT_EQ(payload(call("init", {num(-1)})), "\xff");

    EXPECT_EQ(call("rows", {num(10)}).view(), "[[p]]");
    EXPECT_EQ(call("rows", {num(91)}).view(), "[[q]]");
    EXPECT_EQ(call("rows", {num(93)}).view(), "[[r]]");
    EXPECT_EQ(call("rows", {num(0)}).view(), "[\n]");
    EXPECT_EQ(call("rows", {num(65 + 256)}).view(), "[A]");
    // The bare line feed is how a text holds a NUL: it reads back as 0.
    EXPECT_EQ(int_of(call("lord", {call("rows", {num(0)})})), 0);
    EXPECT_EQ(payload(call("init", {call("rows", {num(0)})})), std::string(1, '\0'));

    EXPECT_EQ(call("rows", {blob("a\nb")}).view(), "[a[p]b]");
    EXPECT_EQ(call("rows", {blob("[x]")}).view(), "[[q]x[r]]");
    EXPECT_EQ(call("rows", {real(1.5)}).view(), "[1.500000e+00]");
    EXPECT_EQ(payload(call("init", {real(1.5)})), leaf_text(real(1.5).get()).substr(1));

    // Binary floats have no byte; iron has no kind to convert.
    for (const char* name : {"init", "rows"}) {
        EXPECT_TRUE(is_z(call(name, {leaf("0042")}))) << name;
        EXPECT_TRUE(is_z(call(name, {leaf("S")}))) << name;
    }
    // A "[" that opens no escape makes a text no bytes.
    EXPECT_TRUE(is_z(call("init", {leaf("[a[x]]")})));
    EXPECT_TRUE(is_z(call("init", {leaf("[a[pp]]")})));
}

TEST(DataConvert, InitThenRowsGivesBackTextsOfEveryByte) {
    std::string bytes = all_bytes();
    CellRef text = call("rows", {blob(bytes)});
    std::string_view t = text.view();
    EXPECT_EQ(t.size(), 256u + 2 + 3 * 2);  // three escapes of three bytes
    CellRef b = call("init", {text});
    EXPECT_EQ(payload(b), bytes);
    CellRef again = call("rows", {b});
    EXPECT_EQ(again.view(), t);
    // Byte by byte, and as one-byte texts.
    for (int c = 0; c < 256; ++c) {
        std::string one(1, char(c));
        CellRef tc = call("rows", {blob(one)});
        EXPECT_EQ(payload(call("init", {tc})), one) << c;
        EXPECT_EQ(int_of(call("lord", {tc})), int64_t(static_cast<signed char>(c))) << c;
    }
    // The empty text and blob.
    EXPECT_EQ(call("rows", {blob("")}).view(), "[]");
    EXPECT_EQ(payload(call("init", {leaf("[]")})), "");
}

TEST(DataConvert, DataPairsAndTreeFormsConvertAsTheTextTheyStandFor) {
    // A pair's right child is one more element; a character form stands for its byte.
    CellRef p = pair(pair(leaf("[ab]"), leaf(char_form('c'))), leaf("[de]"));
    EXPECT_EQ(call("rows", {p}).view(), "[abc[de]]");
    EXPECT_EQ(payload(call("init", {pair(leaf("[ab]"), leaf(char_form('c')))})), "abc");
    EXPECT_TRUE(is_z(call("init", {p})));  // "[de]" is no escape

    for (const char* text : {"[]", "[a]", "[hello]", "[a[p]b[q]]", "[x[yz][]w]"}) {
        CellRef d = leaf(text);
        CellRef t = tree_of(d.get());
        EXPECT_EQ(call("rows", {t}).view(), text);
    }
    EXPECT_EQ(payload(call("init", {tree_of(leaf("[a[p]b]").get())})), "a\nb");
    // A payload that is not built of K and J p q is no tree form.
    CellRef broken = apply2(from_text("V"), apply(from_text("X"), from_text("J")), leaf("S"));
    EXPECT_TRUE(is_z(call("rows", {broken})));
}

TEST(DataConvert, LordReadsCharacterCodes) {
    EXPECT_EQ(int_of(call("lord", {blob("\xc8")})), 200);
    EXPECT_TRUE(is_z(call("lord", {blob("")})));
    EXPECT_TRUE(is_z(call("lord", {blob("ab")})));

    EXPECT_EQ(int_of(call("lord", {leaf("[A]")})), 65);
    EXPECT_EQ(int_of(call("lord", {leaf("[\xc8]")})), -56);
    EXPECT_EQ(int_of(call("lord", {leaf("[[p]]")})), 10);
    EXPECT_EQ(int_of(call("lord", {leaf("[[q]]")})), 91);
    EXPECT_EQ(int_of(call("lord", {leaf("[[r]]")})), 93);
    for (const char* text : {"[]", "[ab]", "[[x]]", "[[ab]]"})
        EXPECT_TRUE(is_z(call("lord", {leaf(text)}))) << text;
    // What rght and look give for a single character is its character form.
    EXPECT_EQ(int_of(call("lord", {call("rght", {leaf("[xyz]")})})), 'z');
    EXPECT_EQ(int_of(call("lord", {tree_of(leaf("[q]").get())})), 'q');

    // Numbers: a number leaf as it is, a list by its elements, a real exactly.
    CellRef n = num(-42);
    EXPECT_TRUE(call("lord", {n}).same(n));
    EXPECT_EQ(call("lord", {call("lots", {num(12345)})}).view(), "12345");
    EXPECT_EQ(call("lord", {real(1.5)}).view(), binary_float_from_double(1.5).view());
    EXPECT_EQ(call("lord", {real(-0.0)}).view(), "00");
    EXPECT_TRUE(is_z(call("lord", {leaf("S")})));
}

TEST(DataConvert, LotsThenLordGivesBackIntegers) {
    std::mt19937_64 rng(7);
    // Zero, one, both signs, the ends of 64 bits and beyond; then random ones.
    std::vector<std::string> texts = {"0", "1", "2", "5", "05", "01", "255", "0256"};
    texts.insert(texts.end(),
                 {"9223372036854775807", "09223372036854775808", "18446744073709551617"});
    for (int i = 0; i < 200; ++i) {
        std::string digits(1 + rng() % 60, '0');
        for (char& c : digits) c = char('0' + rng() % 10);
        digits[0] = char('1' + rng() % 9);
        texts.push_back(i % 2 ? "0" + digits : digits);
    }
    std::vector<std::string> requests, answers;
    for (const std::string& t : texts)
        requests.push_back("lots " + (t.size() > 1 && t[0] == '0' ? "-" + t.substr(1) : t));
    bool oracle = ask_oracle(requests, answers);
    for (size_t i = 0; i < texts.size(); ++i) {
        CellRef n = leaf(texts[i]);
        CellRef list = call("lots", {n});
        EXPECT_EQ(call("lord", {list}).view(), texts[i]);
        if (oracle) {
            EXPECT_EQ("=" + elements(list.get()), answers[i]) << texts[i];
        }
    }
    if (!oracle) GTEST_SKIP() << "python3 is not available for the element check";
}

TEST(DataConvert, LotsOfBlobsRealsAndTexts) {
    // Payload order, each byte lowest bit first.
    EXPECT_EQ(elements(call("lots", {blob("\x01\x80")}).get()), "KHHHHHHHHHHHHHHK");
    EXPECT_EQ(elements(call("lots", {blob("")}).get()), "");
    std::string r = elements(call("lots", {real(-2.0)}).get());
    ASSERT_EQ(r.size(), 64u);
    uint64_t bits = std::bit_cast<uint64_t>(-2.0);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(r[i], (bits >> i) & 1 ? 'K' : 'H') << i;

    // Texts: a chain of one-unit texts ending in the empty text.
    EXPECT_EQ(S(call("lots", {leaf("[a[p]b[cd]]")})), "([a] ([[p]] ([b] ([[cd]] []))))");
    EXPECT_EQ(call("lots", {leaf("[]")}).view(), "[]");
    CellRef chain = call("lots", {leaf("[xy]")});
    EXPECT_EQ(call("type", {chain}).view(), "[zits]");
    EXPECT_EQ(call("rows", {chain}).view(), "[x[y[]]]");
    EXPECT_TRUE(is_z(call("lots", {leaf("S")})));
}

// ---- taking apart ---------------------------------------------------------------

TEST(DataApart, LeftRghtAndLeafOfTexts) {
    EXPECT_EQ(call("left", {leaf("[abc]")}).view(), "[ab]");
    EXPECT_EQ(call("rght", {leaf("[abc]")}).view(), char_form('c'));
    EXPECT_EQ(call("rght", {leaf("[xa]")}).view(), "[[[]][[][]][[]]]");
    EXPECT_EQ(call("left", {leaf("[a[bc]]")}).view(), "[a]");
    EXPECT_EQ(call("rght", {leaf("[a[bc]]")}).view(), "[bc]");
    EXPECT_EQ(call("rght", {leaf("[a[p]]")}).view(), "[p]");
    EXPECT_TRUE(is_z(call("left", {leaf("[]")})));
    EXPECT_TRUE(is_z(call("rght", {leaf("[]")})));
    EXPECT_TRUE(call("leaf", {leaf("[]")}).same(leaves().K));
    EXPECT_TRUE(call("leaf", {leaf("[a]")}).same(leaves().H));

    CellRef p = pair(leaf("[ab]"), leaf("[c]"));
    EXPECT_TRUE(call("left", {p}).same(p.left()));
    EXPECT_TRUE(call("rght", {p}).same(p.right()));
    EXPECT_TRUE(call("leaf", {p}).same(leaves().H));

    for (const char* name : {"left", "rght", "leaf"}) {
        EXPECT_TRUE(is_z(call(name, {leaf("S")}))) << name;
        EXPECT_TRUE(is_z(call(name, {num(5)}))) << name;
        EXPECT_TRUE(is_z(call(name, {blob("ab")}))) << name;
    }
}

TEST(DataApart, LeftRghtAndLeafOfTreeForms) {
    CellRef t = tree_of(leaf("[ab]").get());
    CellRef l = call("left", {t}), r = call("rght", {t});
    EXPECT_EQ(call("rows", {l}).view(), "[a]");
    EXPECT_EQ(call("rows", {r}).view(), char_form('b'));
    EXPECT_TRUE(l.left().same(t.left()));  // the V (X J) part is shared
    EXPECT_TRUE(call("leaf", {t}).same(leaves().H));
    CellRef empty = tree_of(leaf("[]").get());
    EXPECT_TRUE(call("leaf", {empty}).same(leaves().K));
    EXPECT_TRUE(is_z(call("left", {empty})));
    EXPECT_TRUE(is_z(call("rght", {empty})));
}

TEST(DataApart, TailDropsTheLastByteInPlaceOnlyWhenNothingElseHoldsTheBlob) {
    EXPECT_TRUE(is_z(call("tail", {blob("")})));
    EXPECT_TRUE(is_z(call("tail", {leaf("[ab]")})));
    EXPECT_EQ(payload(call("tail", {blob("a")})), "");

    // Held elsewhere: a new blob, the argument unchanged.
    std::string bytes(64, 'q');
    CellRef shared = blob(bytes);
    CellRef r = call("tail", {shared});
    EXPECT_FALSE(r.same(shared));
    EXPECT_EQ(payload(r), bytes.substr(0, 63));
    EXPECT_EQ(payload(shared), bytes);

    // Held by the call alone: the same cell comes back, with the same bytes as a new blob
    // would have.
    CellRef only = blob(bytes);
    Cell* cell = only.get();
    CellRef c = apply(from_text("tail"), std::move(only));
    CellRef in_place = run("tail", std::move(c));
    EXPECT_EQ(in_place.get(), cell);
    EXPECT_EQ(payload(in_place), bytes.substr(0, 63));
    EXPECT_EQ(in_place.view(), "(,Y)" + bytes.substr(0, 63));  // 64 was "_,"; 63 is "Y"
    for (int i = 63; i > 0; --i) {
        CellRef again = run("tail", apply(from_text("tail"), std::move(in_place)));
        EXPECT_EQ(again.get(), cell);
        EXPECT_EQ(payload(again), bytes.substr(0, size_t(i - 1)));
        in_place = std::move(again);
    }
    EXPECT_TRUE(is_z(run("tail", apply(from_text("tail"), std::move(in_place)))));

    // A call cell held twice (a shared redex) keeps its blob.
    CellRef held = blob("xyz");
    CellRef redex = apply(from_text("tail"), held);
    held = CellRef();
    CellRef keep = redex;
    EXPECT_EQ(payload(run("tail", std::move(redex))), "xy");
    EXPECT_EQ(payload(keep.right()), "xyz");
}

TEST(DataApart, LookAtEveryKind) {
    EXPECT_EQ(int_of(call("look", {num(-1), blob("ab\xc8")})), -56);
    EXPECT_EQ(int_of(call("look", {num(0), blob("ab\xc8")})), 'a');
    EXPECT_TRUE(is_z(call("look", {num(3), blob("abc")})));
    EXPECT_TRUE(is_z(call("look", {num(-4), blob("abc")})));
    EXPECT_TRUE(is_z(call("look", {leaf("1000000000000000000000000"), blob("abc")})));

    // Reals: the 64 bits of the double, 64 reads as clear, beyond is nothing.
    EXPECT_TRUE(call("look", {num(63), real(-1.0)}).same(leaves().K));
    EXPECT_TRUE(call("look", {num(-1), real(-1.0)}).same(leaves().K));
    EXPECT_TRUE(call("look", {num(0), real(-1.0)}).same(leaves().H));
    EXPECT_TRUE(call("look", {num(64), real(1.0)}).same(leaves().H));
    EXPECT_TRUE(is_z(call("look", {num(65), real(1.0)})));
    EXPECT_TRUE(is_z(call("look", {num(-65), real(1.0)})));

    // Numbers: the elements of the binary form; 5 is H K H.
    const char* five = "HKH";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(call("look", {num(i), num(5)}).view(), std::string(1, five[i])) << i;
        EXPECT_EQ(call("look", {num(i - 3), num(5)}).view(), std::string(1, five[i])) << i;
    }
    EXPECT_TRUE(call("look", {num(3), num(5)}).same(leaves().H));
    EXPECT_TRUE(call("look", {leaf("1000000000000000000000000"), num(5)}).same(leaves().H));
    EXPECT_TRUE(is_z(call("look", {num(-4), num(5)})));

    // Texts: a single character as its character form, a nested text as it stands.
    CellRef t = leaf("[a[bc]d[p]]");
    EXPECT_EQ(call("look", {num(0), t}).view(), char_form('a'));
    EXPECT_EQ(call("look", {num(1), t}).view(), "[bc]");
    EXPECT_EQ(call("look", {num(-1), t}).view(), "[p]");
    EXPECT_EQ(call("look", {num(-2), t}).view(), char_form('d'));
    EXPECT_TRUE(is_z(call("look", {num(4), t})));
    EXPECT_TRUE(is_z(call("look", {num(-5), t})));
    // A pair: the elements of its left part, then its right child as it stands.
    CellRef p = pair(pair(leaf("[ab]"), leaf("[c]")), leaf("[de]"));
    EXPECT_EQ(call("look", {num(1), p}).view(), char_form('b'));
    EXPECT_TRUE(call("look", {num(2), p}).same(p.left().right()));
    EXPECT_TRUE(call("look", {num(3), p}).same(p.right()));
    EXPECT_TRUE(is_z(call("look", {num(4), p})));
    EXPECT_EQ(call("look", {num(1), tree_of(leaf("[xy]").get())}).view(), char_form('y'));

    EXPECT_TRUE(is_z(call("look", {leaf("S"), blob("abc")})));
    EXPECT_TRUE(is_z(call("look", {leaf("0042"), blob("abc")})));
    EXPECT_TRUE(is_z(call("look", {num(0), leaf("S")})));
}

TEST(DataApart, IntoSlicesEveryKind) {
    // A slice may reach the very end: into 0 n of n bytes is all of them.
    EXPECT_EQ(payload(call("into", {num(0), num(3), blob("abc")})), "abc");
    EXPECT_EQ(payload(call("into", {num(0), num(2), blob("abc")})), "ab");
    EXPECT_EQ(payload(call("into", {num(3), num(0), blob("abc")})), "");
    EXPECT_TRUE(is_z(call("into", {num(1), num(3), blob("abc")})));
    EXPECT_TRUE(is_z(call("into", {num(-1), num(1), blob("abc")})));
    EXPECT_TRUE(is_z(call("into", {num(0), num(-1), blob("abc")})));
    EXPECT_TRUE(is_z(call("into", {num(1), leaf("100000000000000000000000"), blob("abc")})));
    EXPECT_TRUE(is_z(call("into", {num(1), leaf("9223372036854775807"), blob("abc")})));

    // Reals: the integer of the bits; a negative start counts from bit 64.
    uint64_t bits = std::bit_cast<uint64_t>(-3.25);
    EXPECT_EQ(call("into", {num(0), num(64), real(-3.25)}).view(), std::to_string(bits));
    EXPECT_EQ(int_of(call("into", {num(52), num(11), real(-3.25)})), int64_t((bits >> 52) & 0x7ff));
    EXPECT_EQ(int_of(call("into", {num(-1), num(1), real(-3.25)})), 1);
    EXPECT_TRUE(is_z(call("into", {num(60), num(5), real(1.0)})));
    EXPECT_TRUE(is_z(call("into", {num(-65), num(1), real(1.0)})));

    // Numbers: the number whose binary form is the slice, so that the two halves joined
    // give the whole back.
    CellRef big = leaf("123456789012345678901234567890");
    BitString b = bits_from_value(big.get());
    size_t n = bit_length(b);
    for (size_t k : {size_t(0), size_t(1), size_t(7), size_t(40), n}) {
        CellRef lo = call("into", {num(0), num(int64_t(k)), big});
        CellRef hi = call("into", {num(int64_t(k)), num(int64_t(n - k)), big});
        EXPECT_EQ(call("cats", {lo, hi}).view(), big.view()) << k;
    }
    EXPECT_EQ(call("into", {num(0), num(0), big}).view(), "0");
    EXPECT_TRUE(is_z(call("into", {num(1), num(int64_t(n)), big})));
    EXPECT_TRUE(is_z(call("into", {num(-1), num(1), big})));

    // Texts: whole elements; a negative start counts from the end.
    CellRef t = leaf("[a[bc]d[p]e]");
    EXPECT_EQ(call("into", {num(1), num(3), t}).view(), "[[bc]d[p]]");
    EXPECT_EQ(call("into", {num(-2), num(2), t}).view(), "[[p]e]");
    EXPECT_EQ(call("into", {num(0), num(5), t}).view(), t.view());
    EXPECT_EQ(call("into", {num(2), num(0), t}).view(), "[]");
    EXPECT_TRUE(is_z(call("into", {num(1), num(5), t})));
    EXPECT_TRUE(is_z(call("into", {num(-6), num(1), t})));
    EXPECT_EQ(call("into", {num(1), num(2), pair(leaf("[ab]"), leaf("[c]"))}).view(), "[b[c]]");
    EXPECT_EQ(call("into", {num(1), num(1), tree_of(leaf("[xyz]").get())}).view(), "[y]");
    EXPECT_TRUE(is_z(call("into", {num(0), num(0), leaf("S")})));
}

TEST(DataApart, LookAndIntoAgreeWithPythonOnRandomBytes) {
    std::mt19937_64 rng(11);
    struct Case {
        std::string bytes;
        int64_t a, b;
        bool is_look;
    };
    std::vector<Case> cases;
    std::vector<std::string> requests;
    for (int i = 0; i < 400; ++i) {
        std::string bytes(rng() % 12, '\0');
        for (char& c : bytes) c = char(rng() % 256);
        int64_t n = int64_t(bytes.size());
        int64_t a = int64_t(rng() % (2 * n + 3)) - n - 1, b = int64_t(rng() % (n + 3)) - 1;
        bool is_look = i % 2 == 0;
        cases.push_back({bytes, a, b, is_look});
        requests.push_back(is_look ? "look " + hex(bytes) + " " + std::to_string(a)
                                   : "into " + hex(bytes) + " " + std::to_string(a) + " " +
                                         std::to_string(b));
    }
    std::vector<std::string> answers;
    if (!ask_oracle(requests, answers)) GTEST_SKIP() << "python3 is not available";
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        CellRef bl = blob(c.bytes);
        CellRef text = call("rows", {bl});
        if (c.is_look) {
            CellRef from_blob = call("look", {num(c.a), bl});
            CellRef from_text = call("look", {num(c.a), text});
            std::string got = is_z(from_blob) ? "Z" : std::to_string(int_of(from_blob));
            EXPECT_EQ(got, answers[i]) << requests[i];
            // An escape is an element of its own, the text "[p]", "[q]" or "[r]".
            std::string got_text = is_z(from_text)       ? "Z"
                                   : from_text.is("[p]") ? "10"
                                   : from_text.is("[q]") ? "91"
                                   : from_text.is("[r]")
                                       ? "93"
                                       : std::to_string(int_of(call("lord", {from_text})));
            EXPECT_EQ(got_text, answers[i]) << requests[i] << " as text";
        } else {
            CellRef from_blob = call("into", {num(c.a), num(c.b), bl});
            std::string got = is_z(from_blob) ? "Z" : hex(payload(from_blob));
            EXPECT_EQ(got, answers[i]) << requests[i];
            // Texts count a negative start from the end; the rest is the same.
            if (c.a >= 0) {
                CellRef from_text = call("into", {num(c.a), num(c.b), text});
                std::string got_text =
                    is_z(from_text) ? "Z" : hex(payload(call("init", {from_text})));
                EXPECT_EQ(got_text, answers[i]) << requests[i] << " as text";
            }
        }
    }
}

// ---- building -------------------------------------------------------------------

TEST(DataBuild, CatsJoinsValuesOfOneKind) {
    EXPECT_EQ(payload(call("cats", {blob("ab"), blob(std::string_view("c\0d", 3))})),
              std::string("abc\0d", 5));
    EXPECT_EQ(call("cats", {leaf("[ab]"), leaf("[c[p]]")}).view(), "[abc[p]]");
    EXPECT_EQ(call("cats", {leaf("[]"), leaf("[]")}).view(), "[]");
    EXPECT_EQ(call("cats", {pair(leaf("[a]"), leaf("[b]")), tree_of(leaf("[c]").get())}).view(),
              "[a[b]c]");
    // Binary forms joined: 5 is H K H and 1 is H.
    CellRef joined = call("cats", {num(5), num(1)});
    EXPECT_EQ(elements(call("lots", {joined}).get()), "HKHH");
    EXPECT_EQ(call("cats", {num(0), num(-7)}).view(), "07");
    EXPECT_EQ(call("cats", {call("lots", {num(5)}), num(0)}).view(), "5");

    // Floats join only as NaN payloads of one sign.
    // A mantissa reads as a bit string: 101 is the elements K H, 110 the elements H K.
    double nan_a = std::bit_cast<double>(uint64_t(0x7FF0000000000005));
    double nan_b = std::bit_cast<double>(uint64_t(0x7FF0000000000006));
    CellRef f = call("cats", {real(nan_a), real(nan_b)});
    ASSERT_EQ(f.first_byte(), ' ');
    EXPECT_EQ(std::bit_cast<uint64_t>(double_from_real(f.get())), uint64_t(0x7FF0000000000019));
    double inf = std::bit_cast<double>(uint64_t(0x7FF0000000000000));
    EXPECT_TRUE(is_z(call("cats", {real(inf), real(nan_a)})));
    EXPECT_TRUE(is_z(call("cats", {real(1.0), real(nan_a)})));
    EXPECT_TRUE(is_z(call("cats", {real(-nan_a), real(nan_a)})));
    double wide = std::bit_cast<double>(uint64_t(0x7FF8000000000000));
    EXPECT_TRUE(is_z(call("cats", {real(wide), real(nan_b)})));

    EXPECT_TRUE(is_z(call("cats", {blob("a"), leaf("[a]")})));
    EXPECT_TRUE(is_z(call("cats", {num(1), real(1.0)})));
    EXPECT_TRUE(is_z(call("cats", {leaf("S"), leaf("S")})));
}

TEST(DataBuild, CorkReplacesOneElement) {
    // Blobs: the byte as lord reads the element; "[]" and non-characters count as 33.
    EXPECT_EQ(payload(call("cork", {num(1), leaf("[X]"), blob("abc")})), "aXc");
    EXPECT_EQ(payload(call("cork", {num(-1), leaf("[[p]]"), blob("abc")})), "ab\n");
    EXPECT_EQ(payload(call("cork", {num(0), leaf("[]"), blob("abc")})), "!bc");
    EXPECT_EQ(payload(call("cork", {num(0), leaf("[[zz]]"), blob("abc")})), "!bc");
    EXPECT_EQ(payload(call("cork", {num(0), leaf(char_form('k')), blob("abc")})), "kbc");
    EXPECT_TRUE(is_z(call("cork", {num(3), leaf("[X]"), blob("abc")})));
    EXPECT_TRUE(is_z(call("cork", {num(-4), leaf("[X]"), blob("abc")})));
    EXPECT_TRUE(is_z(call("cork", {num(0), num(65), blob("abc")})));
    EXPECT_TRUE(is_z(call("cork", {num(0), leaf("[XY]"), blob("abc")})));

    CellRef shared = blob("abc");
    EXPECT_EQ(payload(call("cork", {num(0), leaf("[z]"), shared})), "zbc");
    EXPECT_EQ(payload(shared), "abc");
    CellRef only = blob("abc");
    Cell* cell = only.get();
    CellRef c = apply(apply(apply(from_text("cork"), num(2)), leaf("[z]")), std::move(only));
    CellRef r = run("cork", std::move(c));
    EXPECT_EQ(r.get(), cell);
    EXPECT_EQ(payload(r), "abz");

    // Reals and numbers: one bit from K or H.
    EXPECT_EQ(double_from_real(call("cork", {num(63), leaves().K, real(2.0)}).get()), -2.0);
    EXPECT_EQ(double_from_real(call("cork", {num(-1), leaves().H, real(-2.0)}).get()), 2.0);
    EXPECT_TRUE(is_z(call("cork", {num(64), leaves().K, real(2.0)})));
    EXPECT_TRUE(is_z(call("cork", {num(0), leaf("[a]"), real(2.0)})));
    EXPECT_EQ(call("cork", {num(1), leaves().H, num(5)}).view(), "4");    // H H H
    EXPECT_EQ(call("cork", {num(0), leaves().K, num(5)}).view(), "001");  // K K H: a binary float
    EXPECT_TRUE(is_z(call("cork", {num(3), leaves().K, num(5)})));
    EXPECT_TRUE(is_z(call("cork", {num(0), leaf("Q"), num(5)})));

    // Texts: the element i is the new one; a character form goes in as its character.
    EXPECT_EQ(call("cork", {num(1), leaf(char_form('X')), leaf("[abc]")}).view(), "[aXc]");
    EXPECT_EQ(call("cork", {num(1), leaf("[xy]"), leaf("[a[p]c]")}).view(), "[a[xy]c]");
    EXPECT_EQ(call("cork", {num(-1), leaf("[]"), leaf("[abc]")}).view(), "[ab[]]");
    EXPECT_TRUE(is_z(call("cork", {num(3), leaf("[x]"), leaf("[abc]")})));
    EXPECT_TRUE(is_z(call("cork", {num(0), num(1), leaf("[abc]")})));
    // Looking at what was put gives it back.
    CellRef t = call("cork", {num(2), leaf(char_form('Q')), leaf("[abc]")});
    EXPECT_EQ(call("look", {num(2), t}).view(), char_form('Q'));
    // A pair keeps its shape: the changed part is rebuilt, the rest shared.
    CellRef p = pair(pair(leaf("[ab]"), leaf("[c]")), leaf("[d]"));
    CellRef q = call("cork", {num(2), leaf("[z]"), p});
    EXPECT_EQ(S(q), "(([ab] [z]) [d])");
    EXPECT_TRUE(q.right().same(p.right()));
    EXPECT_EQ(S(call("cork", {num(0), leaf(char_form('Y')), p})), "(([Yb] [c]) [d])");
    EXPECT_TRUE(is_z(call("cork", {num(0), leaf("[a]"), leaf("S")})));
}

TEST(DataBuild, AbsurdSizesGiveZ) {
    // Pairs over one shared half double the text at every level: 2^7 MiB is too long.
    CellRef d = leaf("[" + std::string(size_t(1) << 20, 'x') + "]");
    for (int i = 0; i < 7; ++i) d = pair(d, d);
    analyse(d.get());  // as the machine has it: a data pair marked once, not walked
    EXPECT_TRUE(is_z(call("rows", {d})));
    EXPECT_TRUE(is_z(call("cats", {d, leaf("[a]")})));
    EXPECT_TRUE(is_z(call("into", {num(0), num(1), d})));
    EXPECT_TRUE(is_z(
        call("into", {leaf("9223372036854775807"), leaf("9223372036854775807"), leaf("[abc]")})));
}

}  // namespace
