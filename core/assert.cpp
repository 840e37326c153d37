#include "core/assert.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace ruk {

namespace {
[[noreturn]] void fail(const char* prefix, const char* module, int line) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s%s:%d\n", prefix, module, line);
    std::fflush(stderr);
    std::abort();
}
}  // namespace

void assertion_failed(const char* module, int line) { fail("ASSERTION FAILED:", module, line); }

void library_assertion_failed(const char* module, int line) {
    fail("LIBS ASSERTION FAILED: ", module, line);
}

void fatal_tagged(const char* tag, const char* module, int line) {
    std::printf("REDVFAIL: %s\n", tag);
    assertion_failed(module, line);
}

void out_of_memory() {
    std::fflush(nullptr);
    static const char kMessage[] = "ruk: out of memory\n";
    ssize_t ignored = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    (void)ignored;
#ifdef RUK_FUZZING
    // The fuzzing build stops with a signal, so the fuzzer keeps the input that got here: no
    // input within its bounds should need that much memory.
    std::abort();
#endif
    ::_exit(kErrorStatus);  // no destructors: they could need memory, or take long
}

}  // namespace ruk
