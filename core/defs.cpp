#include "core/defs.h"

namespace ruk {

DefinitionTable& definitions() {
    static DefinitionTable table;
    return table;
}

Definition* find_definition(std::string_view name) {
    auto& table = definitions();
    auto it = table.find(name);
    return it == table.end() ? nullptr : &it->second;
}

}  // namespace ruk
