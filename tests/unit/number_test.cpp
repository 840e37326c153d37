#include "core/number.h"

#include <gtest/gtest.h>

#include "tests/unit/oracle.h"
#include <unistd.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <new>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/bits.h"

// Counts heap allocations, so that tests can insist that small numbers need none.
// (The replacement pair below is matched; GCC cannot see that across inlining.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
size_t g_allocations = 0;
}
void* operator new(size_t n) {
    ++g_allocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

using namespace ruk;

namespace {

CellRef leaf(const char* text) { return from_text(text); }

// J e0 (J e1 (... tail)), elements written as a string of 'K' and 'H'.
CellRef list_of(std::string_view elements, CellRef tail = from_text("K")) {
    CellRef list = std::move(tail);
    for (size_t i = elements.size(); i-- > 0;) {
        const char e[2] = {elements[i], '\0'};
        list = apply(apply(from_text("J"), from_text(e)), std::move(list));
    }
    return list;
}

// The elements of a list as 'K'/'H' characters, and its tail's text; "?" for a broken cell.
std::string show_list(Cell* c) {
    std::string out;
    while (is_pair(c)) {
        Cell* l = left_of(c);
        if (!is_pair(l) || !is_letter(left_of(l), 'J')) return out + "?";
        out += static_cast<char>(first_byte(right_of(l)));
        c = right_of(c);
    }
    return out + "|" + std::string(leaf_text(c));
}

// A bit string from its value written as an unsigned number (for V below 2^64).
BitString bits_of_value(uint64_t v) {
    BitString s;
    while (v != 0) {
        s.push_back(char(v & 0xFF));
        v >>= 8;
    }
    return s;
}

uint64_t value_of_bits(const BitString& s) {
    EXPECT_LE(s.size(), 8u);
    uint64_t v = 0;
    for (size_t i = s.size(); i-- > 0;) v = v << 8 | static_cast<unsigned char>(s[i]);
    return v;
}

std::string hex_of_bits(const BitString& s) {
    static const char* d = "0123456789abcdef";
    std::string out;
    for (size_t i = s.size(); i-- > 0;) {
        unsigned b = static_cast<unsigned char>(s[i]);
        out += d[b >> 4];
        out += d[b & 15];
    }
    size_t nz = out.find_first_not_of('0');
    return out.substr(nz == std::string::npos ? out.size() - 1 : nz);
}

// A binary float bit string with the given sign and digits of the given weights.
BitString float_bits(bool positive, std::initializer_list<int64_t> weights) {
    size_t last = 2;
    for (int64_t w : weights) last = std::max(last, binary_float_index(w));
    BitString s((last + 1) / 8 + 1, '\0');
    auto set = [&s](size_t i) {
        s[i / 8] = char(static_cast<unsigned char>(s[i / 8]) | 1u << (i % 8));
    };
    set(0);
    set(1);
    if (positive) set(2);
    for (int64_t w : weights) set(binary_float_index(w));
    set(last + 1);
    return s;
}

uint64_t raw(double d) { return std::bit_cast<uint64_t>(d); }

// Runs the oracle script on the requests and returns its answers, or nothing when
// python3 is missing.
bool ask_oracle(const std::vector<std::string>& requests, std::vector<std::string>& answers) {
    return ask_oracle_script("number_oracle.py", requests, answers);
}

std::string random_digits(std::mt19937_64& rng, size_t n) {
    std::string s(n, '0');
    for (char& c : s) c = char('0' + rng() % 10);
    if (s[0] == '0') s[0] = char('1' + rng() % 9);
    return s;
}

// ---- machine integers -------------------------------------------------------------

TEST(NumberMachine, IntegerFromInt64) {
    EXPECT_EQ(integer_from_int64(0).view(), "0");
    EXPECT_EQ(integer_from_int64(7).view(), "7");
    EXPECT_EQ(integer_from_int64(-7).view(), "07");
    EXPECT_EQ(integer_from_int64(INT64_MIN).view(), "09223372036854775808");
    EXPECT_EQ(integer_from_int64(INT64_MAX).view(), "9223372036854775807");
    EXPECT_EQ(integer_from_uint64(UINT64_MAX).view(), "18446744073709551615");
    EXPECT_EQ(integer_from_int64_printed(0).view(), "0");
    EXPECT_EQ(integer_from_int64_printed(1234567890123).view(), "1234567890123");
    // a negative value never becomes the name "-5"
    EXPECT_EQ(integer_from_int64_printed(-5).view(), "05");
}

TEST(NumberMachine, Int64FromIntegerKeepsTheLow64Bits) {
    EXPECT_EQ(int64_from_integer(leaf("09223372036854775808").get()), INT64_MIN);
    EXPECT_EQ(int64_from_integer(leaf("18446744073709551617").get()), 1);
    EXPECT_EQ(int64_from_integer(leaf("018446744073709551617").get()), -1);
    EXPECT_EQ(int64_from_integer(leaf("18446744073709551616").get()), 0);
    EXPECT_EQ(int64_from_integer(leaf("K").get()), 0);
    EXPECT_EQ(int64_from_integer(leaf("0").get()), 0);
    EXPECT_EQ(int64_from_integer(leaf("9223372036854775807").get()), INT64_MAX);
    EXPECT_EQ(int64_from_integer(leaf("09").get()), -9);
    // lists, and lists ending in a number leaf
    EXPECT_EQ(int64_from_integer(list_of("HKH").get()), 5);
    EXPECT_EQ(int64_from_integer(list_of("KHKH").get()), -5);
    EXPECT_EQ(int64_from_integer(list_of("HK", leaf("5")).get()), 21);  // H K, then H K H
    EXPECT_EQ(int64_from_integer(list_of("K", leaf("5")).get()), -5);
    EXPECT_EQ(int64_from_integer(list_of("H").get()), 1);
    // 2^64 + 5: H, then 64 binary digits; only the low bits stay
    std::string e = "HKHK" + std::string(61, 'H');
    EXPECT_EQ(int64_from_integer(list_of(e).get()), 5);
    // a list longer than 65 elements whose tail leaf lies beyond the low bits
    std::string many = "H" + std::string(70, 'K');
    EXPECT_EQ(int64_from_integer(list_of(many, leaf("123")).get()), -1);
}

TEST(NumberMachine, SmallNumbersNeedNoHeap) {
    CellRef n18 = leaf("123456789012345678"), neg = leaf("0123456789012345678");
    CellRef r = real_from_double(1.5);
    size_t before = g_allocations;
    int64_t a = int64_from_integer(n18.get());
    int64_t b = int64_from_integer(neg.get());
    CellRef m = integer_from_int64(-123456789012345678);
    CellRef p = integer_from_int64_printed(123456789012345678);
    Kind k = operand_kind(n18.get());
    double d = double_from_integer(neg.get()) + double_from_real(r.get());
    CellRef rest = rest_of_number(n18.get());
    EXPECT_EQ(g_allocations, before);
    EXPECT_EQ(a, 123456789012345678);
    EXPECT_EQ(b, -123456789012345678);
    EXPECT_EQ(m.view(), "0123456789012345678");
    EXPECT_EQ(p.view(), "123456789012345678");
    EXPECT_EQ(k, Kind::Integer);
    EXPECT_EQ(d, -123456789012345678.0 + 1.5);
}

// ---- bit values -------------------------------------------------------------------

TEST(NumberBits, BitValuesOfShortTexts) {
    EXPECT_EQ(value_of_bits(bits_from_decimal("0")), 1u);
    EXPECT_EQ(value_of_bits(bits_from_decimal("1")), 2u);
    EXPECT_EQ(value_of_bits(bits_from_decimal("5")), 10u);
    EXPECT_EQ(value_of_bits(bits_from_decimal("05")), 21u);
    EXPECT_EQ(value_of_bits(bits_from_decimal("00")), 3u);
    EXPECT_EQ(value_of_bits(bits_from_decimal("000")), 7u);
    EXPECT_EQ(decimal_from_bits(bits_of_value(21)), "05");
    EXPECT_EQ(decimal_from_bits(bits_of_value(1)), "0");
    EXPECT_EQ(decimal_from_bits(bits_of_value(3)), "00");
    EXPECT_EQ(decimal_from_bits(bits_of_value(10)), "5");
    EXPECT_EQ(bit_length(bits_of_value(1)), 0u);
    EXPECT_EQ(bit_length(bits_of_value(10)), 3u);
    EXPECT_TRUE(bit_at(bits_of_value(10), 1));
    EXPECT_FALSE(bit_at(bits_of_value(10), 2));
    // many zeros: 2^z - 1 and beyond the machine-word path
    std::string zeros(300, '0');
    BitString ones = bits_from_decimal(zeros);
    EXPECT_EQ(bit_length(ones), 299u);
    EXPECT_EQ(decimal_from_bits(ones), zeros);
    EXPECT_EQ(decimal_from_bits(bits_from_decimal(zeros + "7")), zeros + "7");
    EXPECT_EQ(decimal_from_bits(bits_from_decimal("1234567890123456789")), "1234567890123456789");
    // all ones up to the end marker: 16 bytes of 0xFF
    EXPECT_EQ(decimal_from_bits(BitString(16, '\xFF')), std::string(128, '0'));
}

TEST(NumberBits, BitStringsMatchPythonForRandomTexts) {
    std::mt19937_64 rng(20240611);
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i) {
        size_t len = 1 + rng() % (i < 200 ? 60 : 2500);
        std::string t = random_digits(rng, len);
        switch (rng() % 4) {
            case 0: t = "0" + t; break;                               // negative
            case 1: t = std::string(2 + rng() % 70, '0') + t; break;  // binary float forms
            default: break;
        }
        texts.push_back(t);
    }
    texts.push_back(random_digits(rng, 12000));
    texts.push_back("0" + random_digits(rng, 10000));
    std::vector<std::string> requests, answers;
    for (const std::string& t : texts) {
        requests.push_back("value " + t);
        requests.push_back("int64 " + t);
    }
    if (!ask_oracle(requests, answers)) GTEST_SKIP() << "python3 is not available";
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string& t = texts[i];
        BitString bits = bits_from_decimal(t);
        ASSERT_EQ(hex_of_bits(bits), answers[2 * i]) << t;
        ASSERT_EQ(decimal_from_bits(bits), t);
        CellRef n = from_bytes(t);
        ASSERT_EQ(bits_from_value(n.get()), bits);
        ASSERT_EQ(std::to_string(int64_from_integer(n.get())), answers[2 * i + 1]) << t;
        // the same number as a list, and as a list ending in the leaf itself
        if (t.size() < 400) {
            CellRef list = list_from_bits(bits);
            ASSERT_EQ(bits_from_value(list.get()), bits);
            ASSERT_EQ(compact_form(list.get()).view(), t);
            ASSERT_EQ(operand_kind(list.get()), operand_kind(n.get())) << t;
            if (is_integer(n.get())) {
                ASSERT_EQ(int64_from_integer(list.get()), int64_from_integer(n.get())) << t;
            }
        }
    }
}

