#include "core/data.h"

#include <array>
#include <string>

#include "core/leaves.h"

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

}  // namespace

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

std::string_view char_form(unsigned char c) {
    // A newline, "[" and "]" normally stand in texts as the escapes "[p]", "[q]" and "[r]";
    // should one appear bare (a NUL in a source literal becomes a newline), it still gets
    // the form its position gives, so that no text can stop the interpreter.
    static const auto forms = [] {
        std::array<std::string, 256> f;
        for (unsigned p = 0; p < 256; ++p) f[kCharOrder[p]] = tree_text(p + 145);
        return f;
    }();
    return forms[c];
}

bool take_last(Cell* d, CellRef& rest, CellRef& last) {
    if (is_pair(d)) {
        rest = CellRef(left_of(d));
        last = CellRef(right_of(d));
        return true;
    }
    std::string_view s = leaf_text(d);
    // Texts are "[" elements "]"; a text without its closing bracket is read as if it had one.
    size_t end = (s.size() >= 2 && s.back() == ']') ? s.size() - 1 : s.size();
    if (end <= 1) return false;  // "[]"
    size_t j = end - 1, start = j;
    if (s[j] == ']') {  // a nested element: back to its matching "[", never past the outer one
        int depth = 0;
        for (size_t i = j + 1; i-- > 1;) {
            if (s[i] == ']') {
                ++depth;
            } else if (s[i] == '[' && --depth == 0) {
                start = i;
                break;
            }
        }
    }
    if (start == j)
        last = from_bytes(char_form(static_cast<unsigned char>(s[j])));
    else
        last = from_bytes(s.substr(start, j - start + 1));
    std::string r(s.substr(0, start));
    r += ']';
    rest = from_string(std::move(r));
    return true;
}

CellRef list_form(Cell* d) {
    CellRef rest, last;
    if (!take_last(d, rest, last)) return leaves().K;
    return apply2(leaves().J, list_form(rest.get()), list_form(last.get()));
}

CellRef make_blob(std::string_view bytes) {
    std::string s = "(";
    char digits[16];
    int n = 0;
    for (uint64_t len = bytes.size(); len > 0; len /= 64) digits[n++] = kDigits[len % 64];
    while (n > 0) s += digits[--n];
    s += ')';
    s.append(bytes);
    return from_string(std::move(s));
}

std::string_view blob_payload(Cell* blob) {
    size_t prefix = 0;
    uint64_t len = blob_length(blob, &prefix);
    return {static_cast<Leaf*>(blob)->bytes() + prefix, len};
}

}  // namespace ruk
