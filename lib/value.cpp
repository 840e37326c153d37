#include "lib/value.h"

#include <cstdint>

#include "core/number.h"

namespace ruk {

ValueKind value_kind(Cell* v) {
    switch (operand_kind(v)) {
        case Kind::Blob: return ValueKind::post;
        case Kind::Real: return ValueKind::real;
        case Kind::Integer:
        case Kind::BinaryFloat: return ValueKind::bits;
        case Kind::Data: return ValueKind::zits;
        case Kind::Other: return ValueKind::iron;
    }
    RUK_FATAL("valukind");
}

std::string_view value_kind_text(ValueKind k) {
    switch (k) {
        case ValueKind::post: return "[post]";
        case ValueKind::real: return "[real]";
        case ValueKind::bits: return "[bits]";
        case ValueKind::zits: return "[zits]";
        case ValueKind::iron: return "[iron]";
    }
    RUK_FATAL("valutext");
}

std::optional<const char*> c_string_view(Cell* v) {
    switch (operand_kind(v)) {
        case Kind::Blob: {
            size_t prefix = 0;
            (void)blob_length(v, &prefix);
            return static_cast<const Leaf*>(v)->bytes() + prefix;
        }
        case Kind::Data:
            if (is_leaf(v)) return static_cast<const Leaf*>(v)->bytes();
            return std::nullopt;
        case Kind::Integer:
            return reinterpret_cast<const char*>(static_cast<uintptr_t>(int64_from_integer(v)));
        default: return std::nullopt;
    }
}

}  // namespace ruk