TEST(NumberBits, TextsOfRandomBitStringsMatchPython) {
    std::mt19937_64 rng(7);
    std::vector<BitString> strings;
    for (int i = 0; i < 200; ++i) {
        size_t n = 1 + rng() % (i < 150 ? 24 : 3000);
        BitString s(n, '\0');
        for (char& c : s) c = char(rng());
        if (rng() % 3 == 0) std::fill(s.begin(), s.begin() + long(rng() % n), '\xFF');  // low ones
        if (s.back() == 0) s.back() = 1;
        strings.push_back(s);
    }
    std::vector<std::string> requests, answers;
    for (const BitString& s : strings) requests.push_back("text " + hex_of_bits(s));
    if (!ask_oracle(requests, answers)) GTEST_SKIP() << "python3 is not available";
    for (size_t i = 0; i < strings.size(); ++i) {
        std::string text = decimal_from_bits(strings[i]);
        ASSERT_EQ(text, answers[i]) << hex_of_bits(strings[i]);
        ASSERT_EQ(bits_from_decimal(text), strings[i]);
    }
}

// Long numbers are converted by halves joined with long products and quotients: lengths
// that cut many times, and values at and beside the powers of two where the cuts fall.
TEST(NumberBits, LongConversionsMatchPython) {
    std::mt19937_64 rng(11);
    std::vector<std::string> texts = {random_digits(rng, 1300), random_digits(rng, 25000),
                                      random_digits(rng, 160000), "0" + random_digits(rng, 40000),
                                      std::string(30, '0') + random_digits(rng, 30000),
                                      "1" + std::string(50000, '0')};
    // N = 2^m - 1, 2^m and 2^m + 1 for m at the cuts (64-bit limbs, 64 of them doubled)
    std::vector<BitString> strings;
    for (size_t m : {4096u, 8192u, 16384u, 65536u, 262144u}) {
        for (int delta : {-1, 0, 1}) {
            // V = 2N for these positive N: bit m + 1 plus 2 * delta
            BitString s((m + 2) / 8 + 1, '\0');
            s[(m + 1) / 8] = char(1u << ((m + 1) % 8));
            if (delta == 1) s[0] = char(s[0] | 2);
            if (delta == -1) {  // 2^(m+1) - 2: all ones from bit 1 to bit m
                s.assign((m + 1) / 8 + 1, '\xFF');
                s[0] = char(0xFE);
                s.back() = char((1u << ((m + 1) % 8)) - 1);
                if (s.back() == 0) s.pop_back();
            }
            strings.push_back(s);
        }
    }
    std::vector<std::string> requests, answers;
    for (const std::string& t : texts) requests.push_back("value " + t);
    for (const BitString& s : strings) requests.push_back("text " + hex_of_bits(s));
    if (!ask_oracle(requests, answers)) GTEST_SKIP() << "python3 is not available";
    for (size_t i = 0; i < texts.size(); ++i) {
        BitString bits = bits_from_decimal(texts[i]);
        ASSERT_EQ(hex_of_bits(bits), answers[i]) << texts[i].size() << " digits";
        ASSERT_EQ(decimal_from_bits(bits), texts[i]);
    }
    for (size_t i = 0; i < strings.size(); ++i) {
        std::string text = decimal_from_bits(strings[i]);
        ASSERT_EQ(text, answers[texts.size() + i]) << "case " << i;
        ASSERT_EQ(bits_from_decimal(text), strings[i]) << "case " << i;
    }
}

