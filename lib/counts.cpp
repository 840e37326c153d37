#include "lib/counts.h"

#include "core/number.h"

namespace ruk {

namespace {

// The count an argument asks for, or nothing when the binding's own checks refuse it.
std::optional<uint64_t> count_of(Cell* v) {
    if (!is_integer(v) || !is_non_negative(v)) return std::nullopt;
    return static_cast<uint64_t>(int64_from_integer(v));
}

}  // namespace

bool data_holds(Cell* data, Cell* count, Cell* item) {
    uint64_t held;
    switch (operand_kind(data)) {
        case Kind::Blob: held = blob_length(data); break;
        case Kind::Data:
            if (!is_leaf(data)) return true;  // a data pair is no string at all
            held = leaf_text(data).size();
            break;
        default: return true;  // an address, or no string
    }
    ++held;  // the zero byte after every leaf's text
    std::optional<uint64_t> n = count_of(count);
    if (!n) return true;
    uint64_t each = 1;
    if (item != nullptr) {
        std::optional<uint64_t> m = count_of(item);
        if (!m) return true;
        each = *m;
    }
    // n × each <= held, without the product
    return each == 0 || *n <= held / each;
}

}  // namespace ruk
