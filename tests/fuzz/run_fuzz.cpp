// Whole runs within a step budget on both engines: the machine alone and the compiled
// definitions must give the same value or the same report, and neither may leave a cell
// behind. A run cut short by the budget is compared with nothing, since the two engines
// count their work differently.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tests/fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    using namespace ruk::fuzz;
    Outcome machine = run_stage(text, Stage::Run, true);
    require_clean(machine, text, "machine");
    Outcome compiled = run_stage(text, Stage::Run, false);
    require_clean(compiled, text, "compiled");
    if (!machine.out_of_steps && !compiled.out_of_steps && machine.value != compiled.value)
        fail("the engines disagree", text,
             "machine:  " + machine.value + "\ncompiled: " + compiled.value);
    return 0;
}
