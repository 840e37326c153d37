// Builtins: sockets and name resolution. Sockets, lengths, flags and families are
// integers; socket addresses, addrinfo records and buffers live in memory the program
// allocates and reads with the memory accessors.
#pragma once

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <span>

#include "lib/counts.h"
#include "lib/marshal.h"

namespace ruk {

// ruk's socket set (`fd_set`, 520 bytes): a count, then up to 64 sockets of 64 bits.
struct SocketSet {
    uint32_t count;
    uint32_t unused;
    int64_t sockets[64];
};
static_assert(sizeof(SocketSet) == 520 && offsetof(SocketSet, sockets) == 8);

// Adds a socket to a set unless it is there already or the set is full.
void add_to_set(int64_t socket, SocketSet* set) noexcept;

// The message of a name-resolution error code, in one static buffer of 1024 bytes that
// every call overwrites; its address is the same on every call.
[[nodiscard]] const char* resolution_message(int code) noexcept;

// Glue where the C function takes `const void*` data.
[[nodiscard]] ssize_t send_bytes(int socket, const char* data, size_t length, int flags) noexcept;
[[nodiscard]] ssize_t send_bytes_to(int socket, const char* data, size_t length, int flags,
                                    const sockaddr* to, socklen_t to_length) noexcept;

inline constexpr BuiltinRow kSocketRows[] = {
    binding<Int(Int, AddrOrNull, AddrOrNull), &::accept>("accept"),
    binding<Int(Int, Addr, Int), &::bind>("bind"),
    binding<Int(Int), &::close>("closesocket"),
    binding<Int(Int, Addr, Int), &::connect>("connect"),
    binding<Unit(Int, Addr), &add_to_set>("fd_set"),
    binding<Unit(AddrOrNull), &::freeaddrinfo>("freeaddrinfo"),
    binding<Addr(Int), &resolution_message>("gai_strerror"),
    binding<Int(AddrOrNull, AddrOrNull, AddrOrNull, Addr), &::getaddrinfo>("getaddrinfo"),
    binding<Int(Addr, Size), &::gethostname>("gethostname"),
    binding<Int(Addr, Int, AddrOrNull, Int, AddrOrNull, Int, Int), &::getnameinfo>("getnameinfo"),
    binding<Int(Int, Addr, Addr), &::getpeername>("getpeername"),
    binding<Int(Int), &::htonl>("htonl"),
    binding<Int(Int), &::htons>("htons"),
    binding<Addr(Int, Addr, Addr, Int), &::inet_ntop>("inet_ntop"),
    binding<Int(Int, Addr, Addr), &::inet_pton>("inet_pton"),
    binding<Int(Int, Int), &::listen>("listen"),
    binding<Int(Int), &::ntohl>("ntohl"),
    binding<Int(Int), &::ntohs>("ntohs"),
    binding<Int(Int, Addr, Size, Int), &::recv>("recv"),
    binding<Int(Int, Addr, Size, Int, AddrOrNull, AddrOrNull), &::recvfrom>("recvfrom"),
    bounded_binding<Int(Int, Str, Size, Int), &send_bytes, 1, 2>("send"),
    bounded_binding<Int(Int, Str, Size, Int, AddrOrNull, Int), &send_bytes_to, 1, 2>("sendto"),
    binding<Int(Int, Int, Int, AddrOrNull, Int), &::setsockopt>("setsockopt"),
    binding<Int(Int, Int), &::shutdown>("shutdown"),
    binding<Int(Int, Int, Int), &::socket>("socket"),
};
inline constexpr std::span<const BuiltinRow> kSocketBuiltins = kSocketRows;

}  // namespace ruk
