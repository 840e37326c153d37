// The front end, then the checker with its preparing passes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tests/fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    using namespace ruk::fuzz;
    require_clean(run_stage(text, Stage::Check, true), text, "checker");
    return 0;
}
