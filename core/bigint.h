// Exact arithmetic on natural numbers written as decimal text. A magnitude is a text of
// decimal digits, most significant first, without leading zeros, and "0" for zero; signs
// are the caller's business. Inside, numbers are held in limbs of several decimal digits
// taken straight from the text, so reading and writing stay linear.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ruk {

// Magnitudes are decimal digit texts, most significant first, no leading zeros, "0" for zero.
[[nodiscard]] int compare_magnitudes(std::string_view a, std::string_view b);  // -1, 0, 1
[[nodiscard]] std::string add_magnitudes(std::string_view a, std::string_view b);
[[nodiscard]] std::string subtract_magnitudes(std::string_view a, std::string_view b);  // a >= b
[[nodiscard]] std::string multiply_magnitudes(std::string_view a, std::string_view b);
// Truncating division of magnitudes; b != "0". Either output may be null.
void divide_magnitudes(std::string_view a, std::string_view b, std::string* quotient, std::string* remainder);
// a to the power `exponent`, for any exponent. Returns the empty string when the result
// would be longer than max_power_digits (the caller answers "Z"); 0^0 is "1".
[[nodiscard]] std::string power_magnitude(std::string_view a, uint64_t exponent);

// The longest result power_magnitude builds, in digits.
#ifdef RUK_FUZZING
// The fuzzing build runs each input in a fraction of a second: powers, and products too
// (core/arith.cpp), stop at a few thousand digits there.
inline constexpr uint64_t max_power_digits = uint64_t{1} << 14;
#else
inline constexpr uint64_t max_power_digits = uint64_t{1} << 31;
#endif

}  // namespace ruk
