// Calling builtins as the machine does, for the tests of the C-library families: the call
// cell is the name leaf applied to the arguments, and the implementation comes from the
// builtin table.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

#include "core/data.h"
#include "core/leaves.h"
#include "core/number.h"
#include "lib/table.h"

namespace ruk::calls {

inline CellRef call(const char* name, std::initializer_list<CellRef> args = {}) {
    auto it = builtin_table().find(name);
    if (it == builtin_table().end()) {
        ADD_FAILURE() << "no builtin " << name;
        return leaves().Z;
    }
    EXPECT_EQ(it->second.arity, args.size()) << name;
    CellRef c = from_text(name);
    for (const CellRef& a : args) c = apply(std::move(c), a);
    return it->second.implementation(std::move(c));
}

inline CellRef num(int64_t v) { return integer_from_int64(v); }
inline CellRef flt(double d) { return real_from_double(d); }
// The integer of an address.
inline CellRef addr(const void* p) { return integer_from_uint64(reinterpret_cast<uintptr_t>(p)); }

inline bool is_z(const CellRef& r) { return r.same(leaves().Z); }
inline bool is_unit(const CellRef& r) { return r.same(leaves().I); }

// The integer a result stands for; a failure when it is none.
inline int64_t int_of(const CellRef& r) {
    EXPECT_TRUE(is_integer(r.get())) << "not an integer: " << r.view();
    return is_integer(r.get()) ? int64_from_integer(r.get()) : INT64_MIN;
}
inline const char* ptr_of(const CellRef& r) {
    return reinterpret_cast<const char*>(static_cast<uintptr_t>(int_of(r)));
}
// The double of a float result; a failure when it is none.
inline double double_of(const CellRef& r) {
    EXPECT_EQ(r.first_byte(), ' ') << "not a float: " << r.view();
    return r.first_byte() == ' ' ? double_from_real(r.get()) : -12345.678;
}
// Equal to the last bit, so that NaN payloads and signed zeros count.
inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// errno as the program sees it, through the builtin.
inline int program_errno_now() { return static_cast<int>(int_of(call("errno"))); }

}  // namespace ruk::calls
