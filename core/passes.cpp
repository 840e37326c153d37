#include "core/passes.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "core/analyse.h"
#include "core/intern.h"
#include "core/leaves.h"
#include "core/print.h"
#include "core/text.h"

namespace ruk {

namespace {

// Results of the pairs that are held more than once when a pass reaches them. A term
// from the front end is a tree, where no pair is, so the table stays empty; a shared
// subterm is worked on once. Whether a pair is shared is read before the pass touches
// it (the results it hands out add counts of their own).
using Memo = std::unordered_map<Cell*, CellRef>;

inline bool shared(Cell* c) { return ref_count(c) > 1; }

// The pair (l r) when either part changed, else c itself.
inline CellRef rebuilt(Cell* c, CellRef l, CellRef r) {
    if (l.get() == left_of(c) && r.get() == right_of(c)) return CellRef(c);
    return apply(std::move(l), std::move(r));
}

// Rebuilds a term with every leaf replaced by f(leaf).
template <class F>
CellRef map_leaves(Cell* c, F& f, Memo& memo) {
    if (is_leaf(c)) return f(c);
    bool many = shared(c);
    if (many) {
        auto it = memo.find(c);
        if (it != memo.end()) return it->second;
    }
    CellRef l = map_leaves(left_of(c), f, memo);
    CellRef r = map_leaves(right_of(c), f, memo);
    CellRef out = rebuilt(c, std::move(l), std::move(r));
    if (many) memo.emplace(c, out);
    return out;
}

// ---- quote pass -------------------------------------------------------------------

CellRef quote(Cell* c, Memo& memo) {
    if (is_leaf(c)) return CellRef(c);
    bool many = shared(c);
    if (many) {
        auto it = memo.find(c);
        if (it != memo.end()) return it->second;
    }
    Cell* l = left_of(c);
    Cell* r = right_of(c);
    CellRef out;
    if (is_leaf(l) && first_byte(l) == '`') {
        // (` x) -> V [printed x] x': the text is of x as written, before its own quotes go
        std::string text = "[";
        text += print_term(r);
        text += ']';
        CellRef source = from_string(std::move(text));
        out = apply2(leaves().V, std::move(source), quote(r, memo));
    } else {
        CellRef nl = quote(l, memo);
        out = rebuilt(c, std::move(nl), quote(r, memo));
    }
    if (many) memo.emplace(c, out);
    return out;
}

// ---- key-pair pass ----------------------------------------------------------------

// ((({ key) value) body)
CellRef brace(const CellRef& head, CellRef key, CellRef value, CellRef body) {
    return apply(apply(apply(head, std::move(key)), std::move(value)), std::move(body));
}

CellRef key_pairs(Cell* c, Memo& memo) {
    if (is_leaf(c)) return CellRef(c);
    bool many = shared(c);
    if (many) {
        auto it = memo.find(c);
        if (it != memo.end()) return it->second;
    }
    CellRef nl = key_pairs(left_of(c), memo);
    CellRef out = rebuilt(c, std::move(nl), key_pairs(right_of(c), memo));
    Cell* form = out.get();
    if (is_brace_form(form)) {
        Cell* key = right_of(left_of(left_of(form)));
        if (is_pair(key) && is_leaf(left_of(key)) && is_leaf(right_of(key)) &&
            is_acceptable_key(left_of(key)) && is_acceptable_key(right_of(key))) {
            CellRef head(left_of(left_of(left_of(form))));
            CellRef p(left_of(key));
            CellRef q(right_of(key));
            CellRef value(right_of(left_of(form)));
            CellRef body(right_of(form));
            // An operator key "[+]" binds the operator "+": the uses in the body and the
            // two projections below must all see the same name, so the keys take the
            // bare form too (with "[+]" as key, "+ K" would reach the global "+").
            std::string_view qt = q.view();
            CellRef bare = is_operator_name(qt) ? from_bytes(qt.substr(1, 1)) : q;
            CellRef inner = brace(head, bare, apply(bare, leaves().H), std::move(body));
            CellRef middle = brace(head, std::move(p), apply(bare, leaves().K), std::move(inner));
            out = brace(head, bare, std::move(value), std::move(middle));
        }
    }
    if (many) memo.emplace(c, out);
    return out;
}

// ---- key check --------------------------------------------------------------------

Cell* funky(Cell* c, std::unordered_set<Cell*>& clean) {
    if (is_leaf(c)) return nullptr;
    bool many = shared(c);
    if (many && clean.count(c)) return nullptr;
    Cell* found;
    if (is_leaf(left_of(c))) {
        found = funky(right_of(c), clean);
    } else if (is_binder(c)) {  // ((\ key) body)
        found = is_acceptable_key(right_of(left_of(c))) ? funky(right_of(c), clean) : c;
    } else if (is_brace_form(c)) {  // ((({ key) value) body)
        if (!is_acceptable_key(right_of(left_of(left_of(c))))) return c;
        found = funky(right_of(left_of(c)), clean);
        if (!found) found = funky(right_of(c), clean);
    } else {
        found = funky(left_of(c), clean);
        if (!found) found = funky(right_of(c), clean);
    }
    if (many && !found) clean.insert(c);
    return found;
}

// ---- name lists -------------------------------------------------------------------

std::vector<std::string> sorted_unique(std::vector<std::string_view>& views) {
    std::sort(views.begin(), views.end());
    views.erase(std::unique(views.begin(), views.end()), views.end());
    return std::vector<std::string>(views.begin(), views.end());
}

// The exact binder heads are left out rather than every name that begins with "\" or
// "{": the front end makes no longer names that start so, and a stray one is then
// reported as undefined instead of reaching the analysis unchecked.
void collect_references(Cell* c, std::vector<std::string_view>& out,
                        std::unordered_set<Cell*>& seen) {
    if (is_leaf(c)) {
        if (!is_name_leaf(c)) return;
        std::string_view t = leaf_text(c);
        if (t == "\\" || t == "{" || is_letter_leaf(c)) return;
        out.push_back(t);
        return;
    }
    if (shared(c) && !seen.insert(c).second) return;
    collect_references(left_of(c), out, seen);
    collect_references(right_of(c), out, seen);
}

void note_key(Cell* key, std::vector<std::string_view>& longs, uint32_t& letters) {
    if (!is_leaf(key)) return;  // an application: left for the key check
    if (is_letter_leaf(key))
        letters |= uint32_t(1) << (first_byte(key) - 'a');
    else
        longs.push_back(leaf_text(key));
}

void collect_keys(Cell* c, std::vector<std::string_view>& longs, uint32_t& letters,
                  std::unordered_set<Cell*>& seen) {
    if (is_leaf(c)) return;
    if (shared(c) && !seen.insert(c).second) return;
    if (is_binder(c))
        note_key(right_of(left_of(c)), longs, letters);
    else if (is_brace_form(c))
        note_key(right_of(left_of(left_of(c))), longs, letters);
    collect_keys(left_of(c), longs, letters, seen);
    collect_keys(right_of(c), longs, letters, seen);
}

}  // namespace

CellRef quote_pass(Cell* term) {
    Memo memo;
    return quote(term, memo);
}

CellRef key_pair_pass(Cell* term) {
    Memo memo;
    return key_pairs(term, memo);
}

CellRef intern_pass(Cell* term) {
    Memo memo;
    auto shared_leaf = [](Cell* leaf) { return intern(CellRef(leaf)); };
    return map_leaves(term, shared_leaf, memo);
}

bool is_acceptable_key(Cell* key) {
    if (!is_leaf(key)) return false;
    std::string_view text = leaf_text(key);
    return is_name(text) || is_operator_name(text);
}

Cell* find_funky_binder(Cell* term) {
    std::unordered_set<Cell*> clean;
    return funky(term, clean);
}

std::vector<std::string> referenced_names(Cell* term) {
    std::vector<std::string_view> views;
    std::unordered_set<Cell*> seen;
    collect_references(term, views, seen);
    return sorted_unique(views);
}

BoundKeys bound_keys(Cell* term) {
    std::vector<std::string_view> views;
    std::unordered_set<Cell*> seen;
    BoundKeys keys;
    collect_keys(term, views, keys.letters, seen);
    keys.long_names = sorted_unique(views);
    return keys;
}

std::vector<Renaming> choose_letters(const BoundKeys& keys) {
    std::vector<Renaming> out;
    out.reserve(keys.long_names.size());
    uint32_t used = keys.letters;
    for (const std::string& name : keys.long_names) {
        int k = 0;
        while (k < 26 && (used & (uint32_t(1) << k))) ++k;
        RUK_ASSERT(k < 26);  // the place check counted the letters first
        used |= uint32_t(1) << k;
        out.push_back({name, char('a' + k)});
    }
    return out;
}

CellRef rename_long_names(Cell* term, const std::vector<Renaming>& renamings) {
    if (renamings.empty()) return CellRef(term);
    std::array<CellRef, 26> letters;
    auto rename_leaf = [&](Cell* leaf) {
        std::string_view t = leaf_text(leaf);
        auto it = std::lower_bound(renamings.begin(), renamings.end(), t,
                                   [](const Renaming& r, std::string_view s) { return r.name < s; });
        if (it == renamings.end() || it->name != t) return CellRef(leaf);
        CellRef& letter = letters[size_t(it->letter - 'a')];
        if (!letter) letter = from_bytes(std::string_view(&it->letter, 1));
        return letter;
    };
    Memo memo;
    return map_leaves(term, rename_leaf, memo);
}

}  // namespace ruk