TEST(NumberBits, FatalFailuresCarryTheirTags) {
    auto fatal = [](auto fn) {
        dup2(2, 1);  // the tag goes to stdout; let the death test see it
        fn();
    };
    EXPECT_DEATH(fatal([] { (void)bits_from_decimal(""); }),
                 "REDVFAIL: strnbits\nASSERTION FAILED:b:[0-9]+\n");
    EXPECT_DEATH(fatal([] { (void)binary_float_exponent(float_bits(true, {})); }),
                 "REDVFAIL: rakerank\nASSERTION FAILED:b:[0-9]+\n");
    EXPECT_DEATH((void)bits_from_decimal("12x4"), "^ASSERTION FAILED:b:[0-9]+\n");
}

// ---- lists, sign and magnitude ----------------------------------------------------

TEST(NumberLists, ListsOfFiveAndMinusFive) {
    CellRef five = list_from_bits(bits_from_decimal("5"));
    CellRef minus = list_from_bits(bits_from_decimal("05"));
    EXPECT_EQ(show_list(five.get()), "HKH|K");
    EXPECT_EQ(show_list(minus.get()), "KHKH|K");
    EXPECT_EQ(show_list(list_from_bits(bits_from_decimal("0")).get()), "|K");
    EXPECT_EQ(show_list(magnitude(minus.get()).get()), "HKH|K");
    EXPECT_EQ(show_list(negate(five.get()).get()), "KHKH|K");
    EXPECT_EQ(show_list(negate(minus.get()).get()), "HKH|K");
    EXPECT_EQ(show_list(magnitude(five.get()).get()), "HKH|K");
    EXPECT_TRUE(is_non_negative(five.get()));
    EXPECT_FALSE(is_non_negative(minus.get()));
    EXPECT_FALSE(is_zero(five.get()));
    // a list ending in a number leaf walks on into the leaf's elements
    CellRef tail = list_of("KH", leaf("5"));
    EXPECT_EQ(value_of_bits(bits_from_value(tail.get())), 1u + 0 + 4 * 10);
    EXPECT_EQ(compact_form(tail.get()).view(), "010");  // 41: one low 1, then 10
    // broken lists give the empty bit string
    EXPECT_EQ(bits_from_value(list_of("HK", leaf("x")).get()), "");
    EXPECT_EQ(bits_from_value(apply(apply(leaf("J"), leaf("I")), leaf("K")).get()), "");
}

