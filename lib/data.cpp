#include "lib/data.h"

#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "core/analyse.h"
#include "core/bits.h"
#include "core/data.h"
#include "core/datatext.h"
#include "core/intern.h"
#include "lib/value.h"

namespace ruk {

namespace {

// ---- arguments ----------------------------------------------------------------------

// An integer argument as a machine integer, held at the ends of the 64-bit range when it
// lies beyond them, so that a huge index or length is simply out of range.
bool clamped_integer(Cell* v, int64_t& out) {
    if (!is_integer(v)) return false;
    CellRef leaf = compact_form(v);
    std::string_view t = leaf.view();
    bool negative = t.size() > 1 && t[0] == '0';
    std::string_view digits = negative ? t.substr(1) : t;
    if (digits.size() > 19) {
        out = negative ? INT64_MIN : INT64_MAX;
        return true;
    }
    uint64_t m = low64_of_digits(digits);  // 19 digits always fit 64 bits
    constexpr uint64_t kTop = uint64_t(1) << 63;
    if (negative)
        out = m >= kTop ? INT64_MIN : -int64_t(m);
    else
        out = m >= kTop ? INT64_MAX : int64_t(m);
    return true;
}

// A negative index counted from the end of `count` elements; false when it stays negative
// or reaches the end.
bool element_index(int64_t& i, size_t count) {
    if (i < 0) i += int64_t(count);
    return i >= 0 && uint64_t(i) < count;
}

// A slice [start, start + length) of `count` elements: both within the count.
bool slice_fits(int64_t start, int64_t length, size_t count) {
    return start >= 0 && length >= 0 && uint64_t(start) <= count &&
           uint64_t(length) <= count - uint64_t(start);
}

// The kind of an argument, an evaluated tree form counted as data.
ValueKind kind_of(Cell* x) {
    ValueKind k = value_kind(x);
    if (k == ValueKind::iron && is_tree_form(x)) return ValueKind::zits;
    return k;
}

// A data pair, analysed as it is made, so that a long chain is never analysed by a deep
// recursion later.
CellRef data_pair(CellRef l, CellRef r) {
    CellRef p = apply(std::move(l), std::move(r));
    analyse(p.get());
    return p;
}

// ---- bit strings --------------------------------------------------------------------

inline unsigned byte_at(std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); }

// Elements [start, start + count) of a bit string (within its length), as a bit string.
BitString slice_bits(std::string_view bits, size_t start, size_t count) {
    BitString out(count / 8 + 1, '\0');
    size_t at = start / 8, shift = start % 8;
    for (size_t k = 0; k < (count + 7) / 8; ++k) {
        unsigned b = byte_at(bits, at + k) >> shift;
        if (shift != 0 && at + k + 1 < bits.size())
            b |= (byte_at(bits, at + k + 1) << (8 - shift)) & 0xFF;
        out[k] = char(b);
    }
    unsigned keep = (1u << (count % 8)) - 1;
    out[count / 8] = char((byte_at(out, count / 8) & keep) | (1u << (count % 8)));
    return out;
}

// The elements of a, then those of b, then the end marker.
BitString join_bits(std::string_view a, std::string_view b) {
    size_t na = bit_length(a);
    BitString out = slice_bits(a, 0, na);
    size_t at = na / 8, shift = na % 8;
    out[at] = char(byte_at(out, at) & ((1u << shift) - 1));  // the marker goes
    out.resize(at + b.size() + 1, '\0');
    for (size_t i = 0; i < b.size(); ++i) {
        unsigned v = byte_at(b, i);
        out[at + i] = char(byte_at(out, at + i) | ((v << shift) & 0xFF));
        if (shift != 0) out[at + i + 1] = char(v >> (8 - shift));
    }
    while (out.back() == 0) out.pop_back();
    return out;
}

// The bit string of the 64 bits of x, bit 0 first.
BitString bits_of_word(uint64_t x) {
    BitString out(9, '\0');
    std::memcpy(out.data(), &x, 8);
    out[8] = 1;
    return out;
}

uint64_t bits_of_real(Cell* x) { return std::bit_cast<uint64_t>(double_from_real(x)); }

bool boolean_leaf(Cell* e, bool& out) {
    if (is_letter(e, 'K')) {
        out = true;
        return true;
    }
    if (is_letter(e, 'H')) {
        out = false;
        return true;
    }
    return false;
}

// ---- data cells ---------------------------------------------------------------------

// A data pair down its left spine: the right children from the last element back, and the
// text at the bottom.
struct Spine {
    std::vector<Cell*> pairs;  // outermost first; pairs[j]'s right child is element m + k-1-j
    Cell* text = nullptr;
};
Spine spine_of(Cell* d) {
    Spine s;
    while (is_pair(d)) {
        s.pairs.push_back(d);
        d = left_of(d);
    }
    s.text = d;
    return s;
}

CellRef look_data(int64_t i, Cell* x) {
    if (is_pair(x) && is_data_cell(x)) {
        Spine s = spine_of(x);
        Elements e = text_elements(leaf_text(s.text));
        size_t k = s.pairs.size();
        if (!element_index(i, e.count + k)) return leaves().Z;
        if (size_t(i) < e.count) return element_cell(e.at(size_t(i)));
        return CellRef(right_of(s.pairs[k - 1 - (size_t(i) - e.count)]));
    }
    DataText t;
    if (!data_text(x, t)) return leaves().Z;
    Elements e = text_elements(t.text);
    if (!element_index(i, e.count)) return leaves().Z;
    return element_cell(e.at(size_t(i)));
}

// The text with element i replaced by the text `with`.
std::string replace_element(const Elements& e, size_t i, std::string_view with) {
    std::string_view t = e.text;
    Span s = e.span(i);
    size_t end = text_end(t);
    std::string out;
    out.reserve(end + with.size() + 1);
    out.append(t.substr(0, s.start));
    out.append(with);
    out.append(t.substr(s.start + s.size, end - s.start - s.size));
    out += ']';
    return out;
}

CellRef cork_data(int64_t i, Cell* e, Cell* x) {
    if (is_pair(x) && is_data_cell(x)) {
        Spine s = spine_of(x);
        Elements el = text_elements(leaf_text(s.text));
        size_t k = s.pairs.size();
        if (!element_index(i, el.count + k)) return leaves().Z;
        // The new cell at the level of the change, then the pairs above it rebuilt.
        size_t level;
        CellRef made;
        if (size_t(i) < el.count) {
            std::string with;
            if (!element_text(e, with)) return leaves().Z;
            level = k;
            made = text_result(replace_element(el, size_t(i), with));
            if (made.same(leaves().Z)) return made;
        } else {
            // A right child is an element as it stands; a tree form becomes its text.
            CellRef element;
            if (is_data_cell(e)) {
                element = CellRef(e);
            } else {
                DataText text;
                if (!is_tree_form(e) || !data_text(e, text)) return leaves().Z;
                element = from_bytes(text.text);
            }
            level = k - 1 - (size_t(i) - el.count);
            made = data_pair(CellRef(left_of(s.pairs[level])), std::move(element));
        }
        while (level-- > 0) made = data_pair(std::move(made), CellRef(right_of(s.pairs[level])));
        return made;
    }
    std::string with;
    DataText t;
    if (!element_text(e, with) || !data_text(x, t)) return leaves().Z;
    Elements el = text_elements(t.text);
    if (!element_index(i, el.count)) return leaves().Z;
    return text_result(replace_element(el, size_t(i), with));
}

// The code of a character value: a text of one element that is a character, or the
// character form of a byte as the machine gives it.
std::optional<int> character_code(std::string_view text) {
    if (char_form_byte(text)) return element_code(text);
    Elements e = text_elements(text);
    if (e.count != 1) return std::nullopt;
    return element_code(e.at(0));
}

// The byte that `cork` writes into a blob for the data cell e: its one element read as
// `lord` reads it, where no element, or a bracketed one that is no character, counts as 33.
std::optional<unsigned char> cork_byte(Cell* e) {
    DataText t;
    if (!data_text(e, t)) return std::nullopt;
    if (std::optional<int> code = character_code(t.text)) return static_cast<unsigned char>(*code);
    Elements el = text_elements(t.text);
    if (el.count > 1) return std::nullopt;
    return 33;
}

// ---- blobs --------------------------------------------------------------------------

bool is_blob(Cell* x) { return is_leaf(x) && first_byte(x) == '('; }

// Whether the call is all that holds x, which lies inside it: then x may be changed.
bool held_only_by(const CellRef& call, Cell* x) {
    return ref_count(call.get()) == 1 && ref_count(x) == 1;
}

// Takes the last argument out of a call held only here.
CellRef take_last_argument(CellRef call) {
    CellRef fn, last;
    split(std::move(call), fn, last);
    return last;
}

// Drops the last payload byte of a blob of `length` bytes in place: the terminating NUL
// moves one byte down and the length digits are rewritten in the positions they had,
// the unused leading ones as the zero digit ",".
void shorten_blob(Cell* blob, size_t prefix, uint64_t length) {
    char* s = static_cast<Leaf*>(blob)->bytes();
    uint64_t n = length - 1;
    s[prefix + n] = '\0';
    for (size_t i = prefix - 1; i-- > 1;) {
        s[i] = kDigits[n % 64];
        n /= 64;
    }
    RUK_ASSERT(n == 0);
}

// ---- the shared copy ----------------------------------------------------------------

CellRef shared_copy(Cell* x) {
    std::unordered_map<Cell*, CellRef> done;  // a cell met twice is copied once
    std::vector<std::pair<Cell*, bool>> todo{{x, false}};
    while (!todo.empty()) {
        auto [c, children_done] = todo.back();
        if (done.count(c)) {
            todo.pop_back();
            continue;
        }
        if (is_leaf(c)) {
            done.emplace(c, intern(CellRef(c)));
            todo.pop_back();
            continue;
        }
        if (!children_done) {
            todo.back().second = true;
            todo.push_back({right_of(c), false});
            todo.push_back({left_of(c), false});
            continue;
        }
        todo.pop_back();
        Cell* l = done.at(left_of(c)).get();
        Cell* r = done.at(right_of(c)).get();
        done.emplace(c, intern_pair(l, r));
    }
    return done.at(x);
}

}  // namespace

