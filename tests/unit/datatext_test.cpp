// How a data value reads as text: the elements of a text against the machine's own way of
// taking them from the end, the reading of data pairs and tree forms, and every operator
// and builtin that reads a data value agreeing with itself on the flat text it reads as.
#include "core/datatext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/analyse.h"
#include "core/arith.h"
#include "core/compare.h"
#include "core/data.h"
#include "core/leaves.h"
#include "core/number.h"
#include "core/unary.h"
#include "tests/unit/builtin_calls.h"
#include "tests/unit/terms.h"

using namespace ruk;
using calls::call;
using calls::num;
using terms::S;

namespace {

CellRef leaf(std::string_view text) { return from_bytes(text); }
CellRef pair(CellRef l, CellRef r) { return apply(std::move(l), std::move(r)); }
std::string form(unsigned char c) { return std::string(char_form(c)); }
std::string said(const CellRef& r) { return std::string(r.view()); }
// The evaluated form of a data cell: V (X J) payload.
CellRef tree_of(Cell* d) {
    return apply2(leaf("V"), apply(leaf("X"), leaf("J")), list_form(d));
}

// The last element of a text as the machine finds it, written out from its description:
// from the last byte before the closing "]", back with a depth count to the "[" that
// brings the depth to zero, never before the opening "["; a single byte when there is none.
std::vector<std::string> elements_from_the_end(std::string text) {
    std::vector<std::string> out;
    for (;;) {
        size_t end = text.size() >= 2 && text.back() == ']' ? text.size() - 1 : text.size();
        if (end <= 1) break;
        size_t j = end - 1, start = j;
        if (text[j] == ']') {
            int depth = 0;
            for (size_t i = j + 1; i-- > 1;) {
                if (text[i] == ']') ++depth;
                if (text[i] == '[' && --depth == 0) {
                    start = i;
                    break;
                }
            }
        }
        out.insert(out.begin(), text.substr(start, j - start + 1));
        text = text.substr(0, start) + "]";
    }
    return out;
}

TEST(DataText, ElementsAreTheOnesTakenFromTheEnd) {
    // Random texts of letters and brackets, balanced or not, with or without their
    // closing bracket.
    std::mt19937_64 rng(3);
    const char alphabet[] = "ab[]]";
    for (int round = 0; round < 5000; ++round) {
        std::string text = "[";
        for (size_t n = rng() % 14; n > 0; --n) text += alphabet[rng() % 5];
        if (rng() % 4 != 0) text += ']';
        std::vector<std::string> want = elements_from_the_end(text);
        Elements e = text_elements(text);
        ASSERT_EQ(e.count, want.size()) << text;
        for (size_t i = 0; i < e.count; ++i) EXPECT_EQ(e.at(i), want[i]) << text << " " << i;
        // The machine takes the same ones: a single byte as its character form.
        CellRef d = leaf(text), rest, last;
        for (size_t i = want.size(); i-- > 0;) {
            ASSERT_TRUE(take_last(d.get(), rest, last)) << text;
            EXPECT_EQ(last.view(), want[i].size() == 1 ? form(static_cast<unsigned char>(want[i][0]))
                                                       : want[i])
                << text;
            d = rest;
        }
        EXPECT_FALSE(take_last(d.get(), rest, last)) << text;
    }
}

TEST(DataText, CharacterFormsAreDistinctAndReadBack) {
    EXPECT_EQ(form('a'), "[[[]][[][]][[]]]");  // tree(199): "a" stands at position 54
    std::vector<std::string> seen;
    for (int c = 0; c < 256; ++c) {
        std::string f = form(static_cast<unsigned char>(c));
        EXPECT_EQ(f.find_first_not_of("[]"), std::string::npos) << c;
        EXPECT_EQ(char_form_byte(f), std::optional<unsigned char>(static_cast<unsigned char>(c)));
        seen.push_back(f);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
    for (const char* text : {"[]", "[[]]", "[a]", "[[p]]", "[[[]][[][]][[]]"})
        EXPECT_FALSE(char_form_byte(text)) << text;
}

TEST(DataText, PairsAndTreeFormsReadAsOneText) {
    auto read = [](const CellRef& x) {
        DataText t;
        return data_text(x.get(), t) ? std::string(t.text) : std::string("refused");
    };
    // The right child is one more element; a character form there is its byte.
    EXPECT_EQ(read(pair(leaf("[ab]"), leaf("[c]"))), "[ab[c]]");
    EXPECT_EQ(read(pair(leaf("[ab]"), leaf(form('c')))), "[abc]");
    EXPECT_EQ(read(pair(pair(leaf("[]"), leaf(form('x'))), pair(leaf("[a]"), leaf(form('y'))))),
              "[x[ay]]");
    EXPECT_EQ(read(pair(leaf("[a]"), leaf(form('\n')))), "[a\n]");
    // A bracket's form stays nested: bare, it would pair up with its neighbours.
    EXPECT_EQ(read(pair(leaf("[a]"), leaf(form('[')))), "[a" + form('[') + "]");
    EXPECT_EQ(read(pair(leaf("[a]"), leaf(form(']')))), "[a" + form(']') + "]");
    // A right child that reads as a character form is that character too.
    std::string q = form('q');
    Elements e = text_elements(q);
    CellRef q_pair = leaf("[" + std::string(e.slice(0, e.count - 1)) + "]");
    q_pair = pair(std::move(q_pair), leaf(e.at(e.count - 1)));
    EXPECT_EQ(read(q_pair), form('q'));
    EXPECT_EQ(read(pair(leaf("[p]"), q_pair)), "[pq]");
    // Tree forms read as the text they were made from.
    for (const char* text : {"[]", "[a]", "[hello]", "[a[p]b[q]]", "[x[yz][]w]", "[a\n]"})
        EXPECT_EQ(read(tree_of(leaf(text).get())), text);
    EXPECT_EQ(read(apply2(leaf("V"), apply(leaf("X"), leaf("J")), leaf("S"))), "refused");
    EXPECT_EQ(read(leaf("S")), "refused");
    EXPECT_EQ(read(num(5)), "refused");
}

TEST(DataText, LengthIsTheLengthOfTheTextRead) {
    // Random pairs over small texts and character forms, some parts shared.
    std::mt19937_64 rng(5);
    const std::vector<std::string> parts = {"[]", "[a]", "[ab]", "[[p]]", "[x[y]]",
                                            form('a'), form('\n'), form('['), "[[]]"};
    for (int round = 0; round < 2000; ++round) {
        std::vector<CellRef> pool;
        for (int i = 0; i < 4; ++i) pool.push_back(leaf(parts[rng() % parts.size()]));
        for (int i = 0; i < 6; ++i)
            pool.push_back(pair(pool[rng() % pool.size()], pool[rng() % pool.size()]));
        const CellRef& d = pool.back();
        DataText t;
        ASSERT_TRUE(data_text(d.get(), t));
        EXPECT_EQ(data_length(d.get()), t.text.size()) << S(d) << " reads " << t.text;
    }
    // Shared halves: measured, never built.
    CellRef d = leaf("[ab]");
    for (int i = 0; i < 70; ++i) d = pair(d, d);
    EXPECT_EQ(data_length(d.get()), UINT64_MAX);
    DataText t;
    EXPECT_FALSE(data_text(d.get(), t));
}

TEST(DataText, NothingBuildsPastTheOneBound) {
    std::string most(kMaxBuilt - 2, 'x');
    EXPECT_EQ(text_from_inner(most).view().size(), kMaxBuilt);
    EXPECT_TRUE(text_from_inner(most + "x").same(leaves().Z));
    EXPECT_TRUE(blob_result(std::string(kMaxBuilt + 1, 'x')).same(leaves().Z));
    // A text at the bound keeps its NUL bytes: its length is recorded, not scanned.
    most[5] = '\0';
    CellRef t = text_from_inner(most);
    EXPECT_EQ(t.view().size(), kMaxBuilt);
    // Built by the operators and the builtins alike.
    CellRef half = text_from_inner(std::string(kMaxBuilt / 2, 'x'));
    for (const CellRef& r : {arithmetic(ArithOp::Plus, half.get(), half.get()),
                             arithmetic(ArithOp::Mult, half.get(), num(2).get()),
                             call("cats", {half, half}), call("rows", {pair(half, half)})})
        EXPECT_TRUE(r.same(leaves().Z));
    CellRef blob = make_blob(std::string(kMaxBuilt / 2 + 1, 'x'));
    EXPECT_TRUE(arithmetic(ArithOp::Plus, blob.get(), blob.get()).same(leaves().Z));
    EXPECT_TRUE(call("cats", {blob, blob}).same(leaves().Z));
    EXPECT_TRUE(arithmetic(ArithOp::Mult, blob.get(), num(2).get()).same(leaves().Z));
}

// ---- every reader agrees ----------------------------------------------------------------

// What a result reads as: a data value's text, "Z", or the result printed.
std::string as_text(const CellRef& r) {
    DataText t;
    if (r.same(leaves().Z)) return "Z";
    if (data_text(r.get(), t)) return std::string(t.text);
    if (is_leaf(r.get()) && r.first_byte() == '(') return "blob " + std::string(blob_payload(r.get()));
    return S(r);
}

struct Reading {
    std::string name;
    CellRef value;
    std::string text;  // the flat text it reads as
};

std::vector<Reading> readings() {
    std::vector<Reading> out;
    auto add = [&](std::string name, CellRef v, std::string text) {
        out.push_back({std::move(name), std::move(v), std::move(text)});
    };
    const char* texts[] = {"[]", "[abc]", "[a[bc]d]", "[a[p]b[q]]", "[x[]]", "[[[]]]", "[ab\n]",
                           "[a[b[c]]e]"};
    for (const char* t : texts) add(std::string("text ") + t, leaf(t), t);
    add("pair", pair(leaf("[ab]"), leaf("[c]")), "[ab[c]]");
    add("pair of pairs", pair(pair(leaf("[a]"), leaf("[b]")), leaf("[cd]")), "[a[b][cd]]");
    add("pair ending in a form", pair(leaf("[a]"), leaf(form('b'))), "[ab]");
    add("pair ending in a pair", pair(leaf("[]"), pair(leaf("[x]"), leaf(form('y')))), "[[xy]]");
    for (const char* t : texts) {
        size_t count = text_elements(t).count;
        if (count == 0) continue;
        CellRef x = leaf(t);
        add(std::string("rebuilt ") + t, pair(call("left", {x}), call("rght", {x})), t);
        if (count >= 2)
            add(std::string("rebuilt twice ") + t,
            pair(pair(call("left", {call("left", {x})}), call("rght", {call("left", {x})})),
                 call("rght", {x})),
            t);
    }
    for (Reading& r : out) analyse(r.value.get());
    return out;
}

TEST(DataText, EveryOperatorReadsAValueAsItsFlatText) {
    CellRef empty = leaf("[]");
    for (const Reading& r : readings()) {
        SCOPED_TRACE(r.name);
        CellRef v = r.value, t = leaf(r.text);
        Cell *a = v.get(), *b = t.get();
        EXPECT_EQ(arithmetic(ArithOp::Plus, a, empty.get()).view(), r.text);
        EXPECT_EQ(arithmetic(ArithOp::Plus, empty.get(), a).view(), r.text);
        EXPECT_EQ(as_text(arithmetic(ArithOp::Plus, a, a)),
                  as_text(arithmetic(ArithOp::Plus, b, b)));
        for (int n : {0, 1, -1, 2, -2, 9})
            EXPECT_EQ(as_text(arithmetic(ArithOp::Dash, a, num(n).get())),
                      as_text(arithmetic(ArithOp::Dash, b, num(n).get())))
                << n;
        EXPECT_EQ(as_text(arithmetic(ArithOp::Mult, a, num(3).get())),
                  as_text(arithmetic(ArithOp::Mult, b, num(3).get())));
        EXPECT_EQ(said(comparison(CompareOp::Same, a, b)), "K");
        EXPECT_EQ(said(comparison(CompareOp::Diff, a, b)), "H");
        EXPECT_EQ(said(comparison(CompareOp::Less, a, b)), "H");
        EXPECT_EQ(said(comparison(CompareOp::Gteq, a, b)), "K");
        CellRef longer = leaf(r.text.substr(0, r.text.size() - 1) + "!]");
        EXPECT_EQ(said(comparison(CompareOp::Less, a, longer.get())), "K");
        EXPECT_EQ(said(comparison(CompareOp::Less, longer.get(), a)), "H");
        EXPECT_EQ(as_text(flip(a)), as_text(flip(b)));
        EXPECT_EQ(rank_of(a).view(), rank_of(b).view());
        EXPECT_EQ(as_text(real_of(a)), as_text(real_of(b)));
    }
}

TEST(DataText, EveryBuiltinReadsAValueAsItsFlatText) {
    std::vector<char> buffer_v(64), buffer_t(64);
    for (const Reading& r : readings()) {
        SCOPED_TRACE(r.name);
        CellRef v = r.value, t = leaf(r.text);
        EXPECT_EQ(call("cats", {v, leaf("[]")}).view(), r.text);
        EXPECT_EQ(call("cats", {leaf("[]"), v}).view(), r.text);
        EXPECT_EQ(call("rows", {v}).view(), r.text);
        for (const char* name : {"init", "lord", "left", "rght", "leaf", "lots"})
            EXPECT_EQ(as_text(call(name, {v})), as_text(call(name, {t}))) << name;
        Elements e = text_elements(r.text);
        int64_t n = int64_t(e.count);
        for (int64_t i = -n - 1; i <= n; ++i) {
            EXPECT_EQ(as_text(call("look", {num(i), v})), as_text(call("look", {num(i), t})))
                << "look " << i;
            for (int64_t k = 0; k <= n + 1; ++k)
                EXPECT_EQ(as_text(call("into", {num(i), num(k), v})),
                          as_text(call("into", {num(i), num(k), t})))
                    << "into " << i << " " << k;
            for (CellRef put : {leaf("[z]"), leaf(form('y')), leaf("[[p]]")})
                EXPECT_EQ(as_text(call("cork", {num(i), put, v})),
                          as_text(call("cork", {num(i), put, t})))
                    << "cork " << i << " " << put.view();
        }
        std::fill(buffer_v.begin(), buffer_v.end(), '.');
        std::fill(buffer_t.begin(), buffer_t.end(), '.');
        EXPECT_TRUE(calls::is_unit(call("copy", {v, calls::addr(buffer_v.data())})));
        EXPECT_TRUE(calls::is_unit(call("copy", {t, calls::addr(buffer_t.data())})));
        EXPECT_EQ(buffer_v, buffer_t);
        // The machine takes it apart alike, and its tree form reads as the same text.
        EXPECT_EQ(S(list_form(v.get())), S(list_form(t.get())));
        EXPECT_EQ(call("rows", {tree_of(v.get())}).view(), r.text);
    }
}

}  // namespace
