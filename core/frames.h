// The continuation of the reduction machine, shared with the compiled definitions.
//
// A frame "apply to y" stands for B k (T y), a frame "pass to c" for B k c: popping one
// builds exactly the term the B and T rules would build (v y, or c v). A frame "resume"
// is a compiled activation waiting for a value: it stands for the term that the
// definition's body would still have to reduce around that value, and the machine
// treats it as a "pass to" frame.
//
// The frames and the compiled code's values live in reserved address ranges that grow
// in place, so a deep recursion costs only what it uses and is never copied.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/cell.h"

namespace ruk {

struct Code;

enum class FrameKind : uint8_t { ApplyTo, PassTo, Resume };

struct Frame {
    union {
        Cell* cell;        // ApplyTo, PassTo: one count held by the frame
        const Code* code;  // Resume: the activation's code
    };
    uint32_t base;  // Resume: where the activation's slots begin on the value stack
    uint32_t tag;   // pc << 2 | kind
    FrameKind kind() const { return FrameKind(tag & 3); }
    uint32_t pc() const { return tag >> 2; }
};
static_assert(sizeof(Frame) == 16, "a frame is two words");

// A stack of plain elements in a reserved range that grows without moving.
template <typename T>
class GrowStack {
public:
    GrowStack() = default;
    GrowStack(const GrowStack&) = delete;
    GrowStack& operator=(const GrowStack&) = delete;
    ~GrowStack() {
        if (data_) munmap(data_, reserved_ * sizeof(T));
    }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& back() { return data_[size_ - 1]; }
    T& operator[](size_t i) { return data_[i]; }
    T* data() { return data_; }
    void push(const T& v) {
        if (size_ == reserved_) [[unlikely]]
            grow();
        data_[size_++] = v;
    }
    T pop() { return data_[--size_]; }
    void resize_down(size_t n) { size_ = n; }
    // Room for n more elements; the caller then writes them through data().
    void reserve_more(size_t n) {
        while (size_ + n > reserved_) grow();
    }
    void set_size(size_t n) { size_ = n; }

private:
    void grow() {
        size_t bytes = reserved_ * sizeof(T);
        size_t more = reserved_ ? bytes * 2 : (size_t(1) << 20);
        void* p;
        if (data_) {
            p = mremap(data_, bytes, more, MREMAP_MAYMOVE);
        } else {
            p = mmap(nullptr, more, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                     -1, 0);
        }
        RUK_ASSERT(p != MAP_FAILED);
        data_ = static_cast<T*>(p);
        reserved_ = more / sizeof(T);
    }

    T* data_ = nullptr;
    size_t size_ = 0;
    size_t reserved_ = 0;
};

struct Continuation : GrowStack<Frame> {
    void push_cell(FrameKind kind, CellRef c) {
        Frame f;
        f.cell = c.take();
        f.base = 0;
        f.tag = uint32_t(kind);
        push(f);
    }
    void push_resume(const Code* code, uint32_t pc, uint32_t base) {
        Frame f;
        f.code = code;
        f.base = base;
        f.tag = pc << 2 | uint32_t(FrameKind::Resume);
        push(f);
    }
};

}  // namespace ruk
