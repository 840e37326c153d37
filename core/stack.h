// All of the interpreter's work runs on a thread with a large stack (reserved, not
// committed). Nothing recurses over the depth of a term any more; the room is there for
// the walks that recurse to a fixed bound and for the C library's own needs.
#pragma once

#include <cstddef>
#include <functional>

namespace ruk {

constexpr size_t kBigStack = size_t(4) << 30;  // 4 GiB of address space

// Runs fn on a fresh thread with a stack of `bytes`, waits for it, returns fn's result.
int run_on_big_stack(const std::function<int()>& fn, size_t bytes = kBigStack);

}  // namespace ruk
