// Terms for the checker's tests, written as nested lists: "(f x y)" is ((f x) y); an atom
// ends at a blank or a parenthesis and becomes a leaf of exactly its bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/cell.h"

namespace ruk::terms {

inline CellRef read(std::string_view s, size_t& i) {
    while (s[i] == ' ') ++i;
    if (s[i] == '(') {
        ++i;
        CellRef acc;
        for (;;) {
            while (s[i] == ' ') ++i;
            if (s[i] == ')') break;
            CellRef t = read(s, i);
            acc = acc ? apply(std::move(acc), std::move(t)) : std::move(t);
        }
        ++i;
        return acc;
    }
    size_t start = i;
    while (i < s.size() && s[i] != ' ' && s[i] != '(' && s[i] != ')') ++i;
    return from_bytes(s.substr(start, i - start));
}
inline CellRef T(std::string_view s) {
    size_t i = 0;
    return read(s, i);
}
inline CellRef L(std::string_view text) { return from_bytes(text); }

// Binders over a body: lam({"x", "y"}, b) is ((\ x) ((\ y) b)).
inline CellRef lam(const std::vector<std::string>& keys, CellRef body) {
    for (size_t i = keys.size(); i-- > 0;)
        body = apply(apply(L("\\"), L(keys[i])), std::move(body));
    return body;
}
// ((({ key) value) body)
inline CellRef brace(CellRef key, CellRef value, CellRef body) {
    return apply(apply(apply(L("{"), std::move(key)), std::move(value)), std::move(body));
}

// The structure of a term without the printer's spacing rules: "(l r)" for every pair.
inline std::string S(Cell* c) {
    if (is_leaf(c)) return std::string(leaf_text(c));
    std::string out = "(";
    out += S(left_of(c));
    out += ' ';
    out += S(right_of(c));
    out += ')';
    return out;
}
inline std::string S(const CellRef& t) { return S(t.get()); }
// S of a brace form.
inline std::string SB(const std::string& key, const std::string& value, const std::string& body) {
    return "((({ " + key + ") " + value + ") " + body + ")";
}

}  // namespace ruk::terms