// ---- identity and sharing -------------------------------------------------------------

CellRef data_raws(Cell* a, Cell* b) { return leaf_bool(a == b); }

CellRef data_tern(Cell* x) { return shared_copy(x); }

CellRef data_leak(Cell* x) {
    // One count per cell, however often it is leaked: enough to keep it, and no count can
    // run over. The set is never destroyed, so the cells stay reachable to the very end.
    static auto* kept = new std::unordered_set<Cell*>;
    if (kept->insert(x).second) retain(x);
    return integer_from_int64(int64_t(reinterpret_cast<intptr_t>(x)));
}

CellRef data_type(Cell* x) { return intern_text(value_kind_text(value_kind(x))); }

// ---- taking apart ---------------------------------------------------------------------

// left and rght: the rest of a data value without its last element, and that element.
// A tree form V (X J) (J p q) gives V (X J) p or V (X J) q.
CellRef data_part(Cell* x, bool last_part) {
    Cell *p, *q;
    if (is_tree_form(x)) {
        if (!split_payload(right_of(x), p, q)) return leaves().Z;  // V (X J) payload
        return apply(CellRef(left_of(x)), CellRef(last_part ? q : p));
    }
    if (!is_data_cell(x)) return leaves().Z;
    CellRef rest, last;
    if (!take_last(x, rest, last)) return leaves().Z;  // "[]"
    return last_part ? last : rest;
}

