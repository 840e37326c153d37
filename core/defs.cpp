#include "core/defs.h"

#include <algorithm>

namespace ruk {

DefinitionTable& definitions() {
    // Never taken apart: the process's end frees it faster than a million destructors.
    static DefinitionTable* table = new DefinitionTable;
    return *table;
}

Definition* find_definition(std::string_view name) {
    auto& table = definitions();
    auto it = table.find(name);
    return it == table.end() ? nullptr : &it->second;
}

std::vector<DefinitionEntry*> in_name_order(DefinitionTable& table) {
    std::vector<DefinitionEntry*> order;
    order.reserve(table.size());
    for (DefinitionEntry& entry : table) order.push_back(&entry);
    std::sort(order.begin(), order.end(),
              [](const DefinitionEntry* a, const DefinitionEntry* b) { return a->first < b->first; });
    return order;
}

}  // namespace ruk
