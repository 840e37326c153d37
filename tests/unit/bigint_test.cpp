#include "core/bigint.h"

#include <gtest/gtest.h>

#include "tests/unit/oracle.h"
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/bignat.h"

using namespace ruk;

namespace {

std::string nines(size_t n) { return std::string(n, '9'); }
std::string ten_to(size_t k) { return "1" + std::string(k, '0'); }

// (10^n - 1)(10^m - 1) = 10^(n+m) - 10^n - 10^m + 1 for n >= m >= 1, written out.
std::string nines_product(size_t n, size_t m) {
    return nines(m - 1) + "8" + nines(n - m) + std::string(m - 1, '0') + "1";
}

// A magnitude of n digits. Style 0: uniform digits; 1: runs of 9s and 0s, so that carries
// and borrows travel far; 2: mostly 9s.
std::string magnitude(std::mt19937_64& rng, size_t n, int style) {
    std::string s(n, '0');
    size_t i = 0;
    while (i < n) {
        if (style == 0) {
            s[i++] = char('0' + rng() % 10);
        } else {
            char fill = style == 2 ? (rng() % 8 ? '9' : char('0' + rng() % 10))
                                   : (rng() % 2 ? '9' : '0');
            for (size_t run = 1 + rng() % 40; run-- > 0 && i < n;) s[i++] = fill;
        }
    }
    if (s[0] == '0') s[0] = char('1' + rng() % 9);
    return s;
}

// The value of a magnitude modulo p < 2^61.
uint64_t residue(std::string_view s, uint64_t p) {
    unsigned __int128 r = 0;
    for (char c : s) r = (r * 10 + unsigned(c - '0')) % p;
    return uint64_t(r);
}

constexpr uint64_t kPrimes[] = {2305843009213693951ULL, 1000000000000000003ULL,
                                999999999999999989ULL};

// a b == c, by residues modulo three large primes.
::testing::AssertionResult product_holds(std::string_view a, std::string_view b, std::string_view c) {
    for (uint64_t p : kPrimes) {
        unsigned __int128 x = (unsigned __int128)residue(a, p) * residue(b, p) % p;
        if (uint64_t(x) != residue(c, p)) return ::testing::AssertionFailure() << "mod " << p;
    }
    return ::testing::AssertionSuccess();
}

// a == q b + r and r < b.
::testing::AssertionResult division_holds(std::string_view a, std::string_view b,
                                          std::string_view q, std::string_view r) {
    if (compare_magnitudes(r, b) >= 0) return ::testing::AssertionFailure() << "remainder too large";
    for (uint64_t p : kPrimes) {
        unsigned __int128 x = (unsigned __int128)residue(q, p) * residue(b, p) % p;
        x = (x + residue(r, p)) % p;
        if (uint64_t(x) != residue(a, p)) return ::testing::AssertionFailure() << "mod " << p;
    }
    return ::testing::AssertionSuccess();
}

// Runs the oracle script on the requests and returns its answers, or nothing when
// python3 is missing.
bool ask_oracle(const std::vector<std::string>& requests, std::vector<std::string>& answers) {
    return ask_oracle_script("bigint_oracle.py", requests, answers);
}

std::string run(const std::string& request) {
    std::istringstream in(request);
    std::string op, a, b;
    in >> op >> a >> b;
    if (op == "cmp") return std::to_string(compare_magnitudes(a, b));
    if (op == "add") return add_magnitudes(a, b);
    if (op == "sub") return subtract_magnitudes(a, b);
    if (op == "mul") return multiply_magnitudes(a, b);
    if (op == "div") {
        std::string q, r;
        divide_magnitudes(a, b, &q, &r);
        return q + " " + r;
    }
    return power_magnitude(a, std::stoull(b));
}

// Random requests of every operation, with the operand shapes that break arithmetic:
// zeros, equal operands, neighbours, divisors longer than dividends, one-limb factors.
std::vector<std::string> random_requests(std::mt19937_64& rng) {
    std::vector<std::string> out;
    auto size = [&rng](size_t i) -> size_t {
        switch (i % 4) {
            case 0: return 1 + rng() % 40;
            case 1: return 1 + rng() % 400;
            case 2: return 1 + rng() % 4000;
            default: return 1 + rng() % 12000;
        }
    };
    const char* ops[] = {"cmp", "add", "sub", "mul", "div"};
    for (size_t i = 0; i < 400; ++i) {
        int style = int(rng() % 3);
        std::string a = magnitude(rng, size(i), style), b = magnitude(rng, size(i / 4), style);
        std::string op = ops[i % 5];
        switch (rng() % 8) {
            case 0: b = a; break;                                  // equal
            case 1: if (a.size() > 1) b = a.substr(0, a.size() - 1) + "0"; break;  // neighbours-ish
            case 2: b = magnitude(rng, 1 + rng() % 8, style); break;               // one limb
            case 3: if (op != "div") b = "0"; break;
            default: break;
        }
        if (op == "sub" && compare_magnitudes(a, b) < 0) std::swap(a, b);
        if (op == "div" && i % 10 == 4) std::swap(a, b);  // divisor may be the longer
        if (op == "div" && b == "0") b = "7";
        out.push_back(op + " " + a + " " + b);
    }
    // a and a - 1 around carries.
    for (size_t n : {9, 17, 320, 1281}) {
        std::string a = ten_to(n);
        out.push_back("sub " + a + " 1");
        out.push_back("sub " + a + " " + nines(n));
        out.push_back("div " + nines(n) + " " + a);
        out.push_back("cmp " + nines(n) + " " + a);
    }
    // Products by one limb whose length the leading digits cannot tell.
    out.push_back("mul " + std::string(40, '3') + " 3");
    out.push_back("mul " + std::string(39, '3') + "4 3");
    out.push_back("mul " + std::string(70, '9') + " 99999999");
    out.push_back("mul " + std::string(90, '1') + " 9");
    // Powers: exponents 0, 1, 2 and large, one-limb and long bases.
    for (const char* base : {"2", "3", "7", "99999999", "100000001", "123456789012345678901"}) {
        for (int e : {0, 1, 2, 3, 97, 1000, 4097})
            out.push_back(std::string("pow ") + base + " " + std::to_string(e));
    }
    out.push_back("pow " + magnitude(rng, 300, 0) + " 37");
    out.push_back("pow 1200 500");
    return out;
}

}  // namespace

