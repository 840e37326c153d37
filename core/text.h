// The source-text layer: character classes, normalisation, the bracket partners of a
// normalised text, the cutting of a word into items, and the leaves made from items.
//
// Texts are bytes; no character set is decoded. A text literal is "[" through its
// matching "]"; inside it only "[" and "]" count (they nest) and nothing else means
// anything.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/cell.h"

namespace ruk {

// ---- character classes (by byte value) -------------------------------------------

namespace chr {
constexpr uint8_t kBlank = 1;     // space and newline only; tab and CR are ordinary
constexpr uint8_t kGlue = 2;      // a blank run beside one of these vanishes
constexpr uint8_t kUnary = 4;     // ~ ! " $ `  prefix and postfix operators
constexpr uint8_t kOperator = 8;  // {,}~!@#$%^&*<>-|+/=\.`'":;?  the 27 operator characters
constexpr uint8_t kName = 16;     // a-z and _
constexpr uint8_t kDigit = 32;    // 0-9
constexpr uint8_t kOpener = 64;   // ( [ {
constexpr uint8_t kCloser = 128;  // ) ] }
// The 33 characters that do not start an item of their own when a word is cut: the
// operators, the brackets and the blanks.
constexpr uint8_t kPunct = kOperator | kOpener | kCloser | kBlank;

constexpr std::array<uint8_t, 256> make_classes() {
    std::array<uint8_t, 256> t{};
    for (unsigned char c : std::string_view(" \n")) t[c] |= kBlank;
    for (unsigned char c : std::string_view("\n #%&'*+,-./:;<=>?@\\^|")) t[c] |= kGlue;
    for (unsigned char c : std::string_view("~!\"$`")) t[c] |= kUnary;
    for (unsigned char c : std::string_view("{,}~!@#$%^&*<>-|+/=\\.`'\":;?")) t[c] |= kOperator;
    for (int c = 'a'; c <= 'z'; ++c) t[c] |= kName;
    t['_'] |= kName;
    for (int c = '0'; c <= '9'; ++c) t[c] |= kDigit;
    for (unsigned char c : std::string_view("([{")) t[c] |= kOpener;
    for (unsigned char c : std::string_view(")]}")) t[c] |= kCloser;
    return t;
}
inline constexpr std::array<uint8_t, 256> kClass = make_classes();
}  // namespace chr

constexpr bool has_class(char c, uint8_t k) { return (chr::kClass[static_cast<unsigned char>(c)] & k) != 0; }
constexpr bool is_blank(char c) { return has_class(c, chr::kBlank); }
constexpr bool is_glue(char c) { return has_class(c, chr::kGlue); }
constexpr bool is_unary(char c) { return has_class(c, chr::kUnary); }
constexpr bool is_operator_char(char c) { return has_class(c, chr::kOperator); }
constexpr bool is_name_char(char c) { return has_class(c, chr::kName); }
constexpr bool is_digit_char(char c) { return has_class(c, chr::kDigit); }
constexpr bool is_opener(char c) { return has_class(c, chr::kOpener); }
constexpr bool is_closer(char c) { return has_class(c, chr::kCloser); }
// Capitals, control characters, bytes 128-255, tab, CR: each is an item of its own.
constexpr bool is_other(char c) { return !has_class(c, chr::kPunct | chr::kName | chr::kDigit); }

// A name: one or more of a-z and _.
constexpr bool is_name(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!is_name_char(c)) return false;
    return true;
}

// A bracketed operator name: "[" + one operator character + "]", such as "[+]". It names
// the operator itself.
constexpr bool is_operator_name(std::string_view text) {
    return text.size() == 3 && text[0] == '[' && text[2] == ']' && is_operator_char(text[1]);
}

// ---- normalisation ---------------------------------------------------------------

// Drops leading and trailing blanks; copies text literals with their line breaks (and
// the spaces just before each break) removed; removes a blank run next to a glue
// character, after "{" "(" "}" or before "}" ")" "{", and otherwise shrinks it to one
// newline (if it held one) or one space. "a + b" -> "a+b", "( x )" -> "(x)".
[[nodiscard]] std::string normalise(std::string_view raw);

// ---- a normalised text with its bracket partners ---------------------------------

// The unit the parser works on: offsets into `text` are positions in the whole
// normalised text. `partner[i]` is the offset of the bracket matching the bracket at i
// (in both directions); other entries are meaningless. Texts are below 4 GiB.
struct Source {
    std::string text;
    std::vector<uint32_t> partner;
};

// Largest text a Source can hold.
inline constexpr size_t kMaxSourceSize = size_t(UINT32_MAX) - 1;

// Fills src.partner for src.text. Groups are matched the way the bracket check matches
// them: "(" with ")", "{" with "}", and a literal "[" with its "]" counting only "[" and
// "]" inside. False when the brackets do not balance (a text that would fail the bracket
// check) or the text is too long; partner is then unusable.
[[nodiscard]] bool index_brackets(Source& src);

// ---- words, items and atoms -------------------------------------------------------

// A word (a text without top-level operators or blanks) is cut into items. Given the
// start of an item in [begin, end), returns where it ends (the start of the next item,
// or end). A "(" or "[" group is always inside one item: "g(x)" is g and (x), "(a)b" is
// (a) and b, "ab_c1" is ab_c and 1, "BKK" is B, K, K.
[[nodiscard]] size_t item_end(const Source& src, size_t begin, size_t end);

// The leaf of an item that does not start with "(":
//   digit        number leaf, the item's text
//   a-z, _       name leaf, the item's text
//   "["          text leaf: the literal with its newlines removed and NULs turned into
//                newlines
//   other        the one character (NUL gives the leaf "\n")
// An item of two or more characters starting with anything else (",," from "~(,,)")
// has no meaning: the result is then empty and the caller reports it.
[[nodiscard]] CellRef atom_leaf(std::string_view item);

// ---- tables keyed by text -----------------------------------------------------------

// Hashes texts as views, so a hashed table keyed by std::string is looked up by a
// std::string_view without making a string.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};

}  // namespace ruk
