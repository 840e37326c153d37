#include "core/start.h"

#include <cstdio>

#include "core/check.h"
#include "core/code.h"
#include "core/defs.h"
#include "core/machine.h"
#include "core/number.h"
#include "core/print.h"

namespace ruk {

namespace {

constexpr size_t kNameLimit = 56;  // a longer printed value is cut to 53 bytes and "..."
constexpr size_t kTextLimit = 999;

std::string value_leaf(Cell* c) {
    std::string_view t = leaf_text(c);
    unsigned char b = t.empty() ? 0 : static_cast<unsigned char>(t[0]);
    if (b == '(' || b == ')' || b == ']' || b == ' ' || b < 32 || b >= 127) return "()";
    if (b != '[') return std::string(t);
    uint32_t recorded = field_bits(c);
    if (recorded == 0 || recorded > kTextLimit) return "()";
    std::string out;
    for (char ch : shown(t)) {
        char digits[8];
        int n = std::snprintf(digits, sizeof digits, "%d", int(static_cast<signed char>(ch)));
        if (out.size() + size_t(n) > kTextLimit) return "()";
        out.append(digits, size_t(n));
    }
    return out;
}

// The printed form of a value in the "Range" report: texts as the signed decimal values of
// their bytes, markers, blobs and floats as "()".
std::string print_value(Cell* value) { return print_term_with(value, value_leaf); }

}  // namespace

Report run_program(char** argv) {
    Report report = check_program();
    if (!report.ok()) return report;
    choose_engine();
    CellRef address = integer_from_int64(int64_t(reinterpret_cast<intptr_t>(argv)));
    Definition* entry = find_definition("");
    CellRef v = run(apply(entry->term, std::move(address)));
    if (v.first_byte() == ')') {
        std::string name(v.view().substr(1));
        return make_report(ReportType::Cycle, "Cycle detected on function [" + name + "].", name);
    }
    if (is_integer(v.get())) {
        definitions()[""].term = std::move(v);
        return report;
    }
    std::string printed = print_value(v.get());
    std::string name = printed.size() > kNameLimit ? printed.substr(0, 53) + "..." : printed;
    return make_report(ReportType::Range,
                       "The program must return an integer. Instead we encountered:\n" + printed,
                       std::move(name));
}

CellRef program_result() { return find_definition("")->term; }

}  // namespace ruk
