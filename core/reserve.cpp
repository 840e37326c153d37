#include "core/reserve.h"

#include <sys/mman.h>
#include <sys/resource.h>

#include <algorithm>

namespace ruk {

size_t reservable(size_t wanted, size_t share) {
    struct rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return wanted;
    return std::min(wanted, size_t(limit.rlim_cur) / share);
}

void* reserve_range(size_t max_bytes, size_t min_bytes, size_t share, size_t* got) {
    size_t start = reservable(max_bytes, share);
    // a tight limit lowers the floor too, but a range is at least a few pages
    size_t floor = std::max(std::min(min_bytes, start), size_t(1) << 20);
    for (size_t size = start; size >= floor; size /= 2) {
        void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p != MAP_FAILED) {
            *got = size;
            return p;
        }
    }
    return nullptr;
}

void release_range(void* range, size_t bytes) {
    if (range != nullptr) munmap(range, bytes);
}

}  // namespace ruk
