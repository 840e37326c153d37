// Program start on whole programs: the "Range" report of a value too big to print, and
// programs whose brackets nest a million deep, run as the driver runs them.
#include "core/start.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/compile.h"
#include "core/parse.h"
#include "core/print.h"
#include "core/stack.h"

using namespace ruk;

namespace {

char* fake_argv[] = {const_cast<char*>("ruk"), const_cast<char*>("test.ruk"), nullptr};

const std::string kRange = "The program must return an integer. Instead we encountered:\n";

// Compiles and runs a program on the big stack; the report, and the result in `value`.
Report started(const std::string& program, std::string* value = nullptr) {
    Report r;
    run_on_big_stack([&] {
        initialise();
        r = compile(program);
        if (r.ok()) r = run_program(fake_argv);
        if (r.ok() && value) *value = print_term(program_result());
        return 0;
    });
    return r;
}

std::string repeat(std::string_view piece, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += piece;
    return s;
}

TEST(RangeReport, ASharedValueTooBigToPrintIsCut) {
    // dd x = V x x, thirty times over: 2^30 leaves in 31 pairs of cells
    Report r = started("a\\" + repeat("dd(", 30) + "K" + repeat(")", 30) + ",dd\\x\\V x x");
    ASSERT_EQ(r.type, ReportType::Range);
    ASSERT_EQ(r.text.size(), kRange.size() + kPrintLimit + kCutMarker.size());
    EXPECT_EQ(r.text.substr(0, kRange.size() + 9), kRange + "(V (V (V ");
    EXPECT_EQ(r.text.substr(r.text.size() - kCutMarker.size()), kCutMarker);
    EXPECT_EQ(r.name, "(V (V (V (V (V (V (V (V (V (V (V (V (V (V (V (V (V (V...");
    // printed whole when it fits: texts as their bytes' values
    r = started("a\\" + repeat("dd(", 2) + "[a]" + repeat(")", 2) + ",dd\\x\\V x x");
    EXPECT_EQ(r.text, kRange + "(V (V919793 919793) (V919793 919793))");
}

TEST(DeepPrograms, BracketsNestedAMillionDeepRunOrReport) {
    const size_t n = 1000000;
    std::string value;
    Report r = started("a\\" + repeat("(", n) + "7" + repeat(")", n), &value);
    EXPECT_TRUE(r.ok()) << r.text;
    EXPECT_EQ(value, "7");
    r = started("a\\K 8 " + repeat("[", n) + repeat("]", n), &value);
    EXPECT_TRUE(r.ok()) << r.text;
    EXPECT_EQ(value, "8");
    // a fault at the bottom is found and reported
    r = started("a\\" + repeat("(", n) + "~(,,)" + repeat(")", n));
    EXPECT_EQ(r.type, ReportType::Parse);
    EXPECT_EQ(r.position, int64_t(n) + 4);
    r = started("a\\" + repeat("{", n) + "(" + repeat("}", n));
    EXPECT_EQ(r.type, ReportType::Match);
    EXPECT_EQ(r.text, "Match[" + position_code(int64_t(n) + 2) + "]Doesn't fit '}' at [" +
                          position_code(int64_t(n) + 3) + "].");
}

}  // namespace

// The size of this process's address space in bytes, from /proc.
size_t address_space() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (f == nullptr) return 0;
    if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
    std::fclose(f);
    return size_t(pages) * size_t(sysconf(_SC_PAGESIZE));
}

// A process that runs program after program (a session, a fuzzer) keeps no address space
// from one run to the next: each run's pending work lives in a range reserved for it.
TEST(ManyRuns, EachRunGivesItsRangesBack) {
    const std::string program = "a\\st 1000,st\\n\\n<1?0?n+st(n-1)";
    std::string value;
    ASSERT_TRUE(started(program).ok());  // what stays for the process is reserved now
    size_t before = address_space();
    if (before == 0) GTEST_SKIP() << "no /proc/self/statm";
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(started(program, &value).ok());
        ASSERT_EQ(value, "500500");
    }
    // a range kept per run would be gigabytes each
    EXPECT_LT(address_space(), before + (size_t(1) << 30));
}
