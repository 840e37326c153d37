// Runs a program like ruk does and reports the machine's steps and the time taken on
// standard error, for the benchmark script.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "core/cell.h"
#include "core/code.h"
#include "core/compile.h"
#include "core/machine.h"
#include "core/stack.h"
#include "core/start.h"
#include "core/vm.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: rukstat prog.ruk args...\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ruk::run_on_big_stack([&] {
        ruk::initialise();
        ruk::Report report = ruk::compile(text);
        auto start = std::chrono::steady_clock::now();
        uint64_t steps0 = ruk::machine_steps();
        uint64_t cells0 = ruk::cell_stats().allocated;
        if (report.ok()) report = ruk::run_program(argv);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ruk::EngineStats engine = ruk::engine_stats();
        std::fprintf(stderr,
                     "steps=%llu cells=%llu seconds=%.6f report=%.*s engine=%s entries=%llu "
                     "calls=%llu handovers=%llu\n",
                     static_cast<unsigned long long>(ruk::machine_steps() - steps0),
                     static_cast<unsigned long long>(ruk::cell_stats().allocated - cells0),
                     seconds, int(ruk::type_name(report.type).size()),
                     ruk::type_name(report.type).data(), ruk::compiled_engine_on() ? "compiled" : "machine",
                     static_cast<unsigned long long>(engine.entries),
                     static_cast<unsigned long long>(engine.calls),
                     static_cast<unsigned long long>(engine.handovers));
        return report.ok() ? 0 : 1;
    });
}
