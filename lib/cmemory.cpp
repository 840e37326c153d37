#include "lib/cmemory.h"

namespace ruk {

void* copy_memory(void* destination, const void* source, size_t count) noexcept {
    return std::memmove(destination, source, count);
}

}  // namespace ruk