CellRef data_left(Cell* x) { return data_part(x, false); }
CellRef data_rght(Cell* x) { return data_part(x, true); }

CellRef data_leaf(Cell* x) {
    if (is_tree_form(x)) return leaf_bool(is_letter(right_of(x), 'K'));  // the payload
    if (!is_data_cell(x)) return leaves().Z;
    if (is_pair(x)) return leaves().H;  // a data pair always has a last element
    return leaf_bool(text_end(leaf_text(x)) <= 1);
}

CellRef data_tail(CellRef call, Cell* x) {
    if (!is_blob(x)) return leaves().Z;
    size_t prefix = 0;
    uint64_t length = blob_length(x, &prefix);
    if (length == 0) return leaves().Z;
    if (held_only_by(call, x)) {
        CellRef blob = take_last_argument(std::move(call));
        shorten_blob(blob.get(), prefix, length);
        return blob;
    }
    return make_blob(blob_payload(x).substr(0, length - 1));
}

CellRef data_look(Cell* index, Cell* x) {
    int64_t i;
    if (!clamped_integer(index, i)) return leaves().Z;
    switch (kind_of(x)) {
        case ValueKind::post: {
            std::string_view p = blob_payload(x);
            if (!element_index(i, p.size())) return leaves().Z;
            return integer_from_int64(static_cast<signed char>(p[size_t(i)]));
        }
        case ValueKind::real: {
            if (i < 0) i += 64;
            if (i < 0 || i > 64) return leaves().Z;
            if (i == 64) return leaves().H;
            return leaf_bool((bits_of_real(x) >> i) & 1);
        }
        case ValueKind::bits: {
            BitString bits = bits_from_value(x);
            size_t n = bit_length(bits);
            if (i < 0) i += int64_t(n);
            if (i < 0) return leaves().Z;
            if (uint64_t(i) >= n) return leaves().H;  // no element: nothing above the top is set
            return leaf_bool(bit_at(bits, size_t(i)));
        }
        case ValueKind::zits: return look_data(i, x);
        case ValueKind::iron: break;
    }
    return leaves().Z;
}

