#include "lib/process.h"

namespace ruk {

// Called inside a binding, so this is the program's errno (lib/marshal.h).
int current_errno() noexcept { return errno; }

FILE* standard_output() noexcept { return stdout; }
FILE* standard_error() noexcept { return stderr; }

void check_library_assertion(bool holds) noexcept {
    if (!holds) library_assertion_failed(module_of(__FILE__), __LINE__);
}

}  // namespace ruk