TEST(NumberLists, ListsEndingInANumberLeafReadOnIntoIt) {
    // Every alignment of the leaf's bits against the list's bytes.
    std::mt19937_64 rng(9);
    for (size_t k = 0; k < 20; ++k) {
        std::string prefix;
        for (size_t i = 0; i < k; ++i) prefix += rng() % 2 ? 'K' : 'H';
        std::string tail = (k % 3 == 0 ? "0" : "") + random_digits(rng, 1 + rng() % 40);
        CellRef mixed = list_of(prefix, from_bytes(tail));
        CellRef whole = list_of(prefix, list_from_bits(bits_from_decimal(tail)));
        EXPECT_EQ(bits_from_value(mixed.get()), bits_from_value(whole.get())) << prefix << tail;
        EXPECT_EQ(operand_kind(mixed.get()), operand_kind(whole.get())) << prefix << tail;
        if (is_integer(whole.get())) {
            EXPECT_EQ(int64_from_integer(mixed.get()), int64_from_integer(whole.get()))
                << prefix << tail;
        }
    }
}

TEST(NumberLists, SignMagnitudeAndNegationOfLeaves) {
    for (const char* t : {"0", "K", "42", "0042"}) EXPECT_TRUE(is_non_negative(leaf(t).get())) << t;
    for (const char* t : {"01", "042"}) EXPECT_FALSE(is_non_negative(leaf(t).get())) << t;
    EXPECT_TRUE(is_zero(leaf("0").get()));
    EXPECT_TRUE(is_zero(leaf("K").get()));
    EXPECT_FALSE(is_zero(leaf("00").get()));
    EXPECT_FALSE(is_zero(leaf("H").get()));
    EXPECT_EQ(magnitude(leaf("042").get()).view(), "42");
    EXPECT_EQ(magnitude(leaf("42").get()).view(), "42");
    EXPECT_EQ(magnitude(leaf("K").get()).view(), "K");
    EXPECT_EQ(negate(leaf("42").get()).view(), "042");
    EXPECT_EQ(negate(leaf("042").get()).view(), "42");
    EXPECT_EQ(negate(leaf("0").get()).view(), "0");
    EXPECT_EQ(negate(leaf("K").get()).view(), "K");
    EXPECT_TRUE(is_bit_list(leaf("17").get()));
    EXPECT_FALSE(is_bit_list(leaf("H").get()));
    EXPECT_FALSE(is_bit_list(apply(leaf("J"), leaf("K")).get()));
}

