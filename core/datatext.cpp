#include "core/datatext.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "core/data.h"
#include "core/leaves.h"
#include "core/number.h"

namespace ruk {

namespace {

// Position of every byte in the character order; the form of byte c is tree(position + 145).
constexpr unsigned char kCharOrder[256] = {
    151, 152, 153, 154, 155, 156, 157, 158, 159, 160, 1,   2,   3,   4,   5,   6,   7,   8,
    9,   0,   11,  12,  13,  14,  15,  16,  17,  18,  21,  19,  20,  22,  23,  26,  24,  25,
    127, 128, 129, 130, 131, 132, 133, 134, 135, 136, 137, 138, 139, 140, 141, 142, 32,  95,
    97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114,
    117, 115, 116, 118, 119, 122, 120, 121, 48,  49,  50,  51,  52,  53,  54,  55,  56,  57,
    65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,  80,  81,  82,
    85,  83,  84,  86,  87,  90,  88,  89,  126, 33,  64,  35,  36,  37,  94,  38,  42,  60,
    62,  45,  124, 43,  47,  61,  92,  46,  96,  39,  34,  58,  59,  63,  40,  41,  123, 125,
    44,  223, 225, 226, 227, 228, 229, 230, 231, 232, 233, 234, 235, 236, 237, 238, 239, 240,
    241, 242, 245, 243, 244, 246, 247, 250, 248, 249, 176, 177, 178, 179, 180, 181, 182, 183,
    184, 185, 193, 194, 195, 196, 197, 198, 199, 200, 201, 202, 203, 204, 205, 206, 207, 208,
    209, 210, 213, 211, 212, 214, 215, 218, 216, 217, 254, 161, 192, 163, 164, 165, 222, 166,
    170, 188, 190, 173, 252, 171, 175, 189, 220, 174, 224, 167, 162, 186, 187, 191, 168, 169,
    251, 253, 172, 219, 221, 31,  255, 27,  28,  29,  30,  10,  91,  93,  143, 144, 145, 146,
    147, 148, 149, 150};

// The bracket text of the tree numbering, for n below 677.
std::string tree_text(unsigned n) {
    RUK_ASSERT(n < 677);
    if (n == 0) return "[]";
    unsigned m = n - 1, s = 0;
    while ((s + 1) * (s + 1) <= m) ++s;
    unsigned r = m - s * s, x, y;
    if (r % 2 == 0) {
        x = r / 2;
        y = s;
    } else {
        x = s;
        y = (r - 1) / 2;
    }
    std::string out = "[";
    out += tree_text(x);
    out.append(tree_text(y), 1);
    return out;
}

struct CharForms {
    std::array<std::string, 256> form;
    std::unordered_map<std::string_view, unsigned char> byte;
    size_t shortest = SIZE_MAX, longest = 0;
};

const CharForms& char_forms() {
    static const CharForms forms = [] {
        CharForms f;
        for (unsigned p = 0; p < 256; ++p) f.form[kCharOrder[p]] = tree_text(p + 145);
        for (unsigned c = 0; c < 256; ++c) {
            const std::string& s = f.form[c];
            f.byte.emplace(s, static_cast<unsigned char>(c));
            f.shortest = std::min(f.shortest, s.size());
            f.longest = std::max(f.longest, s.size());
        }
        return f;
    }();
    return forms;
}

// A character form placed as an element reads as its byte, except a bracket's.
std::optional<unsigned char> folded_byte(std::string_view element) {
    std::optional<unsigned char> c = char_form_byte(element);
    if (c && (*c == '[' || *c == ']')) return std::nullopt;
    return c;
}

std::optional<unsigned char> escape_byte(std::string_view e) {
    if (e.size() != 3 || e[0] != '[' || e[2] != ']') return std::nullopt;
    switch (e[1]) {
        case 'p': return '\n';
        case 'q': return '[';
        case 'r': return ']';
        default: return std::nullopt;
    }
}

// ---- reading data values ----------------------------------------------------------------

// A data value is read through its nodes: a data cell is a text leaf or a pair (l r), a
// tree form's payload is K or J p q. Each node but a text leaf is its left part's text,
// still open, followed by its right part as one more element.
struct Reader {
    bool tree;  // payloads rather than data cells
    // The left and right parts of an inner node; false at the bottom of a left spine.
    bool split(Cell* n, Cell*& l, Cell*& r) const {
        if (tree) return split_payload(n, l, r);
        if (!is_pair(n)) return false;
        l = left_of(n);
        r = right_of(n);
        return true;
    }
    // Writes the text of a bottom node without its closing "]"; false when it is none.
    bool open_bottom(Cell* n, std::string& out) const {
        if (tree) {
            if (!is_letter(n, 'K')) return false;
            out += '[';
            return true;
        }
        std::string_view s = leaf_text(n);
        RUK_ASSERT(!s.empty() && s[0] == '[');
        out.append(s.substr(0, text_end(s)));
        return true;
    }
};

// Appends the text of node d, closed; as an element, a character form becomes its byte.
// Walks with its own stack, so any depth is fine; false past kMaxBuilt bytes or at a node
// of the wrong shape.
bool read_text(const Reader& reader, Cell* d, bool element, std::string& out) {
    struct Task {
        Cell* node;  // null: close the text opened at `mark`
        bool element;
        size_t mark;
    };
    std::vector<Task> todo{{d, element, 0}};
    std::vector<Cell*> rights;
    while (!todo.empty()) {
        Task t = todo.back();
        todo.pop_back();
        if (out.size() > kMaxBuilt) return false;
        if (t.node == nullptr) {
            out += ']';
            if (t.element) {
                if (std::optional<unsigned char> c = folded_byte(std::string_view(out).substr(t.mark))) {
                    out.resize(t.mark);
                    out += char(*c);
                }
            }
            continue;
        }
        size_t mark = out.size();
        // Down the left spine: the text at its bottom, then each right part as an element.
        rights.clear();
        Cell* n = t.node;
        Cell *l, *r;
        while (reader.split(n, l, r)) {
            rights.push_back(r);
            n = l;
        }
        if (!reader.open_bottom(n, out)) return false;
        todo.push_back({nullptr, t.element, mark});
        for (Cell* x : rights) todo.push_back({x, true, 0});  // the innermost comes out first
    }
    return out.size() <= kMaxBuilt;
}

}  // namespace

// ---- character forms -------------------------------------------------------------------

std::string_view char_form(unsigned char c) {
    // A line feed, "[" and "]" stand in texts as the escapes "[p]", "[q]" and "[r]"; should
    // one appear bare (a NUL in a source literal becomes a line feed), it still gets the
    // form its position gives, so that no text can stop the interpreter.
    return char_forms().form[c];
}

std::optional<unsigned char> char_form_byte(std::string_view text) {
    const CharForms& f = char_forms();
    if (text.size() < f.shortest || text.size() > f.longest || text[1] != '[') return std::nullopt;
    auto it = f.byte.find(text);
    if (it == f.byte.end()) return std::nullopt;
    return it->second;
}

// ---- the elements of a text ------------------------------------------------------------

size_t text_end(std::string_view text) {
    return (text.size() >= 2 && text.back() == ']') ? text.size() - 1 : text.size();
}

std::string_view text_inner(std::string_view text) {
    if (text.empty()) return text;
    return text.substr(1, text_end(text) - 1);
}

std::string_view Elements::slice(size_t from, size_t to) const {
    RUK_ASSERT(from <= to && to <= count);
    if (from == to) return {};
    size_t start = span(from).start;
    Span last = span(to - 1);
    return text.substr(start, last.start + last.size - start);
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
    // The "[" of every "]", matched going back and never before position 1: a "]" waits
    // for the nearest "[" before it that no later "]" has taken, as a scan from the end
    // that counts the depth finds it.
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

CellRef element_cell(std::string_view element) {
    if (element.size() == 1) return from_bytes(char_form(static_cast<unsigned char>(element[0])));
    return from_bytes(element);
}

// ---- the text of a data value ----------------------------------------------------------

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

bool data_text(Cell* x, DataText& out) {
    out.owned.clear();
    if (is_leaf(x)) {
        if (first_byte(x) != '[') return false;
        out.text = leaf_text(x);
        return true;
    }
    if (is_data_cell(x)) {
        // Shared parts may stand for more than memory holds: measure before building.
        if (data_length(x) > kMaxBuilt || !read_text(Reader{false}, x, false, out.owned))
            return false;
    } else if (!is_tree_form(x) || !read_text(Reader{true}, right_of(x), false, out.owned)) {
        return false;
    }
    out.text = out.owned;
    return true;
}

uint64_t data_length(Cell* d) {
    if (is_leaf(d)) return leaf_text(d).size();
    // The text of a pair is its open part and a "]"; the open part of (l r) is l's open
    // part and r as an element, which is one byte when r reads as a character form that
    // folds, and r's text otherwise. Post-order over the pairs, each measured once.
    const CharForms& forms = char_forms();
    std::unordered_map<Cell*, uint64_t> open;  // the open length of each pair measured
    auto open_length = [&open](Cell* c) {
        return is_leaf(c) ? uint64_t(text_end(leaf_text(c))) : open.at(c);
    };
    auto element_length = [&](Cell* c) -> uint64_t {
        uint64_t n = open_length(c);
        if (n == UINT64_MAX) return n;
        ++n;
        if (n >= forms.shortest && n <= forms.longest) {
            std::string text;  // short: read it and see
            bool read = read_text(Reader{false}, c, true, text);
            RUK_ASSERT(read);
            return text.size();
        }
        return n;
    };
    std::vector<std::pair<Cell*, bool>> todo{{d, false}};
    while (!todo.empty()) {
        auto [x, children_done] = todo.back();
        if (open.count(x) != 0) {
            todo.pop_back();
        } else if (!children_done) {
            todo.back().second = true;
            for (Cell* c : {right_of(x), left_of(x)})
                if (is_pair(c) && open.count(c) == 0) todo.push_back({c, false});
        } else {
            todo.pop_back();
            uint64_t sum;
            if (__builtin_add_overflow(open_length(left_of(x)), element_length(right_of(x)), &sum))
                sum = UINT64_MAX;
            open.emplace(x, sum);
        }
    }
    uint64_t n = open.at(d);
    return n == UINT64_MAX ? n : n + 1;
}

bool element_text(Cell* e, std::string& out) {
    out.clear();
    if (is_data_cell(e)) return data_length(e) <= kMaxBuilt && read_text(Reader{false}, e, true, out);
    return is_tree_form(e) && read_text(Reader{true}, right_of(e), true, out);
}

// ---- bytes -----------------------------------------------------------------------------

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

// ---- results ---------------------------------------------------------------------------

CellRef text_result(std::string&& whole) {
    if (whole.size() > kMaxBuilt) return leaves().Z;
    return from_string(std::move(whole));
}

CellRef text_from_inner(std::string_view inner) {
    if (inner.size() > kMaxBuilt - 2) return leaves().Z;
    std::string s;
    s.reserve(inner.size() + 2);
    s += '[';
    s += inner;
    s += ']';
    return from_string(std::move(s));
}

CellRef blob_result(std::string_view bytes) {
    if (bytes.size() > kMaxBuilt) return leaves().Z;
    return make_blob(bytes);
}

}  // namespace ruk
