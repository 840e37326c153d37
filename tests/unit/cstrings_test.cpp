// C strings, the integer conversions of strings and the environment, against the C
// library itself.
#include "lib/cstrings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "builtin_calls.h"

using namespace ruk;
using namespace ruk::calls;

namespace {

int sign(int v) { return (v > 0) - (v < 0); }

// Texts whose comparisons reach every branch: prefixes, high bytes, case, the empty text.
const std::vector<std::string> kTexts = {"",    "a",    "abc",  "abd",     "ab", "ABC",
                                         "aBd", "\xff", "\x7f", "abc\xe9", "zz", "Abc"};

TEST(CStrings, StrcmpIsMinusOneZeroOrOneByUnsignedBytes) {
    EXPECT_EQ(int_of(call("strcmp", {make_blob("abc"), make_blob("abd")})), -1);
    EXPECT_EQ(int_of(call("strcmp", {make_blob("abd"), make_blob("abc")})), 1);
    EXPECT_EQ(int_of(call("strcmp", {make_blob("abc"), make_blob("abc")})), 0);
    EXPECT_EQ(int_of(call("strcmp", {make_blob("\xff"), make_blob("a")})), 1);  // unsigned
    EXPECT_EQ(int_of(call("strcmp", {make_blob("ab"), make_blob("abc")})), -1);
    EXPECT_EQ(int_of(call("strcmp", {make_blob(std::string("a\0x", 3)), make_blob("a")})), 0);
    EXPECT_EQ(int_of(call("strcmp", {from_text("[abc]"), make_blob("[abc]")})), 0);
    for (const std::string& a : kTexts)
        for (const std::string& b : kTexts)
            EXPECT_EQ(int_of(call("strcmp", {make_blob(a), make_blob(b)})),
                      sign(std::strcmp(a.c_str(), b.c_str())))
                << a << " / " << b;
    EXPECT_TRUE(is_z(call("strcmp", {make_blob("a"), num(0)})));
    EXPECT_TRUE(is_z(call("strcmp", {flt(1), make_blob("a")})));
}

TEST(CStrings, BoundedAndCaseBlindComparisonsAreTheCLibrarys) {
    for (const std::string& a : kTexts)
        for (const std::string& b : kTexts) {
            const char *x = a.c_str(), *y = b.c_str();
            EXPECT_EQ(int_of(call("strcasecmp", {make_blob(a), make_blob(b)})), ::strcasecmp(x, y));
            for (int n : {0, 1, 2, 3, 10}) {
                EXPECT_EQ(int_of(call("strncmp", {make_blob(a), make_blob(b), num(n)})),
                          std::strncmp(x, y, n));
                EXPECT_EQ(int_of(call("strncasecmp", {make_blob(a), make_blob(b), num(n)})),
                          ::strncasecmp(x, y, n));
            }
        }
    EXPECT_EQ(int_of(call("strcasecmp", {make_blob("HeLLo"), make_blob("hello")})), 0);
    EXPECT_EQ(int_of(call("strncmp", {make_blob("abcX"), make_blob("abcY"), num(3)})), 0);
    EXPECT_TRUE(is_z(call("strncmp", {make_blob("a"), make_blob("a"), make_blob("1")})));
}

TEST(CStrings, LengthsCountTheCStringView) {
    EXPECT_EQ(int_of(call("strlen", {from_text("[abc]")})), 5);  // brackets and all
    EXPECT_EQ(int_of(call("strlen", {make_blob("abc")})), 3);
    EXPECT_EQ(int_of(call("strlen", {make_blob(std::string("ab\0c", 4))})), 2);
    EXPECT_EQ(int_of(call("strlen", {make_blob("")})), 0);
    std::string long_text(100000, 'x');
    EXPECT_EQ(int_of(call("strlen", {addr(long_text.c_str())})), 100000);
    EXPECT_EQ(int_of(call("strnlen", {make_blob("abcdef"), num(4)})), 4);
    EXPECT_EQ(int_of(call("strnlen", {make_blob("ab"), num(4)})), 2);
    EXPECT_EQ(int_of(call("strnlen", {make_blob("ab"), num(-1)})), 2);  // no limit
    const char unterminated[3] = {'x', 'y', 'z'};
    EXPECT_EQ(int_of(call("strnlen", {addr(unterminated), num(3)})), 3);
    EXPECT_TRUE(is_z(call("strlen", {num(0)})));
    EXPECT_TRUE(is_z(call("strlen", {apply(from_text("[a]"), from_text("[b]"))})));
    EXPECT_TRUE(is_z(call("strnlen", {make_blob("ab"), flt(1)})));
}

TEST(CStrings, SearchesGiveAddressesIntoTheirStringOrZero) {
    CellRef s = make_blob("hello world");
    const char* p = blob_payload(s.get()).data();
    EXPECT_EQ(ptr_of(call("strchr", {s, num('o')})), p + 4);
    EXPECT_EQ(ptr_of(call("strrchr", {s, num('o')})), p + 7);
    EXPECT_EQ(ptr_of(call("strchr", {s, num(0)})), p + 11);         // the terminator is found
    EXPECT_EQ(ptr_of(call("strchr", {s, num(256 + 'w')})), p + 6);  // C's conversion to char
    EXPECT_EQ(int_of(call("strchr", {s, num('q')})), 0);
    EXPECT_EQ(ptr_of(call("strstr", {s, make_blob("wor")})), p + 6);
    EXPECT_EQ(ptr_of(call("strstr", {s, make_blob("")})), p);
    EXPECT_EQ(int_of(call("strstr", {s, make_blob("word")})), 0);
    EXPECT_EQ(ptr_of(call("strpbrk", {s, make_blob("rw")})), p + 6);
    EXPECT_EQ(int_of(call("strpbrk", {s, make_blob("xyz")})), 0);
    EXPECT_EQ(int_of(call("strspn", {s, make_blob("leh")})), 4);
    EXPECT_EQ(int_of(call("strspn", {s, make_blob("")})), 0);
    EXPECT_TRUE(is_z(call("strchr", {s, make_blob("o")})));
    EXPECT_TRUE(is_z(call("strstr", {s, num(0)})));
}

TEST(CStrings, CopiesAndAppendsWriteTheDestination) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(ptr_of(call("strcpy", {addr(buffer), make_blob("abc")})), buffer);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(buffer[4], '#');
    EXPECT_EQ(ptr_of(call("strcat", {addr(buffer), from_text("[de]")})), buffer);
    EXPECT_STREQ(buffer, "abc[de]");
    EXPECT_EQ(ptr_of(call("strncat", {addr(buffer), make_blob("xyz"), num(2)})), buffer);
    EXPECT_STREQ(buffer, "abc[de]xy");

