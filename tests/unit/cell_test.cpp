#include "core/cell.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace ruk;

namespace {

TEST(CellLayout, HeaderAndLengthFieldOfNewLeaves) {
    Leaf* zero = make_leaf("0");
    EXPECT_TRUE(is_leaf(zero));
    EXPECT_EQ(zero->head >> 63, 1u);
    EXPECT_EQ(ref_count(zero), 0u);
    EXPECT_EQ(field_bits(zero), 1u);
    EXPECT_EQ(annotation_byte(zero), 0u);
    CellRef hold(zero);
    EXPECT_EQ(ref_count(zero), 1u);

    EXPECT_EQ(field_bits(from_text("abc").get()), 0u);   // names have no length field
    EXPECT_EQ(field_bits(from_text("[ab").get()), 3u);
    EXPECT_EQ(from_text("[ab").view(), "[ab");

    CellRef p = apply(from_text("f"), from_text("x"));
    EXPECT_EQ(p.get()->head, 1u);  // count 1, everything else clear
    EXPECT_EQ(p.view(), "");
    EXPECT_EQ(p.first_byte(), 0);
}

TEST(CellLayout, LongNumberLeafCachesItsLengthOnFirstQuery) {
    std::string digits(70000, '7');
    CellRef n = from_text(digits.c_str());
    EXPECT_EQ(field_bits(n.get()), 0u);
    EXPECT_EQ(n.view().size(), 70000u);
    EXPECT_EQ(field_bits(n.get()), 70000u);
    EXPECT_EQ(n.view(), digits);
}

TEST(CellLayout, TextLeafFromBytesKeepsNulsAtAnyLength) {
    // Short and long (past 65,535) texts made from known-length bytes keep their NULs.
    for (size_t size : {size_t(5), size_t(100000)}) {
        std::string s = "[";
        s.append(size, 'x');
        s[2] = '\0';
        s += "]";
        CellRef t = from_bytes(s);
        EXPECT_EQ(t.view().size(), s.size());
        EXPECT_EQ(t.view(), s);
    }
    std::string moved = "[a";
    moved += '\0';
    moved += "b]";
    CellRef m = from_string(std::move(moved));
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(m.view().size(), 5u);
    // A number leaf made from bytes keeps the documented rule: no length above 65,535.
    std::string digits(70000, '1');
    EXPECT_EQ(field_bits(from_bytes(digits).get()), 0u);
}

TEST(CellLayout, BlobAndFloatTexts) {
    std::string blob = "(b)";
    blob += std::string("\0\1\2", 3);
    CellRef b = from_bytes(blob);
    EXPECT_EQ(b.view().size(), 6u);  // 'b' is digit value 3
    EXPECT_EQ(blob_length(b.get()), 3u);
    EXPECT_EQ(from_text("()").view(), "()");
    EXPECT_EQ(blob_length(from_text("()").get()), 0u);

    double d = 0.0;  // all zero bytes after the blank
    std::string f = " ";
    f.append(reinterpret_cast<const char*>(&d), 8);
    EXPECT_EQ(from_bytes(f).view().size(), 9u);
}

TEST(CellLayout, DigitAlphabet) {
    EXPECT_EQ(kDigits.size(), 64u);
    EXPECT_EQ(digit_value(','), 0);
    EXPECT_EQ(digit_value('_'), 1);
    EXPECT_EQ(digit_value('u'), 20);
    EXPECT_EQ(digit_value('s'), 21);
    EXPECT_EQ(digit_value('z'), 25);
    EXPECT_EQ(digit_value('x'), 26);
    EXPECT_EQ(digit_value('U'), 56);
    EXPECT_EQ(digit_value('S'), 57);
    EXPECT_EQ(digit_value('Z'), 61);
    EXPECT_EQ(digit_value('X'), 62);
    EXPECT_EQ(digit_value('Y'), 63);
    EXPECT_EQ(digit_value('!'), -1);
}

TEST(CellLayout, AnnotationSetterAndReaders) {
    CellRef c = from_text("g");
    set_annotation_value(c.get(), 3);
    set_annotation_flag(c.get(), true);
    EXPECT_EQ(annotation_value(c.get()), 3);
    EXPECT_TRUE(annotation_flag(c.get()));
    EXPECT_TRUE(is_leaf(c.get()));
    set_annotation_value(c.get(), -52);
    EXPECT_EQ(annotation_value(c.get()), -52);
    EXPECT_TRUE(annotation_flag(c.get()));  // the flag is left alone
    // -52 with the flag set is the data pattern: the arity reader says 1 for it.
    EXPECT_TRUE(is_data_annotation(c.get()));
    set_annotation_value(c.get(), 0);
    EXPECT_FALSE(is_data_annotation(c.get()));
    mark_data(c.get());
    EXPECT_TRUE(is_data_annotation(c.get()));
    set_field_bits(c.get(), (1u << 26) - 1);
    EXPECT_EQ(field_bits(c.get()), (1u << 26) - 1);
    EXPECT_EQ(ref_count(c.get()), 1u);
}

TEST(CellRefs, CopyMoveAssignCounts) {
    CellRef a = from_text("a");
    Cell* cell = a.get();
    {
        CellRef b = a;
        EXPECT_EQ(ref_count(cell), 2u);
        CellRef c = std::move(b);
        EXPECT_EQ(ref_count(cell), 2u);  // a move never touches the count
        EXPECT_FALSE(b);
        c = a;  // same cell: nothing happens
        EXPECT_EQ(ref_count(cell), 2u);
        CellRef& same = c;
        c = same;  // self-assignment too (through a reference, which compilers do not flag)
        EXPECT_EQ(ref_count(cell), 2u);
    }
    EXPECT_EQ(ref_count(cell), 1u);

    // Assigning a child over its only parent must keep the child alive.
    CellRef p = apply(from_text("l"), from_text("r"));
    p = p.left();
    EXPECT_EQ(p.view(), "l");
    EXPECT_EQ(ref_count(p.get()), 1u);
}

TEST(CellRefs, ApplyFormsShareAndConsume) {
    CellRef x = from_text("x");
    CellRef kept = apply(x, x);  // copying form
    EXPECT_EQ(ref_count(x.get()), 3u);
    CellRef three = apply3(from_text("a"), from_text("b"), from_text("c"), from_text("d"));
    EXPECT_EQ(three.right().view(), "d");
    EXPECT_EQ(three.left().right().view(), "c");
    EXPECT_EQ(three.left().left().right().view(), "b");
    EXPECT_EQ(three.left().left().left().view(), "a");
    CellRef two = apply2(std::move(x), from_text("y"), from_text("z"));
    EXPECT_FALSE(x);
    EXPECT_EQ(two.left().left().view(), "x");
}

TEST(CellRefs, ReleaseFreesOnlyWhatIsHeldThroughIt) {
    uint64_t before = cell_stats().live;
    CellRef shared = from_text("s");
    {
        CellRef tree = apply(apply(from_text("f"), shared), apply(shared, from_text("y")));
        EXPECT_EQ(ref_count(shared.get()), 3u);
        EXPECT_EQ(cell_stats().live, before + 6);
    }
    EXPECT_EQ(ref_count(shared.get()), 1u);
    EXPECT_EQ(cell_stats().live, before + 1);
}

TEST(CellRefs, FreeingTenMillionPairChainDoesNotRecurse) {
    // Runs on the test's ordinary thread stack: release must not recurse.
    uint64_t before = cell_stats().live;
    {
        CellRef chain = from_text("end");
        for (int i = 0; i < 10'000'000; ++i) chain = apply(std::move(chain), from_text("1"));
        CellRef right_chain = from_text("end");
        for (int i = 0; i < 1'000'000; ++i) right_chain = apply(from_text("K"), std::move(right_chain));
    }
    EXPECT_EQ(cell_stats().live, before);
}

TEST(CellRefs, LargeLeavesComeAndGo) {
    uint64_t before = cell_stats().live;
    for (int round = 0; round < 3; ++round) {
        std::string big(1 << 20, '5');
        CellRef n = from_bytes(big);
        EXPECT_EQ(n.view().size(), big.size());
        std::string text = "[" + std::string(300, 'q') + "]";
        CellRef t = from_bytes(text);
        EXPECT_EQ(t.view(), text);
    }
    EXPECT_EQ(cell_stats().live, before);
}

using CellDeathTest = ::testing::Test;

TEST(CellDeathTest, InvariantsAbortWithTheCoreMessage) {
    EXPECT_DEATH(set_annotation_value(from_text("x").get(), 12), "^ASSERTION FAILED:b:[0-9]+\n");
    EXPECT_DEATH(set_annotation_value(from_text("x").get(), -53), "^ASSERTION FAILED:b:[0-9]+\n");
    EXPECT_DEATH(set_field_bits(from_text("x").get(), 1u << 26), "ASSERTION FAILED:b:");
    EXPECT_DEATH(from_text("x").left(), "ASSERTION FAILED:b:");
    EXPECT_DEATH(from_text("(!)"), "ASSERTION FAILED:b:");  // '!' is no blob digit
    EXPECT_DEATH(
        {
            Cell* c = make_leaf("z");
            release(c);  // count is 0
        },
        "ASSERTION FAILED:b:");
    EXPECT_DEATH(
        {
            Cell* c = make_leaf("z");
            c->head |= hdr::kCount;
            retain(c);  // would wrap
        },
        "ASSERTION FAILED:b:");
}

TEST(AssertModule, NamedByTheFolderOfTheFile) {
    EXPECT_STREQ(module_of("/src/ruk/core/cell.h"), "b");
    EXPECT_STREQ(module_of("/src/ruk/lib/streams.cpp"), "l");
    EXPECT_STREQ(module_of("/src/ruk/driver/main.cpp"), "ruk");
    EXPECT_STREQ(module_of("/usr/lib/ruk/core/parse.cpp"), "b");
}

}  // namespace
