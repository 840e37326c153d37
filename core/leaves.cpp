#include "core/leaves.h"

namespace ruk {

const CommonLeaves* g_leaves = nullptr;

const CommonLeaves& make_leaves() {
    static const CommonLeaves common{
        from_text("B"), from_text("C"), from_text("D"), from_text("H"), from_text("I"),
        from_text("J"), from_text("K"), from_text("S"), from_text("T"), from_text("U"),
        from_text("V"), from_text("W"), from_text("X"), from_text("Y"), from_text("Z"),
        from_text("\\"), from_text("{")};
    g_leaves = &common;
    return common;
}

}  // namespace ruk
