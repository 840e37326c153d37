// Bracket and comma checks on the raw program text, and the operator grammar that turns
// a normalised expression text into a term.
//
// Grammar, loosest first (x left operand, y right operand, c the operator character;
// an empty operand is the placeholder leaf "}"):
//    1  ; \ {        right   ((c x) y); "{": ((({ x) L) y), L the brace list
//    2  ? newline    left    ((? x) y); newline: (y x)
//    3  & |          right   ((c x) y)
//    4  = < > #      right   ((c x) y)
//    5  @ space      left    ((@ x) y); space: (x y)
//    6  + - : .      left    ((c x) y)
//    7  * / % '      left    ((c x) y)
//    8  ^            right   ((c x) y)
//    9  postfix ~ ! " $ `    (c x)        "x!~" is (~ (! x))
//   10  prefix               (c x)        "~x"  is (~ x)
//   11  unary runs in a word (x piece)    "g~!x" is (g (~ (! x)))
//   12  items: juxtaposition (x y) and call lists "c(d,e)" = ((c d) e), "g()" = (g })
//   13  atoms (core/text.h)
// Operators are one-character name leaves; their meaning comes from the prelude.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/cell.h"
#include "core/report.h"
#include "core/text.h"

namespace ruk {

// A position as exactly five digit-alphabet characters, most significant first:
// 0 is ",,,,,", 1 is ",,,,_"; 2^30 is "!!!!!". Anything else outside 0..2^30 asserts.
[[nodiscard]] std::string position_code(int64_t position);

// Bracket and comma checks on the raw text, byte offsets from 0. On an error the report
// has type "Match" or "Comma", the error's offset as position, and the text
// type + "[" + position code + "]" + message, e.g. ")" gives
// "Match[,,,,,]Left dangling parenthesis.". Offsets past 2^30 are coded as 2^30.
[[nodiscard]] Report check_brackets(std::string_view raw);

// Normalises raw text into `out` and indexes its brackets. Run check_brackets on the raw
// text first: a text that fails it gives a "Match" report here (positions in the
// normalised text), and so does one too long to index.
[[nodiscard]] Report load_source(std::string_view raw, Source& out);

// A range [begin, end) of a Source's text.
struct Segment {
    size_t begin;
    size_t end;
};

// Cuts [range) at its top-level commas: n commas give n + 1 segments, in order (an
// empty range gives one empty segment). Parentheses and braces are jumped together and
// text literals as units.
[[nodiscard]] std::vector<Segment> split_commas(const Source& src, Segment range);
[[nodiscard]] inline std::vector<Segment> split_commas(const Source& src) {
    return split_commas(src, Segment{0, src.text.size()});
}

// Parses [range) of an indexed Source as a whole expression; its depth of calls is
// bounded however deep the brackets nest. An item that has no meaning (two or more
// characters starting with something other than a digit, a name character, "[" or "(",
// such as ",," in "~(,,)") makes the result empty and sets `error` to type "Parse",
// position = the item's offset in the whole text, text "Parse[" + position code +
// "]Unexpected item " + item + "."; with several such items the leftmost is reported.
// `error` is left alone on success.
[[nodiscard]] CellRef parse_expression(const Source& src, Segment range, Report& error);

}  // namespace ruk
