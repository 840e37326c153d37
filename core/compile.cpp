#include "core/compile.h"

#include "core/parse.h"

namespace ruk {

// For now only the bracket and comma checks run; definitions come with the prelude.
void initialise() {}

Report compile(std::string_view program_text) { return check_brackets(program_text); }

}  // namespace ruk
