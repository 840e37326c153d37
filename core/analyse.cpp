#include "core/analyse.h"

#include "core/defs.h"

namespace ruk {

namespace {

// The arity is in -51..11 by construction, so no range check is needed here.
inline void annotate(Cell* c, int arity, bool flag) {
    c->head = (c->head & ~(hdr::kAnnValue | hdr::kAnnFlag)) |
              (uint64_t(arity + 52) << hdr::kAnnShift) | (flag ? hdr::kAnnFlag : 0);
}

void analyse_leaf(Cell* c) {
    unsigned char b = first_byte(c);
    if (b == '[') {  // a text: data
        mark_data(c);
        return;
    }
    if (b == ')' || b == ']') {  // cycle and update markers
        annotate(c, 1, false);
        return;
    }
    if (is_name_leaf(c)) {
        if (Definition* d = find_definition(leaf_text(c))) {
            annotate(c, leading_binders(d->term.get()), false);
            return;
        }
        RUK_ASSERT(is_letter_leaf(c));  // the checker lets no undefined name through
        set_field_bits(c, uint32_t(1) << (b - 'a'));
        annotate(c, 11, false);
        return;
    }
    annotate(c, 1, false);  // numbers, floats, blobs
}

}  // namespace

int leading_binders(Cell* term, int limit) {
    int n = 0;
    while (n < limit && is_binder(term)) {
        ++n;
        term = right_of(term);
    }
    return n;
}

void analyse_fresh(Cell* c) {
    if (is_leaf(c)) {
        analyse_leaf(c);
        return;
    }
    Cell* l = left_of(c);
    Cell* r = right_of(c);
    analyse(l);
    analyse(r);
    bool ldata = is_data_annotation(l), rdata = is_data_annotation(r);
    if (ldata && rdata) {
        // A data pair records the sum of its children's lengths when both are known.
        uint64_t a = field_bits(l), b = field_bits(r);
        mark_data(c);
        set_field_bits(c, (a >= 2 && b >= 2 && a + b <= hdr::kFieldMax) ? a + b : 0);
        return;
    }
    int la = ldata ? 1 : annotation_value(l);
    int a = ldata ? 0 : ((la >= -50 && la <= 10) ? la - 1 : la);
    if (is_binder(c)) {
        // \key.body: the key is bound; a binder waits for its argument, so no flag.
        set_field_bits(c, variable_set(r) & ~variable_set(l));
        annotate(c, a, false);
        return;
    }
    bool f;
    if (!ldata && annotation_flag(l))
        f = true;
    else if (rdata)
        f = false;
    else
        f = annotation_flag(r) || annotation_value(r) <= 0;
    uint32_t vars;
    if (is_pair(l) && is_leaf_text(left_of(l), '{')) {
        vars = variable_set(r);  // ({ key) value: the key is not a use
    } else if (is_brace_form(c)) {
        uint32_t key = variable_set(right_of(left_of(l)));
        vars = variable_set(l) | (variable_set(r) & ~key);
    } else {
        vars = variable_set(l) | variable_set(r);
    }
    set_field_bits(c, vars);
    annotate(c, a, f);
}

}  // namespace ruk