// ---- text and limbs -----------------------------------------------------------------

TEST(BigintText, ParsePrintRoundTripAllLengths) {
    std::mt19937_64 rng(1);
    for (bool portable : {false, true}) {
        bignat::use_portable_kernels(portable);
        for (size_t n = 1; n < 300; ++n) {
            std::string s = magnitude(rng, n, int(n % 3));
            bignat::Nat x = bignat::parse(s);
            EXPECT_EQ(x.size(), (n + 7) / 8);
            EXPECT_EQ(bignat::print(x), s) << n;
            // Leading zeros in the text only shorten the limbs.
            EXPECT_EQ(bignat::print(bignat::parse("000" + s)), s);
        }
        EXPECT_EQ(bignat::print(bignat::parse("0")), "0");
        EXPECT_EQ(bignat::print(bignat::parse("00000000000000000000000000000000000")), "0");
        EXPECT_TRUE(bignat::parse("0000").empty());
    }
    bignat::use_portable_kernels(false);
}

TEST(BigintText, PaddedPrintFillsTheWidth) {
    bignat::Nat x = bignat::parse("1234567890123");
    std::string out(40, '#');
    bignat::print_padded(x, out.data(), out.size());
    EXPECT_EQ(out, std::string(27, '0') + "1234567890123");
    bignat::print_padded(x, out.data(), 13);
    EXPECT_EQ(out.substr(0, 13), "1234567890123");
    bignat::print_padded({}, out.data(), 5);
    EXPECT_EQ(out.substr(0, 5), "00000");
}

