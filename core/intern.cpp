#include "core/intern.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "core/leaves.h"
#include "core/text.h"

namespace ruk {

namespace {
using LeafTable = std::unordered_map<std::string, CellRef, TextHash, std::equal_to<>>;

LeafTable& table() {
    static LeafTable* t = new LeafTable;  // never taken apart, like the definitions
    return *t;
}

struct PairKey {
    Cell* left;
    Cell* right;
    bool operator==(const PairKey&) const = default;
};
struct PairKeyHash {
    size_t operator()(const PairKey& k) const {
        uintptr_t a = reinterpret_cast<uintptr_t>(k.left), b = reinterpret_cast<uintptr_t>(k.right);
        return std::hash<uintptr_t>()(a * 0x9E3779B97F4A7C15ULL ^ b);
    }
};

// Each pair holds its children, so no key outlives the cells it names.
std::unordered_map<PairKey, CellRef, PairKeyHash>& pairs() {
    static std::unordered_map<PairKey, CellRef, PairKeyHash> p;
    return p;
}
}  // namespace

void clear_intern_table() {
    pairs().clear();
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

CellRef intern_pair(Cell* left, Cell* right) {
    auto [it, fresh] = pairs().try_emplace(PairKey{left, right});
    if (fresh) it->second = CellRef(make_pair(left, right));
    return it->second;
}

bool is_interned(Cell* c) {
    if (!is_leaf(c)) return false;
    auto& t = table();
    auto it = t.find(leaf_text(c));
    return it != t.end() && it->second.get() == c;
}

}  // namespace ruk
