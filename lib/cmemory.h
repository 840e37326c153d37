// Builtins: C memory: the allocator and the byte-block functions.
#pragma once

#include <strings.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <span>

#include "lib/marshal.h"

namespace ruk {

// memcpy that stays sound when the blocks overlap (where C leaves the result undefined):
// the bytes are copied as memmove copies them.
void* copy_memory(void* destination, const void* source, size_t count) noexcept;

// <cstring> has a const and a non-const memchr; this picks the const one.
using FindMemoryFn = const void* (*)(const void*, int, size_t);

inline constexpr BuiltinRow kCMemoryRows[] = {
    binding<Unit(Addr, Int), &::bzero>("bzero"),
    binding<Addr(Int, Int), &::calloc>("calloc"),
    binding<Unit(AddrOrNull), &::free>("free"),
    binding<Addr(Int), &::malloc>("malloc"),
    binding<Addr(Addr, Int, Int), static_cast<FindMemoryFn>(&::memchr)>("memchr"),
    binding<Int(Addr, Addr, Int), &::memcmp>("memcmp"),
    binding<Addr(Addr, Addr, Int), &copy_memory>("memcpy"),
    binding<Addr(Addr, Addr, Int), &::memmove>("memmove"),
    binding<Addr(Addr, Int, Int), &::memset>("memset"),
    binding<Addr(AddrOrNull, Int), &::realloc>("realloc"),
};
inline constexpr std::span<const BuiltinRow> kCMemoryBuiltins = kCMemoryRows;

}  // namespace ruk
