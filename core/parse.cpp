#include "core/parse.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace ruk {

namespace {

constexpr int64_t kFarPosition = int64_t(1) << 30;  // written "!!!!!"

// The text is the type, the position code in brackets, and the message.
Report user_error(ReportType type, size_t position, std::string_view message) {
    std::string text(type_name(type));
    text += '[';
    text += position_code(std::min<int64_t>(int64_t(position), kFarPosition));
    text += ']';
    text += message;
    return make_report(type, std::move(text), std::string(), int64_t(position));
}

const char* bracket_kind(char c) {
    switch (c) {
    case '(': case ')': return "parenthesis";
    case '[': case ']': return "bracket";
    default: return "wing";
    }
}

char closer_of(char opener) { return opener == '(' ? ')' : opener == '[' ? ']' : '}'; }

// Forward scan with a stack of openers; inside a literal only "[" and "]" act.
Report match_check(std::string_view t) {
    std::vector<size_t> open;
    for (size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        if (!is_opener(c) && !is_closer(c)) continue;
        if (!open.empty() && t[open.back()] == '[') {
            if (c == '[') open.push_back(i);
            else if (c == ']') open.pop_back();
            continue;
        }
        if (is_opener(c)) {
            open.push_back(i);
            continue;
        }
        if (open.empty()) {
            std::string m = "Left dangling ";
            m += bracket_kind(c);
            m += '.';
            return user_error(ReportType::Match, i, m);
        }
        size_t o = open.back();
        if (closer_of(t[o]) != c) {
            std::string m = "Doesn't fit '";
            m += c;
            m += "' at [";
            m += position_code(std::min<int64_t>(int64_t(i), kFarPosition));
            m += "].";
            return user_error(ReportType::Match, o, m);
        }
        open.pop_back();
    }
    if (!open.empty()) {
        std::string m = "Right dangling ";
        m += bracket_kind(t[open.back()]);
        m += '.';
        return user_error(ReportType::Match, open.back(), m);
    }
    return Report{};
}

// Backward scan over a balanced text: a parenthesised group holding a top-level comma
// must be a call list, that is its "(" follows ")", "]" or a character that is not glue.
// Commas directly inside braces separate list items and are never in question.
Report comma_check(std::string_view t) {
    struct Mark {
        char kind;   // ')' or '}' for an open group, ',' for its leftmost top-level comma
        size_t pos;
    };
    std::vector<Mark> stack;
    for (size_t i = t.size(); i-- > 0;) {
        char c = t[i];
        switch (c) {
        case ']': {
            // jump to the literal's "["
            size_t depth = 1;
            while (depth != 0) {
                RUK_ASSERT(i > 0);
                char d = t[--i];
                if (d == ']') ++depth;
                else if (d == '[') --depth;
            }
            break;
        }
        case ')':
        case '}':
            stack.push_back({c, i});
            break;
        case ',':
            if (!stack.empty() && stack.back().kind == ')') stack.push_back({',', i});
            else if (!stack.empty() && stack.back().kind == ',') stack.back().pos = i;
            break;
        case '{':
            RUK_ASSERT(!stack.empty() && stack.back().kind == '}');
            stack.pop_back();
            break;
        case '(': {
            RUK_ASSERT(!stack.empty());
            bool comma = stack.back().kind == ',';
            bool call = i > 0 && (t[i - 1] == ')' || t[i - 1] == ']' || !is_glue(t[i - 1]));
            if (comma && !call)
                return user_error(ReportType::Comma, stack.back().pos,
                                  "Comma encountered in parenthesization which is not a call list.");
            if (comma) stack.pop_back();
            RUK_ASSERT(!stack.empty() && stack.back().kind == ')');
            stack.pop_back();
            break;
        }
        default:
            break;
        }
    }
    return Report{};
}

// ---- the operator table ------------------------------------------------------------

constexpr int kLevels = 8;  // binary levels; 9 to 13 are unary pieces, items and atoms

struct LevelTable {
    std::array<uint8_t, 256> level{};  // 0: not a binary operator
    bool right[kLevels + 1]{};         // grouping of each level
};

constexpr LevelTable make_levels() {
    LevelTable t;
    struct Row {
        const char* chars;
        bool right;
    };
    const Row rows[kLevels] = {
        {";\\{", true}, {"?\n", false}, {"&|", true},  {"=<>#", true},
        {"@ ", false},  {"+-:.", false}, {"*/%'", false}, {"^", true},
    };
    for (int l = 1; l <= kLevels; ++l) {
        for (const char* p = rows[l - 1].chars; *p; ++p) t.level[static_cast<unsigned char>(*p)] = uint8_t(l);
        t.right[l] = rows[l - 1].right;
    }
    return t;
}
constexpr LevelTable kTable = make_levels();

inline int level_of(char c) { return kTable.level[static_cast<unsigned char>(c)]; }

// Operator leaves, the placeholder "}" and the list leaf "," among them, are shared within
// one parse: each operator character has a slot, from 1 on.
struct OpSlots {
    std::array<uint8_t, 256> slot{};
    size_t count = 0;
};
constexpr OpSlots make_op_slots() {
    OpSlots t;
    for (int c = 0; c < 256; ++c)
        if (is_operator_char(char(c))) t.slot[size_t(c)] = uint8_t(++t.count);
    return t;
}
constexpr OpSlots kOpSlots = make_op_slots();

// Every bracket group is parsed when the scan meets its closer, after the groups inside
// it, so the parse of one group's text never descends into another: a group inside it is
// looked up among the terms already made. The calls that remain go down the binary levels
// (each call a strictly tighter level than its caller) and end in the unary levels and
// items, so their depth is bounded whatever the nesting of the text.

// The term of a closed group, waiting for the text around it to be parsed. A call list
// leaves one per argument, in order.
struct Made {
    uint32_t open;  // offset of the group's "(" or "{"
    bool call;      // an argument of a call list
    CellRef term;
};

// A group whose closer the scan has not met yet.
struct Open {
    uint32_t open;       // offset of its "(" or "{"
    uint32_t kids : 31;  // where the terms of the groups inside it begin in Parser::made
    uint32_t call : 1;   // a "(" that continues a word: a call list
};

struct Parser {
    const Source* src;
    const char* s;
    const uint32_t* partner;
    std::array<CellRef, kOpSlots.count + 1> ops;
    size_t bad_begin = std::numeric_limits<size_t>::max();  // leftmost meaningless item
    size_t bad_end = 0;
    // Closed groups whose surrounding text is not parsed yet, in text order;
    // made[kids, kids_end) are those directly inside the text being parsed.
    std::vector<Made> made{};
    size_t kids = 0;
    size_t kids_end = 0;
};

// One-character leaf for an operator character.
CellRef op(Parser& p, char c) {
    unsigned slot = kOpSlots.slot[static_cast<unsigned char>(c)];
    RUK_ASSERT(slot != 0);
    CellRef& leaf = p.ops[slot];
    // a fresh leaf long before the shared one's count could run out
    if (!leaf || ref_count(leaf.get()) >= (uint32_t(1) << 29)) leaf = from_bytes(std::string_view(&c, 1));
    return leaf;
}

CellRef placeholder(Parser& p) { return op(p, '}'); }

CellRef expr(Parser& p, size_t lo, size_t hi, int from);

// The first term made for the group opening at `open`, which lies directly inside the
// text being parsed.
Made& made_for(Parser& p, size_t open) {
    auto b = p.made.begin() + ptrdiff_t(p.kids), e = p.made.begin() + ptrdiff_t(p.kids_end);
    auto it = std::lower_bound(b, e, open, [](const Made& m, size_t o) { return m.open < o; });
    RUK_ASSERT(it != e && it->open == open);
    return *it;
}

// Calls f(begin, end) for each piece of [lo, hi) between top-level commas.
template <class F>
void for_each_comma_piece(const char* s, const uint32_t* partner, size_t lo, size_t hi, F&& f) {
    size_t start = lo;
    for (size_t i = lo; i < hi; ++i) {
        char c = s[i];
        if (is_opener(c)) {
            i = partner[i];
        } else if (c == ',') {
            f(start, i);
            start = i + 1;
        }
    }
    f(start, hi);
}

// brace list -> item { "," item }: the first item, then ((, list) item) for each more.
CellRef brace_list(Parser& p, size_t lo, size_t hi) {
    CellRef list;
    for_each_comma_piece(p.s, p.partner, lo, hi, [&](size_t b, size_t e) {
        CellRef item = expr(p, b, e, 1);
        list = list ? apply2(op(p, ','), std::move(list), std::move(item)) : std::move(item);
    });
    return list;
}

// The term of one item; a leading "(" group is a plain group here.
CellRef item_term(Parser& p, size_t lo, size_t hi) {
    if (p.s[lo] == '(') {
        RUK_ASSERT(p.partner[lo] == hi - 1);
        Made& group = made_for(p, lo);
        RUK_ASSERT(!group.call);
        return std::move(group.term);
    }
    CellRef leaf = atom_leaf(std::string_view(p.s + lo, hi - lo));
    if (leaf) return leaf;
    if (lo < p.bad_begin) {
        p.bad_begin = lo;
        p.bad_end = hi;
    }
    return placeholder(p);
}

// word -> item { item | "(" args ")" }  (level 12)
CellRef word(Parser& p, size_t lo, size_t hi) {
    size_t i = item_end(*p.src, lo, hi);
    CellRef acc = item_term(p, lo, i);
    while (i < hi) {
        size_t j = item_end(*p.src, i, hi);
        if (p.s[i] == '(') {
            // call list: c(d,e) = ((c d) e), g() = (g })
            size_t k = size_t(&made_for(p, i) - p.made.data());
            for (; k < p.kids_end && p.made[k].open == i; ++k) {
                RUK_ASSERT(p.made[k].call);
                acc = apply(std::move(acc), std::move(p.made[k].term));
            }
        } else {
            acc = apply(std::move(acc), item_term(p, i, j));
        }
        i = j;
    }
    return acc;
}

// Offset of the next top-level unary character in [i, hi), or hi.
size_t next_unary(const Parser& p, size_t i, size_t hi) {
    for (; i < hi; ++i) {
        char c = p.s[i];
        if (is_unary(c)) return i;
        if (is_opener(c)) i = p.partner[i];
    }
    return hi;
}

// runs -> word { unary-run word }  (level 11): each piece is applied to the
// accumulator; within a piece the run's last character applies first:
// "g~!x" = (g (~ (! x))).
// [lo, hi) neither starts nor ends with a unary character.
CellRef unary_runs(Parser& p, size_t lo, size_t hi) {
    size_t r = next_unary(p, lo, hi);
    CellRef acc = word(p, lo, r);
    while (r < hi) {
        size_t q = r;
        while (is_unary(p.s[q])) ++q;
        RUK_ASSERT(q < hi);  // a piece is its run and at least one more character
        size_t next = next_unary(p, q, hi);
        CellRef piece = word(p, q, next);
        for (size_t k = q; k-- > r;) piece = apply(op(p, p.s[k]), std::move(piece));
        acc = apply(std::move(acc), std::move(piece));
        r = next;
    }
    return acc;
}

// postfix -> prefix { c }   prefix -> { c } runs   (levels 9 and 10)
// "x!~" = (~ (! x)), "~!x" = (~ (! x)); a text of unary characters only wraps "}".
CellRef unary(Parser& p, size_t lo, size_t hi) {
    size_t e = hi;
    while (e > lo && is_unary(p.s[e - 1])) --e;
    CellRef t;
    if (e == lo) {
        t = placeholder(p);
    } else {
        size_t b = lo;
        while (is_unary(p.s[b])) ++b;  // stops before e: s[e - 1] is not unary
        t = unary_runs(p, b, e);
        for (size_t k = b; k-- > lo;) t = apply(op(p, p.s[k]), std::move(t));
    }
    for (size_t k = e; k < hi; ++k) t = apply(op(p, p.s[k]), std::move(t));
    return t;
}

// The term of one binary operator c with operands x and y.
CellRef build(Parser& p, char c, CellRef x, CellRef y) {
    switch (c) {
    case '\n': return apply(std::move(y), std::move(x));  // two lines a, g: (g a)
    case ' ': return apply(std::move(x), std::move(y));
    default: return apply2(op(p, c), std::move(x), std::move(y));
    }
}

// Left grouping: "a-b-c" = ((- ((- a) b)) c). Cuts are met left to right.
CellRef left_group(Parser& p, size_t lo, size_t hi, int level) {
    CellRef acc;
    char pending = 0;
    size_t start = lo;
    for (size_t i = lo; i < hi; ++i) {
        char c = p.s[i];
        if (is_opener(c)) {
            i = p.partner[i];
            continue;
        }
        if (level_of(c) != level) continue;
        CellRef seg = expr(p, start, i, level + 1);
        acc = pending ? build(p, pending, std::move(acc), std::move(seg)) : std::move(seg);
        pending = c;
        start = i + 1;
    }
    RUK_ASSERT(pending != 0);
    return build(p, pending, std::move(acc), expr(p, start, hi, level + 1));
}

// Right grouping: "a=b=c" = ((= a) ((= b) c)). Cuts are met right to left, so the
// accumulator always holds everything right of the pending cut. A "{" cut's right
// operand starts after its "}", and the group holds its brace list.
CellRef right_group(Parser& p, size_t lo, size_t hi, int level) {
    struct Cut {
        char c = 0;
        size_t open = 0;  // of a "{" cut
    };
    CellRef acc;
    Cut pending;
    size_t seg_end = hi;
    auto combine = [&](CellRef x) {
        if (pending.c == '{')
            acc = apply3(op(p, '{'), std::move(x), std::move(made_for(p, pending.open).term),
                         std::move(acc));
        else
            acc = build(p, pending.c, std::move(x), std::move(acc));
    };
    for (size_t i = hi; i-- > lo;) {
        char c = p.s[i];
        Cut cut;
        size_t right_begin = i + 1;
        if (is_closer(c)) {
            size_t o = p.partner[i];
            if (p.s[o] == '{' && level == 1) cut = {'{', o};
            i = o;
        } else if (level_of(c) == level) {
            cut.c = c;
        }
        if (!cut.c) continue;
        CellRef seg = expr(p, right_begin, seg_end, level + 1);
        if (pending.c) combine(std::move(seg));
        else acc = std::move(seg);
        pending = cut;
        seg_end = i;
    }
    RUK_ASSERT(pending.c != 0);
    combine(expr(p, lo, seg_end, level + 1));
    return acc;
}

// expr at level `from`: cut at the loosest binary level present at top level, or hand
// the text to the unary levels. An empty text is the placeholder.
CellRef expr(Parser& p, size_t lo, size_t hi, int from) {
    if (lo == hi) return placeholder(p);
    const unsigned want = ~((1u << from) - 1);
    unsigned mask = 0;
    for (size_t i = lo; i < hi; ++i) {
        char c = p.s[i];
        unsigned bit = (1u << level_of(c)) & want & ~1u;
        mask |= bit;
        if (bit == (1u << from)) break;  // nothing can be looser
        if (is_opener(c)) i = p.partner[i];
    }
    if (mask == 0) return unary(p, lo, hi);
    int level = __builtin_ctz(mask);
    return kTable.right[level] ? right_group(p, lo, hi, level) : left_group(p, lo, hi, level);
}

// Whether the "(" at `at` continues the word before it, which makes it a call list; a "("
// that begins a word is a plain group. The levels above the items leave no operator or
// blank inside a word, so a word begins at the start of the text, after an operator, a
// blank, an opener or a brace group, and after a comma that separates the items of a call
// list or braces; directly inside a plain group a comma is part of an item ("~(a,(b))"
// is ~ applied to "a," applied to b). `around` is the innermost group open around `at`.
bool continues_word(const char* s, size_t begin, size_t at, const Open* around) {
    if (at == begin) return false;
    char c = s[at - 1];
    if (c == ')' || c == ']') return true;
    if (c == ',') return around == nullptr || (s[around->open] == '(' && !around->call);
    return is_name_char(c) || is_digit_char(c) || is_other(c);
}

// Parses the group from `g.open` to `close` as its kind asks (a plain group as one
// expression, a call list or braces item by item), now that every group inside it is
// made, and puts its terms in place of theirs.
void close_group(Parser& p, const Open& g, size_t close) {
    size_t n = p.made.size();
    p.kids = g.kids;
    p.kids_end = n;
    size_t lo = size_t(g.open) + 1;
    if (p.s[g.open] == '{') {
        CellRef list = brace_list(p, lo, close);
        p.made.push_back({g.open, false, std::move(list)});
    } else if (!g.call) {
        CellRef term = expr(p, lo, close, 1);
        p.made.push_back({g.open, false, std::move(term)});
    } else {
        for_each_comma_piece(p.s, p.partner, lo, close, [&](size_t b, size_t e) {
            CellRef arg = expr(p, b, e, 1);
            p.made.push_back({g.open, true, std::move(arg)});
        });
    }
    for (size_t k = g.kids; k < n; ++k) RUK_ASSERT(!p.made[k].term);  // each inner group used once
    p.made.erase(p.made.begin() + ptrdiff_t(g.kids), p.made.begin() + ptrdiff_t(n));
}

// The whole of [lo, hi): its groups innermost first, then the text around them.
CellRef parse_range(Parser& p, size_t lo, size_t hi) {
    std::vector<Open> open;
    for (size_t i = lo; i < hi; ++i) {
        char c = p.s[i];
        if (c == '[') {
            i = p.partner[i];  // a literal is one leaf
        } else if (c == '(' || c == '{') {
            const Open* around = open.empty() ? nullptr : &open.back();
            bool call = c == '(' && continues_word(p.s, lo, i, around);
            RUK_ASSERT(p.made.size() < (size_t(1) << 31));
            open.push_back({uint32_t(i), uint32_t(p.made.size()), call});
        } else if (c == ')' || c == '}') {
            RUK_ASSERT(!open.empty() && open.back().open == p.partner[i]);
            Open g = open.back();
            open.pop_back();
            close_group(p, g, i);
        }
    }
    RUK_ASSERT(open.empty());
    p.kids = 0;
    p.kids_end = p.made.size();
    CellRef term = expr(p, lo, hi, 1);
    for (const Made& m : p.made) RUK_ASSERT(!m.term);
    return term;
}

}  // namespace

