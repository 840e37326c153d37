// Data texts for the builtins: their elements, the bytes they stand for, and the one text
// that a data pair or an evaluated tree form V (X J) payload stands for.
//
// A text is "[" elements "]". An element is a single byte, or a nested "[" ... "]" matched
// bracket by bracket; elements are found from the end, exactly as the machine takes them.
// As bytes, a plain byte stands for itself and the escapes "[p]", "[q]" and "[r]" for line
// feed, "[" and "]". A bare line feed is how a NUL of the source is held (the two are
// exchanged wherever texts are read and shown), so it stands for the byte 0.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/cell.h"

namespace ruk {

// The longest text a builtin builds: the longest whose length the cell header records, so
// that NUL bytes inside survive. A longer result gives "Z".
inline constexpr size_t kMaxText = hdr::kFieldMax;
// The longest blob a builtin builds.
inline constexpr size_t kMaxBlob = size_t(1) << 32;

// Where the elements of a text end: before its closing "]" (a text without one reads as if
// it had one).
[[nodiscard]] size_t text_end(std::string_view text);

// One element of a text: its first byte and its length.
struct Span {
    size_t start;
    size_t size;
};
// The elements of a text, first to last. A text without brackets inside (the common case)
// needs no list: element i is its byte 1 + i.
struct Elements {
    std::string_view text;
    size_t count = 0;
    std::vector<Span> spans;  // empty for a plain text
    [[nodiscard]] Span span(size_t i) const { return spans.empty() ? Span{1 + i, 1} : spans[i]; }
    [[nodiscard]] std::string_view at(size_t i) const {
        Span s = span(i);
        return text.substr(s.start, s.size);
    }
};
// The view in the result points into `text`.
[[nodiscard]] Elements text_elements(std::string_view text);

// The byte whose character form the text is, or nothing.
[[nodiscard]] std::optional<unsigned char> char_form_byte(std::string_view text);

// The text a data argument stands for: a text leaf's own bytes, a data pair flattened, a
// tree form rebuilt. The view stays valid while the argument and this object live.
struct DataText {
    std::string owned;
    std::string_view text;
};
// False when x is neither data nor a well-formed tree form, or its text would be too long.
[[nodiscard]] bool data_text(Cell* x, DataText& out);

// A data pair as one text: the left part's elements, then the right child as one more
// element. A right child that is the character form of a plain byte is written as that
// byte, which the machine cannot tell apart. False past kMaxText.
[[nodiscard]] bool flatten_data(Cell* d, std::string& out);

// V (X J) payload, looked at to the payload only.
[[nodiscard]] bool is_tree_form(Cell* x);
// The payload of a tree form.
[[nodiscard]] inline Cell* tree_payload(Cell* tree) { return right_of(tree); }
// J p q: the two halves of a payload.
[[nodiscard]] bool split_payload(Cell* payload, Cell*& p, Cell*& q);
// The text a tree form stands for. False when the payload is not built of K and J p q
// throughout, or the text would be too long.
[[nodiscard]] bool tree_form_text(Cell* tree, std::string& out);

// The data text of bytes: "[" + each byte, line feed, "[" and "]" as their escapes + "]".
[[nodiscard]] std::string encode_text(std::string_view bytes);
// The bytes of a text; false when an element is a "[" that opens no escape (or a bare
// bracket).
[[nodiscard]] bool decode_text(std::string_view text, std::string& out);

// The character code of one element, as `lord` reads it: a plain byte as a signed 8-bit
// number, a bare line feed as 0, the escapes as 10, 91 and 93, a character form as its
// byte. Nothing for any other element.
[[nodiscard]] std::optional<int> element_code(std::string_view element);

// The one-unit text of an element: "[" + the element + "]", a bare "[" or "]" written as
// its escape.
[[nodiscard]] std::string unit_text(std::string_view element);

// The text of an element placed into a text: a data cell's text, or the byte itself when
// that text is the character form of a plain byte. False when e is not data.
[[nodiscard]] bool element_text(Cell* e, std::string& out);

}  // namespace ruk
