// The marshalling of the C bindings: one template turns a C function into a builtin.
//
// A binding states its conventions as a function type over the tags below, result first,
// then one tag per C parameter in C order, and names the C function:
//
//   binding<Int(Str), &::strlen>("strlen")          // integer result, string argument
//
// The builtin it makes takes the arguments of its call, checks them first to last against
// their conventions, answers the leaf "Z" at the first failure without calling anything,
// otherwise converts them to the C parameter types, calls the function and turns its
// result into a cell. Argument conventions:
//
//   Int   an integer (operand kind i; binary floats are refused), converted to a signed
//         64-bit value and then with the ordinary C conversion to the integer parameter
//         type: the low 32 bits for an `int`.
//           binding<Int(Int), &::putchar>("putchar")
//   Addr  an integer taken as an address, for a pointer parameter the C function reads or
//         writes through; 0, the null pointer, is refused like a wrong kind.
//           binding<Int(Addr), &::fclose>("fclose")
//   AddrOrNull  the same, where the C function accepts a null pointer.
//           binding<Unit(AddrOrNull), &::free>("free")
//   Str   a string by its C-string view (lib/value.h): a blob's payload, a text leaf's
//         text with its "[", or an integer taken as an address; data pairs are refused,
//         and so is the integer 0, since every C string function reads its string.
//         The parameter must be `const char*`: a C function that writes into its string
//         must be given a copy, never the bytes of a cell.
//           binding<Addr(Str, Str), &::fopen>("fopen")
//   StrOrNull  the same, where the C function gives a null string a meaning.
//           binding<Addr(StrOrNull, Str), &strtok_copy>("strtok")
//   Flt   a float leaf (a blank and the 8 bytes of a double), passed as its double.
//           binding<Flt(Flt, Flt), &::hypot>("hypot")
//   Bool  the leaf "K" (true) or "H" (false).
//           binding<Unit(Bool), &check_library_assertion>("assert")
//
// Every argument is checked: there is no convention without a check, so `free`,
// `freeaddrinfo`, `memset`, `getaddrinfo` and the readers `getu` to `gety` give "Z" for a
// wrong kind like every other binding instead of reaching an assertion in a conversion.
// An address other than 0 is passed on as it is: whether memory lies behind it is the
// program's affair, as in C.
//
// Result conventions:
//
//   Int   a C integer becomes a number leaf: signed types by their value, unsigned types
//         (size_t, ...) by their unsigned value.          binding<Int(Int), &::raise>
//   Addr  a pointer becomes the integer of its address, 0 for a null pointer.
//                                                         binding<Addr(), &standard_output>
//   Flt   a double becomes a new float leaf.              binding<Flt(Flt), &::sqrt>
//   Bool  a non-zero C result gives the shared leaf "K", zero gives "H".
//                                                         binding<Bool(Int), &below_128>
//   Unit  a void function gives the shared leaf "I".      binding<Unit(Int), &::srand>
//
// Constants of arity 0 take no function: constant<EACCES>("eacces").
//
// Overloaded C++ names (std::strchr has two) must be picked with a cast or wrapped in a
// plain function; C functions that need glue (a guard, an out-parameter) are wrapped in a
// small named function that is then bound like any other.
//
// errno as the program sees it changes only through the C functions it calls: each call
// starts with errno set to the value the previous call left, and the value it leaves is
// kept, so the interpreter's own library use between calls (a strtod in a numeric
// conversion, an allocation) never shows through the builtin `errno`, nor the program's
// errno in the interpreter. Bindings written by hand around C calls keep the same rule
// with a CErrno object across the calls.
#pragma once

#include <array>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "core/cell.h"
#include "core/leaves.h"
#include "core/number.h"
#include "lib/table.h"
#include "lib/value.h"

