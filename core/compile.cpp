#include "core/compile.h"

#include <string>

#include "core/analyse.h"
#include "core/defs.h"
#include "core/leaves.h"
#include "core/machine.h"
#include "core/parse.h"
#include "core/prelude.h"
#include "core/builtin.h"

namespace ruk {

namespace {

// Names a definition may have: a name; one control, capital or high byte; or a bracketed
// operator name.
bool definable(std::string_view name) {
    if (name.size() == 1) {
        unsigned char c = static_cast<unsigned char>(name[0]);
        if ((c >= 1 && c <= 31) || (c >= 'A' && c <= 'Z') || c >= 127) return true;
    }
    return is_name(name) || is_operator_name(name);
}

// "[+]" is entered under "+"; every other name as it is written.
std::string table_name(std::string_view name) {
    if (is_operator_name(name)) return std::string(1, name[1]);
    return std::string(name);
}

// name\p1\...\pk\body is ((\ name) rest): true with the name cell and rest when so.
bool definition_shape(Cell* term, Cell*& name, Cell*& rest) {
    if (!is_pair(term) || !is_pair(left_of(term)) || !is_leaf_text(left_of(left_of(term)), '\\'))
        return false;
    name = right_of(left_of(term));
    rest = right_of(term);
    return true;
}

void load_prelude() {
    Source src;
    Report error = load_source(kPrelude, src);
    RUK_ASSERT(error.ok());
    std::vector<Segment> segments = split_commas(src);
    for (size_t i = 1; i < segments.size(); ++i) {  // the text before the first comma is empty
        CellRef term = parse_expression(src, segments[i], error);
        RUK_ASSERT(error.ok() && term);
        Cell *name, *rest;
        RUK_ASSERT(definition_shape(term.get(), name, rest) && is_leaf(name));
        RUK_ASSERT(definable(leaf_text(name)));
        std::string tn = table_name(leaf_text(name));
        Definition& d = definitions()[tn];
        d.term = CellRef(rest);
        if (tn.size() == 1 && tn[0] >= 'A' && tn[0] <= 'Z') d.native = tn[0];
    }
}

// A builtin of arity n is n nested binders over Z, with the parameters a, b, c, ...
CellRef builtin_definition(unsigned arity) {
    CellRef term = leaves().Z;
    for (unsigned i = arity; i-- > 0;) {
        char key[2] = {char('a' + i), '\0'};
        term = apply(apply(leaves().backslash, from_text(key)), std::move(term));
    }
    return term;
}

}  // namespace

void initialise() {
    definitions().clear();
    reset_machine();
    reset_builtin_table();
    (void)builtin_table();
    load_prelude();
}

Report compile(std::string_view program_text) {
    Report report = check_brackets(program_text);
    if (!report.ok()) return report;

    for (const auto& [name, entry] : builtin_table()) {
        Definition& d = definitions()[name];
        d.term = builtin_definition(entry.arity);
        d.native = 0;
    }

    Source src;
    report = load_source(program_text, src);
    if (!report.ok()) return report;
    std::vector<Segment> segments = split_commas(src);

    CellRef entry = parse_expression(src, segments[0], report);
    if (!report.ok()) return report;
    definitions()[""].term = std::move(entry);

    for (size_t i = 1; i < segments.size(); ++i) {
        CellRef term = parse_expression(src, segments[i], report);
        if (!report.ok()) return report;
        Cell *n, *rest;
        if (!definition_shape(term.get(), n, rest)) continue;
        // name\... is the plain form; name()\... the nullary form, computed at every use.
        bool nullary = false;
        std::string_view name;
        if (is_leaf(n)) {
            name = leaf_text(n);
        } else if (is_leaf_text(right_of(n), '}')) {
            nullary = true;
            if (is_leaf(left_of(n))) name = leaf_text(left_of(n));
        } else {
            continue;
        }
        if (!definable(name)) continue;
        std::string tn = table_name(name);
        if (tn == "\\" || tn == "{") {
            return make_report(ReportType::Built,
                               "Built in function [" + tn + "] cannot be re-defined.",
                               std::string(), int64_t(segments[i].begin));
        }
        Definition& d = definitions()[tn];
        d.native = 0;
        if (nullary) {
            d.term = apply(leaves().I, CellRef(rest));
            d.progress = 1;
        } else {
            d.term = CellRef(rest);
            d.progress = -1;
        }
    }
    return report;
}

}  // namespace ruk
