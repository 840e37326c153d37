#include "lib/dirs.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace ruk {

namespace {

uint32_t type_of_mode(mode_t mode) {
    if (S_ISCHR(mode) || S_ISBLK(mode)) return kDeviceType;
    if (S_ISDIR(mode)) return kDirectoryType;
    if (S_ISLNK(mode)) return kLinkType;
    return kFileType;
}

// The type of an entry; an unknown type is looked up without following a link.
uint32_t entry_type(DIR* handle, const dirent& e) {
    switch (e.d_type) {
        case DT_CHR:
        case DT_BLK: return kDeviceType;
        case DT_DIR: return kDirectoryType;
        case DT_LNK: return kLinkType;
        case DT_UNKNOWN: break;
        default: return kFileType;  // files, pipes and sockets
    }
    int saved = errno;
    struct stat info;
    bool found = fstatat(dirfd(handle), e.d_name, &info, AT_SYMLINK_NOFOLLOW) == 0;
    errno = saved;
    return found ? type_of_mode(info.st_mode) : 0;
}

// Loads the next entry of the host stream into the state; false at the end.
bool load_next(FindState& s) {
    const dirent* e = ::readdir(s.handle);
    if (e == nullptr) return false;
    s.name_length = std::strlen(e->d_name);
    std::memcpy(s.name, e->d_name, s.name_length + 1);
    s.type = entry_type(s.handle, *e);
    return true;
}

bool usable(const DirectoryStream* stream) { return stream != nullptr && stream->state != nullptr; }

}  // namespace

int32_t name_hash(std::string_view name) {
    uint32_t h = 5381;
    for (size_t i = 0; i < name.size() && i < 260; ++i)
        h = h * 33 + static_cast<unsigned char>(name[i]);
    return static_cast<int32_t>(h & 0x7FFFFFFF);
}

DirectoryStream* open_directory(const char* path) noexcept {
    if (path == nullptr || *path == '\0') {
        errno = ENOENT;
        return nullptr;
    }
    DIR* handle = ::opendir(path);
    if (handle == nullptr) {
        // the three causes a program can tell apart; anything else reads as missing
        if (errno != EACCES && errno != ENOTDIR) errno = ENOENT;
        return nullptr;
    }
    auto* stream = static_cast<DirectoryStream*>(std::calloc(1, sizeof(DirectoryStream)));
    FindState* state = stream != nullptr ? new (std::nothrow) FindState : nullptr;
    if (state == nullptr) {
        std::free(stream);
        ::closedir(handle);
        errno = ENOMEM;
        return nullptr;
    }
    state->handle = handle;
    stream->state = state;
    return stream;
}

DirectoryEntry* read_directory(DirectoryStream* stream) noexcept {
    if (!usable(stream)) {
        errno = EBADF;
        return nullptr;
    }
    FindState& s = *stream->state;
    if (!s.pending && !load_next(s)) return nullptr;
    s.pending = false;

    DirectoryEntry& e = stream->entry;
    std::memset(&e, 0, sizeof e);
    e.record_length = sizeof(DirectoryEntry);
    e.name_length = s.name_length;
    e.type = s.type;
    std::memcpy(e.name, s.name, s.name_length + 1);
    // look ahead, so that the offset can tell whether this entry is the last
    if (load_next(s)) {
        s.pending = true;
        e.offset = name_hash(std::string_view(s.name, s.name_length));
    } else {
        e.offset = kLastEntry;
    }
    return &e;
}

int close_directory(DirectoryStream* stream) noexcept {
    if (!usable(stream)) {
        errno = EBADF;
        return -1;
    }
    ::closedir(stream->state->handle);
    delete stream->state;
    stream->state = nullptr;
    std::free(stream);
    return 0;
}

}  // namespace ruk
