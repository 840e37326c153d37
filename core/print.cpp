#include "core/print.h"

#include <array>
#include <cstdint>
#include <vector>

#include "core/text.h"

namespace ruk {

namespace {

// Capitals, the operator characters and everything outside blank to "~".
constexpr std::array<bool, 256> make_tight() {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[size_t(c)] = c < ' ' || c > '~' || (c >= 'A' && c <= 'Z') || is_operator_char(char(c));
    return t;
}
constexpr std::array<bool, 256> kTight = make_tight();

inline bool tight(char c) { return kTight[static_cast<unsigned char>(c)]; }

bool glues_after_tight(char c) { return is_name_char(c) || is_digit_char(c); }

// What the rules need to know of a printed form without looking at it again.
struct Shape {
    char first = 0;
    char second = 0;  // meaningful unless `one`
    char last = 0;
    bool one = false;  // a single character
};

// The printer writes into one buffer. Each pair reserves a "(" before its left part and a
// blank between its parts, and drops them (and, when it flattens, the ")" its left part
// ended with) once both parts are known; the dropped bytes are squeezed out at the end.
struct Printer {
    LeafPrinter custom = nullptr;  // prints leaves its own way when set
    std::string buf;
    std::vector<uint8_t> dead;  // 1 for a byte to squeeze out; may be shorter than buf

    void drop(size_t at) {
        if (dead.size() <= at) dead.resize(buf.size());
        dead[at] = 1;
    }

    Shape leaf(Cell* c) {
        if (custom) {
            std::string t = custom(c);
            if (t.empty()) t = "()";
            buf += t;
            return {t[0], t.size() > 1 ? t[1] : char(0), t.back(), t.size() == 1};
        }
        unsigned char f = first_byte(c);
        std::string_view text;
        if (f != '(' && f != ')' && f != ']' && f != ' ') text = leaf_text(c);
        if (text.empty()) {
            buf += "()";
            return {'(', ')', ')', false};
        }
        size_t at = buf.size();
        buf += text;
        for (size_t i = at; i < buf.size(); ++i) {
            if (buf[i] == '\0') buf[i] = '\n';
            else if (buf[i] == '\n') buf[i] = '\0';
        }
        Shape s;
        s.first = buf[at];
        s.one = text.size() == 1;
        s.second = s.one ? 0 : buf[at + 1];
        s.last = buf.back();
        return s;
    }

    struct Frame {
        Cell* pair;
        size_t open;   // the reserved "("
        size_t blank;  // the reserved blank, once the left part is written
        Shape left;
        bool left_done;
    };

    Shape close(const Frame& f, const Shape& r) {
        const Shape& l = f.left;
        if (l.first != '(' && tight(l.last) && ((r.one && tight(r.first)) || glues_after_tight(r.first))) {
            drop(f.open);
            drop(f.blank);
            return {l.first, l.one ? r.first : l.second, r.last, false};
        }
        buf += ')';
        if (l.first == '(' && l.second != ')') {
            drop(f.open);
            drop(f.blank - 1);  // the ")" that ended the left part
            return {'(', l.second, ')', false};
        }
        return {'(', l.first, ')', false};
    }

    void run(Cell* root) {
        std::vector<Frame> stack;
        Cell* node = root;
        for (;;) {
            // down the left spine
            while (is_pair(node)) {
                stack.push_back({node, buf.size(), 0, {}, false});
                buf += '(';
                node = left_of(node);
            }
            Shape done = leaf(node);
            // up until some pair still needs its right part
            node = nullptr;
            while (!stack.empty()) {
                Frame& f = stack.back();
                if (!f.left_done) {
                    f.left = done;
                    f.left_done = true;
                    f.blank = buf.size();
                    buf += ' ';
                    node = right_of(f.pair);
                    break;
                }
                done = close(f, done);
                stack.pop_back();
            }
            if (!node) break;
        }
        dead.resize(buf.size());
        size_t j = 0;
        for (size_t i = 0; i < buf.size(); ++i)
            if (!dead[i]) buf[j++] = buf[i];
        buf.resize(j);
    }
};

}  // namespace

std::string shown(std::string_view text) {
    std::string s(text);
    for (char& c : s) {
        if (c == '\0') c = '\n';
        else if (c == '\n') c = '\0';
    }
    return s;
}

std::string print_term(Cell* term) {
    RUK_ASSERT(term != nullptr);
    Printer p;
    p.run(term);
    return std::move(p.buf);
}

std::string print_term_with(Cell* term, LeafPrinter leaf) {
    RUK_ASSERT(term != nullptr);
    Printer p;
    p.custom = leaf;
    p.run(term);
    return std::move(p.buf);
}

}  // namespace ruk
