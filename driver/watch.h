// Watching a run through the run hooks (core/observe.h): builtin calls and the first "Z"
// a builtin answered, calls per definition, and a bounded trace of builtin calls.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/cell.h"

namespace ruk {

struct Definition;

struct WatchOptions {
    bool count = false;        // calls per definition
    bool why = false;          // remember the first "Z"
    uint64_t trace = 0;        // builtin calls to print, at most
    std::FILE* out = stderr;   // where the trace goes
};

// A builtin call as the watch saw it.
struct CallSeen {
    uint64_t number = 0;                // 1 for the run's first builtin call
    std::string builtin;                // its name
    std::vector<std::string> kinds;     // the kind of each argument ("integer", "text", ...)
    std::vector<std::string> printed;   // each argument printed, cut short
    const Definition* caller = nullptr; // the definition it was called from; null: none
};

struct WatchResult {
    uint64_t builtin_calls = 0;
    bool saw_z = false;
    CallSeen first_z;  // when saw_z
    std::unordered_map<const Definition*, uint64_t> definition_calls;
};

// Sets the hooks for the next run, and clears what an earlier watch saw.
void watch_begin(const WatchOptions& options);
// Takes the hooks away again; what was seen stays readable.
void watch_end();
const WatchResult& watch_result();

// A word for the kind of a value, for people: "integer", "text", "blob", "real", "data",
// "list", "function", "true (K)", "false (H)", "Z", or "name" and its text.
[[nodiscard]] std::string kind_word(Cell* value);

// The definitions by name, for the watch's answers ("" is the entry expression).
[[nodiscard]] std::unordered_map<const Definition*, std::string> definition_names();

}  // namespace ruk
