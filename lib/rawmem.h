// Builtins: raw memory by address. The readers getu ... gety and the writers setu ... setx
// move one fixed-width integer; copy writes the bytes of a whole value.
//
// Addresses are integers and go through the same check as every address of the C
// bindings: a wrong kind, or the null address 0, gives "Z" and nothing is touched. Whether
// memory lies behind any other address is the program's affair, as in C. Accesses need no
// alignment.
#pragma once

#include <cstdint>
#include <span>

#include "lib/marshal.h"

namespace ruk {

[[nodiscard]] uint32_t read_u32(const unsigned char* p) noexcept;
[[nodiscard]] int32_t read_s32(const unsigned char* p) noexcept;
[[nodiscard]] uint16_t read_u16(const unsigned char* p) noexcept;
[[nodiscard]] int16_t read_s16(const unsigned char* p) noexcept;
[[nodiscard]] int64_t read_s64(const unsigned char* p) noexcept;
[[nodiscard]] uint8_t read_u8(const unsigned char* p) noexcept;
[[nodiscard]] int8_t read_s8(const unsigned char* p) noexcept;

// Each stores the low bits of the value that its width holds.
void write_32(unsigned char* p, uint32_t v) noexcept;
void write_16(unsigned char* p, uint16_t v) noexcept;
void write_64(unsigned char* p, uint64_t v) noexcept;
void write_8(unsigned char* p, uint8_t v) noexcept;

// copy value address: the value's bytes at the address; "I".
[[nodiscard]] CellRef copy_value(Cell* value, Cell* address);

// getw and getz are one operation, and so one implementation.
inline constexpr BuiltinRow kRawMemoryRows[] = {
    by_hand<&copy_value>("copy"),
    binding<Int(Addr), &read_s32>("gets"),
    binding<Int(Addr), &read_u16>("gett"),
    binding<Int(Addr), &read_u32>("getu"),
    binding<Int(Addr), &read_s16>("getv"),
    binding<Int(Addr), &read_s64>("getw"),
    binding<Int(Addr), &read_u8>("getx"),
    binding<Int(Addr), &read_s8>("gety"),
    binding<Int(Addr), &read_s64>("getz"),
    binding<Unit(Addr, Int), &write_16>("sett"),
    binding<Unit(Addr, Int), &write_32>("setu"),
    binding<Unit(Addr, Int), &write_64>("setw"),
    binding<Unit(Addr, Int), &write_8>("setx"),
};
inline constexpr std::span<const BuiltinRow> kRawMemoryBuiltins = kRawMemoryRows;

}  // namespace ruk
