// Program assembly: the prelude, the builtins as definitions, and the program's own
// definitions, all entered into the definition table.
#pragma once

#include <string_view>

#include "core/report.h"

namespace ruk {

// Empties the tables and loads the prelude. Called once, before compile.
void initialise();

// Checks brackets and commas, then fills the definition table from the program text.
// The report is no error (ok()) on success.
[[nodiscard]] Report compile(std::string_view program_text);

}  // namespace ruk