TEST(NumberLists, FirstElementAndRestOfNumberLeaves) {
    EXPECT_EQ(first_element(leaf("5").get()).view(), "H");
    EXPECT_EQ(first_element(leaf("05").get()).view(), "K");
    EXPECT_EQ(rest_of_number(leaf("5").get()).view(), "01");
    EXPECT_EQ(rest_of_number(leaf("05").get()).view(), "5");
    EXPECT_EQ(rest_of_number(leaf("00").get()).view(), "0");
    EXPECT_EQ(rest_of_number(leaf("1").get()).view(), "0");
    EXPECT_EQ(rest_of_number(leaf("9223372036854775807").get()).view(), std::string(63, '0'));
    // The rest is the bit value halved, for every path: short, long, long with many low ones.
    std::mt19937_64 rng(3);
    std::vector<std::string> texts = {"36893488147419103231",     // 2^65 - 1
                                      "1180591620717411303423"};  // 2^70 - 1
    for (int i = 0; i < 100; ++i) texts.push_back(random_digits(rng, 1 + rng() % 90));
    for (const std::string& t : texts) {
        BitString bits = bits_from_decimal(t);
        BitString half = bits;
        for (size_t i = 0; i < half.size(); ++i) {
            unsigned next = i + 1 < half.size() ? static_cast<unsigned char>(half[i + 1]) : 0;
            half[i] = char(static_cast<unsigned char>(half[i]) >> 1 | (next & 1) << 7);
        }
        while (half.back() == 0) half.pop_back();
        EXPECT_EQ(rest_of_number(from_bytes(t).get()).view(), decimal_from_bits(half)) << t;
    }
}