TEST(BigintTextDeath, NonDigitsAreAnInvariantFailure) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string bad = std::string(40, '1') + "x" + std::string(40, '1');
    EXPECT_DEATH((void)bignat::parse(bad), "ASSERTION FAILED:b:");
    EXPECT_DEATH((void)multiply_magnitudes(bad, "3"), "ASSERTION FAILED:b:");
    EXPECT_DEATH((void)add_magnitudes("0123", "1"), "ASSERTION FAILED:b:");
}

// ---- fixed cases ---------------------------------------------------------------------

TEST(BigintFixed, CompareAddSubtract) {
    EXPECT_EQ(compare_magnitudes("9", "10"), -1);
    EXPECT_EQ(compare_magnitudes("123", "123"), 0);
    EXPECT_EQ(compare_magnitudes("124", "123"), 1);
    EXPECT_EQ(compare_magnitudes("0", "0"), 0);
    EXPECT_EQ(add_magnitudes("999", "1"), "1000");
    EXPECT_EQ(add_magnitudes("0", "0"), "0");
    EXPECT_EQ(add_magnitudes("999999999999999999", "999999999999999999"), "1999999999999999998");
    EXPECT_EQ(add_magnitudes(nines(100), "1"), ten_to(100));
    EXPECT_EQ(add_magnitudes("1", nines(100)), ten_to(100));
    EXPECT_EQ(add_magnitudes("0", nines(30)), nines(30));
    EXPECT_EQ(subtract_magnitudes("3", "3"), "0");
    EXPECT_EQ(subtract_magnitudes(ten_to(100), "1"), nines(100));
    EXPECT_EQ(subtract_magnitudes(ten_to(100), nines(100)), "1");
    EXPECT_EQ(subtract_magnitudes(nines(50), nines(50)), "0");
    EXPECT_EQ(subtract_magnitudes(nines(50), "0"), nines(50));
}

TEST(BigintFixed, ProductsOfNinesAcrossLimbsAndThresholds) {
    // Every carry runs the whole length; lengths straddle limbs (8 digits), the vector
    // blocks (32), schoolbook to Karatsuba (768) and Karatsuba to transforms (1024).
    const size_t lengths[] = {1,   2,   7,   8,    9,    16,   17,   31,   32,   33,   63,  64,
                              65,  255, 256, 257,  767,  768,  769,  900,  1023, 1024, 1025,
                              2047, 2048, 2049, 4096, 10000, 30001};
    for (size_t n : lengths) {
        for (size_t m : {size_t(1), size_t(8), size_t(9), size_t(33), size_t(769), size_t(1025), n}) {
            if (m > n) continue;
            EXPECT_EQ(multiply_magnitudes(nines(n), nines(m)), nines_product(n, m)) << n << " " << m;
            EXPECT_EQ(multiply_magnitudes(nines(m), nines(n)), nines_product(n, m)) << n << " " << m;
        }
        EXPECT_EQ(multiply_magnitudes(ten_to(n), ten_to(n / 2)), ten_to(n + n / 2));
        // (10^n + 1)^2 = 10^2n + 2 10^n + 1, squared through the same operand twice.
        std::string a = add_magnitudes(ten_to(n), "1");
        std::string expect = "1" + std::string(n - 1, '0') + "2" + std::string(n - 1, '0') + "1";
        EXPECT_EQ(multiply_magnitudes(a, a), expect) << n;
    }
    EXPECT_EQ(multiply_magnitudes("0", nines(500)), "0");
    EXPECT_EQ(multiply_magnitudes(nines(500), "0"), "0");
    EXPECT_EQ(multiply_magnitudes(nines(500), "1"), nines(500));
    EXPECT_EQ(multiply_magnitudes("4", "25"), "100");
}

