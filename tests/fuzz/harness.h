// What the fuzz targets share: one input taken from an empty table to an empty table on
// the interpreter's big stack, as far as a stage, with the cells it leaves behind counted.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/cell.h"
#include "core/check.h"
#include "core/compile.h"
#include "core/defs.h"
#include "core/intern.h"
#include "core/leaves.h"
#include "core/machine.h"
#include "core/print.h"
#include "core/report.h"
#include "core/stack.h"
#include "core/start.h"
#include "core/vm.h"

namespace ruk::fuzz {

// Steps (machine steps and compiled calls together) that one run may take.
inline constexpr uint64_t kRunSteps = 100000;

enum class Stage { Compile, Check, Run };

struct Outcome {
    std::string value;          // the value printed, or the report's type and text
    bool out_of_steps = false;  // the run was cut short by the step budget
    int64_t leaked = 0;         // cells live afterwards beyond those live before
    size_t stack_values = 0;    // values the compiled code left on its stack
};

inline std::string report_text(const Report& r) {
    return std::string(type_name(r.type)) + ": " + r.text;
}

// The input up to `stage`, on the machine alone or with compiled definitions.
inline Outcome run_stage(std::string_view text, Stage stage, bool machine) {
    static char program[] = "fuzz.ruk";
    static char* argv[] = {program, program, nullptr};
    if (machine)
        setenv("RUK_ENGINE", "machine", 1);
    else
        unsetenv("RUK_ENGINE");
    Outcome out;
    run_on_big_stack([&] {
        // The shared leaves live for the process; the intern table is emptied on both sides
        // of the count, as the counting build of the driver does.
        (void)leaves();
        clear_intern_table();
        uint64_t before = cell_stats().live;
        initialise();
        Report r = compile(text);
        if (r.ok() && stage == Stage::Check) r = check_program();
        if (r.ok() && stage == Stage::Run) {
            step_budget = kRunSteps;
            r = run_program(argv);
            out.out_of_steps = step_budget == 0;
        }
        if (stage == Stage::Run && r.ok())
            out.value = print_term(program_result());
        else
            out.value = report_text(r);
        out.stack_values = vm_live_values();
        definitions().clear();
        reset_machine();
        clear_intern_table();
        out.leaked = int64_t(cell_stats().live) - int64_t(before);
        return 0;
    });
    unsetenv("RUK_ENGINE");
    return out;
}

// Ends the process with a message the fuzzer reports as a crash.
[[noreturn]] inline void fail(const char* what, std::string_view text, const std::string& detail) {
    std::fprintf(stderr, "\n==== %s\n---- input (%zu bytes):\n%.*s\n---- %s\n", what,
                 text.size(), int(text.size()), text.data(), detail.c_str());
    std::abort();
}

inline void require_clean(const Outcome& o, std::string_view text, const char* engine) {
    if (o.leaked != 0)
        fail("cells left live", text,
             std::string(engine) + ": " + std::to_string(o.leaked) + " cells; " + o.value);
    if (o.stack_values != 0)
        fail("values left on the compiled code's stack", text,
             std::string(engine) + ": " + std::to_string(o.stack_values) + "; " + o.value);
}

}  // namespace ruk::fuzz