namespace ruk {

// ---- the arguments of a call ------------------------------------------------------

// The arguments of a call of arity N, first to last, borrowed from the call cell: the last
// is its right child, the one before the right child of its left child, and so on. Nothing
// when the left spine ends before N arguments (a program that redefined the builtin's name
// with fewer parameters makes such calls).
template <size_t N>
[[nodiscard]] std::optional<std::array<Cell*, N>> call_arguments(Cell* call) {
    std::array<Cell*, N> args{};
    for (size_t i = N; i > 0; --i) {
        if (!is_pair(call)) return std::nullopt;
        args[i - 1] = right_of(call);
        call = left_of(call);
    }
    return args;
}

// ---- errno of the program ---------------------------------------------------------

// The errno that the last C call of a binding left; 0 before the first.
inline int program_errno = 0;

// Brackets C calls made by hand: errno is the program's while the object lives, and the
// interpreter's own again afterwards.
struct CErrno {
    int interpreter = errno;
    CErrno() { errno = program_errno; }
    ~CErrno() {
        program_errno = errno;
        errno = interpreter;
    }
    CErrno(const CErrno&) = delete;
    CErrno& operator=(const CErrno&) = delete;
};

// ---- conventions ------------------------------------------------------------------

struct Int {};
struct Addr {};
struct AddrOrNull {};
struct Str {};
struct StrOrNull {};
struct Flt {};
struct Bool {};
struct Unit {};

namespace marshal {

// How an argument of each convention is checked and read.
template <class Tag>
struct Argument;

template <>
struct Argument<Int> {
    using type = int64_t;
    static bool read(Cell* v, int64_t& out) {
        if (!is_integer(v)) return false;
        out = int64_from_integer(v);
        return true;
    }
};
template <>
struct Argument<AddrOrNull> {
    using type = int64_t;
    static bool read(Cell* v, int64_t& out) { return Argument<Int>::read(v, out); }
};
template <>
struct Argument<Addr> {
    using type = int64_t;
    static bool read(Cell* v, int64_t& out) { return Argument<Int>::read(v, out) && out != 0; }
};

template <>
struct Argument<StrOrNull> {
    using type = const char*;
    static bool read(Cell* v, const char*& out) {
        std::optional<const char*> s = c_string_view(v);
        if (!s) return false;
        out = *s;
        return true;
    }
};
template <>
struct Argument<Str> {
    using type = const char*;
    static bool read(Cell* v, const char*& out) {
        return Argument<StrOrNull>::read(v, out) && out != nullptr;
    }
};

template <>
struct Argument<Flt> {
    using type = double;
    static bool read(Cell* v, double& out) {
        if (!is_leaf(v) || first_byte(v) != ' ') return false;
        out = double_from_real(v);
        return true;
    }
};

template <>
struct Argument<Bool> {
    using type = bool;
    static bool read(Cell* v, bool& out) {
        if (is_letter(v, 'K'))
            out = true;
        else if (is_letter(v, 'H'))
            out = false;
        else
            return false;
        return true;
    }
};

// A read argument given to a C parameter of type P.
template <class P, class Tag, class V>
P to_parameter(V v) {
    if constexpr (std::is_same_v<Tag, Int>) {
        static_assert(std::is_integral_v<P> || std::is_enum_v<P>,
                      "an Int argument goes to an integer parameter; addresses are Addr");
        return static_cast<P>(v);
    } else if constexpr (std::is_same_v<Tag, Addr> || std::is_same_v<Tag, AddrOrNull>) {
        static_assert(std::is_pointer_v<P>, "an address goes to a pointer parameter");
        return reinterpret_cast<P>(static_cast<uintptr_t>(v));
    } else if constexpr (std::is_same_v<Tag, Str> || std::is_same_v<Tag, StrOrNull>) {
        static_assert(std::is_same_v<P, const char*>, "a string goes to a const char* parameter");
        return v;
    } else if constexpr (std::is_same_v<Tag, Flt>) {
        static_assert(std::is_floating_point_v<P>, "a float goes to a floating parameter");
        return static_cast<P>(v);
    } else {
        static_assert(std::is_same_v<Tag, Bool>, "no such argument convention");
        static_assert(std::is_same_v<P, bool> || std::is_integral_v<P>,
                      "a boolean goes to a bool or integer parameter");
        return static_cast<P>(v);
    }
}

// The result of a C function of return type R as a cell.
template <class Tag, class R>
CellRef to_result(R r) {
    if constexpr (std::is_same_v<Tag, Int>) {
        static_assert(std::is_integral_v<R> || std::is_enum_v<R>, "an Int result is a C integer");
        if constexpr (std::is_signed_v<R> || std::is_enum_v<R>)
            return integer_from_int64(static_cast<int64_t>(r));
        else
            return integer_from_uint64(static_cast<uint64_t>(r));
    } else if constexpr (std::is_same_v<Tag, Addr>) {
        static_assert(std::is_pointer_v<R>, "an Addr result is a pointer");
        return integer_from_uint64(reinterpret_cast<uintptr_t>(r));
    } else if constexpr (std::is_same_v<Tag, Flt>) {
        static_assert(std::is_floating_point_v<R>, "a Flt result is floating");
        return real_from_double(static_cast<double>(r));
    } else {
        static_assert(std::is_same_v<Tag, Bool>, "no such result convention");
        static_assert(std::is_integral_v<R>, "a Bool result is a C integer or bool");
        return leaf_bool(r != 0);
    }
}

// The return and parameter types of a C function, deduced from its pointer (a deduction
// rather than a class specialisation on decltype, which would drop the C attributes
// with a warning).
template <class R, class... P>
struct CSignature {
    using result = R;
    using parameters = std::tuple<P...>;
    static constexpr size_t arity = sizeof...(P);
};
// One overload for functions with and without noexcept: two would both take a noexcept
// function, and some compilers find the choice ambiguous.
template <class R, class... P, bool NoExcept>
CSignature<R, P...> c_signature(R (*)(P...) noexcept(NoExcept));

template <class Sig, auto Fn>
struct Binding;

template <class R, class... A, auto Fn>
struct Binding<R(A...), Fn> {
    using C = decltype(c_signature(Fn));
    using Values = std::tuple<typename Argument<A>::type...>;
    static constexpr size_t arity = sizeof...(A);
    static_assert(C::arity == arity, "one argument convention per C parameter");
    static_assert(arity <= 7, "builtins take at most seven arguments");