// ---- operand kinds ----------------------------------------------------------------

TEST(NumberKinds, KindsOfLeaves) {
    EXPECT_EQ(operand_kind(leaf("42").get()), Kind::Integer);
    EXPECT_EQ(operand_kind(leaf("042").get()), Kind::Integer);
    EXPECT_EQ(operand_kind(leaf("0").get()), Kind::Integer);
    EXPECT_EQ(operand_kind(leaf("K").get()), Kind::Integer);
    EXPECT_EQ(operand_kind(leaf("0042").get()), Kind::BinaryFloat);
    EXPECT_EQ(operand_kind(leaf("00").get()), Kind::BinaryFloat);
    EXPECT_EQ(operand_kind(real_from_double(2.5).get()), Kind::Real);
    EXPECT_EQ(operand_kind(from_bytes(std::string_view("(b)a\0c", 6)).get()), Kind::Blob);
    EXPECT_EQ(operand_kind(leaf("abc").get()), Kind::Other);
    EXPECT_EQ(operand_kind(leaf("H").get()), Kind::Other);
    EXPECT_EQ(operand_kind(leaf("[ab]").get()), Kind::Data);
    // a number leaf with a stray character is no number: no conversion may meet it
    EXPECT_EQ(operand_kind(leaf("12x").get()), Kind::Other);
    EXPECT_EQ(operand_kind(leaf("001x").get()), Kind::Other);
    EXPECT_TRUE(is_integer(leaf("042").get()));
    EXPECT_FALSE(is_integer(leaf("0042").get()));
}

TEST(NumberKinds, KindsOfLists) {
    EXPECT_EQ(operand_kind(list_of("HKH").get()), Kind::Integer);
    EXPECT_EQ(operand_kind(list_of("KHKH").get()), Kind::Integer);
    EXPECT_EQ(operand_kind(list_of("K").get()), Kind::Integer);  // the list form of minus zero
    EXPECT_EQ(operand_kind(list_of("KK").get()), Kind::BinaryFloat);
    EXPECT_EQ(operand_kind(list_of("KKHK").get()), Kind::BinaryFloat);
    EXPECT_EQ(operand_kind(list_of("K", leaf("5")).get()), Kind::Integer);
    EXPECT_EQ(operand_kind(list_of("K", leaf("05")).get()), Kind::BinaryFloat);
    EXPECT_EQ(operand_kind(list_of("K", leaf("0")).get()), Kind::Other);
    EXPECT_EQ(operand_kind(list_of("H", leaf("0")).get()), Kind::Integer);
    // broken lists, at any depth, are not numbers
    EXPECT_EQ(operand_kind(list_of("HKH", leaf("x")).get()), Kind::Other);
    EXPECT_EQ(operand_kind(list_of("HH", leaf("1z")).get()), Kind::Other);
    EXPECT_EQ(operand_kind(list_of("HH", apply(leaf("f"), leaf("x"))).get()), Kind::Other);
    EXPECT_EQ(operand_kind(apply(apply(leaf("J"), leaf("Z")), leaf("K")).get()), Kind::Other);
    EXPECT_EQ(operand_kind(apply(leaf("f"), leaf("x")).get()), Kind::Other);
}

