// The entry point of the workbench command (driver/workbench.cpp), prepared as ruk's own.
#include <csignal>
#include <cstdlib>
#include <new>

#include "core/assert.h"
#include "core/stack.h"
#include "driver/workbench.h"

int main(int argc, char** argv) {
    // A write to a closed pipe or socket must fail with EPIPE, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    std::set_new_handler(ruk::out_of_memory);
    RUK_ASSERT(argc != 0);
    int status = ruk::run_on_big_stack([argc, argv] { return ruk::workbench_main(argc, argv); });
    std::fflush(stdout);
    std::exit(status);
}
