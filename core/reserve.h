// Ranges of address space reserved up front and committed page by page as they are
// touched: the interpreter's stack, the cell region and the continuation's two stacks.
// Where the address space is limited (ulimit -v), each range takes no more than its share
// of the limit, so that the rest serves what the program allocates as it runs; running out
// then ends in the one "out of memory" message instead of the first range taking it all.
#pragma once

#include <cstddef>

namespace ruk {

// The largest range to ask for: `wanted`, or 1/share of the address-space limit when that
// is less.
[[nodiscard]] size_t reservable(size_t wanted, size_t share);

// Reserves the largest range of at most reservable(max_bytes, share) bytes that can be had,
// halving down to min_bytes (less under a tight limit, but never below 1 MiB); its size
// goes to *got. nullptr when not even that can be had.
[[nodiscard]] void* reserve_range(size_t max_bytes, size_t min_bytes, size_t share, size_t* got);

// Gives back a range reserve_range made, with the pages it committed.
void release_range(void* range, size_t bytes);

}  // namespace ruk
