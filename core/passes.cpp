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
// subterm is worked on once. Whether a pair is shared is read when the pass first reaches
// it, before it takes the pair apart (the results it hands out add counts of their own).
using Memo = std::unordered_map<Cell*, CellRef>;

inline bool shared(Cell* c) { return ref_count(c) > 1; }

// The pair (l r) when either part changed, else c itself.
inline CellRef rebuilt(Cell* c, CellRef l, CellRef r) {
    if (l.get() == left_of(c) && r.get() == right_of(c)) return CellRef(c);
    return apply(std::move(l), std::move(r));
}

// Rebuilds a term bottom up, left part before right part: a leaf becomes on_leaf(leaf),
// a pair on_pair(pair, rebuilt left part, rebuilt right part). The pairs on the way down
// wait on an explicit stack, so a term of any depth is rebuilt without recursion.
template <class OnLeaf, class OnPair>
CellRef rebuild(Cell* term, OnLeaf& on_leaf, OnPair& on_pair) {
    struct Open {
        Cell* pair;
        bool many;        // shared when reached: the result goes into the memo
        bool right_part;  // the left part is done, the right part under way
    };
    Memo memo;
    std::vector<Open> open;
    std::vector<CellRef> done;  // finished parts, the last finished on top
    open.reserve(32);  // room enough for most definitions at once
    done.reserve(32);
    Cell* c = term;
    for (;;) {
        if (is_leaf(c)) {
            done.push_back(on_leaf(c));
        } else {
            bool many = shared(c);
            auto it = many ? memo.find(c) : memo.end();
            if (it == memo.end()) {
                open.push_back({c, many, false});
                c = left_of(c);
                continue;
            }
            done.push_back(it->second);
        }
        // Close every pair whose parts are done, up to one whose right part is still to do.
        for (;;) {
            if (open.empty()) return std::move(done.back());
            Open& top = open.back();
            if (!top.right_part) {
                top.right_part = true;
                c = right_of(top.pair);
                break;
            }
            CellRef r = std::move(done.back());
            done.pop_back();
            CellRef out = on_pair(top.pair, std::move(done.back()), std::move(r));
            if (top.many) memo.emplace(top.pair, out);
            done.back() = std::move(out);
            open.pop_back();
        }
    }
}

CellRef leaf_itself(Cell* leaf) { return CellRef(leaf); }

// ---- quote pass -------------------------------------------------------------------

// (` x) -> V [printed x] x': the text is of x as written, before its own quotes go
CellRef quote(Cell* c, CellRef l, CellRef r) {
    if (!is_leaf(left_of(c)) || first_byte(left_of(c)) != '`')
        return rebuilt(c, std::move(l), std::move(r));
    std::string text = "[";
    text += print_term(right_of(c));
    text += ']';
    return apply2(leaves().V, from_string(std::move(text)), std::move(r));
}

// ---- key-pair pass ----------------------------------------------------------------

// ((({ key) value) body)
CellRef brace(const CellRef& head, CellRef key, CellRef value, CellRef body) {
    return apply(apply(apply(head, std::move(key)), std::move(value)), std::move(body));
}

CellRef key_pair(Cell* c, CellRef l, CellRef r) {
    CellRef out = rebuilt(c, std::move(l), std::move(r));
    Cell* form = out.get();
    if (!is_brace_form(form)) return out;
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
    return out;
}

// ---- key check --------------------------------------------------------------------

Cell* funky(Cell* term) {
    struct Visit {
        Cell* c;
        bool searched;  // a shared pair whose search has ended without an offence
    };
    std::unordered_set<Cell*> clean;
    std::vector<Visit> todo;  // the next subterm to search on top
    todo.reserve(32);
    todo.push_back({term, false});
    while (!todo.empty()) {
        Visit v = todo.back();
        todo.pop_back();
        Cell* c = v.c;
        if (v.searched) {
            clean.insert(c);
            continue;
        }
        if (is_leaf(c)) continue;
        bool many = shared(c);
        if (many && clean.count(c)) continue;
        if (many) todo.push_back({c, true});
        if (is_leaf(left_of(c))) {
            todo.push_back({right_of(c), false});
        } else if (is_binder(c)) {  // ((\ key) body)
            if (!is_acceptable_key(right_of(left_of(c)))) return c;
            todo.push_back({right_of(c), false});
        } else if (is_brace_form(c)) {  // ((({ key) value) body)
            if (!is_acceptable_key(right_of(left_of(left_of(c))))) return c;
            todo.push_back({right_of(c), false});
            todo.push_back({right_of(left_of(c)), false});
        } else {
            todo.push_back({right_of(c), false});
            todo.push_back({left_of(c), false});
        }
    }
    return nullptr;
}

// ---- name lists -------------------------------------------------------------------

std::vector<std::string> sorted_unique(std::vector<std::string_view>& views) {
    std::sort(views.begin(), views.end());
    views.erase(std::unique(views.begin(), views.end()), views.end());
    return std::vector<std::string>(views.begin(), views.end());
}

// Calls visit(c) for every cell of a term, the cells of a shared pair once: a pair before
// its parts, the left part before the right.
template <class Visit>
void each_cell(Cell* term, Visit& visit) {
    std::unordered_set<Cell*> seen;
    std::vector<Cell*> todo;
    todo.reserve(32);
    todo.push_back(term);
    while (!todo.empty()) {
        Cell* c = todo.back();
        todo.pop_back();
        if (is_pair(c) && shared(c) && !seen.insert(c).second) continue;
        visit(c);
        if (is_leaf(c)) continue;
        todo.push_back(right_of(c));
        todo.push_back(left_of(c));
    }
}

void note_key(Cell* key, std::vector<std::string_view>& longs, uint32_t& letters) {
    if (!is_leaf(key)) return;  // an application: left for the key check
    if (is_letter_leaf(key))
        letters |= uint32_t(1) << (first_byte(key) - 'a');
    else
        longs.push_back(leaf_text(key));
}

}  // namespace

CellRef quote_pass(Cell* term) { return rebuild(term, leaf_itself, quote); }

CellRef key_pair_pass(Cell* term) { return rebuild(term, leaf_itself, key_pair); }

CellRef intern_pass(Cell* term) {
    auto shared_leaf = [](Cell* leaf) { return intern(CellRef(leaf)); };
    return rebuild(term, shared_leaf, rebuilt);
}

bool is_acceptable_key(Cell* key) {
    if (!is_leaf(key)) return false;
    std::string_view text = leaf_text(key);
    return is_name(text) || is_operator_name(text);
}

Cell* find_funky_binder(Cell* term) { return funky(term); }

// The exact binder heads are left out rather than every name that begins with "\" or
// "{": the front end makes no longer names that start so, and a stray one is then
// reported as undefined instead of reaching the analysis unchecked.
std::vector<std::string> referenced_names(Cell* term) {
    std::vector<std::string_view> views;
    auto reference = [&](Cell* c) {
        if (!is_name_leaf(c)) return;
        std::string_view t = leaf_text(c);
        if (t == "\\" || t == "{" || is_letter_leaf(c)) return;
        views.push_back(t);
    };
    each_cell(term, reference);
    return sorted_unique(views);
}

BoundKeys bound_keys(Cell* term) {
    std::vector<std::string_view> views;
    BoundKeys keys;
    auto key = [&](Cell* c) {
        if (is_binder(c))
            note_key(right_of(left_of(c)), views, keys.letters);
        else if (is_brace_form(c))
            note_key(right_of(left_of(left_of(c))), views, keys.letters);
    };
    each_cell(term, key);
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
    return rebuild(term, rename_leaf, rebuilt);
}

}  // namespace ruk
