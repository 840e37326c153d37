#include "core/print.h"

#include <algorithm>
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

// What the rules need to know of a complete printed form without looking at it again.
struct Shape {
    char first = 0;
    char second = 0;  // meaningful unless `one`
    char last = 0;
    bool one = false;  // a single character
};

// How a pair joins its parts: not known yet; "L R"; L without its ")", " R)"; "(L R)".
enum class Form : uint8_t { unknown, tight, flat, boxed };

// A pair being printed. Its "(" is written when the pair is entered and its blank when
// the left part is complete; both stay until the form is known, which drops what the form
// does not use. The form is known as soon as the parts printed so far decide it, mostly
// long before the pair is complete.
struct Frame {
    Cell* pair;
    size_t open;       // offset of the "(" in everything written
    size_t blank = 0;  // offset of the blank, once the left part is complete
    Shape left{};      // the left part, once complete
    bool left_done = false;
    bool has_lead = false;
    char lead = 0;  // the first character of the pair's leftmost leaf, once written
    Form form = Form::unknown;
    char first = 0;  // of the printed pair, once the form is known
    char second = 0;
};

// The printer writes each leaf as it comes and settles the output up to the "(" of the
// outermost pair whose form is still unknown: everything before it is final. Settled
// bytes move to `out`, without the dropped ones; once `out` is longer than the limit the
// printer stops.
struct Printer {
    LeafPrinter custom = nullptr;  // prints leaves its own way when set
    size_t limit = kPrintLimit;
    std::string out;              // the final output so far
    std::string buf;              // what is written from offset `base` on
    std::vector<uint8_t> dead;    // 1 for each byte of buf to leave out
    size_t base = 0;
    size_t moved = 0;             // offset up to which `out` holds what was written
    size_t dropped = 0;           // bytes dropped after `moved`
    std::vector<Frame> stack;     // the pairs entered and not complete, outermost first
    size_t firm = 0;              // stack[0, firm) all know their form
    bool cut = false;

    size_t end() const { return base + buf.size(); }
    void put(char c) {
        buf += c;
        dead.push_back(0);
    }
    void drop(size_t at) {
        dropped += 1 - dead[at - base];
        dead[at - base] = 1;
    }

    Shape leaf(Cell* c) {
        size_t at = buf.size();
        if (custom) {
            std::string t = custom(c);
            if (t.empty()) t = "()";
            buf += t;
        } else {
            unsigned char f = first_byte(c);
            std::string_view text;
            if (f != '(' && f != ')' && f != ']' && f != ' ') text = leaf_text(c);
            if (text.empty()) {
                buf += "()";
            } else {
                buf += text;
                for (size_t i = at; i < buf.size(); ++i) {
                    if (buf[i] == '\0') buf[i] = '\n';
                    else if (buf[i] == '\n') buf[i] = '\0';
                }
            }
        }
        dead.resize(buf.size());
        Shape s;
        s.first = buf[at];
        s.one = buf.size() - at == 1;
        s.second = s.one ? 0 : buf[at + 1];
        s.last = buf.back();
        return s;
    }

    void set_form(Frame& f, Form form, char first, char second) {
        f.form = form;
        f.first = first;
        f.second = second;
        if (form == Form::tight) {
            drop(f.open);
            drop(f.blank);
        } else if (form == Form::flat) {
            drop(f.open);
            if (f.left_done) drop(f.blank - 1);  // the ")" that ended the left part
        }
    }

    // Finds the form of stack[k] when what is written so far decides it: the left part
    // when it begins with "(" or ends in a loose character, else the right part, whose
    // first character is "(" or its leftmost leaf's, so that a leaf that does not glue
    // decides it early. `right` is the right part when it has just been completed.
    // False while the form stays unknown.
    bool settle(size_t k, const Shape* right) {
        Frame& f = stack[k];
        if (f.form != Form::unknown) return true;
        const Frame* part = k + 1 < stack.size() ? &stack[k + 1] : nullptr;  // being printed
        if (!f.left_done) {
            if (part == nullptr || part->form == Form::unknown || part->first != '(') return false;
            if (part->second != ')') set_form(f, Form::flat, '(', part->second);
            else set_form(f, Form::boxed, '(', '(');
            return true;
        }
        const Shape& l = f.left;
        if (l.first == '(') {
            if (l.second != ')') set_form(f, Form::flat, '(', l.second);
            else set_form(f, Form::boxed, '(', '(');
            return true;
        }
        if (!tight(l.last)) {
            set_form(f, Form::boxed, '(', l.first);
            return true;
        }
        char r_first;
        bool r_one = false;
        if (right != nullptr) {
            r_first = right->first;
            r_one = right->one;
        } else if (part != nullptr && part->form != Form::unknown) {
            r_first = part->first;
        } else if (part != nullptr && part->has_lead && !glues_after_tight(part->lead)) {
            r_first = '(';  // or the lead: either way no join
        } else {
            return false;
        }
        if ((r_one && tight(r_first)) || glues_after_tight(r_first))
            set_form(f, Form::tight, l.first, l.one ? r_first : l.second);
        else
            set_form(f, Form::boxed, '(', l.first);
        return true;
    }

