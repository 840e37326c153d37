#include "core/cell.h"

#include <sys/mman.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/reserve.h"

namespace ruk {

// ---- the allocator --------------------------------------------------------------
//
// Pairs and small leaves come from size-class free lists carved out of 1 MiB chunks.
// The chunks lie in one reserved address range, so freeing needs no size: the chunk's
// index gives the class. Larger leaves, and everything when the range is used up or
// the build wants the sanitizer to see each cell, come from malloc.

namespace {

constexpr size_t kGrain = 8;
constexpr size_t kSlabMax = 256;  // bytes; larger cells come from malloc
constexpr size_t kClasses = kSlabMax / kGrain + 1;
constexpr size_t kChunkShift = 20;
constexpr size_t kChunk = size_t(1) << kChunkShift;

struct FreeNode {
    FreeNode* next;
};

struct Heap {
    char* base = nullptr;  // the reserved range, or null when there is none
    size_t size = 0;       // bytes reserved
    size_t used = 0;       // bytes of the range handed to chunks
    bool tried = false;
    FreeNode* free[kClasses] = {};
    char* bump[kClasses] = {};
    char* bump_end[kClasses] = {};
    std::vector<uint8_t> chunk_class;
    uint64_t live = 0;
    uint64_t allocated = 0;
};

Heap heap;

void reserve_region() {
    heap.tried = true;
#ifndef RUK_PLAIN_MALLOC
    // Past the end of the range, or where none could be had, cells come from malloc.
    constexpr size_t kRegionMax = size_t(64) << 30;  // reserved, committed page by page
    constexpr size_t kRegionShare = 8;  // at most 1/8 of a limited address space
    size_t size = 0;
    void* p = reserve_range(kRegionMax, size_t(256) << 20, kRegionShare, &size);
    if (p != nullptr) {
        heap.base = static_cast<char*>(p);
        heap.size = size;
        heap.chunk_class.assign(size >> kChunkShift, 0);
    }
#endif
}

void* malloc_cell(size_t size) {
    void* p = std::malloc(size);
    if (p == nullptr) [[unlikely]]
        out_of_memory();
    return p;
}

void* refill(size_t cls) {
    if (!heap.tried) reserve_region();
    if (heap.base == nullptr || heap.used + kChunk > heap.size) return nullptr;
    char* chunk = heap.base + heap.used;
    heap.chunk_class[heap.used >> kChunkShift] = uint8_t(cls);
    heap.used += kChunk;
    size_t size = cls * kGrain;
    heap.bump[cls] = chunk + size;
    heap.bump_end[cls] = chunk + (kChunk / size) * size;
    return chunk;
}

inline void* alloc_cell(size_t size) {
    ++heap.live;
    ++heap.allocated;
    size_t cls = (size + kGrain - 1) / kGrain;
    if (cls < kClasses) {
        if (FreeNode* n = heap.free[cls]) {
            heap.free[cls] = n->next;
            return n;
        }
        if (heap.bump[cls] != heap.bump_end[cls]) {
            void* p = heap.bump[cls];
            heap.bump[cls] += cls * kGrain;
            return p;
        }
        if (void* p = refill(cls)) return p;
    }
    return malloc_cell(size);
}

inline void dealloc_cell(Cell* c) {
    --heap.live;
    char* p = reinterpret_cast<char*>(c);
    if (p >= heap.base && p < heap.base + heap.used) {
        size_t cls = heap.chunk_class[size_t(p - heap.base) >> kChunkShift];
        auto* n = reinterpret_cast<FreeNode*>(p);
        n->next = heap.free[cls];
        heap.free[cls] = n;
    } else {
        std::free(p);
    }
}

inline bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// Length field of a new number or text leaf; every other leaf gets 0.
inline uint64_t initial_field(unsigned char first, size_t n, bool known_length) {
    if (is_digit(first)) return n < 65536 ? n : 0;
    // A text made from known-length bytes may hold NULs: record its length whenever it
    // fits, since a scan would stop at the first NUL.
    if (first == '[') return n < (known_length ? (size_t(1) << 26) : 65536) ? n : 0;
    return 0;
}

Leaf* new_leaf(const char* src, size_t n, bool known_length) {
    auto* leaf = static_cast<Leaf*>(alloc_cell(sizeof(Cell) + n + 1));
    leaf->head = hdr::kLeaf;
    std::memcpy(leaf->bytes(), src, n);
    leaf->bytes()[n] = '\0';
    unsigned char first = n ? static_cast<unsigned char>(src[0]) : 0;
    if (uint64_t f = initial_field(first, n, known_length)) set_field_bits(leaf, f);
    if (first == '(') {
        // A blob's length is read from its prefix: it must describe exactly these bytes.
        size_t prefix = 0;
        uint64_t payload = blob_length(leaf, &prefix);
        RUK_ASSERT(prefix + payload == n);
    }
    return leaf;
}

}  // namespace

int digit_value(unsigned char c) {
    static const auto table = [] {
        std::array<signed char, 256> t{};
        t.fill(-1);
        for (size_t i = 0; i < kDigits.size(); ++i) t[static_cast<unsigned char>(kDigits[i])] = i;
        return t;
    }();
    return table[c];
}

void set_annotation_value(Cell* c, int v) {
    RUK_ASSERT(v <= 11);
    RUK_ASSERT(v >= -52);
    RUK_ASSERT(unsigned(v + 52) < 64);
    c->head = (c->head & ~hdr::kAnnValue) | (uint64_t(v + 52) << hdr::kAnnShift);
}

Leaf* make_leaf(const char* text) {
    RUK_ASSERT(text != nullptr);
    return new_leaf(text, std::strlen(text), false);
}

Leaf* make_leaf_bytes(std::string_view s) { return new_leaf(s.data(), s.size(), true); }

Pair* make_pair(Cell* left, Cell* right) {
    RUK_ASSERT(left != nullptr && right != nullptr);
    retain(left);
    retain(right);
    return make_pair_adopt(left, right);
}

Pair* make_pair_adopt(Cell* left, Cell* right) {
    auto* p = static_cast<Pair*>(alloc_cell(sizeof(Pair)));
    p->head = 0;
    p->left = left;
    p->right = right;
    return p;
}

void free_cell(Cell* c) {
    if (is_leaf(c)) {
        dealloc_cell(c);
        return;
    }
    // Dead pairs wait on a stack linked through their header words, so a chain of any
    // length is freed without recursion.
    Cell* stack = c;
    c->head = 0;
    while (stack) {
        auto* p = static_cast<Pair*>(stack);
        stack = reinterpret_cast<Cell*>(p->head);
        for (Cell* child : {p->left, p->right}) {
            uint64_t n = child->head & hdr::kCount;
            RUK_ASSERT(n != 0);
            if (n != 1) {
                --child->head;
            } else if (is_leaf(child)) {
                dealloc_cell(child);
            } else {
                child->head = reinterpret_cast<uint64_t>(stack);
                stack = child;
            }
        }
        dealloc_cell(p);
    }
}

void split(CellRef&& p, CellRef& left, CellRef& right) {
    Cell* c = p.take();
    RUK_ASSERT(is_pair(c));
    auto* pair = static_cast<Pair*>(c);
    if (ref_count(c) == 1) {
        left = CellRef::adopt(pair->left);
        right = CellRef::adopt(pair->right);
        dealloc_cell(c);
    } else {
        left = CellRef(pair->left);
        right = CellRef(pair->right);
        --c->head;
    }
}

uint64_t blob_length(const Cell* c, size_t* prefix) {
    const char* s = static_cast<const Leaf*>(c)->bytes();
    RUK_ASSERT(s[0] == '(');
    uint64_t length = 0;
    size_t i = 1;
    for (; s[i] != ')'; ++i) {
        int d = digit_value(static_cast<unsigned char>(s[i]));
        RUK_ASSERT(d >= 0);
        RUK_ASSERT(length < (uint64_t(1) << 50));
        length = length * 64 + uint64_t(d);
    }
    if (prefix) *prefix = i + 1;
    return length;
}

std::string_view leaf_text(Cell* c) {
    if (is_pair(c)) return {};
    Leaf* leaf = static_cast<Leaf*>(c);
    const char* s = leaf->bytes();
    unsigned char first = static_cast<unsigned char>(s[0]);
    if (first == ' ') return {s, 9};
    if (first == '(') {
        size_t prefix = 0;
        uint64_t payload = blob_length(c, &prefix);
        return {s, prefix + payload};
    }
    if (is_digit(first)) {
        uint64_t f = field_bits(c);
        if (f >= 1 && f < hdr::kFieldMax) return {s, f};
        size_t n = std::strlen(s);
        if (f == 0) set_field_bits(c, n < hdr::kFieldMax ? n : hdr::kFieldMax);
        return {s, n};
    }
    if (first == '[') {
        uint64_t f = field_bits(c);
        if (f >= 2) return {s, f};
        size_t n = std::strlen(s);
        if (f == 0) set_field_bits(c, n <= hdr::kFieldMax ? n : 1);
        return {s, n};
    }
    return {s, std::strlen(s)};
}

CellStats cell_stats() { return {heap.live, heap.allocated}; }

}  // namespace ruk
