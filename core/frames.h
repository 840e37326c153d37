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

#include "core/cell.h"
#include "core/reserve.h"

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

// A stack of plain elements in one reserved range: pages are committed as they are
// first used, and the elements never move, so pointers into the stack stay valid. Running
// past the end of the range is running out of memory.
inline constexpr size_t kStackShare = 16;  // at most 1/16 of a limited address space
template <typename T>
class GrowStack {
   public:
    GrowStack() = default;
    // A stack made for one run gives its range back: a process that runs many programs (a
    // session, the fuzzer) would otherwise keep every range it ever reserved.
    ~GrowStack() { release_range(data_, reserved_); }
    GrowStack(const GrowStack&) = delete;
    GrowStack& operator=(const GrowStack&) = delete;

    size_t size() const { return size_t(top_ - data_); }
    bool empty() const { return top_ == data_; }
    T& back() { return top_[-1]; }
    T& operator[](size_t i) { return data_[i]; }
    T* data() {
        if (!data_) reserve();
        return data_;
    }
    T* top() {
        if (!data_) reserve();
        return top_;
    }
    void set_top(T* p) { top_ = p; }
    void push(const T& v) {
        if (top_ == end_) [[unlikely]]
            full();
        *top_++ = v;
    }
    T pop() { return *--top_; }
    void set_size(size_t n) { top_ = data_ + n; }
    // Whether n more elements fit.
    bool room(T* from, size_t n) {
        if (!data_) reserve();
        return size_t(end_ - from) >= n;
    }

   private:
    void reserve() {
        size_t bytes = 0;
        void* p = reserve_range(size_t(8) << 30, size_t(64) << 20, kStackShare, &bytes);
        if (p == nullptr) out_of_memory();  // no address space at all
        data_ = top_ = static_cast<T*>(p);
        end_ = data_ + bytes / sizeof(T);
        reserved_ = bytes;
    }
    void full() {
        if (!data_) {
            reserve();
            return;
        }
        out_of_memory();  // a recursion deeper than the reserved range
    }

    T* data_ = nullptr;
    T* top_ = nullptr;
    T* end_ = nullptr;
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