    // After news for stack[k]: settles it and, in turn, each pair below it that this decides.
    void settle_down(size_t k, const Shape* right = nullptr) {
        for (;;) {
            if (stack[k].form != Form::unknown || !settle(k, right) || k == 0) return;
            --k;
            right = nullptr;
        }
    }

    Shape close(const Frame& f, const Shape& r) {
        RUK_ASSERT(f.form != Form::unknown);
        if (f.form == Form::tight) return {f.left.first, f.second, r.last, false};
        put(')');
        return {'(', f.second, ')', false};
    }

    // Moves the bytes written before `upto` to `out`, leaving out the dropped ones.
    void settle_output(size_t upto) {
        for (size_t i = moved; i < upto; ++i) {
            if (dead[i - base]) --dropped;
            else out += buf[i - base];
        }
        moved = upto;
        if (moved - base > buf.size() / 2) {  // forget what was moved, now and then
            buf.erase(0, moved - base);
            dead.erase(dead.begin(), dead.begin() + ptrdiff_t(moved - base));
            base = moved;
        }
    }

    // Moves what is final to `out`, and cuts when `out` is past the limit. The unsettled
    // rest stays short unless a long juxtaposition leaves its first pair undecided (tight
    // leaves that begin with a letter or digit, joined over and over); once it holds more
    // than the limit (or kPrintLimit, for a smaller limit) it is cut as if every pair
    // still undecided were a tight join.
    void flush() {
        while (firm < stack.size() && stack[firm].form != Form::unknown) ++firm;
        settle_output(firm < stack.size() ? stack[firm].open : end());
        size_t rest = end() - moved - dropped;
        size_t undecided = 2 * (stack.size() - firm);  // at most, in the rest
        if (out.size() <= limit && rest <= std::max(limit, kPrintLimit) + undecided) return;
        for (size_t k = firm; k < stack.size(); ++k) {
            if (stack[k].form != Form::unknown) continue;
            drop(stack[k].open);
            if (stack[k].left_done) drop(stack[k].blank);
        }
        settle_output(end());
        out.resize(std::min(out.size(), limit));
        out += kCutMarker;
        cut = true;
    }

    void run(Cell* root) {
        Cell* node = root;
        for (;;) {
            // down the left spine
            size_t from = stack.size();
            while (is_pair(node)) {
                stack.push_back({node, end()});
                put('(');
                node = left_of(node);
            }
            Shape done = leaf(node);
            for (size_t k = from; k < stack.size(); ++k) {
                stack[k].has_lead = true;
                stack[k].lead = done.first;
            }
            if (from > 0 && from < stack.size()) settle_down(from - 1);  // whose right part this is
            // up until some pair still needs its right part
            node = nullptr;
            while (!stack.empty()) {
                size_t k = stack.size() - 1;
                Frame& f = stack[k];
                if (!f.left_done) {
                    f.left = done;
                    f.left_done = true;
                    if (f.form == Form::flat) drop(end() - 1);  // the ")" that ended the left part
                    f.blank = end();
                    put(' ');
                    settle_down(k);
                    node = right_of(f.pair);
                    break;
                }
                settle_down(k, &done);
                done = close(f, done);
                stack.pop_back();
                firm = std::min(firm, stack.size());
            }
            if (!node) break;
            flush();
            if (cut) return;
        }
        flush();
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

std::string print_term(Cell* term, size_t limit) {
    RUK_ASSERT(term != nullptr);
    Printer p;
    p.limit = limit;
    p.run(term);
    return std::move(p.out);
}

std::string print_term_with(Cell* term, LeafPrinter leaf, size_t limit) {
    RUK_ASSERT(term != nullptr);
    Printer p;
    p.custom = leaf;
    p.limit = limit;
    p.run(term);
    return std::move(p.out);
}

}  // namespace ruk
