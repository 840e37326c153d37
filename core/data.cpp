#include "core/data.h"

#include <string>
#include <unordered_map>

#include "core/datatext.h"
#include "core/leaves.h"
#include "core/machine.h"

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

namespace {

// The list of a text leaf: the text of its first k elements has the list J (list of the
// first k - 1) (list of element k), built from the front, over elements found once.
CellRef text_list_form(Cell* text) {
    Elements e = text_elements(leaf_text(text));
#ifdef RUK_STEP_LIMIT
    charge_steps(e.count);
#endif
    CellRef list = leaves().K;
    for (size_t i = 0; i < e.count; ++i) {
        CellRef element = element_cell(e.at(i));
        list = apply2(leaves().J, std::move(list), text_list_form(element.get()));
    }
    return list;
}

// The list form of each cell of the value met so far: a value whose parts are shared
// (a text paired with itself, and that again, ...) has a list form that shares them the
// same way, made in time and space of the cells rather than of the text they spell.
using ListForms = std::unordered_map<Cell*, CellRef>;

CellRef list_form_of(Cell* d, ListForms& made) {
    auto found = made.find(d);
    if (found != made.end()) return found->second;
#ifdef RUK_STEP_LIMIT
    if (is_pair(d)) charge_steps(1);
#endif
    CellRef list = is_pair(d) ? apply2(leaves().J, list_form_of(left_of(d), made),
                                       list_form_of(right_of(d), made))
                              : text_list_form(d);
    made.emplace(d, list);
    return list;
}

}  // namespace

CellRef list_form(Cell* d) {
    if (is_leaf(d)) return text_list_form(d);
    ListForms made;
    return list_form_of(d, made);
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
