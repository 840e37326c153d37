// C memory: the allocator and the byte-block functions, against the C library itself.
#include "lib/cmemory.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "builtin_calls.h"

using namespace ruk;
using namespace ruk::calls;

#ifdef __SANITIZE_ADDRESS__
// A failed allocation is a result here, as with the C library, not a sanitizer report.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

char* block_of(const CellRef& r) { return const_cast<char*>(ptr_of(r)); }

TEST(CMemory, AllocatorRoundTrip) {
    char* p = block_of(call("malloc", {num(64)}));
    ASSERT_NE(p, nullptr);
    std::memset(p, 'a', 64);  // all 64 bytes are there

    char* q = block_of(call("realloc", {addr(p), num(4096)}));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(std::string(q, 64), std::string(64, 'a'));  // the old bytes move along
    EXPECT_TRUE(is_unit(call("free", {addr(q)})));

    char* z = block_of(call("calloc", {num(16), num(8)}));
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(std::string(z, 128), std::string(128, '\0'));
    EXPECT_TRUE(is_unit(call("free", {addr(z)})));

    // realloc of 0 is malloc
    char* fresh = block_of(call("realloc", {num(0), num(10)}));
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(is_unit(call("free", {addr(fresh)})));
    EXPECT_TRUE(is_unit(call("free", {num(0)})));
}

TEST(CMemory, FailedAllocationsAreTheNullResultWithErrno) {
    program_errno = 0;
    EXPECT_EQ(int_of(call("malloc", {num(-1)})), 0);  // SIZE_MAX bytes
    EXPECT_EQ(program_errno_now(), ENOMEM);
    program_errno = 0;
    EXPECT_EQ(int_of(call("calloc", {num(INT64_MAX), num(16)})), 0);  // the product overflows
    EXPECT_EQ(program_errno_now(), ENOMEM);
    char* p = block_of(call("malloc", {num(8)}));
    std::memcpy(p, "kept", 5);
    EXPECT_EQ(int_of(call("realloc", {addr(p), num(-1)})), 0);
    EXPECT_STREQ(p, "kept");  // the block is still the program's
    std::free(p);
}

TEST(CMemory, ArgumentsMustBeIntegers) {
    const CellRef wrong[] = {make_blob("8"), from_text("[8]"), flt(8), from_text("008"),
                             from_text("x")};
    for (const CellRef& w : wrong) {
        EXPECT_TRUE(is_z(call("malloc", {w})));
        EXPECT_TRUE(is_z(call("free", {w})));  // no reaching an assertion in the conversion
        EXPECT_TRUE(is_z(call("calloc", {num(1), w})));
        EXPECT_TRUE(is_z(call("realloc", {w, num(1)})));
    }
    char buffer[4] = {1, 2, 3, 4};
    EXPECT_TRUE(is_z(call("memset", {make_blob("x"), num(0), num(4)})));
    EXPECT_TRUE(is_z(call("memset", {addr(buffer), from_text("[a]"), num(4)})));
    EXPECT_TRUE(is_z(call("memset", {addr(buffer), num(0), flt(4)})));
    EXPECT_TRUE(is_z(call("bzero", {addr(buffer), make_blob("4")})));
    EXPECT_EQ(std::string(buffer, 4), std::string("\1\2\3\4", 4));  // nothing written
}

TEST(CMemory, NullBlocksAreRefused) {
    char buffer[4] = {};
    for (const char* name : {"memcpy", "memmove", "memcmp"}) {
        EXPECT_TRUE(is_z(call(name, {num(0), addr(buffer), num(0)}))) << name;
        EXPECT_TRUE(is_z(call(name, {addr(buffer), num(0), num(0)}))) << name;
    }
    EXPECT_TRUE(is_z(call("memset", {num(0), num(0), num(0)})));
    EXPECT_TRUE(is_z(call("memchr", {num(0), num(0), num(0)})));
    EXPECT_TRUE(is_z(call("bzero", {num(0), num(0)})));
}

TEST(CMemory, FillAndZero) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(ptr_of(call("memset", {addr(buffer + 1), num(256 + 'x'), num(3)})), buffer + 1);
    EXPECT_EQ(std::string(buffer, 8), "#xxx####");  // the low byte, three of them
    EXPECT_TRUE(is_unit(call("bzero", {addr(buffer + 2), num(4)})));
    EXPECT_EQ(std::string(buffer, 8), std::string("#x\0\0\0\0##", 8));
    EXPECT_TRUE(is_unit(call("bzero", {addr(buffer), num(0)})));
    EXPECT_EQ(buffer[0], '#');
}

TEST(CMemory, CopiesAreSoundEvenWhenTheBlocksOverlap) {
    char buffer[16];
    std::memcpy(buffer, "0123456789", 11);
    char other[16] = {};
    EXPECT_EQ(ptr_of(call("memcpy", {addr(other), addr(buffer), num(11)})), other);
    EXPECT_STREQ(other, "0123456789");

    for (const char* name : {"memcpy", "memmove"}) {
        std::memcpy(buffer, "0123456789", 11);
        EXPECT_EQ(ptr_of(call(name, {addr(buffer + 2), addr(buffer), num(6)})), buffer + 2);
        EXPECT_STREQ(buffer, "0101234589") << name;
        std::memcpy(buffer, "0123456789", 11);
        (void)call(name, {addr(buffer), addr(buffer + 3), num(7)});
        EXPECT_STREQ(buffer, "3456789789") << name;
    }
}

TEST(CMemory, CompareAndSearchAgreeWithTheCLibrary) {
    const unsigned char a[] = {1, 2, 200, 4, 0, 9};
    const unsigned char b[] = {1, 2, 100, 4, 0, 8};
    for (int n = 0; n <= 6; ++n) {
        EXPECT_EQ(int_of(call("memcmp", {addr(a), addr(b), num(n)})), std::memcmp(a, b, n)) << n;
        EXPECT_EQ(int_of(call("memcmp", {addr(b), addr(a), num(n)})), std::memcmp(b, a, n)) << n;
    }
    EXPECT_GT(int_of(call("memcmp", {addr(a), addr(b), num(3)})), 0);  // bytes unsigned

    EXPECT_EQ(ptr_of(call("memchr", {addr(a), num(0), num(6)})),
              reinterpret_cast<const char*>(a + 4));  // zero bytes are bytes here
    EXPECT_EQ(ptr_of(call("memchr", {addr(a), num(200), num(6)})),
              reinterpret_cast<const char*>(a + 2));
    EXPECT_EQ(ptr_of(call("memchr", {addr(a), num(-56), num(6)})),
              reinterpret_cast<const char*>(a + 2));                  // converted to unsigned char
    EXPECT_EQ(int_of(call("memchr", {addr(a), num(9), num(5)})), 0);  // past the count
    EXPECT_EQ(int_of(call("memchr", {addr(a), num(1), num(0)})), 0);
}

TEST(CMemory, CallsLeaveNoCellsBehind) {
    (void)leaves();
    char buffer[8] = {};
    uint64_t live = cell_stats().live;
    for (int i = 0; i < 3; ++i) {
        (void)call("memset", {addr(buffer), num(1), num(8)});
        (void)call("memset", {addr(buffer), make_blob(""), num(8)});
        (void)call("free", {num(0)});
    }
    EXPECT_EQ(cell_stats().live, live);
}

}  // namespace
