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

// The allocators, called for real: an optimiser that knows malloc may drop a call whose
// size can never succeed (malloc(SIZE_MAX)) and fold its null result, and with the call goes
// the errno the program reads next.
void* allocate_memory(size_t size) noexcept;
void* allocate_zeroed(size_t count, size_t size) noexcept;
void* reallocate_memory(void* block, size_t size) noexcept;

// <cstring> has a const and a non-const memchr; this picks the const one.
using FindMemoryFn = const void* (*)(const void*, int, size_t);

inline constexpr BuiltinRow kCMemoryRows[] = {
    binding<Unit(Addr, Int), &::bzero>("bzero"),
    binding<Addr(Int, Int), &allocate_zeroed>("calloc"),
    binding<Unit(AddrOrNull), &::free>("free"),
    binding<Addr(Int), &allocate_memory>("malloc"),
    binding<Addr(Addr, Int, Int), static_cast<FindMemoryFn>(&::memchr)>("memchr"),
    binding<Int(Addr, Addr, Int), &::memcmp>("memcmp"),
    binding<Addr(Addr, Addr, Int), &copy_memory>("memcpy"),
    binding<Addr(Addr, Addr, Int), &::memmove>("memmove"),
    binding<Addr(Addr, Int, Int), &::memset>("memset"),
    binding<Addr(AddrOrNull, Int), &reallocate_memory>("realloc"),
};
inline constexpr std::span<const BuiltinRow> kCMemoryBuiltins = kCMemoryRows;

}  // namespace ruk
