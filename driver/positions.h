// Where a report's offset, or a definition, stands in the text the user wrote.
//
// The front end reports some errors by their offset in the raw text (the bracket and
// comma checks) and others by their offset in the normalised text (the grammar, program
// assembly). Normalisation only ever drops blanks (spaces and newlines), so the
// normalised text is the raw text with some blanks left out, and every normalised byte
// is found again in the raw text by walking both side by side.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/report.h"

namespace ruk {

inline constexpr size_t kNoOffset = size_t(-1);

// Lines count from 1 and end at each newline; columns count bytes from 1 (a tab or a
// carriage return is one column, a multibyte character as many as its bytes).
struct LineColumn {
    size_t line = 0;
    size_t column = 0;
};

// The line and column of a byte offset in the text; an offset at or past the end is the
// position just after the last byte.
[[nodiscard]] LineColumn line_column(std::string_view text, size_t offset);

// "line L, column C".
[[nodiscard]] std::string describe(LineColumn at);

// For each offset in the normalised text (`queries`, in any order), the offset of the
// same byte in the raw text; kNoOffset for an offset past the end or when `normalised`
// is not the raw text with blanks left out. One walk over both texts.
[[nodiscard]] std::vector<size_t> raw_offsets(std::string_view raw, std::string_view normalised,
                                              const std::vector<size_t>& queries);

// Where each definition of the program text begins, as a raw offset, by the name it is
// entered under in the definition table ("[+]\..." is "+", the entry expression ""); a
// name defined twice is where the later one, which wins, begins. Empty when the text
// does not pass the bracket checks.
[[nodiscard]] std::unordered_map<std::string, size_t> definition_offsets(std::string_view raw);

// The raw offset a report is about, or kNoOffset: the bracket and comma checks give raw
// offsets, the grammar and program assembly normalised ones; the checker's and program
// start's reports have none.
[[nodiscard]] size_t report_offset(const Report& report, std::string_view raw);

}  // namespace ruk