std::string position_code(int64_t position) {
    RUK_ASSERT(position >= 0 && position <= kFarPosition);
    if (position == kFarPosition) return "!!!!!";
    std::string code(5, ',');
    for (int k = 4; k >= 0; --k) {
        code[size_t(k)] = kDigits[size_t(position & 63)];
        position >>= 6;
    }
    return code;
}

Report check_brackets(std::string_view raw) {
    Report r = match_check(raw);
    if (!r.ok()) return r;
    return comma_check(raw);
}

Report load_source(std::string_view raw, Source& out) {
    out.text = normalise(raw);
    out.partner.clear();
    if (out.text.size() > kMaxSourceSize)
        return user_error(ReportType::Parse, size_t(kFarPosition), "Program text too long.");
    if (index_brackets(out)) return Report{};
    Report r = match_check(out.text);
    RUK_ASSERT(!r.ok());
    return r;
}

std::vector<Segment> split_commas(const Source& src, Segment range) {
    RUK_ASSERT(range.begin <= range.end && range.end <= src.text.size());
    std::vector<Segment> out;
    for_each_comma_piece(src.text.data(), src.partner.data(), range.begin, range.end,
                         [&](size_t b, size_t e) { out.push_back({b, e}); });
    return out;
}

CellRef parse_expression(const Source& src, Segment range, Report& error) {
    RUK_ASSERT(range.begin <= range.end && range.end <= src.text.size());
    RUK_ASSERT(src.partner.size() == src.text.size());
    Parser p{&src, src.text.data(), src.partner.data(), {}};
    CellRef term = parse_range(p, range.begin, range.end);
    if (p.bad_end == 0) return term;
    std::string message = "Unexpected item ";
    message.append(src.text, p.bad_begin, p.bad_end - p.bad_begin);
    message += '.';
    error = user_error(ReportType::Parse, p.bad_begin, message);
    return CellRef();
}

}  // namespace ruk
