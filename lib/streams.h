// Builtins: the C library's buffered streams, the descriptor calls and a few file-system
// calls. Streams, descriptors and buffers are integers; paths and modes are strings.
// (`stdout`, `stderr`, `getchar` and `putchar` stand with the process builtins.)
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <span>

#include "lib/counts.h"
#include "lib/marshal.h"

namespace ruk {

// Glue where the C function takes `const void*` data, has a result convention of its
// own, or is not to be linked.
[[nodiscard]] size_t write_items(const char* data, size_t size, size_t count,
                                 FILE* stream) noexcept;
[[nodiscard]] ssize_t write_bytes(int descriptor, const char* data, size_t count) noexcept;
// `close` answers non-zero on success and 0 on failure.
[[nodiscard]] int close_descriptor(int descriptor) noexcept;
// A name in /tmp that does not exist at the time of the call, written into buffer (at
// least L_tmpnam bytes) or, for a null buffer, into one static buffer; null when no free
// name was found. Made here: the C library's own is linked only with a warning.
[[nodiscard]] char* temporary_name(char* buffer) noexcept;

inline constexpr BuiltinRow kStreamRows[] = {
    binding<Unit(Addr), &::clearerr>("clearerr"),
    binding<Int(Int), &close_descriptor>("close"),
    binding<Int(Addr), &::fclose>("fclose"),
    binding<Addr(Int, Str), &::fdopen>("fdopen"),
    binding<Int(Addr), &::feof>("feof"),
    binding<Int(Addr), &::ferror>("ferror"),
    binding<Int(AddrOrNull), &::fflush>("fflush"),  // null flushes every output stream
    binding<Int(Addr), &::fgetc>("fgetc"),
    binding<Int(Addr, Addr), &::fgetpos>("fgetpos"),
    binding<Addr(Addr, Int, Addr), &::fgets>("fgets"),
    binding<Int(Addr), &::fileno>("fileno"),
    binding<Addr(Str, Str), &::fopen>("fopen"),
    binding<Int(Int, Addr), &::fputc>("fputc"),
    binding<Int(Addr, Addr), &::fputs>("fputs"),  // the text by address only
    binding<Int(Addr, Size, Size, Addr), &::fread>("fread"),
    binding<Int(Addr, Int, Int), &::fseek>("fseek"),
    binding<Int(Addr, Addr), &::fsetpos>("fsetpos"),
    binding<Int(Addr), &::ftell>("ftell"),
    bounded_binding<Int(Str, Size, Size, Addr), &write_items, 0, 2, 1>("fwrite"),
    binding<Int(Addr), &::getc>("getc"),
    binding<Unit(StrOrNull), &::perror>("perror"),
    binding<Int(Int, Addr), &::putc>("putc"),
    binding<Int(Str), &::puts>("puts"),
    binding<Int(Int, Addr, Size), &::read>("read"),
    binding<Int(Str), &::remove>("remove"),
    binding<Int(Str, Str), &::rename>("rename"),
    binding<Unit(Addr), &::rewind>("rewind"),
    binding<Unit(Addr, AddrOrNull), &::setbuf>("setbuf"),
    binding<Addr(), &::tmpfile>("tmpfile"),
    binding<Addr(AddrOrNull), &temporary_name>("tmpnam"),
    binding<Int(Int, Addr), &::ungetc>("ungetc"),
    bounded_binding<Int(Int, Str, Size), &write_bytes, 1, 2>("write"),
};
inline constexpr std::span<const BuiltinRow> kStreamBuiltins = kStreamRows;

}  // namespace ruk
