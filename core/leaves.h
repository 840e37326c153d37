// The combinator leaves that the machine and the builtins build into terms. They are made
// once and shared, so their analysis (a definition look-up) happens once for all uses.
#pragma once

#include "core/cell.h"

namespace ruk {

struct CommonLeaves {
    CellRef B, C, D, H, I, J, K, S, T, U, V, W, X, Y, Z, backslash, brace;
};

const CommonLeaves& make_leaves();
extern const CommonLeaves* g_leaves;
// The shared leaves; the intern pass enters them into the intern table first.
inline const CommonLeaves& leaves() { return g_leaves ? *g_leaves : make_leaves(); }

inline CellRef leaf_bool(bool b) { return b ? leaves().K : leaves().H; }

}  // namespace ruk