    char target[8];
    std::memset(target, '#', sizeof target);
    const char source[] = "hi";
    EXPECT_EQ(ptr_of(call("strncpy", {addr(target), addr(source), num(5)})), target);
    EXPECT_EQ(std::string(target, 6), std::string("hi\0\0\0#", 6));  // padded to the count
    // strncpy reads from an address, not a string value
    EXPECT_TRUE(is_z(call("strncpy", {addr(target), make_blob("hi"), num(5)})));

    // the destination is an address: no values, no null
    CellRef blob = make_blob("keep");
    EXPECT_TRUE(is_z(call("strcpy", {blob, make_blob("x")})));
    EXPECT_TRUE(is_z(call("strcpy", {num(0), make_blob("x")})));
    EXPECT_TRUE(is_z(call("strcat", {from_text("[ab]"), make_blob("x")})));
    EXPECT_EQ(blob_payload(blob.get()), "keep");
}

TEST(CStrings, StrdupGivesAFreshCopyForTheProgramToFree) {
    CellRef r = call("strdup", {make_blob("copy me")});
    char* copy = const_cast<char*>(ptr_of(r));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "copy me");
    std::free(copy);
    EXPECT_TRUE(is_z(call("strdup", {num(0)})));
}

TEST(CStrings, StrtolIsA32BitLongClampedWithErange) {
    char* end = nullptr;
    const char text[] = "  -123xyz";
    program_errno = 0;
    EXPECT_EQ(int_of(call("strtol", {addr(text), addr(&end), num(10)})), -123);
    EXPECT_EQ(end, text + 6);
    EXPECT_EQ(program_errno_now(), 0);

    const char hex[] = "0x7fffffff";
    EXPECT_EQ(int_of(call("strtol", {addr(hex), addr(&end), num(0)})), INT32_MAX);
    EXPECT_EQ(program_errno_now(), 0);
    EXPECT_EQ(int_of(call("strtol", {make_blob("-2147483648"), num(0), num(10)})), INT32_MIN);
    EXPECT_EQ(program_errno_now(), 0);

    const char over[] = "2147483648!";
    EXPECT_EQ(int_of(call("strtol", {addr(over), addr(&end), num(10)})), INT32_MAX);
    EXPECT_EQ(end, over + 10);  // every digit is read
    EXPECT_EQ(program_errno_now(), ERANGE);
    program_errno = 0;
    EXPECT_EQ(int_of(call("strtol", {make_blob("-2147483649"), num(0), num(10)})), INT32_MIN);
    EXPECT_EQ(program_errno_now(), ERANGE);
    program_errno = 0;
    EXPECT_EQ(int_of(call("strtol", {make_blob("99999999999999999999999"), num(0), num(10)})),
              INT32_MAX);
    EXPECT_EQ(program_errno_now(), ERANGE);

    // bases, and a base C rejects
    EXPECT_EQ(int_of(call("strtol", {make_blob("zz"), num(0), num(36)})), 35 * 36 + 35);
    EXPECT_EQ(int_of(call("strtol", {make_blob("0777"), num(0), num(0)})), 0777);
    program_errno = 0;
    EXPECT_EQ(int_of(call("strtol", {make_blob("10"), num(0), num(1)})), 0);
    EXPECT_EQ(program_errno_now(), EINVAL);

    // argument checks: string, then the end cell, then the base
    EXPECT_TRUE(is_z(call("strtol", {num(0), addr(&end), num(10)})));
    EXPECT_TRUE(is_z(call("strtol", {make_blob("1"), make_blob(""), num(10)})));
    EXPECT_TRUE(is_z(call("strtol", {make_blob("1"), num(0), from_text("[10]")})));
}