TEST(NumberKinds, DataCells) {
    CellRef ab = apply(leaf("[a]"), leaf("[b]"));
    EXPECT_TRUE(is_data_cell(ab.get()));
    EXPECT_EQ(operand_kind(ab.get()), Kind::Data);
    EXPECT_FALSE(is_data_cell(apply(leaf("[a]"), leaf("b")).get()));
    EXPECT_FALSE(is_data_cell(apply(leaf("f"), leaf("[b]")).get()));
    // the annotation decides once it is written
    CellRef marked = apply(leaf("f"), leaf("x"));
    mark_data(marked.get());
    EXPECT_EQ(operand_kind(marked.get()), Kind::Data);
    CellRef text = leaf("[x]");
    set_annotation_flag(text.get(), true);
    set_annotation_value(text.get(), 1);
    EXPECT_FALSE(is_data_cell(text.get()));
    // deep nesting either way needs no deep C++ stack
    CellRef left = leaf("[a]"), right = leaf("[a]");
    for (int i = 0; i < 300000; ++i) {
        left = apply(std::move(left), leaf("[b]"));
        right = apply(leaf("[b]"), std::move(right));
    }
    EXPECT_TRUE(is_data_cell(left.get()));
    EXPECT_TRUE(is_data_cell(right.get()));
    CellRef spoilt = apply(std::move(left), leaf("c"));
    EXPECT_FALSE(is_data_cell(spoilt.get()));
}

TEST(NumberKinds, LongListsAreWalkedWithoutRecursion) {
    std::string elements(300000, 'H');
    elements[500] = 'K';
    CellRef big = list_of(elements);
    EXPECT_EQ(operand_kind(big.get()), Kind::Integer);
    BitString bits = bits_from_value(big.get());
    EXPECT_EQ(bit_length(bits), 300000u);
    EXPECT_EQ(int64_from_integer(big.get()), 0);  // bit 499 and the end lie beyond 64 bits
    EXPECT_EQ(show_list(list_from_bits(bits).get()).size(), 300002u);
}

// ---- reals ------------------------------------------------------------------------

TEST(NumberReals, RealsFromIntegers) {
    EXPECT_EQ(double_from_real(real_from_integer(leaf("042").get()).get()), -42.0);
    EXPECT_EQ(double_from_integer(leaf("K").get()), 0.0);
    EXPECT_EQ(double_from_integer(list_of("KHKH").get()), -5.0);
    EXPECT_EQ(double_from_integer(list_of("HKH").get()), 5.0);
    std::string nines(400, '9');
    EXPECT_EQ(double_from_integer(from_bytes(nines).get()), HUGE_VAL);
    EXPECT_EQ(double_from_integer(from_bytes("0" + nines).get()), -HUGE_VAL);
    CellRef r = real_from_double(-0.0);
    EXPECT_EQ(r.view().size(), 9u);
    EXPECT_EQ(raw(double_from_real(r.get())), raw(-0.0));
}

TEST(NumberReals, StrtodRoundingMatchesPython) {
    std::mt19937_64 rng(11);
    std::vector<std::string> texts = {
        "9007199254740993", "09007199254740993",
        "179769313486231580793728971405303415079934132710037826936173778980444968292764750946649017"
        "977587207096330286416692887910946555547851940402630657488671505820681908902000708383676273"
        "854845817711531764475730270069855571366959622842914819860834936475292719074168444365510704"
        "342711559699508093042880177904174497792"};
    for (int i = 0; i < 200; ++i) {
        std::string t = random_digits(rng, 1 + rng() % 330);
        texts.push_back(rng() % 2 ? "0" + t : t);
    }
    std::vector<std::string> requests, answers;
    for (const std::string& t : texts) requests.push_back("real " + t);
    if (!ask_oracle(requests, answers)) GTEST_SKIP() << "python3 is not available";
    for (size_t i = 0; i < texts.size(); ++i) {
        char hex[17];
        std::snprintf(
            hex, sizeof hex, "%016llx",
            static_cast<unsigned long long>(raw(double_from_integer(from_bytes(texts[i]).get()))));
        EXPECT_EQ(hex, answers[i]) << texts[i];
    }
}

// ---- binary floats ----------------------------------------------------------------

