// Builtins: the directory listing. `opendir`, `readdir` and `closedir` keep ruk's own two
// records in memory, where programs read them with the memory accessors:
//
//   directory entry (`dirent`, 296 bytes; `readdir` returns its address)
//     0   4    inode number, always 0
//     4   4    signed offset: 31-bit djb2 hash of the next entry's name, 0x7FFFFFFF
//              after the last entry
//     8   2    record length, 296
//     16  8    name length in bytes, without the terminating zero
//     24  4    type as mode bits: 0x2000 device, 0x4000 directory, 0x8000 file,
//              0xC000 symbolic link; 0 when it cannot be found out
//     28  261  name, zero-terminated
//   directory stream (`dir`, 304 bytes; `opendir` returns its address)
//     0   296  the entry record, refilled by each `readdir`
//     296 8    address of the find state (internal)
#pragma once

#include <dirent.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "lib/marshal.h"
#include "lib/process.h"

namespace ruk {

struct DirectoryEntry {
    uint32_t inode;
    int32_t offset;
    uint16_t record_length;
    char unused[6];
    uint64_t name_length;
    uint32_t type;
    char name[261];
    char padding[7];
};
static_assert(sizeof(DirectoryEntry) == kDirentRecordSize);
static_assert(offsetof(DirectoryEntry, offset) == 4 &&
              offsetof(DirectoryEntry, record_length) == 8);
static_assert(offsetof(DirectoryEntry, name_length) == 16 && offsetof(DirectoryEntry, type) == 24);
static_assert(offsetof(DirectoryEntry, name) == 28);

// The host directory stream with one entry of look-ahead.
struct FindState {
    DIR* handle = nullptr;
    bool pending = false;                    // an entry is loaded and not yet delivered
    char name[sizeof(dirent::d_name)] = {};  // the loaded entry
    size_t name_length = 0;
    uint32_t type = 0;
};

struct DirectoryStream {
    DirectoryEntry entry;
    FindState* state;
};
static_assert(sizeof(DirectoryStream) == kDirRecordSize);
static_assert(offsetof(DirectoryStream, state) == kDirentRecordSize);

// The mode bits of the types: devices, directories, files and symbolic links.
inline constexpr uint32_t kDeviceType = 0x2000;
inline constexpr uint32_t kDirectoryType = 0x4000;
inline constexpr uint32_t kFileType = 0x8000;
inline constexpr uint32_t kLinkType = 0xC000;
// The offset field of the last entry.
inline constexpr int32_t kLastEntry = 0x7FFFFFFF;

// djb2 over the bytes of a name (at most 260), masked to 31 bits.
[[nodiscard]] int32_t name_hash(std::string_view name);

// A new directory stream, or null with errno 2 (missing, or an empty path), 13 (access
// denied) or 20 (not a directory).
[[nodiscard]] DirectoryStream* open_directory(const char* path) noexcept;
// The next entry, or null at the end. A null or closed stream gives null with errno 9.
[[nodiscard]] DirectoryEntry* read_directory(DirectoryStream* stream) noexcept;
// 0, or -1 with errno 9 for a null or closed stream.
[[nodiscard]] int close_directory(DirectoryStream* stream) noexcept;

inline constexpr BuiltinRow kDirectoryRows[] = {
    binding<Int(AddrOrNull), &close_directory>("closedir"),
    binding<Addr(AddrOrNull), &open_directory>("opendir"),
    binding<Addr(AddrOrNull), &read_directory>("readdir"),
};
inline constexpr std::span<const BuiltinRow> kDirectoryBuiltins = kDirectoryRows;

}  // namespace ruk
