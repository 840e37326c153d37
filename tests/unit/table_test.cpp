// The builtin table: its vocabulary, and the builtins of the small families (constants,
// process control, errno, the standard streams, character classes, abs).
#include "lib/table.h"
#include "tests/unit/builtin_calls.h"

#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <initializer_list>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/data.h"
#include "core/leaves.h"
#include "core/number.h"

using namespace ruk;

namespace {

// The vocabulary by arity: a different layout from the table's, so a slip in either shows.
const char* const kByArity[8] = {
    // 0
    "abort addrinfo af_unspec ai_passive dir dirent eacces ebadf econnaborted efault eintr "
    "einval eio emfile enfile enodev enomem enotsock enxio eopnotsupp eoverflow errno "
    "ewouldblock getchar rand rand_max sock_stream stderr stdout time_t tmpfile",
    // 1
    "abs acos asctime asin assert atan atof atoi atol buck ceil clearerr close closedir "
    "closesocket cos cosh ctime erf erfc exit exp fabs fclose feof ferror fflush fgetc fileno "
    "flip floor free freeaddrinfo ftell gai_strerror getc getenv gets gett getu getv getw "
    "getx gety getz gmtime htonl htons init isalnum isalpha isascii isblank isdigit isgraph "
    "islower isprint ispunct isspace isupper labs leaf leak left localtime log lord lots "
    "malloc mktime ntohl ntohs opendir perror putchar puts raise rank readdir real remove "
    "rewind rght rows sin sinh sqrt srand strdup strerror strlen system tail tan tanh tern "
    "time tmpnam toascii tolower toupper type wave",
    // 2 (fd_set: socket and set)
    "bzero calloc cats cent copy dash diff difftime fd_set fdopen fgetpos fmod fopen fputc "
    "fputs frexp fsetpos gethostname gteq hypot ldexp less listen look modf mult nextafter "
    "over plus pow powa putc raws realloc rename same setbuf sett setu setw setx shutdown "
    "strcasecmp strcat strchr strcmp strcpy strnlen strpbrk strrchr strspn strstr strtod "
    "strtok ungetc",
    // 3 (strtol and strtoul: string, end cell, base)
    "accept bind connect cork fgets fseek getpeername inet_pton into memchr memcmp memcpy "
    "memmove memset read socket strncasecmp strncat strncmp strncpy strtok_r strtol strtoul "
    "write",
    // 4
    "fread fwrite getaddrinfo inet_ntop recv send strftime",
    // 5
    "setsockopt",
    // 6
    "recvfrom sendto",
    // 7
    "getnameinfo",
};

std::vector<std::string> words(const char* text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// Calls a builtin through its table entry with the call cell the machine would build.
using calls::call;
using calls::num;
CellRef lit(const char* text) { return from_text(text); }

using calls::int_of;

// ---- the table itself ----------------------------------------------------------

TEST(BuiltinTable, HoldsTheVocabularyWithItsArities) {
    std::map<std::string, int> expected;
    for (int arity = 0; arity < 8; ++arity)
        for (const std::string& w : words(kByArity[arity]))
            EXPECT_TRUE(expected.emplace(w, arity).second) << w << " twice";
    ASSERT_EQ(expected.size(), 224u);

    std::map<std::string, int> actual;
    for (const auto& [name, e] : builtin_table()) {
        actual.emplace(name, e.arity);
        EXPECT_NE(e.implementation, nullptr) << name;
    }
    EXPECT_EQ(actual, expected);
}

TEST(BuiltinTable, BuiltOnceKeptAndRebuiltAfterReset) {
    const BuiltinTable* first = &builtin_table();
    BuiltinTable copy = *first;
    EXPECT_EQ(&builtin_table(), first);
    reset_builtin_table();
    const BuiltinTable& again = builtin_table();
    ASSERT_EQ(again.size(), copy.size());
    for (const auto& [name, e] : copy) {
        EXPECT_EQ(again.at(name).arity, e.arity);
        EXPECT_EQ(again.at(name).implementation, e.implementation) << name;
    }
}

TEST(BuiltinTable, OnlyEqualConstantsShareAnImplementation) {
    std::map<BuiltinFn, std::vector<std::string>> by_fn;
    for (const auto& [name, e] : builtin_table())
        by_fn[e.implementation].push_back(name);
    std::vector<std::vector<std::string>> shared;
    for (const auto& [fn, names] : by_fn)
        if (names.size() > 1) shared.push_back(names);
    // Two equal constants, and the two names of the 64-bit reader.
    EXPECT_EQ(std::set<std::vector<std::string>>(shared.begin(), shared.end()),
              (std::set<std::vector<std::string>>{{"ai_passive", "sock_stream"},
                                                  {"getw", "getz"}}));
}

// ---- constants -----------------------------------------------------------------

TEST(Constants, AreTheHostsValues) {
    const std::pair<const char*, int64_t> host[] = {
        {"addrinfo", sizeof(struct addrinfo)},
        {"af_unspec", AF_UNSPEC},
        {"ai_passive", AI_PASSIVE},
        {"sock_stream", SOCK_STREAM},
        {"rand_max", RAND_MAX},
        {"time_t", sizeof(time_t)},
        {"eacces", EACCES},
        {"ebadf", EBADF},
        {"econnaborted", ECONNABORTED},
        {"efault", EFAULT},
        {"eintr", EINTR},
        {"einval", EINVAL},
        {"eio", EIO},
        {"emfile", EMFILE},
        {"enfile", ENFILE},
        {"enodev", ENODEV},
        {"enomem", ENOMEM},
        {"enotsock", ENOTSOCK},
        {"enxio", ENXIO},
        {"eopnotsupp", EOPNOTSUPP},
        {"eoverflow", EOVERFLOW},
        {"ewouldblock", EWOULDBLOCK},
        {"dir", 304},
        {"dirent", 296},
    };
    for (const auto& [name, value] : host) EXPECT_EQ(int_of(call(name)), value) << name;
    // What the host really has, written out, so that a change of macro would show.
    EXPECT_EQ(int_of(call("econnaborted")), 103);
    EXPECT_EQ(int_of(call("enotsock")), 88);
    EXPECT_EQ(int_of(call("eopnotsupp")), 95);
    EXPECT_EQ(int_of(call("eoverflow")), 75);
    EXPECT_EQ(int_of(call("ewouldblock")), 11);
    EXPECT_EQ(int_of(call("ai_passive")), 1);
    EXPECT_EQ(int_of(call("sock_stream")), 1);
    EXPECT_EQ(int_of(call("af_unspec")), 0);
    EXPECT_EQ(call("af_unspec").view(), "0");
}

// ---- process -------------------------------------------------------------------

TEST(Process, ExitEndsWithTheLowBitsOfAnIntegerAndRefusesTheRest) {
    EXPECT_EXIT((void)call("exit", {num(7)}), testing::ExitedWithCode(7), "^$");
    EXPECT_EXIT((void)call("exit", {num(256 + 3)}), testing::ExitedWithCode(3), "^$");
    EXPECT_EXIT((void)call("exit", {leaves().K}), testing::ExitedWithCode(0), "^$");  // K is 0
    // Output written before is flushed, as by the C exit.
    EXPECT_EXIT(
        {
            std::fputs("bye", stderr);
            (void)call("exit", {num(2)});
        },
        testing::ExitedWithCode(2), "^bye$");
    EXPECT_TRUE(call("exit", {from_text("[7]")}).same(leaves().Z));
    EXPECT_TRUE(call("exit", {real_from_double(7.0)}).same(leaves().Z));
    EXPECT_TRUE(call("exit", {lit("007")}).same(leaves().Z));  // a binary float
    EXPECT_TRUE(call("exit", {leaves().H}).same(leaves().Z));
}

TEST(Process, AbortEndsWithTheAbortSignal) {
    EXPECT_EXIT((void)call("abort"), testing::KilledBySignal(SIGABRT), "^$");
}

// The line of the library assertion in lib/process.cpp, read from the source.
int library_assertion_line() {
    std::ifstream in(std::string(RUK_SOURCE_DIR) + "/lib/process.cpp");
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
        if (line.find("library_assertion_failed(") != std::string::npos) return n;
    ADD_FAILURE() << "no library assertion in lib/process.cpp";
    return 0;
}

TEST(Process, AssertPassesTrueStopsAtFalseAndRefusesTheRest) {
    EXPECT_TRUE(call("assert", {leaves().K}).same(leaves().I));
    EXPECT_TRUE(call("assert", {from_text("K")}).same(leaves().I));  // any leaf "K"
    EXPECT_TRUE(call("assert", {num(1)}).same(leaves().Z));
    EXPECT_TRUE(call("assert", {num(0)}).same(leaves().Z));
    EXPECT_TRUE(call("assert", {from_text("[K]")}).same(leaves().Z));
    EXPECT_TRUE(call("assert", {apply(leaves().K, leaves().H)}).same(leaves().Z));

    std::string message =
        "^LIBS ASSERTION FAILED: l:" + std::to_string(library_assertion_line()) + "\n$";
    EXPECT_EXIT((void)call("assert", {leaves().H}), testing::KilledBySignal(SIGABRT), message);
}

TEST(Process, ErrnoIsWhatTheProgramsLastCCallLeft) {
    // raise of no signal fails with EINVAL
    EXPECT_EQ(int_of(call("raise", {num(-5)})), -1);
    errno = ERANGE;  // the interpreter's own work in between
    EXPECT_EQ(int_of(call("errno")), EINVAL);
    EXPECT_EQ(int_of(call("raise", {num(0)})), 0);  // signal 0 succeeds, errno stays
    EXPECT_EQ(int_of(call("errno")), EINVAL);
    EXPECT_EQ(int_of(call("raise", {num((int64_t(1) << 32) - 5)})), -1);  // low 32 bits: -5
    EXPECT_TRUE(call("raise", {from_text("[2]")}).same(leaves().Z));
}

TEST(Process, StandardStreamsAreTheCStreams) {
    EXPECT_EQ(uint64_t(int_of(call("stdout"))), reinterpret_cast<uintptr_t>(stdout));
    EXPECT_EQ(uint64_t(int_of(call("stderr"))), reinterpret_cast<uintptr_t>(stderr));
    EXPECT_NE(int_of(call("stdout")), 0);
}

TEST(Process, PutcharWritesTheLowByteAndGetcharEndsWithMinusOne) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(int_of(call("putchar", {num('A' + 256)})), 'A');
    EXPECT_EQ(int_of(call("putchar", {num(-1)})), 255);
    EXPECT_EQ(int_of(call("putchar", {lit("10")})), '\n');
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "A\xff\n");
    EXPECT_TRUE(call("putchar", {make_blob("A")}).same(leaves().Z));

    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    EXPECT_EQ(int_of(call("getchar")), -1);
    EXPECT_EQ(call("getchar").view(), "01");
}

