// Builtins: C strings, the integer conversions of strings, and the environment.
#pragma once

#include <strings.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "lib/marshal.h"

namespace ruk {

// strcmp: -1, 0 or 1 by the first differing byte, compared as unsigned.
[[nodiscard]] int compare_c_strings(const char* a, const char* b) noexcept;

// A program's `long` is 32 bits wide on every host: the host's conversion, then a value
// outside [-2147483648, 2147483647] is clamped to that range and errno set to ERANGE.
[[nodiscard]] int64_t text_to_long32(const char* s, char** end, int base) noexcept;
// strtoul converts as strtol does, signed and clamped (its own function, so that each
// builtin has its own implementation).
[[nodiscard]] int64_t text_to_unsigned_long32(const char* s, char** end, int base) noexcept;
[[nodiscard]] int64_t text_to_long32_decimal(const char* s) noexcept;

// strtok and strtok_r write into their text, so they work through a copy of it: never
// the bytes of a cell, and never the program's memory behind an address. The copy lives
// until the next new text is started (by strtok; for strtok_r, with the same context
// cell), so the tokens of a text stay valid until then. Given 0 before any text, or with
// a context cell that holds 0, they answer 0 where C would read through a null pointer.
[[nodiscard]] const char* strtok_copy(const char* s, const char* delimiters);
[[nodiscard]] const char* strtok_r_copy(const char* s, const char* delimiters, char** context);

// <cstring> has a const and a non-const overload of each search; these pick the const one.
using FindByteFn = const char* (*)(const char*, int);
using FindTextFn = const char* (*)(const char*, const char*);

inline constexpr BuiltinRow kCStringRows[] = {
    binding<Int(Str), &::atoi>("atoi"),
    binding<Int(Str), &text_to_long32_decimal>("atol"),
    binding<Addr(Str), &::getenv>("getenv"),
    binding<Int(Str, Str), &::strcasecmp>("strcasecmp"),
    binding<Addr(Addr, Str), &::strcat>("strcat"),
    binding<Addr(Str, Int), static_cast<FindByteFn>(&::strchr)>("strchr"),
    binding<Int(Str, Str), &compare_c_strings>("strcmp"),
    binding<Addr(Addr, Str), &::strcpy>("strcpy"),
    binding<Addr(Str), &::strdup>("strdup"),
    binding<Addr(Int), &::strerror>("strerror"),
    binding<Int(Str), &::strlen>("strlen"),
    binding<Int(Str, Str, Int), &::strncasecmp>("strncasecmp"),
    binding<Addr(Addr, Str, Int), &::strncat>("strncat"),
    binding<Int(Str, Str, Int), &::strncmp>("strncmp"),
    binding<Addr(Addr, Addr, Int), &::strncpy>("strncpy"),
    binding<Int(Str, Int), &::strnlen>("strnlen"),
    binding<Addr(Str, Str), static_cast<FindTextFn>(&::strpbrk)>("strpbrk"),
    binding<Addr(Str, Int), static_cast<FindByteFn>(&::strrchr)>("strrchr"),
    binding<Int(Str, Str), &::strspn>("strspn"),
    binding<Addr(Str, Str), static_cast<FindTextFn>(&::strstr)>("strstr"),
    binding<Addr(StrOrNull, Str), &strtok_copy>("strtok"),
    binding<Addr(StrOrNull, Str, Addr), &strtok_r_copy>("strtok_r"),
    // the end address goes to the cell; C takes a null cell as "not wanted"
    binding<Int(Str, AddrOrNull, Int), &text_to_long32>("strtol"),
    binding<Int(Str, AddrOrNull, Int), &text_to_unsigned_long32>("strtoul"),
    // a null command asks whether there is a shell at all
    binding<Int(StrOrNull), &::system>("system"),
};
inline constexpr std::span<const BuiltinRow> kCStringBuiltins = kCStringRows;

}  // namespace ruk
