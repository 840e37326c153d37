#include "core/datatext.h"

#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/data.h"
#include "core/leaves.h"

namespace ruk {

namespace {

// The text of a leaf in a data cell without its closing "]" (a text that lacks one is
// read as if it had it).
std::string_view open_text(Cell* leaf) {
    std::string_view t = leaf_text(leaf);
    if (t.size() >= 2 && t.back() == ']') t.remove_suffix(1);
    return t;
}

bool has_bracket(std::string_view s) { return std::memchr(s.data(), '[', s.size()) != nullptr; }

// Where each unit of s starts, and s.size() at the end. One pass with a stack of open
// brackets, so malformed texts with many unmatched "[" stay linear.
std::vector<size_t> unit_starts(std::string_view s) {
    std::vector<size_t> close(s.size(), 0);  // for a "[": one past its "]", 0 when none
    std::vector<size_t> open;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '[') {
            open.push_back(i);
        } else if (s[i] == ']' && !open.empty()) {
            close[open.back()] = i + 1;
            open.pop_back();
        }
    }
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); i = s[i] == '[' && close[i] != 0 ? close[i] : i + 1)
        starts.push_back(i);
    starts.push_back(s.size());
    return starts;
}

}  // namespace

void append_data_text(Cell* d, std::string& out) {
    // With open(x) the text of x without its last "]": open(l r) = open(l) + open(r) + "]".
    // A walk that writes each leaf open and a "]" after each pair writes open(d).
    std::vector<Cell*> todo{d};
    while (!todo.empty()) {
        Cell* x = todo.back();
        todo.pop_back();
        if (x == nullptr) {
            out += ']';
        } else if (is_leaf(x)) {
            out += open_text(x);
        } else {
            todo.push_back(nullptr);
            todo.push_back(right_of(x));
            todo.push_back(left_of(x));
        }
    }
    out += ']';
}

bool data_inner(Cell* d, std::string& store, std::string_view* inner) {
    std::string_view whole;
    if (is_leaf(d)) {
        whole = leaf_text(d);
    } else {
        if (data_length(d) > kMaxBuiltBytes) return false;
        store.clear();
        append_data_text(d, store);
        whole = store;
    }
    if (!whole.empty() && whole.front() == '[') whole.remove_prefix(1);
    if (!whole.empty() && whole.back() == ']') whole.remove_suffix(1);
    *inner = whole;
    return true;
}

uint64_t data_length(Cell* d) {
    if (is_leaf(d)) return leaf_text(d).size();
    // Post-order over the pairs, each measured once and remembered.
    std::unordered_map<Cell*, uint64_t> known;
    auto length = [&known](Cell* c) { return is_leaf(c) ? leaf_text(c).size() : known.at(c); };
    std::vector<std::pair<Cell*, bool>> todo{{d, false}};
    while (!todo.empty()) {
        auto [x, children_done] = todo.back();
        if (known.count(x) != 0) {
            todo.pop_back();
        } else if (!children_done) {
            todo.back().second = true;
            for (Cell* c : {right_of(x), left_of(x)})
                if (is_pair(c) && known.count(c) == 0) todo.push_back({c, false});
        } else {
            todo.pop_back();
            uint64_t sum;
            if (__builtin_add_overflow(length(left_of(x)), length(right_of(x)), &sum))
                sum = UINT64_MAX;
            known.emplace(x, sum);
        }
    }
    return known.at(d);
}

size_t unit_end(std::string_view s, size_t i) {
    RUK_ASSERT(i < s.size());
    if (s[i] != '[') return i + 1;
    size_t depth = 0;
    for (size_t j = i; j < s.size(); ++j) {
        if (s[j] == '[')
            ++depth;
        else if (s[j] == ']' && --depth == 0)
            return j + 1;
    }
    return i + 1;  // never closed: the bracket is a unit of its own
}

size_t unit_count(std::string_view s) {
    if (!has_bracket(s)) return s.size();
    return unit_starts(s).size() - 1;
}

size_t unit_offset(std::string_view s, size_t k) {
    if (!has_bracket(s)) {
        RUK_ASSERT(k <= s.size());
        return k;
    }
    std::vector<size_t> starts = unit_starts(s);
    RUK_ASSERT(k < starts.size());
    return starts[k];
}

std::string reverse_units(std::string_view s) {
    if (!has_bracket(s)) return std::string(s.rbegin(), s.rend());
    std::vector<size_t> starts = unit_starts(s);
    std::string out;
    out.reserve(s.size());
    for (size_t k = starts.size() - 1; k-- > 0;)
        out.append(s.substr(starts[k], starts[k + 1] - starts[k]));
    return out;
}

CellRef text_from_string(std::string&& whole) {
    if (whole.size() > kMaxBuiltBytes) return leaves().Z;
    // A text leaf records lengths below 2^26; a longer one is measured up to its first
    // NUL, so one that holds a NUL would come back cut short.
    if (whole.size() > hdr::kFieldMax && std::memchr(whole.data(), '\0', whole.size()) != nullptr)
        return leaves().Z;
    return from_string(std::move(whole));
}

CellRef text_from_inner(std::string_view inner) {
    if (inner.size() > kMaxBuiltBytes - 2) return leaves().Z;
    std::string s;
    s.reserve(inner.size() + 2);
    s += '[';
    s += inner;
    s += ']';
    return text_from_string(std::move(s));
}

CellRef blob_from_bytes(std::string_view bytes) {
    if (bytes.size() > kMaxBuiltBytes) return leaves().Z;
    return make_blob(bytes);
}

}  // namespace ruk