TEST(Process, RandFollowsSrandLikeTheCLibrary) {
    EXPECT_TRUE(call("srand", {num(12345)}).same(leaves().I));
    int64_t a = int_of(call("rand")), b = int_of(call("rand"));
    std::srand(12345);
    EXPECT_EQ(a, std::rand());
    EXPECT_EQ(b, std::rand());
    // the seed is an unsigned int: the low 32 bits of the integer
    EXPECT_TRUE(call("srand", {num((int64_t(1) << 32) + 12345)}).same(leaves().I));
    EXPECT_EQ(int_of(call("rand")), a);
    EXPECT_TRUE(call("srand", {real_from_double(1.0)}).same(leaves().Z));
}

// ---- character classes and small integer functions --------------------------------

TEST(Chars, AbsCoversTheFullSigned64BitRange) {
    EXPECT_EQ(call("abs", {num(5)}).view(), "5");
    EXPECT_EQ(call("abs", {num(-5)}).view(), "5");
    EXPECT_EQ(call("abs", {num(0)}).view(), "0");
    EXPECT_EQ(call("abs", {num(INT64_MAX)}).view(), "9223372036854775807");
    EXPECT_EQ(call("abs", {num(-INT64_MAX)}).view(), "9223372036854775807");
    EXPECT_EQ(call("abs", {num(INT64_MIN)}).view(), "09223372036854775808");
    EXPECT_EQ(call("abs", {lit("18446744073709551619")}).view(), "3");  // modulo 2^64
    EXPECT_EQ(call("abs", {leaves().K}).view(), "0");
    EXPECT_TRUE(call("abs", {from_text("[5]")}).same(leaves().Z));
    EXPECT_TRUE(call("abs", {real_from_double(-5)}).same(leaves().Z));
}