CellRef data_into(Cell* from, Cell* count, Cell* x) {
    int64_t start, length;
    if (!clamped_integer(from, start) || !clamped_integer(count, length) || length < 0)
        return leaves().Z;
    switch (kind_of(x)) {
        case ValueKind::post: {
            std::string_view p = blob_payload(x);
            if (!slice_fits(start, length, p.size())) return leaves().Z;
            return make_blob(p.substr(size_t(start), size_t(length)));
        }
        case ValueKind::real: {
            if (start < 0) start += 64;
            if (!slice_fits(start, length, 64)) return leaves().Z;
            if (length == 0) return integer_from_int64(0);
            uint64_t bits = bits_of_real(x) >> start;
            if (length < 64) bits &= (uint64_t(1) << length) - 1;
            return integer_from_uint64(bits);
        }
        case ValueKind::bits: {
            BitString bits = bits_from_value(x);
            if (!slice_fits(start, length, bit_length(bits))) return leaves().Z;
            return from_string(decimal_from_bits(slice_bits(bits, size_t(start), size_t(length))));
        }
        case ValueKind::zits: {
            DataText t;
            if (!data_text(x, t)) return leaves().Z;
            Elements e = text_elements(t.text);
            if (start < 0) start += int64_t(e.count);
            if (!slice_fits(start, length, e.count)) return leaves().Z;
            return text_from_inner(e.slice(size_t(start), size_t(start + length)));
        }
        case ValueKind::iron: break;
    }
    return leaves().Z;
}

// ---- building ---------------------------------------------------------------------------

CellRef data_cats(Cell* x, Cell* y) {
    ValueKind k = kind_of(x);
    if (k == ValueKind::iron || kind_of(y) != k) return leaves().Z;
    switch (k) {
        case ValueKind::bits:
            return from_string(
                decimal_from_bits(join_bits(bits_from_value(x), bits_from_value(y))));
        case ValueKind::post: {
            std::string_view p = blob_payload(x), q = blob_payload(y);
            if (p.size() + q.size() > kMaxBuilt) return leaves().Z;
            std::string both;
            both.reserve(p.size() + q.size());
            both.append(p).append(q);
            return blob_result(both);
        }
        case ValueKind::zits: {
            DataText s, t;
            if (!data_text(x, s) || !data_text(y, t)) return leaves().Z;
            std::string_view p = text_inner(s.text), q = text_inner(t.text);
            if (p.size() + q.size() + 2 > kMaxBuilt) return leaves().Z;
            std::string out;
            out.reserve(p.size() + q.size() + 2);
            out.append("[").append(p).append(q).append("]");
            return text_result(std::move(out));
        }
        case ValueKind::real: {
            // Only the floats with every exponent bit set (infinities and NaNs) join: the
            // mantissa is read as a bit string whose highest set bit is its end marker, and
            // the two are joined as binary forms are.
            constexpr uint64_t kMantissa = (uint64_t(1) << 52) - 1;
            constexpr uint64_t kExponent = uint64_t(0x7FF) << 52;
            uint64_t p = bits_of_real(x), q = bits_of_real(y);
            if ((p & kExponent) != kExponent || (q & kExponent) != kExponent) return leaves().Z;
            if ((p >> 63) != (q >> 63)) return leaves().Z;
            uint64_t mp = p & kMantissa, mq = q & kMantissa;
            if (mp == 0 || mq == 0) return leaves().Z;
            int wp = std::bit_width(mp) - 1, wq = std::bit_width(mq);
            if (wp + wq > 52) return leaves().Z;
            uint64_t joined = (mp & ~(uint64_t(1) << wp)) | (mq << wp);
            return real_from_double(std::bit_cast<double>((p & ~kMantissa) | joined));
        }
        case ValueKind::iron: break;
    }
    return leaves().Z;
}

