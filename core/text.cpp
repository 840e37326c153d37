#include "core/text.h"

namespace ruk {

namespace {

// A blank run between `before` and `after` vanishes when it only separates an operator
// or a bracket from its neighbour.
bool run_vanishes(char before, char after) {
    if (is_glue(before) || is_glue(after)) return true;
    if (before == '{' || before == '(' || before == '}') return true;
    return after == '}' || after == ')' || after == '{';
}

// Copies the literal starting at s[i] ("[") to out and returns the offset after its
// matching "]" (or the end of an unbalanced text). A line break and the spaces before
// it vanish; the next line's leading spaces stay.
size_t copy_literal(std::string_view s, size_t i, std::string& out) {
    size_t depth = 0, pending = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\n') {
            pending = 0;
            continue;
        }
        if (c == ' ') {
            ++pending;
            continue;
        }
        out.append(pending, ' ');
        pending = 0;
        out += c;
        if (c == '[') {
            ++depth;
        } else if (c == ']' && --depth == 0) {
            return i + 1;
        }
    }
    out.append(pending, ' ');  // unbalanced: keep what is there
    return i;
}

}  // namespace

std::string normalise(std::string_view raw) {
    size_t b = 0, e = raw.size();
    while (b < e && is_blank(raw[b])) ++b;
    while (e > b && is_blank(raw[e - 1])) --e;
    std::string_view s = raw.substr(b, e - b);
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == '[') {
            i = copy_literal(s, i, out);
        } else if (!is_blank(c)) {
            // copy the whole stretch up to the next blank or literal at once
            size_t j = i + 1;
            while (j < s.size() && !is_blank(s[j]) && s[j] != '[') ++j;
            out.append(s.data() + i, j - i);
            i = j;
        } else {
            // Trimming guarantees a non-blank character on both sides of the run.
            size_t j = i;
            bool newline = false;
            while (is_blank(s[j])) newline |= s[j++] == '\n';
            if (!run_vanishes(s[i - 1], s[j])) out += newline ? '\n' : ' ';
            i = j;
        }
    }
    return out;
}

bool index_brackets(Source& src) {
    const std::string& t = src.text;
    if (t.size() > kMaxSourceSize) return false;
    src.partner.assign(t.size(), 0);
    std::vector<uint32_t> open;
    for (uint32_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        if (!is_opener(c) && !is_closer(c)) continue;
        if (!open.empty() && t[open.back()] == '[') {
            // inside a literal only "[" and "]" count
            if (c == '[') {
                open.push_back(i);
            } else if (c == ']') {
                src.partner[i] = open.back();
                src.partner[open.back()] = i;
                open.pop_back();
            }
            continue;
        }
        if (is_opener(c)) {
            open.push_back(i);
            continue;
        }
        if (open.empty()) return false;
        char o = t[open.back()];
        if (!((o == '(' && c == ')') || (o == '{' && c == '}'))) return false;
        src.partner[i] = open.back();
        src.partner[open.back()] = i;
        open.pop_back();
    }
    return open.empty();
}

size_t item_end(const Source& src, size_t begin, size_t end) {
    RUK_ASSERT(begin < end);
    const char* s = src.text.data();
    size_t i = (s[begin] == '(' || s[begin] == '[') ? size_t(src.partner[begin]) + 1 : begin + 1;
    for (; i < end; ++i) {
        char c = s[i], p = s[i - 1];
        if ((is_name_char(c) && !is_name_char(p)) || is_other(c) ||
            (is_digit_char(c) && !is_digit_char(p)) || c == '(' || c == '[' || p == ')' ||
            p == ']')
            return i;
    }
    return end;
}

CellRef atom_leaf(std::string_view item) {
    RUK_ASSERT(!item.empty());
    char c = item[0];
    if (is_digit_char(c) || is_name_char(c)) return from_bytes(item);
    if (c == '[') {
        std::string t;
        t.reserve(item.size());
        for (char ch : item) {
            if (ch == '\n') continue;
            t += ch == '\0' ? '\n' : ch;
        }
        return from_string(std::move(t));
    }
    RUK_ASSERT(c != '(');
    if (item.size() != 1) return CellRef();
    return c == '\0' ? from_text("\n") : from_bytes(item);
}

}  // namespace ruk
