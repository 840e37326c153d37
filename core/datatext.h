// How a data value reads as text. Every operator, builtin and machine rule that needs the
// text of a data value, its elements or its bytes asks here, and nowhere else.
//
// A text leaf is "[" elements "]" (one without its closing "]" reads as if it had it). An
// element is a single byte, or a nested "[" ... "]" matched bracket by bracket. Elements
// are found from the end, as the machine takes a text apart: the last element is the
// nested text whose "]" is the last byte, when that "]" has its "[" inside the text, and
// the last byte alone otherwise. The machine hands a single-byte element out as the
// character form of its byte (a text made only of brackets, distinct for every byte) and a
// nested one as it stands.
//
// A data pair (l r) reads as the text of l with the text of r as one more element, and a
// right child that reads as the character form of a byte reads as that byte: so the pair
// of `left x` and `rght x` reads as x, whatever x is. Only "[" and "]" stay nested, since
// as bare bytes they would pair up with their neighbours. The evaluated tree form
// V (X J) payload reads the same way, the payload K as "[]" and J p q as p with q as one
// more element.
//
// As bytes, a plain byte stands for itself, the escapes "[p]", "[q]" and "[r]" for line
// feed, "[" and "]", and a bare line feed for the byte 0 (a NUL of the source is held as a
// line feed, the two being exchanged wherever texts are read and shown).
//
// Nothing builds a text or a blob longer than kMaxBuilt bytes; a longer result is "Z".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/cell.h"

namespace ruk {

// The longest text or blob that anything builds, in bytes: the longest text whose length
// the cell header records, so that NUL bytes inside a text survive. Blobs keep the same
// bound, so a text and a blob of the same bytes are made or refused alike.
#ifdef RUK_FUZZING
// The fuzzing build must not fill memory with the texts of one input's run: 16 KiB there.
inline constexpr size_t kMaxBuilt = size_t(1) << 14;
#else
inline constexpr size_t kMaxBuilt = hdr::kFieldMax;
#endif

// ---- character forms -------------------------------------------------------------------

// The character form of a byte.
[[nodiscard]] std::string_view char_form(unsigned char c);
// The byte whose character form the text is, or nothing.
[[nodiscard]] std::optional<unsigned char> char_form_byte(std::string_view text);

// ---- the elements of a text ------------------------------------------------------------

// Where the elements of a text end: before its closing "]".
[[nodiscard]] size_t text_end(std::string_view text);
// The bytes between the outer brackets.
[[nodiscard]] std::string_view text_inner(std::string_view text);

// One element: its first byte in the text and its length.
struct Span {
    size_t start;
    size_t size;
};
// The elements of a text, first to last. A text without brackets inside (the common case)
// needs no list: element i is its byte 1 + i. Views point into the text.
struct Elements {
    std::string_view text;
    size_t count = 0;
    std::vector<Span> spans;  // empty for a plain text
    [[nodiscard]] Span span(size_t i) const { return spans.empty() ? Span{1 + i, 1} : spans[i]; }
    [[nodiscard]] std::string_view at(size_t i) const {
        Span s = span(i);
        return text.substr(s.start, s.size);
    }
    // The bytes of elements [from, to), to <= count.
    [[nodiscard]] std::string_view slice(size_t from, size_t to) const;
};
[[nodiscard]] Elements text_elements(std::string_view text);

// An element as the machine hands it out: a single byte as its character form, a nested
// text as it stands.
[[nodiscard]] CellRef element_cell(std::string_view element);

// ---- the text of a data value ----------------------------------------------------------

// V (X J) payload, looked at down to the payload only.
[[nodiscard]] bool is_tree_form(Cell* x);
// J p q: the two halves of a payload.
[[nodiscard]] bool split_payload(Cell* payload, Cell*& p, Cell*& q);

// The text a data value reads as.
struct DataText {
    std::string owned;
    std::string_view text;  // a text leaf's own bytes, or `owned`
};
// A text leaf is viewed in place (valid while it lives); a data pair or a tree form is
// read into `owned`. False for anything else, for a tree form whose payload is not built
// of K and J p q throughout, and for a text longer than kMaxBuilt (pairs that share their
// parts can stand for texts far larger than memory: those are refused, never built).
[[nodiscard]] bool data_text(Cell* x, DataText& out);
// The length of the text a data cell reads as, without building it: each pair is
// measured once, so parts shared many times over cost nothing extra. Saturates at
// UINT64_MAX.
[[nodiscard]] uint64_t data_length(Cell* d);
// The text that e stands for as an element placed into a text: a data value's text, or
// the byte itself when that text is a character form that reads as its byte. False when
// e is no data value or its text is too long.
[[nodiscard]] bool element_text(Cell* e, std::string& out);

// ---- bytes -----------------------------------------------------------------------------

// The text of bytes: "[" + each byte, line feed, "[" and "]" as their escapes + "]".
[[nodiscard]] std::string encode_text(std::string_view bytes);
// The bytes of a text; false when an element is a "[" that opens no escape, a bare
// bracket, or a nested text.
[[nodiscard]] bool decode_text(std::string_view text, std::string& out);
// The character code of one element: a plain byte as a signed 8-bit number, a bare line
// feed as 0, the escapes as 10, 91 and 93, a character form as its byte read the same way.
// Nothing for any other element.
[[nodiscard]] std::optional<int> element_code(std::string_view element);
// The one-element text of an element: "[" + the element + "]", a bare "[" or "]" written
// as its escape.
[[nodiscard]] std::string unit_text(std::string_view element);

// ---- results ---------------------------------------------------------------------------

// A text leaf of the whole text (the string is emptied), or "Z" past kMaxBuilt.
[[nodiscard]] CellRef text_result(std::string&& whole);
// The text leaf "[" inner "]", or "Z" past kMaxBuilt.
[[nodiscard]] CellRef text_from_inner(std::string_view inner);
// A blob of these bytes, or "Z" past kMaxBuilt.
[[nodiscard]] CellRef blob_result(std::string_view bytes);

}  // namespace ruk
