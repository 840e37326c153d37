// Builtins: mathematics on floats, and the conversions of strings to floats (atof, strtod).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "lib/marshal.h"

namespace ruk {

// <cmath> overloads each function for float and long double too; these pick the double one.
using FloatFn1 = double (*)(double);
using FloatFn2 = double (*)(double, double);
using FractionFn = double (*)(double, int*);     // frexp: the exponent goes through the int*
using IntegralFn = double (*)(double, double*);  // modf: the integral part goes through the double*

// ldexp with the whole 64-bit exponent: an exponent beyond the range of an int is clamped
// to it, which gives the same infinity or zero that the exact power would, rather than the
// value scaled by the exponent's low 32 bits.
[[nodiscard]] double scale_by_power_of_two(double x, int64_t exponent) noexcept;

// The C functions are called through wrappers the optimiser may not look into: it knows
// the maths functions as builtins and would otherwise assume errno survives the call, so
// the EDOM or ERANGE a call sets would not reach the program. clang has no noipa, but
// it keeps what it infers about a function that is not inlined to the effects of the
// calls inside, errno among them (unless -fno-math-errno).
#if defined(__clang__)
#define RUK_MATHS_WRAPPER [[gnu::noinline]]
#else
#define RUK_MATHS_WRAPPER [[gnu::noipa]]
#endif
template <FloatFn1 F>
RUK_MATHS_WRAPPER double c_math(double x) {
    return F(x);
}
template <FloatFn2 F>
RUK_MATHS_WRAPPER double c_math2(double x, double y) {
    return F(x, y);
}
#undef RUK_MATHS_WRAPPER

inline constexpr BuiltinRow kMathsRows[] = {
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::acos)>>("acos"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::asin)>>("asin"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::atan)>>("atan"),
    binding<Flt(Str), &::atof>("atof"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::ceil)>>("ceil"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::cos)>>("cos"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::cosh)>>("cosh"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::erf)>>("erf"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::erfc)>>("erfc"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::exp)>>("exp"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::fabs)>>("fabs"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::floor)>>("floor"),
    binding<Flt(Flt, Flt), &c_math2<static_cast<FloatFn2>(&std::fmod)>>("fmod"),
    binding<Flt(Flt, Addr), static_cast<FractionFn>(&std::frexp)>("frexp"),
    binding<Flt(Flt, Flt), &c_math2<static_cast<FloatFn2>(&std::hypot)>>("hypot"),
    binding<Flt(Flt, Int), &scale_by_power_of_two>("ldexp"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::log)>>("log"),
    binding<Flt(Flt, Addr), static_cast<IntegralFn>(&std::modf)>("modf"),
    binding<Flt(Flt, Flt), &c_math2<static_cast<FloatFn2>(&std::nextafter)>>("nextafter"),
    binding<Flt(Flt, Flt), &c_math2<static_cast<FloatFn2>(&std::pow)>>("pow"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::sin)>>("sin"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::sinh)>>("sinh"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::sqrt)>>("sqrt"),
    // the end address goes to the cell; C takes a null cell as "not wanted"
    binding<Flt(Str, AddrOrNull), &::strtod>("strtod"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::tan)>>("tan"),
    binding<Flt(Flt), &c_math<static_cast<FloatFn1>(&std::tanh)>>("tanh"),
};
inline constexpr std::span<const BuiltinRow> kMathsBuiltins = kMathsRows;

}  // namespace ruk
