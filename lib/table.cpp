#include "lib/table.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>

#include "core/leaves.h"
#include "lib/chars.h"
#include "lib/clock.h"
#include "lib/cmemory.h"
#include "lib/cstrings.h"
#include "lib/data.h"
#include "lib/dirs.h"
#include "lib/maths.h"
#include "lib/operators.h"
#include "lib/process.h"
#include "lib/rawmem.h"
#include "lib/sockets.h"
#include "lib/streams.h"

namespace ruk {

namespace {

struct Word {
    std::string_view name;
    uint8_t arity;
};

// The vocabulary: every builtin's name and arity, in byte order. `strtol` and `strtoul`
// take the string, the end-address cell and the base; `fd_set` the socket and the set.
constexpr Word kVocabulary[] = {
    {"abort", 0},        {"abs", 1},         {"accept", 3},       {"acos", 1},
    {"addrinfo", 0},     {"af_unspec", 0},   {"ai_passive", 0},   {"asctime", 1},
    {"asin", 1},         {"assert", 1},      {"atan", 1},         {"atof", 1},
    {"atoi", 1},         {"atol", 1},        {"bind", 3},         {"buck", 1},
    {"bzero", 2},        {"calloc", 2},      {"cats", 2},         {"ceil", 1},
    {"cent", 2},         {"clearerr", 1},    {"close", 1},        {"closedir", 1},
    {"closesocket", 1},  {"connect", 3},     {"copy", 2},         {"cork", 3},
    {"cos", 1},          {"cosh", 1},        {"ctime", 1},        {"dash", 2},
    {"diff", 2},         {"difftime", 2},    {"dir", 0},          {"dirent", 0},
    {"eacces", 0},       {"ebadf", 0},       {"econnaborted", 0}, {"efault", 0},
    {"eintr", 0},        {"einval", 0},      {"eio", 0},          {"emfile", 0},
    {"enfile", 0},       {"enodev", 0},      {"enomem", 0},       {"enotsock", 0},
    {"enxio", 0},        {"eopnotsupp", 0},  {"eoverflow", 0},    {"erf", 1},
    {"erfc", 1},         {"errno", 0},       {"ewouldblock", 0},  {"exit", 1},
    {"exp", 1},          {"fabs", 1},        {"fclose", 1},       {"fd_set", 2},
    {"fdopen", 2},       {"feof", 1},        {"ferror", 1},       {"fflush", 1},
    {"fgetc", 1},        {"fgetpos", 2},     {"fgets", 3},        {"fileno", 1},
    {"flip", 1},         {"floor", 1},       {"fmod", 2},         {"fopen", 2},
    {"fputc", 2},        {"fputs", 2},       {"fread", 4},        {"free", 1},
    {"freeaddrinfo", 1}, {"frexp", 2},       {"fseek", 3},        {"fsetpos", 2},
    {"ftell", 1},        {"fwrite", 4},      {"gai_strerror", 1}, {"getaddrinfo", 4},
    {"getc", 1},         {"getchar", 0},     {"getenv", 1},       {"gethostname", 2},
    {"getnameinfo", 7},  {"getpeername", 3}, {"gets", 1},         {"gett", 1},
    {"getu", 1},         {"getv", 1},        {"getw", 1},         {"getx", 1},
    {"gety", 1},         {"getz", 1},        {"gmtime", 1},       {"gteq", 2},
    {"htonl", 1},        {"htons", 1},       {"hypot", 2},        {"inet_ntop", 4},
    {"inet_pton", 3},    {"init", 1},        {"into", 3},         {"isalnum", 1},
    {"isalpha", 1},      {"isascii", 1},     {"isblank", 1},      {"isdigit", 1},
    {"isgraph", 1},      {"islower", 1},     {"isprint", 1},      {"ispunct", 1},
    {"isspace", 1},      {"isupper", 1},     {"labs", 1},         {"ldexp", 2},
    {"leaf", 1},         {"leak", 1},        {"left", 1},         {"less", 2},
    {"listen", 2},       {"localtime", 1},   {"log", 1},          {"look", 2},
    {"lord", 1},         {"lots", 1},        {"malloc", 1},       {"memchr", 3},
    {"memcmp", 3},       {"memcpy", 3},      {"memmove", 3},      {"memset", 3},
    {"mktime", 1},       {"modf", 2},        {"mult", 2},         {"nextafter", 2},
    {"ntohl", 1},        {"ntohs", 1},       {"opendir", 1},      {"over", 2},
    {"perror", 1},       {"plus", 2},        {"pow", 2},          {"powa", 2},
    {"putc", 2},         {"putchar", 1},     {"puts", 1},         {"raise", 1},
    {"rand", 0},         {"rand_max", 0},    {"rank", 1},         {"raws", 2},
    {"read", 3},         {"readdir", 1},     {"real", 1},         {"realloc", 2},
    {"recv", 4},         {"recvfrom", 6},    {"remove", 1},       {"rename", 2},
    {"rewind", 1},       {"rght", 1},        {"rows", 1},         {"same", 2},
    {"send", 4},         {"sendto", 6},      {"setbuf", 2},       {"setsockopt", 5},
    {"sett", 2},         {"setu", 2},        {"setw", 2},         {"setx", 2},
    {"shutdown", 2},     {"sin", 1},         {"sinh", 1},         {"sock_stream", 0},
    {"socket", 3},       {"sqrt", 1},        {"srand", 1},        {"stderr", 0},
    {"stdout", 0},       {"strcasecmp", 2},  {"strcat", 2},       {"strchr", 2},
    {"strcmp", 2},       {"strcpy", 2},      {"strdup", 1},       {"strerror", 1},
    {"strftime", 4},     {"strlen", 1},      {"strncasecmp", 3},  {"strncat", 3},
    {"strncmp", 3},      {"strncpy", 3},     {"strnlen", 2},      {"strpbrk", 2},
    {"strrchr", 2},      {"strspn", 2},      {"strstr", 2},       {"strtod", 2},
    {"strtok", 2},       {"strtok_r", 3},    {"strtol", 3},       {"strtoul", 3},
    {"system", 1},       {"tail", 1},        {"tan", 1},          {"tanh", 1},
    {"tern", 1},         {"time", 1},        {"time_t", 0},       {"tmpfile", 0},
    {"tmpnam", 1},       {"toascii", 1},     {"tolower", 1},      {"toupper", 1},
    {"type", 1},         {"ungetc", 2},      {"wave", 1},         {"write", 3},
};

// The families; together their rows implement every word of the vocabulary.
constexpr std::span<const BuiltinRow> kFamilies[] = {
    kCharBuiltins,     kProcessBuiltins, kOperatorBuiltins, kDataBuiltins,
    kRawMemoryBuiltins, kStreamBuiltins,  kDirectoryBuiltins, kSocketBuiltins,
    kMathsBuiltins,    kCStringBuiltins, kCMemoryBuiltins,  kClockBuiltins,
};

constexpr bool vocabulary_sorted_and_distinct() {
    for (size_t i = 1; i < std::size(kVocabulary); ++i)
        if (!(kVocabulary[i - 1].name < kVocabulary[i].name)) return false;
    return true;
}

// Position of a name in the vocabulary, or the vocabulary's size.
constexpr size_t word_index(std::string_view name) {
    const Word* w = std::lower_bound(std::begin(kVocabulary), std::end(kVocabulary), name,
                                     [](const Word& a, std::string_view b) { return a.name < b; });
    return w != std::end(kVocabulary) && w->name == name ? size_t(w - std::begin(kVocabulary))
                                                         : std::size(kVocabulary);
}

// Every row names a word of the vocabulary, with its arity, no word is implemented twice,
// and none is left without a row.
constexpr bool rows_match_vocabulary() {
    std::array<bool, std::size(kVocabulary)> seen{};
    for (std::span<const BuiltinRow> family : kFamilies)
        for (const BuiltinRow& r : family) {
            size_t i = word_index(r.name);
            if (i == std::size(kVocabulary) || seen[i]) return false;
            // (a row's function is never null: comparing it with null is not a constant
            // expression in the sanitizer build)
            if (kVocabulary[i].arity != r.arity) return false;
            seen[i] = true;
        }
    return std::all_of(seen.begin(), seen.end(), [](bool b) { return b; });
}

static_assert(std::size(kVocabulary) == 224, "the vocabulary has 224 builtins");
static_assert(vocabulary_sorted_and_distinct(), "the vocabulary is in byte order, no name twice");
static_assert(std::all_of(std::begin(kVocabulary), std::end(kVocabulary),
                          [](const Word& w) { return w.arity <= 7; }),
              "builtins take at most seven arguments");
static_assert(rows_match_vocabulary(),
              "every word of the vocabulary is implemented by exactly one row, with its arity");

#ifdef RUK_FUZZING
// The fuzzing build runs arbitrary programs many thousands of times in one process: every
// builtin that reaches outside the interpreter (files, streams, directories, sockets, raw
// and C memory, C strings that may be addresses, process control, the clock, errno and the
// seed of rand, which outlive a run, and cells kept alive for good) answers "Z" there.
// Its families keep their other builtins.
constexpr std::string_view kHostBuiltins[] = {
    // process control and state that outlives a run
    "abort", "assert", "errno", "exit", "getchar", "putchar", "raise", "rand", "srand",
    "stderr", "stdout",
    // raw memory and C memory
    "bzero", "calloc", "copy", "free", "gets", "gett", "getu", "getv", "getw", "getx", "gety",
    "getz", "malloc", "memchr", "memcmp", "memcpy", "memmove", "memset", "realloc", "sett",
    "setu", "setw", "setx", "leak",
    // C strings, which may be addresses; the conversions of strings and the out-parameters
    "atoi", "atol", "getenv", "strcasecmp", "strcat", "strchr", "strcmp", "strcpy", "strdup",
    "strerror", "strlen", "strncasecmp", "strncat", "strncmp", "strncpy", "strnlen", "strpbrk",
    "strrchr", "strspn", "strstr", "strtok", "strtok_r", "strtol", "strtoul", "system", "atof",
    "strtod", "frexp", "modf",
    // files and streams, directories
    "clearerr", "close", "fclose", "fdopen", "feof", "ferror", "fflush", "fgetc", "fgetpos",
    "fgets", "fileno", "fopen", "fputc", "fputs", "fread", "fseek", "fsetpos", "ftell",
    "fwrite", "getc", "perror", "putc", "puts", "read", "remove", "rename", "rewind", "setbuf",
    "tmpfile", "tmpnam", "ungetc", "write", "closedir", "opendir", "readdir",
    // sockets and name resolution
    "accept", "bind", "closesocket", "connect", "fd_set", "freeaddrinfo", "gai_strerror",
    "getaddrinfo", "gethostname", "getnameinfo", "getpeername", "inet_ntop", "inet_pton",
    "listen", "recv", "recvfrom", "send", "sendto", "setsockopt", "shutdown", "socket",
    // the clock and the C time records
    "asctime", "ctime", "difftime", "gmtime", "localtime", "mktime", "strftime", "time",
};

static_assert(std::all_of(std::begin(kHostBuiltins), std::end(kHostBuiltins),
                          [](std::string_view n) { return word_index(n) != std::size(kVocabulary); }),
              "every builtin kept from the fuzzing build is a word of the vocabulary");

// By position in the vocabulary: the table is built afresh for every input.
constexpr auto kTouchesHost = [] {
    std::array<bool, std::size(kVocabulary)> host{};
    for (std::string_view n : kHostBuiltins) host[word_index(n)] = true;
    return host;
}();

bool touches_host(std::string_view name) { return kTouchesHost[word_index(name)]; }

CellRef undefined_result(CellRef) { return leaves().Z; }
#endif

BuiltinTable& table() {
    static BuiltinTable t;
    return t;
}

}  // namespace

const BuiltinTable& builtin_table() {
    BuiltinTable& t = table();
    if (!t.empty()) return t;
    for (std::span<const BuiltinRow> family : kFamilies)
        for (const BuiltinRow& r : family) {
            BuiltinFn implementation = r.implementation;
#ifdef RUK_FUZZING
            if (touches_host(r.name)) implementation = &undefined_result;
#endif
            t.emplace(std::string(r.name), BuiltinEntry{r.arity, implementation});
        }
    return t;
}

void reset_builtin_table() { table().clear(); }

}  // namespace ruk
