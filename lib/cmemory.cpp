#include "lib/cmemory.h"

namespace ruk {

void* copy_memory(void* destination, const void* source, size_t count) noexcept {
    return std::memmove(destination, source, count);
}

// Through volatile pointers, so no compiler can see which function it calls.
void* allocate_memory(size_t size) noexcept {
    static void* (*volatile const host)(size_t) = &::malloc;
    return host(size);
}

void* allocate_zeroed(size_t count, size_t size) noexcept {
    static void* (*volatile const host)(size_t, size_t) = &::calloc;
    return host(count, size);
}

void* reallocate_memory(void* block, size_t size) noexcept {
    static void* (*volatile const host)(void*, size_t) = &::realloc;
    return host(block, size);
}

}  // namespace ruk
