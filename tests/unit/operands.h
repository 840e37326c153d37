// Operands for the operator tests: values of every kind, random integers and binary
// floats, and the Python oracle of tests/oracle/arith_oracle.py.
#pragma once

#include "tests/unit/oracle.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/cell.h"
#include "core/data.h"
#include "core/number.h"

namespace ruk::operands {

inline CellRef num(const char* text) { return from_text(text); }
inline CellRef num(const std::string& text) { return from_bytes(text); }
inline CellRef text(std::string_view whole) { return from_bytes(whole); }  // "[abc]"
inline CellRef blob(std::string_view bytes) { return make_blob(bytes); }
inline CellRef real(double d) { return real_from_double(d); }
inline CellRef name(const char* n) { return from_text(n); }
// The bit list J e0 (J e1 (... K)) of a number leaf text.
inline CellRef list(std::string_view number) { return list_from_bits(bits_from_decimal(number)); }

// The double of a result, or NaN with a failure when it is no real.
inline double dbl(const CellRef& r) {
    if (!r.is_leaf() || r.first_byte() != ' ') {
        ADD_FAILURE() << "not a real: " << r.view();
        return std::nan("");
    }
    return double_from_real(r.get());
}

// A result as text: a leaf's text, "pair" for anything else.
inline std::string show(const CellRef& r) { return r.is_leaf() ? r.text() : std::string("pair"); }

inline std::string random_magnitude(std::mt19937_64& rng, size_t n) {
    std::string s(n, '0');
    for (char& c : s) c = char('0' + rng() % 10);
    if (n > 1 && s[0] == '0') s[0] = char('1' + rng() % 9);
    return s;
}

// A random integer text: mostly short, now and then thousands of digits, both signs.
inline std::string random_integer(std::mt19937_64& rng) {
    size_t n;
    switch (rng() % 8) {
        case 0: n = 1; break;
        case 1: n = 1 + rng() % 18; break;
        case 2: n = 17 + rng() % 4; break;  // around the machine-word boundary
        case 3: n = 19 + rng() % 60; break;
        case 4: n = 80 + rng() % 400; break;
        case 5: n = 500 + rng() % 3500; break;
        default: n = 1 + rng() % 40; break;
    }
    std::string m = random_magnitude(rng, n);
    if (m == "0" || rng() % 2) return m;
    return "0" + m;
}

// The text of a random binary float: K K, a sign element and up to `max_digits` digit
// elements (the last one set), as a number leaf.
inline std::string random_binary_float(std::mt19937_64& rng, size_t max_digits) {
    size_t digits = rng() % (max_digits + 1);
    size_t n = 3 + digits;
    BitString bits((n + 8) / 8, '\0');
    auto set = [&bits](size_t i) { bits[i / 8] = char(bits[i / 8] | (1 << (i % 8))); };
    set(0);
    set(1);
    if (rng() % 2) set(2);
    for (size_t i = 3; i < n; ++i)
        if (i + 1 == n || rng() % 3 == 0) set(i);
    set(n);
    return decimal_from_bits(bits);
}

// Runs the oracle on the requests, one answer per request; false when python3 is missing.
inline bool ask_oracle(const std::vector<std::string>& requests,
                       std::vector<std::string>& answers) {
    return ask_oracle_script("arith_oracle.py", requests, answers);
}

}  // namespace ruk::operands