TEST(Chars, LabsWorksOnTheLow32BitsAsSigned) {
    EXPECT_EQ(call("labs", {num(-7)}).view(), "7");
    EXPECT_EQ(call("labs", {num(-2147483647)}).view(), "2147483647");
    EXPECT_EQ(call("labs", {num(-2147483648)}).view(), "02147483648");
    EXPECT_EQ(call("labs", {num(2147483648)}).view(), "02147483648");  // wraps to the minimum
    EXPECT_EQ(call("labs", {num(4294967295)}).view(), "1");            // -1
    EXPECT_EQ(call("labs", {num((int64_t(1) << 32) + 7)}).view(), "7");
    EXPECT_EQ(call("labs", {num(INT64_MIN)}).view(), "0");
    EXPECT_TRUE(call("labs", {make_blob("x")}).same(leaves().Z));
}

TEST(Chars, ToasciiAndIsascii) {
    EXPECT_EQ(int_of(call("toascii", {num(200)})), 72);
    EXPECT_EQ(int_of(call("toascii", {num(-1)})), 127);
    EXPECT_EQ(int_of(call("toascii", {num(65)})), 65);
    EXPECT_EQ(int_of(call("toascii", {num(INT64_MIN)})), 0);
    EXPECT_TRUE(call("toascii", {from_text("[A]")}).same(leaves().Z));

    EXPECT_TRUE(call("isascii", {num(127)}).same(leaves().K));
    EXPECT_TRUE(call("isascii", {num(0)}).same(leaves().K));
    EXPECT_TRUE(call("isascii", {num(128)}).same(leaves().H));
    EXPECT_TRUE(call("isascii", {num(-1)}).same(leaves().H));
    EXPECT_TRUE(call("isascii", {num((int64_t(1) << 32) + 5)}).same(leaves().K));
    EXPECT_TRUE(call("isascii", {from_text("[a]")}).same(leaves().Z));
}

