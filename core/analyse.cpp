#include "core/analyse.h"

#include <vector>

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

namespace {

// The variable set of an analysed cell.
inline uint32_t vars_of(const Cell* x) {
    if (is_data_annotation(x)) return 0;
    if (is_leaf(x)) {
        unsigned char b = first_byte(x);
        if ((b >= '0' && b <= '9') || b == '[') return 0;
    }
    return field_bits(x);
}

inline bool one_char(const Cell* x, char ch) {
    const char* s = static_cast<const Leaf*>(x)->bytes();
    return s[0] == ch && s[1] == '\0';
}

// The annotation of a pair whose parts are both annotated.
void analyse_pair(Cell* c) {
    Cell* l = left_of(c);
    Cell* r = right_of(c);
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
    uint32_t vl = vars_of(l), vr = vars_of(r), vars = vl | vr;
    bool f;
    if (is_pair(l)) {
        Cell* ll = left_of(l);
        if (is_leaf(ll)) {
            if (one_char(ll, '\\')) {
                // \key.body: the key is bound; a binder waits for its argument: no flag.
                c->head = (c->head & hdr::kCount) | (uint64_t(vr & ~vl) << hdr::kFieldShift) |
                          (uint64_t(a + 52) << hdr::kAnnShift);
                return;
            }
            if (one_char(ll, '{')) vars = vr;  // ({ key) value: the key is not a use
        } else if (is_leaf(left_of(ll)) && one_char(left_of(ll), '{')) {
            // {key=value} body: the key is bound in the body only
            vars = vl | (vr & ~vars_of(right_of(ll)));
        }
    }
    if (!ldata && annotation_flag(l))
        f = true;
    else if (rdata)
        f = false;
    else
        f = annotation_flag(r) || annotation_value(r) <= 0;
    c->head = (c->head & hdr::kCount) | (uint64_t(vars) << hdr::kFieldShift) |
              (uint64_t(a + 52) << hdr::kAnnShift) | (f ? hdr::kAnnFlag : 0);
}

// The pairs waiting for their parts to be annotated, innermost last. The interpreter runs
// on one thread, so one stack serves every call; it keeps its room between calls unless
// a very deep term made it large.
std::vector<Cell*> pending;
constexpr size_t kPendingKept = size_t(1) << 16;

}  // namespace

void analyse_fresh(Cell* c) {
    if (is_leaf(c)) {
        analyse_leaf(c);
        return;
    }
    // Parts before the pair, left before right. The pairs on the way down wait on an
    // explicit stack, so a term of any depth is analysed without recursion; a fresh pair
    // whose parts are annotated, the usual case, never touches the stack.
    const size_t base = pending.size();
    Cell* t = c;
    for (;;) {
        Cell* part = left_of(t);
        if (annotation_byte(part) == 0) {
            if (is_pair(part)) {
                pending.push_back(t);
                t = part;
                continue;
            }
            analyse_leaf(part);
        }
        part = right_of(t);
        if (annotation_byte(part) == 0) {
            if (is_pair(part)) {
                pending.push_back(t);
                t = part;
                continue;
            }
            analyse_leaf(part);
        }
        analyse_pair(t);
        if (pending.size() == base) break;
        t = pending.back();
        pending.pop_back();
    }
    if (base == 0 && pending.capacity() > kPendingKept) std::vector<Cell*>().swap(pending);
}

}  // namespace ruk
