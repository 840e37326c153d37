#include "lib/sockets.h"

#include <cstring>

namespace ruk {

void add_to_set(int64_t socket, SocketSet* set) noexcept {
    uint32_t n = set->count < 64 ? set->count : 64;
    for (uint32_t i = 0; i < n; ++i)
        if (set->sockets[i] == socket) return;
    if (set->count < 64) set->sockets[set->count++] = socket;
}

const char* resolution_message(int code) noexcept {
    static char message[1024];
    const char* text = ::gai_strerror(code);
    size_t n = std::strlen(text);
    if (n >= sizeof message) n = sizeof message - 1;
    std::memcpy(message, text, n);
    message[n] = '\0';
    return message;
}

ssize_t send_bytes(int socket, const char* data, size_t length, int flags) noexcept {
    return ::send(socket, data, length, flags);
}

ssize_t send_bytes_to(int socket, const char* data, size_t length, int flags, const sockaddr* to,
                      socklen_t to_length) noexcept {
    return ::sendto(socket, data, length, flags, to, to_length);
}

}  // namespace ruk
