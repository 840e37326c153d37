// Builtins: numeric operators and comparisons (plus dash mult over cent powa, less gteq
// same diff, buck wave flip, real rank). The operations themselves live in core/arith.h,
// core/compare.h and core/unary.h; the rows here take the operands out of the call.
#pragma once

#include <span>

#include "core/arith.h"
#include "core/compare.h"
#include "core/unary.h"
#include "lib/marshal.h"

namespace ruk {

namespace operators {

template <ArithOp Op>
CellRef arithmetic_call(CellRef call) {
    auto args = call_arguments<2>(call.get());
    if (!args) return leaves().Z;
    return arithmetic(Op, (*args)[0], (*args)[1]);
}

template <CompareOp Op>
CellRef comparison_call(CellRef call) {
    auto args = call_arguments<2>(call.get());
    if (!args) return leaves().Z;
    return comparison(Op, (*args)[0], (*args)[1]);
}

template <CellRef (*Fn)(Cell*)>
CellRef unary_call(CellRef call) {
    auto args = call_arguments<1>(call.get());
    if (!args) return leaves().Z;
    return Fn((*args)[0]);
}

}  // namespace operators

inline constexpr BuiltinRow kOperatorRows[] = {
    row("buck", 1, operators::unary_call<&buck>),
    row("cent", 2, operators::arithmetic_call<ArithOp::Cent>),
    row("dash", 2, operators::arithmetic_call<ArithOp::Dash>),
    row("diff", 2, operators::comparison_call<CompareOp::Diff>),
    row("flip", 1, operators::unary_call<&flip>),
    row("gteq", 2, operators::comparison_call<CompareOp::Gteq>),
    row("less", 2, operators::comparison_call<CompareOp::Less>),
    row("mult", 2, operators::arithmetic_call<ArithOp::Mult>),
    row("over", 2, operators::arithmetic_call<ArithOp::Over>),
    row("plus", 2, operators::arithmetic_call<ArithOp::Plus>),
    row("powa", 2, operators::arithmetic_call<ArithOp::Powa>),
    row("rank", 1, operators::unary_call<&rank_of>),
    row("real", 1, operators::unary_call<&real_of>),
    row("same", 2, operators::comparison_call<CompareOp::Same>),
    row("wave", 1, operators::unary_call<&wave>),
};
inline constexpr std::span<const BuiltinRow> kOperatorBuiltins = kOperatorRows;

}  // namespace ruk
