// Builtins: trees, lists, texts (raws tern leak type left rght leaf tail look into cats cork init rows lord lots).
#pragma once

#include <span>

#include "lib/marshal.h"

namespace ruk {

// Not written yet: every name of this family still answers through the placeholder.
inline constexpr std::span<const BuiltinRow> kDataBuiltins{};

}  // namespace ruk
