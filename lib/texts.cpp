#include "lib/texts.h"

#include <algorithm>
#include <unordered_map>

#include "core/data.h"
#include "core/number.h"

namespace ruk {

namespace {

inline bool is_plain(unsigned char c) { return c != '\n' && c != '[' && c != ']'; }

// The escapes and the bytes they stand for.
std::optional<unsigned char> escape_byte(std::string_view e) {
    if (e.size() != 3 || e[0] != '[' || e[2] != ']') return std::nullopt;
    switch (e[1]) {
        case 'p': return '\n';
        case 'q': return '[';
        case 'r': return ']';
        default: return std::nullopt;
    }
}

// Replaces the text written from `mark` on by its byte when it is the character form of a
// plain byte.
void fold_char_form(std::string& out, size_t mark) {
    std::optional<unsigned char> c = char_form_byte(std::string_view(out).substr(mark));
    if (c && is_plain(*c)) {
        out.resize(mark);
        out += char(*c);
    }
}

// Appends a text leaf's text without its closing bracket.
void append_open(std::string& out, Cell* leaf) {
    std::string_view s = leaf_text(leaf);
    out.append(s.substr(0, text_end(s)));
}

}  // namespace

size_t text_end(std::string_view text) {
    return (text.size() >= 2 && text.back() == ']') ? text.size() - 1 : text.size();
}

Elements text_elements(std::string_view s) {
    Elements out;
    out.text = s;
    size_t end = text_end(s);
    if (end <= 1) return out;
    if (s.substr(1, end - 1).find_first_of("[]") == std::string_view::npos) {
        out.count = end - 1;
        return out;
    }
    // The "[" of every "]", matched going back and never before position 1, as the
    // machine's scan from the end matches them.
    constexpr size_t kNone = size_t(-1);
    std::vector<size_t> match(end, kNone);
    std::vector<size_t> waiting;
    for (size_t i = end; i-- > 1;) {
        if (s[i] == ']') {
            waiting.push_back(i);
        } else if (s[i] == '[' && !waiting.empty()) {
            match[waiting.back()] = i;
            waiting.pop_back();
        }
    }
    for (size_t j = end; j > 1;) {
        size_t last = j - 1, start = last;
        if (s[last] == ']' && match[last] != kNone) start = match[last];
        out.spans.push_back({start, last - start + 1});
        j = start;
    }
    std::reverse(out.spans.begin(), out.spans.end());
    out.count = out.spans.size();
    return out;
}

std::optional<unsigned char> char_form_byte(std::string_view text) {
    struct Forms {
        std::unordered_map<std::string_view, unsigned char> byte;
        size_t shortest = SIZE_MAX, longest = 0;
    };
    static const Forms forms = [] {
        Forms f;
        for (unsigned c = 0; c < 256; ++c) {
            std::string_view form = char_form(static_cast<unsigned char>(c));
            f.byte.emplace(form, static_cast<unsigned char>(c));
            f.shortest = std::min(f.shortest, form.size());
            f.longest = std::max(f.longest, form.size());
        }
        return f;
    }();
    if (text.size() < forms.shortest || text.size() > forms.longest || text[1] != '[')
        return std::nullopt;
    auto it = forms.byte.find(text);
    if (it == forms.byte.end()) return std::nullopt;
    return it->second;
}

bool data_text(Cell* x, DataText& out) {
    if (is_leaf(x)) {
        if (first_byte(x) != '[') return false;
        out.text = leaf_text(x);
        return true;
    }
    out.owned.clear();
    if (is_data_cell(x)) {
        if (!flatten_data(x, out.owned)) return false;
    } else if (!is_tree_form(x) || !tree_form_text(x, out.owned)) {
        return false;
    }
    out.text = out.owned;
    return true;
}

bool flatten_data(Cell* d, std::string& out) {
    // Work list: a cell to write (as an element or not), or the close of a pair's text.
    struct Task {
        Cell* cell;  // null: close the text opened at `mark`
        bool element;
        size_t mark;
    };
    std::vector<Task> todo{{d, false, 0}};
    std::vector<Cell*> spine;
    while (!todo.empty()) {
        Task t = todo.back();
        todo.pop_back();
        if (out.size() > kMaxText) return false;
        if (t.cell == nullptr) {
            out += ']';
            if (t.element) fold_char_form(out, t.mark);
            continue;
        }
        size_t mark = out.size();
        Cell* c = t.cell;
        // Down the left spine: the leftmost text, then each right child as one element.
        spine.clear();
        while (is_pair(c)) {
            spine.push_back(right_of(c));
            c = left_of(c);
        }
        append_open(out, c);
        todo.push_back({nullptr, t.element, mark});
        for (Cell* r : spine) todo.push_back({r, true, 0});  // the innermost comes out first
    }
    return out.size() <= kMaxText;
}

bool is_tree_form(Cell* x) {
    if (!is_pair(x)) return false;
    Cell* l = left_of(x);
    if (!is_pair(l) || !is_letter(left_of(l), 'V')) return false;
    Cell* tag = right_of(l);
    return is_pair(tag) && is_letter(left_of(tag), 'X') && is_letter(right_of(tag), 'J');
}

bool split_payload(Cell* payload, Cell*& p, Cell*& q) {
    if (!is_pair(payload)) return false;
    Cell* l = left_of(payload);
    if (!is_pair(l) || !is_letter(left_of(l), 'J')) return false;
    p = right_of(l);
    q = right_of(payload);
    return true;
}

bool tree_form_text(Cell* tree, std::string& out) {
    // The payload J p q stands for the text of p with the text of q as one more element.
    struct Task {
        Cell* payload;  // null: close the text opened at `mark`
        bool element;
        size_t mark;
    };
    std::vector<Task> todo{{tree_payload(tree), false, 0}};
    std::vector<Cell*> spine;
    while (!todo.empty()) {
        Task t = todo.back();
        todo.pop_back();
        if (out.size() > kMaxText) return false;
        if (t.payload == nullptr) {
            out += ']';
            if (t.element) fold_char_form(out, t.mark);
            continue;
        }
        size_t mark = out.size();
        out += '[';
        spine.clear();
        Cell* c = t.payload;
        Cell *p, *q;
        while (split_payload(c, p, q)) {
            spine.push_back(q);
            c = p;
        }
        if (!is_letter(c, 'K')) return false;
        todo.push_back({nullptr, t.element, mark});
        for (Cell* e : spine) todo.push_back({e, true, 0});
    }
    return out.size() <= kMaxText;
}

std::string encode_text(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '[';
    for (char c : bytes) {
        switch (c) {
            case '\n': out += "[p]"; break;
            case '[': out += "[q]"; break;
            case ']': out += "[r]"; break;
            default: out += c;
        }
    }
    out += ']';
    return out;
}

bool decode_text(std::string_view text, std::string& out) {
    out.clear();
    Elements elements = text_elements(text);
    out.reserve(elements.count);
    for (size_t i = 0; i < elements.count; ++i) {
        std::string_view element = elements.at(i);
        if (element.size() == 1) {
            unsigned char c = static_cast<unsigned char>(element[0]);
            if (c == '[' || c == ']') return false;
            out += c == '\n' ? '\0' : char(c);
        } else if (std::optional<unsigned char> b = escape_byte(element)) {
            out += char(*b);
        } else {
            return false;
        }
    }
    return true;
}

std::optional<int> element_code(std::string_view element) {
    if (element.size() == 1) {
        unsigned char c = static_cast<unsigned char>(element[0]);
        if (c == '\n') return 0;
        if (c == '[' || c == ']') return std::nullopt;
        return int(static_cast<signed char>(c));
    }
    if (std::optional<unsigned char> b = escape_byte(element)) return int(*b);
    if (std::optional<unsigned char> b = char_form_byte(element)) {
        char c = char(*b);
        return element_code(std::string_view(&c, 1));
    }
    return std::nullopt;
}

std::string unit_text(std::string_view element) {
    if (element == "[") return "[[q]]";
    if (element == "]") return "[[r]]";
    std::string out;
    out.reserve(element.size() + 2);
    out += '[';
    out += element;
    out += ']';
    return out;
}

bool element_text(Cell* e, std::string& out) {
    out.clear();
    if (is_leaf(e)) {
        if (first_byte(e) != '[') return false;
        std::string_view s = leaf_text(e);
        std::optional<unsigned char> c = char_form_byte(s);
        if (c && is_plain(*c)) {
            out += char(*c);
        } else {
            out.append(s.substr(0, text_end(s)));
            out += ']';
        }
        return true;
    }
    if (is_data_cell(e)) {
        if (!flatten_data(e, out)) return false;
    } else if (!is_tree_form(e) || !tree_form_text(e, out)) {
        return false;
    }
    fold_char_form(out, 0);
    return true;
}

}  // namespace ruk
