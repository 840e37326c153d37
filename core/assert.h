// The one assertion of the interpreter: internal invariants only, never user errors.
// A failure prints "ASSERTION FAILED:" + module + ":" + line and aborts. The module is
// "b" for the core, "l" for the builtin library and "ruk" for the driver; it is read off
// the path of the file that holds the check, so headers report their own module.
#pragma once

#include <string_view>

namespace ruk {

constexpr const char* module_of(std::string_view path) {
    // The rightmost of /core/, /lib/, /driver/ in the path decides.
    size_t core = path.rfind("/core/"), lib = path.rfind("/lib/"), drv = path.rfind("/driver/");
    auto pos = [](size_t p) { return p == std::string_view::npos ? -1L : static_cast<long>(p); };
    long c = pos(core), l = pos(lib), d = pos(drv);
    if (l > c && l > d) return "l";
    if (d > c && d > l) return "ruk";
    return "b";
}

[[noreturn]] void assertion_failed(const char* module, int line);
// The library's `assert` builtin: same shape with "LIBS ASSERTION FAILED: ".
[[noreturn]] void library_assertion_failed(const char* module, int line);
// A dead end with a tag: "REDVFAIL: " + tag on stdout, then the assertion.
[[noreturn]] void fatal_tagged(const char* tag, const char* module, int line);

// The exit status of a run that ends in an error: a report, or memory running out. Only
// the low 8 bits of a status reach the parent, so it is chosen to be non-zero there.
inline constexpr int kErrorStatus = 128;
// The one end of every allocation that cannot be had (cells, numbers, texts and blobs,
// the continuation, the interpreter's own tables): what the program wrote so far is
// flushed, "ruk: out of memory" goes to the standard error stream, and the process ends
// with kErrorStatus. Allocates nothing.
[[noreturn]] void out_of_memory();

}  // namespace ruk

#define RUK_ASSERT(cond)                                                  \
    do {                                                                  \
        if (!(cond)) [[unlikely]]                                         \
            ::ruk::assertion_failed(::ruk::module_of(__FILE__), __LINE__); \
    } while (0)

#define RUK_FATAL(tag) ::ruk::fatal_tagged(tag, ::ruk::module_of(__FILE__), __LINE__)
