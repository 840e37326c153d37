// Builtins: numeric operators and comparisons (plus dash mult over cent powa, less gteq
// same diff, buck wave flip, real rank). The operations themselves live in core/arith.h,
// core/compare.h and core/unary.h; the rows here hand them the operands of the call.
#pragma once

#include <span>

#include "core/arith.h"
#include "core/compare.h"
#include "core/unary.h"
#include "lib/marshal.h"

namespace ruk {

namespace operators {

template <ArithOp Op>
CellRef arithmetic_of(Cell* a, Cell* b) {
    return arithmetic(Op, a, b);
}

template <CompareOp Op>
CellRef comparison_of(Cell* a, Cell* b) {
    return comparison(Op, a, b);
}

}  // namespace operators

inline constexpr BuiltinRow kOperatorRows[] = {
    by_hand<&buck>("buck"),
    by_hand<&operators::arithmetic_of<ArithOp::Cent>>("cent"),
    by_hand<&operators::arithmetic_of<ArithOp::Dash>>("dash"),
    by_hand<&operators::comparison_of<CompareOp::Diff>>("diff"),
    by_hand<&flip>("flip"),
    by_hand<&operators::comparison_of<CompareOp::Gteq>>("gteq"),
    by_hand<&operators::comparison_of<CompareOp::Less>>("less"),
    by_hand<&operators::arithmetic_of<ArithOp::Mult>>("mult"),
    by_hand<&operators::arithmetic_of<ArithOp::Over>>("over"),
    by_hand<&operators::arithmetic_of<ArithOp::Plus>>("plus"),
    by_hand<&operators::arithmetic_of<ArithOp::Powa>>("powa"),
    by_hand<&rank_of>("rank"),
    by_hand<&real_of>("real"),
    by_hand<&operators::comparison_of<CompareOp::Same>>("same"),
    by_hand<&wave>("wave"),
};
inline constexpr std::span<const BuiltinRow> kOperatorBuiltins = kOperatorRows;

}  // namespace ruk
