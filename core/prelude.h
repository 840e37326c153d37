// The prelude: the 26 capital combinators and the meaning of the operator characters.
#pragma once

#include <string_view>

namespace ruk {

// One text, each definition preceded by a comma.
extern const std::string_view kPrelude;

}  // namespace ruk
