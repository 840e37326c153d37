// Byte counts in the bindings that move data: a count convention that refuses negative
// values, and a bound that keeps a call from reading past the bytes of a value.
//
//   Size  a non-negative integer for a size_t parameter (a byte or item count); a negative
//         one gives "Z", where C would turn it into a huge count and run over the buffer.
//           binding<Int(Addr, Size, Size, Addr), &::fread>("fread")
//
// A data argument in the string convention is either an address, whose memory is the
// program's affair, or a blob or text whose bytes the interpreter owns. For the latter,
// bounded_binding<Sig, Fn, Data, Count, Item> refuses ("Z") a call whose argument Count
// (times argument Item, when there is one) asks for more bytes than argument Data holds:
// a blob its payload, a text leaf its text from the "[" on, each with the terminating
// zero byte after it.
//           bounded_binding<Int(Int, Str, Size), &write_bytes, 1, 2>("write")
#pragma once

#include <cstddef>
#include <cstdint>

#include "lib/marshal.h"

namespace ruk {

struct Size {};

namespace marshal {

template <>
struct Argument<Size> {
    using type = int64_t;
    static bool read(Cell* v, int64_t& out) {
        return Argument<Int>::read(v, out) && is_non_negative(v);
    }
};

template <>
inline size_t to_parameter<size_t, Size, int64_t>(int64_t v) {
    return static_cast<size_t>(v);
}

}  // namespace marshal

inline constexpr size_t kNoItemSize = size_t(-1);

// False when data is a blob or a text leaf holding fewer bytes than count × item; true
// otherwise, also when an argument is of a kind the binding's own checks refuse.
[[nodiscard]] bool data_holds(Cell* data, Cell* count, Cell* item);

template <class Sig, auto Fn, size_t Data, size_t Count, size_t Item>
CellRef bounded_call(CellRef call) {
    using B = marshal::Binding<Sig, Fn>;
    static_assert(Data < B::arity && Count < B::arity);
    static_assert(Item == kNoItemSize || Item < B::arity);
    std::optional<std::array<Cell*, B::arity>> args = call_arguments<B::arity>(call.get());
    if (args) {
        Cell* item = Item == kNoItemSize ? nullptr : (*args)[Item == kNoItemSize ? 0 : Item];
        if (!data_holds((*args)[Data], (*args)[Count], item)) return leaves().Z;
    }
    return B::call(std::move(call));
}

// A table row for a binding whose data argument is bounded as above.
template <class Sig, auto Fn, size_t Data, size_t Count, size_t Item = kNoItemSize>
[[nodiscard]] constexpr BuiltinRow bounded_binding(std::string_view name) {
    return {name, static_cast<uint8_t>(marshal::Binding<Sig, Fn>::arity),
            &bounded_call<Sig, Fn, Data, Count, Item>};
}

}  // namespace ruk
