#include "core/data.h"

#include <string>

#include "core/datatext.h"
#include "core/leaves.h"

namespace ruk {

bool take_last(Cell* d, CellRef& rest, CellRef& last) {
    if (is_pair(d)) {
        rest = CellRef(left_of(d));
        last = CellRef(right_of(d));
        return true;
    }
    std::string_view s = leaf_text(d);
    Elements e = text_elements(s);
    if (e.count == 0) return false;  // "[]"
    Span tail = e.span(e.count - 1);
    last = element_cell(e.at(e.count - 1));
    std::string r(s.substr(0, tail.start));
    r += ']';
    rest = from_string(std::move(r));
    return true;
}

CellRef list_form(Cell* d) {
    if (is_pair(d))
        return apply2(leaves().J, list_form(left_of(d)), list_form(right_of(d)));
    // The text of its first k elements has the list J (list of the first k - 1) (list of
    // element k): built from the front, over elements found once.
    Elements e = text_elements(leaf_text(d));
    CellRef list = leaves().K;
    for (size_t i = 0; i < e.count; ++i) {
        CellRef element = element_cell(e.at(i));
        list = apply2(leaves().J, std::move(list), list_form(element.get()));
    }
    return list;
}

CellRef make_blob(std::string_view bytes) {
    std::string s = "(";
    char digits[16];
    int n = 0;
    for (uint64_t len = bytes.size(); len > 0; len /= 64) digits[n++] = kDigits[len % 64];
    while (n > 0) s += digits[--n];
    s += ')';
    s.append(bytes);
    return from_string(std::move(s));
}

std::string_view blob_payload(Cell* blob) {
    size_t prefix = 0;
    uint64_t len = blob_length(blob, &prefix);
    return {static_cast<Leaf*>(blob)->bytes() + prefix, len};
}

}  // namespace ruk
