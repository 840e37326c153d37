// Builtins: numeric operators and comparisons (plus dash mult over cent powa, less gteq same diff, buck wave flip, real rank).
#pragma once

#include <span>

#include "lib/marshal.h"

namespace ruk {

// Not written yet: every name of this family still answers through the placeholder.
inline constexpr std::span<const BuiltinRow> kOperatorBuiltins{};

}  // namespace ruk