CellRef data_cork(CellRef call, Cell* index, Cell* e, Cell* x) {
    int64_t i;
    if (!clamped_integer(index, i)) return leaves().Z;
    switch (kind_of(x)) {
        case ValueKind::post: {
            std::optional<unsigned char> byte = cork_byte(e);
            if (!byte) return leaves().Z;
            size_t prefix = 0;
            uint64_t length = blob_length(x, &prefix);
            if (!element_index(i, length)) return leaves().Z;
            if (held_only_by(call, x)) {
                CellRef blob = take_last_argument(std::move(call));
                static_cast<Leaf*>(blob.get())->bytes()[prefix + size_t(i)] = char(*byte);
                return blob;
            }
            std::string bytes(blob_payload(x));
            bytes[size_t(i)] = char(*byte);
            return make_blob(bytes);
        }
        case ValueKind::real: {
            bool set;
            if (!boolean_leaf(e, set) || !element_index(i, 64)) return leaves().Z;
            uint64_t bits = bits_of_real(x), bit = uint64_t(1) << i;
            return real_from_double(std::bit_cast<double>(set ? bits | bit : bits & ~bit));
        }
        case ValueKind::bits: {
            bool set;
            if (!boolean_leaf(e, set)) return leaves().Z;
            BitString bits = bits_from_value(x);
            if (!element_index(i, bit_length(bits))) return leaves().Z;
            unsigned char& b = reinterpret_cast<unsigned char&>(bits[size_t(i) / 8]);
            unsigned bit = 1u << (i % 8);
            b = static_cast<unsigned char>(set ? b | bit : b & ~bit);
            return from_string(decimal_from_bits(bits));
        }
        case ValueKind::zits: return cork_data(i, e, x);
        case ValueKind::iron: break;
    }
    return leaves().Z;
}

// ---- conversions ------------------------------------------------------------------------

CellRef data_init(Cell* x) {
    switch (kind_of(x)) {
        case ValueKind::post: return CellRef(x);
        case ValueKind::real: return make_blob(leaf_text(x).substr(1, 8));
        case ValueKind::bits: {
            if (operand_kind(x) != Kind::Integer) return leaves().Z;
            char byte = char(int64_from_integer(x) & 0xFF);
            return make_blob(std::string_view(&byte, 1));
        }
        case ValueKind::zits: {
            DataText t;
            std::string bytes;
            if (!data_text(x, t) || !decode_text(t.text, bytes)) return leaves().Z;
            return make_blob(bytes);
        }
        case ValueKind::iron: break;
    }
    return leaves().Z;
}

CellRef data_rows(Cell* x) {
    switch (kind_of(x)) {
        case ValueKind::post: return text_result(encode_text(blob_payload(x)));
        case ValueKind::real: {
            char buf[400];
            int n = std::snprintf(buf, sizeof buf, "[%e]", double_from_real(x));
            return from_bytes(std::string_view(buf, size_t(n)));
        }
        case ValueKind::bits: {
            if (operand_kind(x) != Kind::Integer) return leaves().Z;
            unsigned char c = static_cast<unsigned char>(int64_from_integer(x) & 0xFF);
            if (c == 0) return from_bytes("[\n]");  // the NUL as a text holds it
            return from_string(encode_text(std::string_view(reinterpret_cast<char*>(&c), 1)));
        }
        case ValueKind::zits: {
            if (is_leaf(x)) return CellRef(x);
            DataText t;
            if (!data_text(x, t)) return leaves().Z;
            return text_result(std::move(t.owned));
        }
        case ValueKind::iron: break;
    }
    return leaves().Z;
}

CellRef data_lord(Cell* x) {
    switch (kind_of(x)) {
        case ValueKind::post: {
            std::string_view p = blob_payload(x);
            if (p.size() != 1) return leaves().Z;
            return integer_from_int64(static_cast<unsigned char>(p[0]));
        }
        case ValueKind::real: return binary_float_from_double(double_from_real(x));
        case ValueKind::bits: return compact_form(x);
        case ValueKind::zits: {
            DataText t;
            if (!data_text(x, t)) return leaves().Z;
            std::optional<int> code = character_code(t.text);
            if (!code) return leaves().Z;
            return integer_from_int64(*code);
        }
        case ValueKind::iron: break;
    }
    return leaves().Z;
}

CellRef data_lots(Cell* x) {
    switch (kind_of(x)) {
        case ValueKind::post: {
            // The payload's bytes in order, each lowest bit first, then the end marker.
            std::string_view p = blob_payload(x);
            BitString bits;
            bits.reserve(p.size() + 1);
            bits.append(p).push_back('\1');
            return list_from_bits(bits);
        }
        case ValueKind::real: return list_from_bits(bits_of_word(bits_of_real(x)));
        case ValueKind::bits: return list_from_bits(bits_from_value(x));
        case ValueKind::zits: {
            // A right-leaning chain of one-unit texts, ending in the empty text.
            DataText t;
            if (!data_text(x, t)) return leaves().Z;
            Elements e = text_elements(t.text);
            CellRef chain = from_text("[]");
            for (size_t i = e.count; i-- > 0;)
                chain = data_pair(from_string(unit_text(e.at(i))), std::move(chain));
            return chain;
        }
        case ValueKind::iron: break;
    }
    return leaves().Z;
}

}  // namespace ruk