TEST(BigintFixed, Division) {
    auto qr = [](std::string_view a, std::string_view b) {
        std::string q, r;
        divide_magnitudes(a, b, &q, &r);
        return q + " " + r;
    };
    EXPECT_EQ(qr("7", "2"), "3 1");
    EXPECT_EQ(qr("1", "2"), "0 1");
    EXPECT_EQ(qr("0", "5"), "0 0");
    EXPECT_EQ(qr("6", "3"), "2 0");
    EXPECT_EQ(qr(nines(40), nines(41)), "0 " + nines(40));
    EXPECT_EQ(qr(nines(400), nines(400)), "1 0");
    // (10^2k - 1) / (10^k - 1) = 10^k + 1, at sizes for long division and for Newton.
    for (size_t k : {9, 100, 383, 385, 2000, 20000})
        EXPECT_EQ(qr(nines(2 * k), nines(k)), "1" + std::string(k - 1, '0') + "1 0") << k;
    // 10^n / (10^k - 1) has quotient 1 0..0 1 0..0 ... and remainder 10^(n mod k).
    EXPECT_EQ(qr(ten_to(30), nines(10)), "100000000010000000001 1");
    // Either output may be left out.
    std::string q;
    divide_magnitudes(ten_to(50), "3", &q, nullptr);
    EXPECT_EQ(q, std::string(50, '3'));
    std::string r, q2;
    divide_magnitudes(ten_to(5000), ten_to(3000) + "7", nullptr, &r);
    divide_magnitudes(ten_to(5000), ten_to(3000) + "7", &q2, nullptr);
    EXPECT_TRUE(division_holds(ten_to(5000), ten_to(3000) + "7", q2, r));
    divide_magnitudes("5", "7", nullptr, nullptr);
}

TEST(BigintFixed, Powers) {
    EXPECT_EQ(power_magnitude("2", 0), "1");
    EXPECT_EQ(power_magnitude("0", 0), "1");
    EXPECT_EQ(power_magnitude("0", 5), "0");
    EXPECT_EQ(power_magnitude("1", UINT64_MAX), "1");
    EXPECT_EQ(power_magnitude("0", UINT64_MAX), "0");
    EXPECT_EQ(power_magnitude("2", 3), "8");
    EXPECT_EQ(power_magnitude("2", 100), "1267650600228229401496703205376");
    EXPECT_EQ(power_magnitude("10", 5), "100000");
    EXPECT_EQ(power_magnitude("20", 3), "8000");
    EXPECT_EQ(power_magnitude("1000", 1000), ten_to(3000));
    EXPECT_EQ(power_magnitude(nines(77), 1), nines(77));
    EXPECT_EQ(power_magnitude(nines(300), 2), nines_product(300, 300));
    EXPECT_EQ(power_magnitude("3", 40), "12157665459056928801");
}

TEST(BigintFixed, AbsurdPowersAreRefusedAtOnce) {
    EXPECT_EQ(power_magnitude("2", UINT64_MAX), "");
    EXPECT_EQ(power_magnitude("2", uint64_t(1) << 40), "");
    EXPECT_EQ(power_magnitude("10", max_power_digits), "");
    EXPECT_EQ(power_magnitude(nines(1000), uint64_t(1) << 22), "");
    EXPECT_EQ(power_magnitude("10", 1000).size(), 1001u);
}

// ---- against Python's int --------------------------------------------------------------

TEST(BigintOracle, RandomOperandsAgreeWithPython) {
    std::mt19937_64 rng(20240611);
    std::vector<std::string> requests = random_requests(rng), answers;
    if (!ask_oracle(requests, answers)) GTEST_SKIP() << "python3 is not available";
    for (bool portable : {false, true}) {
        bignat::use_portable_kernels(portable);
        for (size_t i = 0; i < requests.size(); ++i) {
            if (portable && requests[i].size() > 3000) continue;
            ASSERT_EQ(run(requests[i]), answers[i]) << "portable " << portable << ": "
                                                    << requests[i].substr(0, 200);
        }
    }
    bignat::use_portable_kernels(false);
}

