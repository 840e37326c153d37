// Process control, errno, random numbers, the standard streams, and the constants that
// describe the host to programs.
#pragma once

#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "lib/marshal.h"

namespace ruk {

// Sizes of ruk's own directory records: `dirent` is one entry, `dir` an entry record
// followed by the 8-byte address of the find state.
inline constexpr int64_t kDirentRecordSize = 296;
inline constexpr int64_t kDirRecordSize = kDirentRecordSize + 8;

// Glue for C names that are macros, and for `assert`.
[[nodiscard]] int current_errno() noexcept;
[[nodiscard]] FILE* standard_output() noexcept;
[[nodiscard]] FILE* standard_error() noexcept;
// True returns; false is the library assertion, which ends the process.
void check_library_assertion(bool holds) noexcept;

// The constants are the host's own values, so that they agree with what its C library
// and socket layer really return.
inline constexpr BuiltinRow kProcessBuiltins[] = {
    binding<Unit(), &::abort>("abort"),
    constant<sizeof(addrinfo)>("addrinfo"),
    constant<AF_UNSPEC>("af_unspec"),
    constant<AI_PASSIVE>("ai_passive"),
    binding<Unit(Bool), &check_library_assertion>("assert"),
    constant<kDirRecordSize>("dir"),
    constant<kDirentRecordSize>("dirent"),
    constant<EACCES>("eacces"),
    constant<EBADF>("ebadf"),
    constant<ECONNABORTED>("econnaborted"),
    constant<EFAULT>("efault"),
    constant<EINTR>("eintr"),
    constant<EINVAL>("einval"),
    constant<EIO>("eio"),
    constant<EMFILE>("emfile"),
    constant<ENFILE>("enfile"),
    constant<ENODEV>("enodev"),
    constant<ENOMEM>("enomem"),
    constant<ENOTSOCK>("enotsock"),
    constant<ENXIO>("enxio"),
    constant<EOPNOTSUPP>("eopnotsupp"),
    constant<EOVERFLOW>("eoverflow"),
    binding<Int(), &current_errno>("errno"),
    constant<EWOULDBLOCK>("ewouldblock"),
    binding<Unit(Int), &::exit>("exit"),
    binding<Int(), &::getchar>("getchar"),
    binding<Int(Int), &::putchar>("putchar"),
    binding<Int(Int), &::raise>("raise"),
    binding<Int(), &::rand>("rand"),
    constant<RAND_MAX>("rand_max"),
    constant<SOCK_STREAM>("sock_stream"),
    binding<Unit(Int), &::srand>("srand"),
    binding<Addr(), &standard_error>("stderr"),
    binding<Addr(), &standard_output>("stdout"),
    constant<sizeof(time_t)>("time_t"),
};

}  // namespace ruk
