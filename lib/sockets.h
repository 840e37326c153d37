// Builtins: sockets and name resolution.
#pragma once

#include <span>

#include "lib/marshal.h"

namespace ruk {

// Not written yet: every name of this family still answers through the placeholder.
inline constexpr std::span<const BuiltinRow> kSocketBuiltins{};

}  // namespace ruk