TEST(CStrings, StrtoulConvertsAsStrtolDoes) {
    for (const char* t : {"4294967295", "2147483647", "-1", "0", "12abc", "-4294967296", "x"}) {
        char *end1 = nullptr, *end2 = nullptr;
        program_errno = 0;
        int64_t a = int_of(call("strtol", {addr(t), addr(&end1), num(0)}));
        int e1 = program_errno_now();
        program_errno = 0;
        int64_t b = int_of(call("strtoul", {addr(t), addr(&end2), num(0)}));
        EXPECT_EQ(a, b) << t;
        EXPECT_EQ(end1, end2) << t;
        EXPECT_EQ(e1, program_errno_now()) << t;
    }
    EXPECT_EQ(int_of(call("strtoul", {make_blob("4294967295"), num(0), num(10)})), 2147483647);
    EXPECT_EQ(int_of(call("strtoul", {make_blob("-1"), num(0), num(10)})), -1);
}

TEST(CStrings, AtoiAndAtol) {
    for (const char* t : {"42", "  -17 apples", "", "x1", "+8", "2147483647", "-2147483648"}) {
        EXPECT_EQ(int_of(call("atoi", {make_blob(t)})), std::atoi(t)) << t;
        EXPECT_EQ(int_of(call("atol", {make_blob(t)})), std::atol(t)) << t;
    }
    EXPECT_EQ(int_of(call("atoi", {from_text("[42]")})), 0);  // the "[" stops it
    // atoi is the C library's int; atol is a 32-bit long, clamped
    EXPECT_EQ(int_of(call("atoi", {make_blob("4294967297")})), std::atoi("4294967297"));
    program_errno = 0;
    EXPECT_EQ(int_of(call("atol", {make_blob("4294967297")})), INT32_MAX);
    EXPECT_EQ(program_errno_now(), ERANGE);
    EXPECT_EQ(int_of(call("atol", {make_blob("-3000000000")})), INT32_MIN);
    EXPECT_TRUE(is_z(call("atoi", {flt(4)})));
    EXPECT_TRUE(is_z(call("atol", {num(0)})));
}

// The tokens of a strtok run, as texts.
std::vector<std::string> tokens_of(CellRef text, const char* delimiters) {
    std::vector<std::string> out;
    CellRef r = call("strtok", {std::move(text), make_blob(delimiters)});
    while (int_of(r) != 0) {
        out.push_back(ptr_of(r));
        r = call("strtok", {num(0), make_blob(delimiters)});
    }
    return out;
}

TEST(CStrings, StrtokCutsACopyAndGoesOnWithZero) {
    CellRef blob = make_blob(",,one,two;;three,");
    EXPECT_EQ(tokens_of(blob, ",;"), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(blob_payload(blob.get()), ",,one,two;;three,");  // the cell is never written

    // memory behind an address is not written either
    char mine[] = "a b";
    EXPECT_EQ(tokens_of(addr(mine), " "), (std::vector<std::string>{"a", "b"}));
    EXPECT_STREQ(mine, "a b");

    // at the end it stays at the end
    EXPECT_EQ(int_of(call("strtok", {num(0), make_blob(",")})), 0);
    EXPECT_EQ(tokens_of(make_blob(""), ","), std::vector<std::string>{});
    EXPECT_EQ(tokens_of(make_blob(",,,"), ","), std::vector<std::string>{});

    // the delimiters may change between calls, and may be a token of the text being replaced
    CellRef first = call("strtok", {make_blob("x-y z"), make_blob("-")});
    EXPECT_STREQ(ptr_of(first), "x");
    EXPECT_STREQ(ptr_of(call("strtok", {num(0), make_blob(" ")})), "y");
    CellRef second = call("strtok", {make_blob("axb"), first});
    EXPECT_STREQ(ptr_of(second), "a");
    EXPECT_STREQ(ptr_of(call("strtok", {num(0), make_blob("x")})), "b");

    EXPECT_TRUE(is_z(call("strtok", {make_blob("a"), num(0)})));
    EXPECT_TRUE(is_z(call("strtok", {flt(1), make_blob(",")})));
}

TEST(CStrings, StrtokWithZeroBeforeAnyTextGivesZero) {
    // a process of its own, started afresh, so that no earlier text is in progress
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CellRef r = call("strtok", {num(0), make_blob(",")});
            std::exit(int_of(r) == 0 ? 3 : 4);
        },
        testing::ExitedWithCode(3), "");
}