    // The call owns the arguments, and so keeps the bytes of string arguments alive until
    // the C function has returned; it is released on return.
    static CellRef call(CellRef call) {
        std::optional<std::array<Cell*, arity>> args = call_arguments<arity>(call.get());
        if (!args) return leaves().Z;
        Values values;
        if (!read_all(*args, values, std::index_sequence_for<A...>{})) return leaves().Z;
        return invoke(values, std::index_sequence_for<A...>{});
    }

    // && stops at the first failure: later arguments are not even looked at.
    template <size_t... I>
    static bool read_all(const std::array<Cell*, arity>& args, Values& values,
                         std::index_sequence<I...>) {
        return (Argument<A>::read(args[I], std::get<I>(values)) && ...);
    }

    template <size_t... I>
    static CellRef invoke(Values& values, std::index_sequence<I...>) {
        using CR = typename C::result;
        if constexpr (std::is_void_v<CR>) {
            static_assert(std::is_same_v<R, Unit>, "a void C function has the Unit result");
            {
                CErrno scope;
                Fn(to_parameter<std::tuple_element_t<I, typename C::parameters>, A>(
                    std::get<I>(values))...);
            }
            return leaves().I;
        } else {
            static_assert(!std::is_same_v<R, Unit>, "the Unit result is for void functions");
            CR r;
            {
                CErrno scope;
                r = Fn(to_parameter<std::tuple_element_t<I, typename C::parameters>, A>(
                    std::get<I>(values))...);
            }
            return to_result<R>(r);
        }
    }
};

template <int64_t V>
CellRef constant_value(CellRef) {
    return integer_from_int64(V);
}

}  // namespace marshal

// The builtin of a C function under the conventions Sig, e.g. c_call<Int(Str), &::strlen>.
template <class Sig, auto Fn>
inline constexpr BuiltinFn c_call = &marshal::Binding<Sig, Fn>::call;

// A table row for that builtin; its arity is the number of argument conventions.
template <class Sig, auto Fn>
[[nodiscard]] constexpr BuiltinRow binding(std::string_view name) {
    return {name, static_cast<uint8_t>(marshal::Binding<Sig, Fn>::arity), c_call<Sig, Fn>};
}

// A table row for a constant of arity 0. Equal constants share one implementation.
template <int64_t V>
[[nodiscard]] constexpr BuiltinRow constant(std::string_view name) {
    return {name, 0, &marshal::constant_value<V>};
}

// ---- builtins written by hand -----------------------------------------------------
//
// A builtin written by hand is a function over its arguments, borrowed from the call first
// to last, and states its arity once, by its parameters:
//
//   CellRef data_look(Cell* i, Cell* x);           by_hand<&data_look>("look")
//
// One that must own the call (to change an argument that nothing else holds) takes it
// first, ahead of the arguments:
//
//   CellRef data_tail(CellRef call, Cell* x);      by_hand<&data_tail>("tail")
//
// A call with fewer arguments than that (a program that redefined the name with fewer
// parameters makes such calls) gives "Z" without calling the function.

namespace marshal {

template <class F>
struct HandWritten;
template <class... P>
struct HandWritten<CellRef (*)(P...)> {
    static_assert((std::is_same_v<P, Cell*> && ...), "the arguments come as borrowed cells");
    static constexpr bool owns_call = false;
    static constexpr size_t arity = sizeof...(P);
};
template <class... P>
struct HandWritten<CellRef (*)(CellRef, P...)> {
    static_assert((std::is_same_v<P, Cell*> && ...), "the arguments come as borrowed cells");
    static constexpr bool owns_call = true;
    static constexpr size_t arity = sizeof...(P);
};

template <auto Fn, size_t... I>
CellRef hand_written_apply([[maybe_unused]] CellRef&& call,
                           [[maybe_unused]] const std::array<Cell*, sizeof...(I)>& args,
                           std::index_sequence<I...>) {
    if constexpr (HandWritten<decltype(Fn)>::owns_call)
        return Fn(std::move(call), args[I]...);
    else
        return Fn(args[I]...);
}

template <auto Fn>
CellRef hand_written_call(CellRef call) {
    constexpr size_t n = HandWritten<decltype(Fn)>::arity;
    std::optional<std::array<Cell*, n>> args = call_arguments<n>(call.get());
    if (!args) return leaves().Z;
    return hand_written_apply<Fn>(std::move(call), *args, std::make_index_sequence<n>{});
}

}  // namespace marshal

// A table row for a builtin written by hand; its arity is the number of its arguments.
template <auto Fn>
[[nodiscard]] constexpr BuiltinRow by_hand(std::string_view name) {
    return {name, static_cast<uint8_t>(marshal::HandWritten<decltype(Fn)>::arity),
            &marshal::hand_written_call<Fn>};
}

}  // namespace ruk
