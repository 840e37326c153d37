#include "lib/rawmem.h"

#include <cstring>

#include "core/data.h"
#include "core/datatext.h"

namespace ruk {

namespace {

template <class T>
T load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
void store(unsigned char* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace

uint32_t read_u32(const unsigned char* p) noexcept { return load<uint32_t>(p); }
int32_t read_s32(const unsigned char* p) noexcept { return load<int32_t>(p); }
uint16_t read_u16(const unsigned char* p) noexcept { return load<uint16_t>(p); }
int16_t read_s16(const unsigned char* p) noexcept { return load<int16_t>(p); }
int64_t read_s64(const unsigned char* p) noexcept { return load<int64_t>(p); }
uint8_t read_u8(const unsigned char* p) noexcept { return load<uint8_t>(p); }
int8_t read_s8(const unsigned char* p) noexcept { return load<int8_t>(p); }

void write_32(unsigned char* p, uint32_t v) noexcept { store(p, v); }
void write_16(unsigned char* p, uint16_t v) noexcept { store(p, v); }
void write_64(unsigned char* p, uint64_t v) noexcept { store(p, v); }
void write_8(unsigned char* p, uint8_t v) noexcept { store(p, v); }

CellRef copy_value(Cell* v, Cell* to) {
    int64_t address;
    if (!marshal::Argument<Addr>::read(to, address)) return leaves().Z;
    // The bytes to write; they may lie where they are written to, hence memmove.
    std::string_view bytes;
    BitString bits;
    DataText text;
    switch (value_kind(v)) {
        case ValueKind::post: bytes = blob_payload(v); break;
        case ValueKind::real: bytes = leaf_text(v).substr(1, 8); break;
        case ValueKind::bits:
            bits = bits_from_value(v);
            bytes = bits;
            break;
        case ValueKind::zits:
        case ValueKind::iron:
            // The characters between the outer brackets, escapes as they stand; a data pair
            // and a tree form as the one text they stand for.
            if (!data_text(v, text)) return leaves().Z;
            bytes = text_inner(text.text);
            break;
    }
    std::memmove(reinterpret_cast<unsigned char*>(static_cast<uintptr_t>(address)), bytes.data(),
                 bytes.size());
    return leaves().I;
}

}  // namespace ruk
