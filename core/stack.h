// The front end, the analysis and substitution recurse over the depth of a term, and
// deep nesting is everyday input. All of the interpreter's work therefore runs on a
// thread whose stack is large enough for it (reserved, not committed).
#pragma once

#include <cstddef>
#include <functional>

namespace ruk {

constexpr size_t kBigStack = size_t(4) << 30;  // 4 GiB of address space

// Runs fn on a fresh thread with a stack of `bytes`, waits for it, returns fn's result.
int run_on_big_stack(const std::function<int()>& fn, size_t bytes = kBigStack);

}  // namespace ruk
