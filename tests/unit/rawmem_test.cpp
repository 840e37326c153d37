// Raw memory by address: the fixed-width readers and writers and copy, called through the
// builtin table on buffers of the test's own.
#include "lib/rawmem.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

#include "core/data.h"
#include "core/leaves.h"
#include "core/number.h"
#include "lib/table.h"
#include "tests/unit/builtin_calls.h"

using namespace ruk;

namespace {

using calls::addr;
using calls::call;
using calls::int_of;
using calls::num;
bool is_z(const CellRef& r) { return r.is("Z"); }

TEST(RawMemory, ReadersGiveEachWidthSignedOrNot) {
    // Unaligned on purpose: one byte in.
    alignas(8) unsigned char buf[16];
    for (int i = 0; i < 16; ++i) buf[i] = static_cast<unsigned char>(0xF0 + i);
    const unsigned char* p = buf + 1;
    auto expect = [&](const char* name, int64_t want) {
        EXPECT_EQ(int_of(call(name, {addr(p)})), want) << name;
    };
    uint64_t w;
    std::memcpy(&w, p, 8);
    expect("getx", 0xF1);
    expect("gety", int8_t(0xF1));
    expect("gett", 0xF2F1);
    expect("getv", int16_t(0xF2F1));
    expect("getu", 0xF4F3F2F1);
    expect("gets", int32_t(0xF4F3F2F1));
    expect("getw", int64_t(w));
    expect("getz", int64_t(w));

    unsigned char ff = 255;
    EXPECT_EQ(int_of(call("gety", {addr(&ff)})), -1);
    EXPECT_EQ(int_of(call("getx", {addr(&ff)})), 255);
    uint32_t top = 0xFFFFFFFF;
    EXPECT_EQ(int_of(call("getu", {addr(&top)})), 4294967295);
    EXPECT_EQ(int_of(call("gets", {addr(&top)})), -1);

    // The address in list form is the same address.
    EXPECT_EQ(int_of(call("getx", {list_from_bits(bits_from_value(addr(p).get()))})), 0xF1);
}

TEST(RawMemory, ReadersRefuseWhatIsNoAddress) {
    for (const char* name : {"getu", "gets", "gett", "getv", "getw", "getx", "gety", "getz"}) {
        EXPECT_TRUE(is_z(call(name, {num(0)}))) << name;  // the null pointer
        EXPECT_TRUE(is_z(call(name, {from_text("[abc]")}))) << name;
        EXPECT_TRUE(is_z(call(name, {from_text("0042")}))) << name;  // a binary float
        EXPECT_TRUE(is_z(call(name, {real_from_double(8.0)}))) << name;
        EXPECT_TRUE(is_z(call(name, {from_text("S")}))) << name;
    }
}

TEST(RawMemory, WritersStoreTheLowBitsAndNothingBeside) {
    unsigned char buf[12];
    auto fresh = [&] { std::memset(buf, 0xAA, sizeof buf); };
    auto untouched = [&](size_t from, size_t to) {
        for (size_t i = 0; i < sizeof buf; ++i)
            if (i < from || i >= to) {
                EXPECT_EQ(buf[i], 0xAA) << i;
            }
    };
    fresh();
    EXPECT_TRUE(call("setx", {addr(buf + 3), num(0x1234)}).same(leaves().I));
    EXPECT_EQ(buf[3], 0x34);
    untouched(3, 4);

    fresh();
    EXPECT_TRUE(call("sett", {addr(buf + 3), num(-2)}).same(leaves().I));
    EXPECT_EQ(buf[3], 0xFE);
    EXPECT_EQ(buf[4], 0xFF);
    untouched(3, 5);

    fresh();
    // 2^64 + 2^32 + 5: the low 32 bits are 5.
    EXPECT_TRUE(call("setu", {addr(buf + 1), from_text("18446744078004518917")}).same(leaves().I));
    uint32_t u;
    std::memcpy(&u, buf + 1, 4);
    EXPECT_EQ(u, 5u);
    untouched(1, 5);

    fresh();
    EXPECT_TRUE(call("setw", {addr(buf + 2), num(INT64_MIN + 7)}).same(leaves().I));
    int64_t w;
    std::memcpy(&w, buf + 2, 8);
    EXPECT_EQ(w, INT64_MIN + 7);
    untouched(2, 10);
    EXPECT_EQ(int_of(call("getw", {addr(buf + 2)})), INT64_MIN + 7);

    // Address first, value second; either wrong gives "Z" and writes nothing.
    fresh();
    for (const char* name : {"setu", "sett", "setw", "setx"}) {
        EXPECT_TRUE(is_z(call(name, {num(0), num(1)}))) << name;
        EXPECT_TRUE(is_z(call(name, {from_text("[a]"), num(1)}))) << name;
        EXPECT_TRUE(is_z(call(name, {addr(buf), from_text("[a]")}))) << name;
        EXPECT_TRUE(is_z(call(name, {addr(buf), real_from_double(1.0)}))) << name;
    }
    untouched(0, 0);
}

TEST(RawMemory, CopyWritesTheBytesOfEachKind) {
    char buf[32];
    auto fresh = [&] { std::memset(buf, '.', sizeof buf); };
    auto got = [&](size_t n) { return std::string(buf, n); };

    fresh();
    EXPECT_TRUE(call("copy", {make_blob(std::string_view("a\0b", 3)), addr(buf)}).same(leaves().I));
    EXPECT_EQ(got(4), std::string("a\0b.", 4));

    fresh();
    EXPECT_TRUE(call("copy", {real_from_double(-2.5), addr(buf)}).same(leaves().I));
    double d;
    std::memcpy(&d, buf, 8);
    EXPECT_EQ(d, -2.5);
    EXPECT_EQ(buf[8], '.');

    // Texts as they stand between the outer brackets: escapes are not decoded.
    fresh();
    EXPECT_TRUE(call("copy", {from_text("[a[p]b]"), addr(buf)}).same(leaves().I));
    EXPECT_EQ(got(7), "a[p]b..");
    fresh();
    CellRef pair = apply(from_text("[ab]"), from_text("[cd]"));
    EXPECT_TRUE(call("copy", {pair, addr(buf)}).same(leaves().I));
    EXPECT_EQ(got(8), "ab[cd]..");

    // Numbers as the bytes of their bit string: 5 is the elements H K H and the end
    // marker, 0b1010.
    fresh();
    EXPECT_TRUE(call("copy", {num(5), addr(buf)}).same(leaves().I));
    EXPECT_EQ(got(2), "\x0a.");
    fresh();
    EXPECT_TRUE(call("copy", {from_text("K"), addr(buf)}).same(leaves().I));
    EXPECT_EQ(got(2), "\x01.");

    fresh();
    EXPECT_TRUE(is_z(call("copy", {from_text("S"), addr(buf)})));
    EXPECT_TRUE(is_z(call("copy", {make_blob("ab"), num(0)})));
    EXPECT_TRUE(is_z(call("copy", {make_blob("ab"), from_text("[x]")})));
    EXPECT_EQ(got(2), "..");

    // Into its own bytes: a blob copied onto itself one byte further on.
    CellRef b = make_blob("abcd");
    const char* payload = blob_payload(b.get()).data();
    EXPECT_TRUE(call("copy", {b, addr(payload + 1)}).same(leaves().I));
    EXPECT_EQ(std::string(payload, 5), "aabcd");
}

}  // namespace
