// Bracket and comma checks on the raw program text, and the operator grammar that turns
// a normalised expression text into a term.
#pragma once

#include <string_view>

#include "core/cell.h"
#include "core/report.h"

namespace ruk {

// Bracket and comma checks on the raw text. On an error the report has type "Match" or
// "Comma", the error's byte offset as position, and the delivered text as text.
[[nodiscard]] Report check_brackets(std::string_view raw);

}  // namespace ruk
