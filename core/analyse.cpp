#include "core/analyse.h"

#include <algorithm>
#include <memory>

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
inline void analyse_pair(Cell* c) {
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

// Annotates a part that is a leaf; false when the part is a pair still to be analysed.
inline bool settled(Cell* part) {
    if (annotation_byte(part) != 0) return true;
    if (is_pair(part)) return false;
    analyse_leaf(part);
    return true;
}

// Parts before the pair, left before right, with the pairs on the way down waiting on an
// explicit stack: a term of any depth is analysed without recursion. A waiting pair's
// low bit says which part it waits for (1: the right part, so the pair is next). The
// stack starts in a small array here and moves to the heap only for a deep term.
[[gnu::noinline]] void analyse_below(Cell* c) {
    constexpr size_t kLocal = 64;
    uintptr_t local[kLocal];
    std::unique_ptr<uintptr_t[]> heap;
    uintptr_t* bottom = local;
    uintptr_t* top = bottom;  // above the innermost waiting pair
    uintptr_t* end = bottom + kLocal;
    auto wait = [&](Cell* pair, uintptr_t right) {
        if (top == end) [[unlikely]] {
            size_t used = size_t(top - bottom);
            auto room = std::make_unique_for_overwrite<uintptr_t[]>(2 * used);
            std::copy(bottom, top, room.get());
            heap = std::move(room);
            bottom = heap.get();
            top = bottom + used;
            end = bottom + 2 * used;
        }
        *top++ = reinterpret_cast<uintptr_t>(pair) | right;
    };
    Cell* t = c;
    for (;;) {
        // Down to a pair whose parts are annotated.
        for (;;) {
            Cell* part = left_of(t);
            if (settled(part)) {
                part = right_of(t);
                if (settled(part)) break;
                wait(t, 1);
            } else {
                wait(t, 0);
            }
            t = part;
        }
        // Up, annotating, to a pair whose right part is still to do.
        for (;;) {
            analyse_pair(t);
            if (top == bottom) return;
            uintptr_t waiting = *--top;
            t = reinterpret_cast<Cell*>(waiting & ~uintptr_t(1));
            if (waiting & 1) continue;
            Cell* part = right_of(t);
            if (!settled(part)) {
                wait(t, 1);
                t = part;
                break;
            }
        }
    }
}

// Recursion a few levels down, where nearly every fresh term ends; below that the pairs
// go to the explicit stack, so the depth of the recursion stays within kNear.
constexpr int kNear = 32;

// The two parts are written out rather than looped over: the loop costs 4-5% more
// instructions on the machine's hot path.
void analyse_near(Cell* c, int room) {
    Cell* l = left_of(c);
    if (annotation_byte(l) == 0) {
        if (is_leaf(l))
            analyse_leaf(l);
        else if (room > 0)
            analyse_near(l, room - 1);
        else
            analyse_below(l);
    }
    Cell* r = right_of(c);
    if (annotation_byte(r) == 0) {
        if (is_leaf(r))
            analyse_leaf(r);
        else if (room > 0)
            analyse_near(r, room - 1);
        else
            analyse_below(r);
    }
    analyse_pair(c);
}

}  // namespace

void analyse_fresh(Cell* c) {
    if (is_leaf(c))
        analyse_leaf(c);
    else
        analyse_near(c, kNear);
}

}  // namespace ruk
