// Cells: the reference-counted heap of leaves and pairs that every value, source term
// and machine state is made of.
//
// Header word, from the least significant bit:
//   0..29   reference count
//   30..55  length field (number and text leaves, data pairs) or variable set (all others)
//   56..61  annotation value, stored plus 52 (-52..11 -> 0..63)
//   62      annotation flag
//   63      leaf bit (1 = Leaf, 0 = Pair)
// A Pair is the header and two child pointers (24 bytes); a Leaf is the header and its
// text with a NUL after it. The first byte of a leaf's text says what it is:
//   digit -> number   "[" -> text   "(" -> blob   " " -> float   anything else -> name
//
// CellRef owns one count (copy retains, move steals, destruction releases);
// a plain Cell* only borrows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "core/assert.h"

namespace ruk {

struct Cell {
    uint64_t head;
};

struct Pair : Cell {
    Cell* left;
    Cell* right;
};
static_assert(sizeof(Pair) == 24, "a pair is three words");

struct Leaf : Cell {
    char* bytes() { return reinterpret_cast<char*>(this) + sizeof(Cell); }
    const char* bytes() const { return reinterpret_cast<const char*>(this) + sizeof(Cell); }
};
static_assert(sizeof(Leaf) == 8, "a leaf is one word before its text");

namespace hdr {
constexpr uint64_t kCount = (uint64_t(1) << 30) - 1;
constexpr int kFieldShift = 30;
constexpr uint64_t kFieldMax = (uint64_t(1) << 26) - 1;  // 67,108,863
constexpr uint64_t kField = kFieldMax << kFieldShift;
constexpr int kAnnShift = 56;
constexpr uint64_t kAnnValue = uint64_t(63) << kAnnShift;
constexpr uint64_t kAnnFlag = uint64_t(1) << 62;
constexpr uint64_t kLeaf = uint64_t(1) << 63;
constexpr unsigned kDataByte = 64;  // annotation byte of a data cell: flag set, value 0
}  // namespace hdr

// The 64-character digit alphabet of blob lengths and position codes; value = position.
inline constexpr std::string_view kDigits =
    ",_abcdefghijklmnopqrustvwzxy0123456789ABCDEFGHIJKLMNOPQRUSTVWZXY";
// Value of a digit-alphabet character, or -1.
int digit_value(unsigned char c);

// ---- raw header access ----------------------------------------------------------

inline bool is_leaf(const Cell* c) { return (c->head & hdr::kLeaf) != 0; }
inline bool is_pair(const Cell* c) { return !is_leaf(c); }
inline uint32_t ref_count(const Cell* c) { return uint32_t(c->head & hdr::kCount); }
inline uint32_t field_bits(const Cell* c) {
    return uint32_t((c->head >> hdr::kFieldShift) & hdr::kFieldMax);
}
// Bits 30..55; x must be below 2^26.
inline void set_field_bits(Cell* c, uint64_t x) {
    RUK_ASSERT(x <= hdr::kFieldMax);
    c->head = (c->head & ~hdr::kField) | (x << hdr::kFieldShift);
}
// Bits 56..62 (annotation value and flag, without the leaf bit); 0 = not analysed.
inline unsigned annotation_byte(const Cell* c) { return unsigned(c->head >> hdr::kAnnShift) & 0x7f; }
inline bool is_data_annotation(const Cell* c) { return annotation_byte(c) == hdr::kDataByte; }
inline bool annotation_flag(const Cell* c) { return (c->head & hdr::kAnnFlag) != 0; }
inline void set_annotation_flag(Cell* c, bool on) {
    c->head = on ? (c->head | hdr::kAnnFlag) : (c->head & ~hdr::kAnnFlag);
}
inline int annotation_value(const Cell* c) { return int((c->head >> hdr::kAnnShift) & 63) - 52; }
void set_annotation_value(Cell* c, int v);
inline void mark_data(Cell* c) {
    c->head = (c->head & ~(hdr::kAnnValue | hdr::kAnnFlag)) | hdr::kAnnFlag;
}

inline Cell* left_of(const Cell* c) { return static_cast<const Pair*>(c)->left; }
inline Cell* right_of(const Cell* c) { return static_cast<const Pair*>(c)->right; }

// ---- making, sharing and freeing ------------------------------------------------

void free_cell(Cell* c);  // frees c and everything held only through it, without recursion

inline void retain(Cell* c) {
    RUK_ASSERT((c->head & hdr::kCount) != hdr::kCount);
    ++c->head;
}

inline void release(Cell* c) {
    uint64_t n = c->head & hdr::kCount;
    RUK_ASSERT(n != 0);
    if (n == 1)
        free_cell(c);
    else
        --c->head;
}

// New cells have count 0; a CellRef takes the first count.
Leaf* make_leaf(const char* text);          // NUL-terminated text
Leaf* make_leaf_bytes(std::string_view s);  // known length: a text leaf may hold NULs
Pair* make_pair(Cell* left, Cell* right);   // retains both children
Pair* make_pair_adopt(Cell* left, Cell* right);  // takes over one count of each child

// The text of a leaf (empty for a pair). Caches the length of number and text leaves.
std::string_view leaf_text(Cell* c);
// First byte of a leaf's text, 0 for a pair.
inline unsigned char first_byte(const Cell* c) {
    return is_leaf(c) ? static_cast<unsigned char>(static_cast<const Leaf*>(c)->bytes()[0]) : 0;
}
// Payload length of a blob leaf "(" digits ")" bytes, and the size of its prefix.
uint64_t blob_length(const Cell* c, size_t* prefix = nullptr);

// ---- counted references ---------------------------------------------------------

class CellRef {
public:
    CellRef() = default;  // an empty slot (moved-from state); never handed to cell code
    explicit CellRef(Cell* c) : p_(c) {
        RUK_ASSERT(c != nullptr);
        retain(c);
    }
    CellRef(const CellRef& o) : p_(o.p_) {
        if (p_) retain(p_);
    }
    CellRef(CellRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~CellRef() {
        if (p_) release(p_);
    }
    CellRef& operator=(const CellRef& o) {
        if (p_ != o.p_) {
            if (o.p_) retain(o.p_);  // source first: it may be held only through the target
            if (p_) release(p_);
            p_ = o.p_;
        }
        return *this;
    }
    CellRef& operator=(CellRef&& o) noexcept {
        if (this != &o) {
            Cell* old = std::exchange(p_, std::exchange(o.p_, nullptr));
            if (old) release(old);
        }
        return *this;
    }

    // Takes over a count that the caller already holds.
    static CellRef adopt(Cell* c) {
        CellRef r;
        r.p_ = c;
        return r;
    }
    // Gives up the count without releasing it.
    [[nodiscard]] Cell* take() { return std::exchange(p_, nullptr); }

    Cell* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool same(const CellRef& o) const { return p_ == o.p_; }

    bool is_pair() const { return ruk::is_pair(p_); }
    bool is_leaf() const { return ruk::is_leaf(p_); }
    CellRef left() const {
        RUK_ASSERT(ruk::is_pair(p_));
        Cell* c = left_of(p_);
        RUK_ASSERT(c != nullptr);
        return CellRef(c);
    }
    CellRef right() const {
        RUK_ASSERT(ruk::is_pair(p_));
        Cell* c = right_of(p_);
        RUK_ASSERT(c != nullptr);
        return CellRef(c);
    }
    // Borrowed views of the children, for looking only.
    Cell* left_ptr() const { return left_of(p_); }
    Cell* right_ptr() const { return right_of(p_); }

    std::string_view view() const { return leaf_text(p_); }  // valid while the cell lives
    std::string text() const { return std::string(leaf_text(p_)); }
    unsigned char first_byte() const { return ruk::first_byte(p_); }
    // True when this is a leaf whose whole text is t.
    bool is(std::string_view t) const { return ruk::is_leaf(p_) && leaf_text(p_) == t; }

private:
    Cell* p_ = nullptr;
};

inline CellRef from_text(const char* text) {
    RUK_ASSERT(text != nullptr);
    return CellRef(make_leaf(text));
}
// Known-length bytes; the string overload empties its argument.
inline CellRef from_bytes(std::string_view s) { return CellRef(make_leaf_bytes(s)); }
inline CellRef from_string(std::string&& s) {
    CellRef r = from_bytes(s);
    s.clear();
    return r;
}

// apply(l, r): the pair (l r). Pass std::move(x) to hand a reference over (no count
// traffic), a plain lvalue to keep it.
[[gnu::always_inline]] inline CellRef apply(CellRef l, CellRef r) {
    RUK_ASSERT(l && r);
    return CellRef(make_pair_adopt(l.take(), r.take()));
}
// Hands over the children of a pair. When the pair is held only through p, its shell is
// freed and the children change hands without count traffic.
void split(CellRef&& p, CellRef& left, CellRef& right);

inline CellRef apply2(CellRef a, CellRef b, CellRef c) {
    return apply(apply(std::move(a), std::move(b)), std::move(c));
}
inline CellRef apply3(CellRef a, CellRef b, CellRef c, CellRef d) {
    return apply(apply2(std::move(a), std::move(b), std::move(c)), std::move(d));
}

// Statistics of the cell allocator, for tests and benchmarks.
struct CellStats {
    uint64_t live;       // cells allocated and not yet freed
    uint64_t allocated;  // cells allocated since start
};
CellStats cell_stats();

}  // namespace ruk
