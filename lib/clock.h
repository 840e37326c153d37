// Builtins: time and the calendar. Time values are the host's time_t (8 bytes), `tm`
// records the host's; both travel by address.
#pragma once

#include <ctime>
#include <span>

#include "lib/marshal.h"

namespace ruk {

inline constexpr BuiltinRow kClockRows[] = {
    binding<Addr(Addr), &::asctime>("asctime"),
    binding<Addr(Addr), &::ctime>("ctime"),
    binding<Flt(Int, Int), &::difftime>("difftime"),
    binding<Addr(Addr), &::gmtime>("gmtime"),
    binding<Addr(Addr), &::localtime>("localtime"),
    binding<Int(Addr), &::mktime>("mktime"),
    binding<Int(Addr, Int, Str, Addr), &::strftime>("strftime"),
    // the time is also stored at the address unless it is 0
    binding<Int(AddrOrNull), &::time>("time"),
};
inline constexpr std::span<const BuiltinRow> kClockBuiltins = kClockRows;

}  // namespace ruk
