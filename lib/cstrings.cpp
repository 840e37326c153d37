#include "lib/cstrings.h"

#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>

namespace ruk {

int compare_c_strings(const char* a, const char* b) noexcept {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        if (*x != *y) return *x < *y ? -1 : 1;
        if (*x == 0) return 0;
    }
}

namespace {

int64_t clamp_to_long32(long v) noexcept {
    if (v > INT32_MAX) {
        errno = ERANGE;
        return INT32_MAX;
    }
    if (v < INT32_MIN) {
        errno = ERANGE;
        return INT32_MIN;
    }
    return v;
}

}  // namespace

int64_t text_to_long32(const char* s, char** end, int base) noexcept {
    return clamp_to_long32(std::strtol(s, end, base));
}

int64_t text_to_unsigned_long32(const char* s, char** end, int base) noexcept {
    return clamp_to_long32(std::strtol(s, end, base));
}

int64_t text_to_long32_decimal(const char* s) noexcept { return clamp_to_long32(std::atol(s)); }

namespace {

std::unique_ptr<char[]> copy_of(const char* s) {
    size_t n = std::strlen(s) + 1;
    std::unique_ptr<char[]> copy(new char[n]);
    std::memcpy(copy.get(), s, n);
    return copy;
}

// Starts a new text in a fresh copy. The old copy is let go only after the first token is
// cut, since the delimiters may lie in it.
const char* start_text(std::unique_ptr<char[]>& text, char** next, const char* s,
                       const char* delimiters) {
    std::unique_ptr<char[]> fresh = copy_of(s);
    const char* token = ::strtok_r(fresh.get(), delimiters, next);
    text = std::move(fresh);
    return token;
}

// Goes on where the last call stopped; with no text begun, C would read through null.
const char* go_on(char** next, const char* delimiters) {
    return *next == nullptr ? nullptr : ::strtok_r(nullptr, delimiters, next);
}

}  // namespace

const char* strtok_copy(const char* s, const char* delimiters) {
    static std::unique_ptr<char[]> text;
    static char* next = nullptr;
    return s ? start_text(text, &next, s, delimiters) : go_on(&next, delimiters);
}

// One copy per context cell, so that texts cut with different cells do not disturb each
// other. A copy is replaced when a new text starts with its cell, and kept until then.
const char* strtok_r_copy(const char* s, const char* delimiters, char** context) {
    static std::map<char**, std::unique_ptr<char[]>> texts;
    return s ? start_text(texts[context], context, s, delimiters) : go_on(context, delimiters);
}

}  // namespace ruk