TEST(CStrings, StrtokRKeepsEachContextApart) {
    char* one = nullptr;
    char* two = nullptr;
    CellRef a = call("strtok_r", {make_blob("a1 a2 a3"), make_blob(" "), addr(&one)});
    CellRef b = call("strtok_r", {make_blob("b1,b2"), make_blob(","), addr(&two)});
    EXPECT_STREQ(ptr_of(a), "a1");
    EXPECT_STREQ(ptr_of(b), "b1");
    EXPECT_STREQ(ptr_of(call("strtok_r", {num(0), make_blob(" "), addr(&one)})), "a2");
    EXPECT_STREQ(ptr_of(call("strtok_r", {num(0), make_blob(","), addr(&two)})), "b2");
    EXPECT_STREQ(ptr_of(a), "a1");  // the first text's copy is still there
    EXPECT_STREQ(ptr_of(call("strtok_r", {num(0), make_blob(" "), addr(&one)})), "a3");
    EXPECT_EQ(int_of(call("strtok_r", {num(0), make_blob(" "), addr(&one)})), 0);
    EXPECT_EQ(int_of(call("strtok_r", {num(0), make_blob(","), addr(&two)})), 0);

    // a context that holds 0 has no text to go on in
    char* empty = nullptr;
    EXPECT_EQ(int_of(call("strtok_r", {num(0), make_blob(" "), addr(&empty)})), 0);
    EXPECT_TRUE(is_z(call("strtok_r", {make_blob("a"), make_blob(" "), num(0)})));
    EXPECT_TRUE(is_z(call("strtok_r", {make_blob("a"), make_blob(" "), make_blob("ctx")})));
}

TEST(CStrings, StrerrorGetenvAndSystem) {
    EXPECT_STREQ(ptr_of(call("strerror", {num(EINVAL)})), std::strerror(EINVAL));
    // an unknown code's text lives only until the next strerror: keep a copy
    std::string unknown = ptr_of(call("strerror", {num(123456)}));
    EXPECT_EQ(unknown, std::strerror(123456));
    EXPECT_TRUE(is_z(call("strerror", {make_blob("22")})));

    ASSERT_EQ(::setenv("RUK_CLIB_PROBE", "value here", 1), 0);
    EXPECT_STREQ(ptr_of(call("getenv", {make_blob("RUK_CLIB_PROBE")})), "value here");
    EXPECT_EQ(int_of(call("getenv", {make_blob("RUK_CLIB_NOT_SET_ANYWHERE")})), 0);
    EXPECT_EQ(int_of(call("getenv", {from_text("[RUK_CLIB_PROBE]")})), 0);  // brackets and all
    EXPECT_TRUE(is_z(call("getenv", {num(0)})));

    EXPECT_EQ(int_of(call("system", {make_blob("exit 3")})), std::system("exit 3"));
    EXPECT_NE(int_of(call("system", {make_blob("exit 3")})), 0);
    EXPECT_EQ(int_of(call("system", {make_blob("true")})), 0);
    EXPECT_NE(int_of(call("system", {num(0)})), 0);  // there is a shell
    EXPECT_TRUE(is_z(call("system", {flt(0)})));
}

TEST(CStrings, CallsLeaveNoCellsBehind) {
    (void)leaves();
    CellRef text = make_blob("a,b"), comma = make_blob(",");
    uint64_t live = cell_stats().live;
    for (int i = 0; i < 3; ++i) {
        (void)call("strcmp", {text, comma});
        (void)call("strtok", {text, comma});
        (void)call("strtok", {num(0), comma});
        (void)call("strlen", {num(0)});
    }
    EXPECT_EQ(cell_stats().live, live);
}

}  // namespace
