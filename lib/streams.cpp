#include "lib/streams.h"

#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstring>

namespace ruk {

size_t write_items(const char* data, size_t size, size_t count, FILE* stream) noexcept {
    return std::fwrite(data, size, count, stream);
}

ssize_t write_bytes(int descriptor, const char* data, size_t count) noexcept {
    return ::write(descriptor, data, count);
}

int close_descriptor(int descriptor) noexcept { return ::close(descriptor) == 0 ? 1 : 0; }

namespace {

constexpr char kNameDigits[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr size_t kNameDigitCount = sizeof(kNameDigits) - 1;
constexpr char kNamePrefix[] = "/tmp/ruk";
constexpr int kNameLetters = 6;
static_assert(sizeof(kNamePrefix) - 1 + kNameLetters < L_tmpnam, "a name fits L_tmpnam bytes");

// Names are drawn from a generator seeded once from the clock and the process, so that
// two processes started together do not walk the same names.
uint64_t next_draw() {
    static uint64_t state = [] {
        timespec t{};
        clock_gettime(CLOCK_REALTIME, &t);
        return uint64_t(t.tv_nsec) ^ (uint64_t(t.tv_sec) << 20) ^ (uint64_t(getpid()) << 40) ^
               0x9E3779B97F4A7C15ULL;
    }();
    // xorshift64*
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
}

}  // namespace

char* temporary_name(char* buffer) noexcept {
    static char own[L_tmpnam];
    char* name = buffer != nullptr ? buffer : own;
    int saved = errno;
    for (int attempt = 0; attempt < TMP_MAX; ++attempt) {
        char candidate[L_tmpnam];
        std::memcpy(candidate, kNamePrefix, sizeof(kNamePrefix) - 1);
        uint64_t draw = next_draw();
        for (int i = 0; i < kNameLetters; ++i) {
            candidate[sizeof(kNamePrefix) - 1 + i] = kNameDigits[draw % kNameDigitCount];
            draw /= kNameDigitCount;
        }
        candidate[sizeof(kNamePrefix) - 1 + kNameLetters] = '\0';
        struct stat info;
        if (lstat(candidate, &info) == 0) continue;  // taken
        if (errno == ENOENT) {
            errno = saved;
            std::memcpy(name, candidate, sizeof(kNamePrefix) + kNameLetters);
            return name;
        }
        return nullptr;  // /tmp itself cannot be searched: errno says why
    }
    errno = EEXIST;
    return nullptr;
}

}  // namespace ruk
