#include "core/intern.h"

#include <map>
#include <string>

#include "core/leaves.h"

namespace ruk {

namespace {
std::map<std::string, CellRef, std::less<>>& table() {
    static std::map<std::string, CellRef, std::less<>> t;
    return t;
}
}  // namespace

void clear_intern_table() {
    auto& t = table();
    t.clear();
    const CommonLeaves& c = leaves();
    for (const CellRef* leaf : {&c.B, &c.C, &c.D, &c.H, &c.I, &c.J, &c.K, &c.S, &c.T, &c.U,
                                &c.V, &c.W, &c.X, &c.Y, &c.Z, &c.backslash, &c.brace})
        t.emplace(leaf->text(), *leaf);
}

CellRef intern(CellRef leaf) {
    RUK_ASSERT(leaf.is_leaf());
    auto& t = table();
    std::string_view text = leaf.view();
    auto it = t.find(text);
    if (it != t.end()) return it->second;
    t.emplace(std::string(text), leaf);
    return leaf;
}

CellRef intern_text(std::string_view text) {
    auto& t = table();
    auto it = t.find(text);
    if (it != t.end()) return it->second;
    CellRef leaf = from_bytes(text);
    t.emplace(std::string(text), leaf);
    return leaf;
}

bool is_interned(Cell* c) {
    if (!is_leaf(c)) return false;
    auto& t = table();
    auto it = t.find(leaf_text(c));
    return it != t.end() && it->second.get() == c;
}

}  // namespace ruk