TEST(BigintOracle, HundredThousandDigitsAgreeWithPython) {
    std::mt19937_64 rng(7);
    std::string a = magnitude(rng, 100000, 0), b = magnitude(rng, 100000, 1);
    std::string c = magnitude(rng, 200000, 0);
    std::vector<std::string> requests = {"mul " + a + " " + b, "div " + c + " " + a,
                                         "pow 2 100000"},
                             answers;
    if (!ask_oracle(requests, answers)) GTEST_SKIP() << "python3 is not available";
    for (size_t i = 0; i < requests.size(); ++i)
        EXPECT_TRUE(run(requests[i]) == answers[i]) << requests[i].substr(0, 40);
}

// ---- identities on numbers too long for the oracle's patience ----------------------------

TEST(BigintIdentity, LongProductsAndQuotientsByResidues) {
    std::mt19937_64 rng(99);
    std::string a = magnitude(rng, 300000, 0), b = magnitude(rng, 250001, 2);
    EXPECT_TRUE(product_holds(a, b, multiply_magnitudes(a, b)));
    EXPECT_TRUE(product_holds(a, a, multiply_magnitudes(a, a)));
    std::string s = magnitude(rng, 2000, 0);  // short times long: pieces
    EXPECT_TRUE(product_holds(a, s, multiply_magnitudes(a, s)));
    struct Shape { size_t a, b; };
    // Long quotients, short quotients of long divisors, and both long.
    for (Shape sh : {Shape{600000, 200000}, Shape{100000, 500}, Shape{100000, 99000},
                     Shape{400000, 390}, Shape{50000, 49600}}) {
        std::string x = magnitude(rng, sh.a, int(sh.a % 3)), y = magnitude(rng, sh.b, 1);
        std::string q, r;
        divide_magnitudes(x, y, &q, &r);
        EXPECT_TRUE(division_holds(x, y, q, r)) << sh.a << "/" << sh.b;
        EXPECT_EQ(q.size(), sh.a - sh.b + (compare_magnitudes(x.substr(0, sh.b), y) >= 0));
    }
    // Quotients that sit just below and at a whole number.
    std::string y = magnitude(rng, 5000, 0), q0 = magnitude(rng, 6000, 0);
    std::string x = multiply_magnitudes(y, q0);
    std::string q, r;
    divide_magnitudes(x, y, &q, &r);
    EXPECT_EQ(q, q0);
    EXPECT_EQ(r, "0");
    divide_magnitudes(subtract_magnitudes(x, "1"), y, &q, &r);
    EXPECT_EQ(q, subtract_magnitudes(q0, "1"));
    EXPECT_EQ(r, subtract_magnitudes(y, "1"));
}

TEST(BigintIdentity, MethodsAgreeWhereverTheyMeet) {
    std::mt19937_64 rng(5);
    std::vector<std::pair<std::string, std::string>> cases;
    for (size_t n : {700, 800, 1000, 1100, 3000, 9000, 20000})
        cases.emplace_back(magnitude(rng, n, int(n % 3)), magnitude(rng, n - n / 7, 1));
    cases.emplace_back(nines(20000), nines(20000));
    std::vector<std::string> fast;
    for (auto& [a, b] : cases) fast.push_back(multiply_magnitudes(a, b));
    // Without the vector routines, and with the transforms kept to short products so that
    // Karatsuba and the cutting into pieces stand above them.
    bignat::use_portable_kernels(true);
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(multiply_magnitudes(cases[i].first, cases[i].second), fast[i]) << "portable " << i;
    bignat::use_portable_kernels(false);
    bignat::limit_transforms(300);
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(multiply_magnitudes(cases[i].first, cases[i].second), fast[i]) << "limited " << i;
    std::string q, r;
    divide_magnitudes(fast.back(), nines(20000), &q, &r);
    EXPECT_EQ(q, nines(20000));
    EXPECT_EQ(r, "0");
    bignat::limit_transforms(0);
    for (size_t i = 0; i < cases.size(); ++i) EXPECT_TRUE(product_holds(cases[i].first, cases[i].second, fast[i]));
}