TEST(NumberBinaryFloats, SpecialValues) {
    EXPECT_EQ(raw(double_from_binary_float(leaf("00").get())), kBinaryFloatNaN);
    EXPECT_EQ(raw(double_from_binary_float(leaf("000").get())), raw(0.0));
    EXPECT_EQ(double_from_real(real_from_binary_float(leaf("000").get()).get()), 0.0);
    EXPECT_EQ(binary_float_from_double(-0.0).view(), "00");
    EXPECT_EQ(binary_float_from_double(HUGE_VAL).view(), "00");
    EXPECT_EQ(binary_float_from_double(-HUGE_VAL).view(), "00");
    EXPECT_EQ(binary_float_from_double(std::nan("")).view(), "00");
    EXPECT_EQ(binary_float_from_double(0.0).view(), "000");
    EXPECT_EQ(binary_float_from_double(1.0).view(), "00000");  // K K, sign K, digit 2^0
    EXPECT_EQ(binary_float_from_double(-1.0).view(), "003");   // K K H K: V = 27
    EXPECT_EQ(double_from_binary_float(leaf("003").get()), -1.0);
    // a payload without digits means zero, not a crash
    EXPECT_EQ(double_from_binary_float(leaf("0000").get()), 0.0);
    EXPECT_FALSE(has_magnitude_digit(bits_from_decimal("0000")));
    EXPECT_EQ(double_from_binary_float(list_of("KK").get()), 0.0);
}

TEST(NumberBinaryFloats, ExponentRangeAndTruncation) {
    EXPECT_EQ(binary_float_exponent(float_bits(true, {5, -3})), 5);
    EXPECT_EQ(binary_float_exponent(float_bits(true, {-3, -7})), -3);
    EXPECT_EQ(binary_float_exponent(float_bits(false, {0})), 0);
    EXPECT_EQ(double_from_binary_float_bits(float_bits(true, {1, -1})), 2.5);
    EXPECT_EQ(double_from_binary_float_bits(float_bits(false, {1, -1})), -2.5);
    EXPECT_EQ(double_from_binary_float_bits(float_bits(true, {1023})), std::ldexp(1.0, 1023));
    // overflow and underflow give the NaN, not an infinity or zero
    EXPECT_EQ(raw(double_from_binary_float_bits(float_bits(true, {1024}))), kBinaryFloatNaN);
    EXPECT_EQ(raw(double_from_binary_float_bits(float_bits(false, {1024, 3}))), kBinaryFloatNaN);
    EXPECT_EQ(raw(double_from_binary_float_bits(float_bits(true, {-1075}))), kBinaryFloatNaN);
    // digits below the precision are dropped, never rounded
    double one_up = std::nextafter(1.0, 2.0);
    EXPECT_EQ(double_from_binary_float_bits(float_bits(true, {0, -52, -53})), one_up);
    EXPECT_EQ(double_from_binary_float_bits(float_bits(true, {0, -53})), 1.0);
    EXPECT_EQ(double_from_binary_float_bits(float_bits(true, {-1074, -1075})),
              std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(double_from_binary_float_bits(float_bits(true, {-1023, -1074, -1080})),
              std::ldexp(1.0, -1023) + std::ldexp(1.0, -1074));
    EXPECT_EQ(double_from_binary_float_bits(float_bits(true, {-1022})), DBL_MIN);
    // through a number leaf and a list as well
    BitString b = float_bits(true, {3, -2});
    EXPECT_EQ(double_from_binary_float(from_string(decimal_from_bits(b)).get()), 8.25);
    EXPECT_EQ(double_from_binary_float(list_from_bits(b).get()), 8.25);
    EXPECT_EQ(operand_kind(list_from_bits(b).get()), Kind::BinaryFloat);
}

TEST(NumberBinaryFloats, RoundTripOfDoublesIsExact) {
    std::mt19937_64 rng(5);
    std::vector<double> ds = {DBL_MAX,
                              -DBL_MAX,
                              DBL_MIN,
                              std::numeric_limits<double>::denorm_min(),
                              -std::numeric_limits<double>::denorm_min(),
                              0.1,
                              -1e-300,
                              3.0};
    for (int i = 0; i < 20000; ++i) {
        uint64_t r = rng();
        if (i % 4 == 0) r &= 0x800FFFFFFFFFFFFFULL;  // subnormals
        double d = std::bit_cast<double>(r);
        if (std::isfinite(d) && d != 0.0) ds.push_back(d);
    }
    for (double d : ds) {
        CellRef f = binary_float_from_double(d);
        ASSERT_EQ(operand_kind(f.get()), Kind::BinaryFloat) << d;
        ASSERT_EQ(raw(double_from_binary_float(f.get())), raw(d)) << d;
    }
}

}  // namespace