struct CharTest {
    const char* name;
    int (*c)(int);
};
const CharTest kTests[] = {
    {"isalnum", ::isalnum}, {"isalpha", ::isalpha}, {"isblank", ::isblank}, {"isdigit", ::isdigit},
    {"isgraph", ::isgraph}, {"islower", ::islower}, {"isprint", ::isprint}, {"ispunct", ::ispunct},
    {"isspace", ::isspace}, {"isupper", ::isupper},
};

TEST(Chars, TestsAgreeWithTheCLibraryOnItsDomainAndAreFalseOutside) {
    for (const CharTest& t : kTests) {
        for (int c = -1; c <= 255; ++c)
            EXPECT_TRUE(call(t.name, {num(c)}).same(leaf_bool(t.c(c) != 0))) << t.name << ' ' << c;
        for (int64_t c : {int64_t(256), int64_t(-2), int64_t(-129), int64_t(INT_MIN),
                          int64_t(INT_MAX), int64_t(1) << 40, INT64_MIN})
            EXPECT_TRUE(call(t.name, {num(c)}).same(leaves().H)) << t.name << ' ' << c;
        // the int is the low 32 bits: 2^32 + 'A' is 'A'
        EXPECT_TRUE(call(t.name, {num((int64_t(1) << 32) + 'A')}).same(leaf_bool(t.c('A') != 0)));
        EXPECT_TRUE(call(t.name, {from_text("[A]")}).same(leaves().Z)) << t.name;
        EXPECT_TRUE(call(t.name, {from_text("A")}).same(leaves().Z)) << t.name;
    }
    EXPECT_TRUE(call("isalpha", {num('q')}).same(leaves().K));
    EXPECT_TRUE(call("isdigit", {num('q')}).same(leaves().H));
}

TEST(Chars, CaseMappingsAgreeWithTheCLibraryAndKeepOtherValues) {
    for (int c = -1; c <= 255; ++c) {
        EXPECT_EQ(int_of(call("tolower", {num(c)})), ::tolower(c)) << c;
        EXPECT_EQ(int_of(call("toupper", {num(c)})), ::toupper(c)) << c;
    }
    EXPECT_EQ(int_of(call("toupper", {num('a')})), 'A');
    EXPECT_EQ(int_of(call("tolower", {num('Q')})), 'q');
    for (int64_t c : {int64_t(256), int64_t(-2), int64_t(INT_MIN), int64_t(INT_MAX)}) {
        EXPECT_EQ(int_of(call("tolower", {num(c)})), c);
        EXPECT_EQ(int_of(call("toupper", {num(c)})), c);
    }
    EXPECT_EQ(int_of(call("toupper", {num((int64_t(1) << 32) + 'a')})), 'A');
    EXPECT_TRUE(call("toupper", {from_text("[a]")}).same(leaves().Z));
}

}  // namespace
