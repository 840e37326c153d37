#include "driver/watch.h"

#include "core/analyse.h"
#include "core/builtin.h"
#include "core/defs.h"
#include "core/number.h"
#include "core/observe.h"
#include "core/print.h"

namespace ruk {

namespace {

constexpr size_t kShownBytes = 40;  // an argument or result printed by the watch, at most
constexpr int kMaxArgs = 16;

struct Activation {
    const Definition* def;
    size_t depth;
};

struct Watch {
    WatchOptions options;
    WatchResult result;
    // The definitions whose bodies are still being worked on, innermost last, each at the
    // depth of the continuation where it fired.
    std::vector<Activation> active;
    // The definitions by name, made for the first line of the trace.
    std::unordered_map<const Definition*, std::string> names;
    bool named = false;
};

Watch watch;

const Definition* caller_at(size_t depth) {
    while (!watch.active.empty() && watch.active.back().depth > depth) watch.active.pop_back();
    return watch.active.empty() ? nullptr : watch.active.back().def;
}

// The arguments of a saturated call, first first; the head is the builtin's name leaf.
int call_arguments(Cell* call, Cell** args, Cell** head) {
    int n = 0;
    Cell* h = call;
    while (is_pair(h) && !is_data(h) && n < kMaxArgs) {
        args[n++] = right_of(h);
        h = left_of(h);
    }
    for (int i = 0, j = n - 1; i < j; ++i, --j) std::swap(args[i], args[j]);
    *head = h;
    return n;
}

std::string shown_short(Cell* c) { return print_term(c, kShownBytes); }

void write_trace(const CallSeen& call, Cell* result) {
    if (!watch.named) {  // the table keeps its entries while a run goes on
        watch.names = definition_names();
        watch.named = true;
    }
    std::string line = "trace " + std::to_string(call.number) + ": " + call.builtin;
    for (const std::string& a : call.printed) line += " " + (a.empty() ? std::string("()") : a);
    line += " => " + shown_short(result);
    auto it = call.caller ? watch.names.find(call.caller) : watch.names.end();
    if (!call.caller || (it != watch.names.end() && it->second.empty()))
        line += "  (in the entry expression)";
    else if (it != watch.names.end())
        line += "  (in " + shown(it->second) + ")";
    line += "\n";
    std::fwrite(line.data(), 1, line.size(), watch.options.out);
}

CellRef on_builtin(const BuiltinEntry& entry, CellRef call, size_t depth) {
    WatchResult& r = watch.result;
    ++r.builtin_calls;
    bool tracing = r.builtin_calls <= watch.options.trace;
    bool looking = watch.options.why && !r.saw_z;
    if (!tracing && !looking) return entry.implementation(std::move(call));

    // Everything about the arguments is taken before the call: afterwards they may be gone.
    CallSeen seen;
    seen.number = r.builtin_calls;
    seen.caller = caller_at(depth);
    Cell* args[kMaxArgs];
    Cell* head;
    int n = call_arguments(call.get(), args, &head);
    seen.builtin = is_leaf(head) ? std::string(leaf_text(head)) : shown_short(head);
    for (int i = 0; i < n; ++i) {
        seen.printed.push_back(shown_short(args[i]));
        if (looking) seen.kinds.push_back(kind_word(args[i]));
    }
    CellRef value = entry.implementation(std::move(call));
    if (tracing) {
        write_trace(seen, value.get());
        if (r.builtin_calls == watch.options.trace) {
            std::string line = "trace: stopped after " + std::to_string(watch.options.trace) + " calls\n";
            std::fwrite(line.data(), 1, line.size(), watch.options.out);
        }
    }
    if (looking && value.is("Z")) {
        r.saw_z = true;
        r.first_z = std::move(seen);
    }
    return value;
}

void on_definition(const Definition* def, size_t depth) {
    if (watch.options.count) ++watch.result.definition_calls[def];
    while (!watch.active.empty() && watch.active.back().depth >= depth) watch.active.pop_back();
    watch.active.push_back({def, depth});
}

const RunHooks kHooks{on_builtin, on_definition};

}  // namespace

void watch_begin(const WatchOptions& options) {
    watch.options = options;
    watch.result = WatchResult{};
    watch.active.clear();
    watch.names.clear();
    watch.named = false;
    run_hooks = &kHooks;
}

void watch_end() {
    run_hooks = nullptr;
    watch.active.clear();
    watch.active.shrink_to_fit();
}

const WatchResult& watch_result() { return watch.result; }

std::string kind_word(Cell* v) {
    if (is_leaf(v)) {
        unsigned char b = first_byte(v);
        if (b == '(') return "blob";
        if (b == ' ') return "real";
        if (b == '[') return "text";
        if (b >= '0' && b <= '9') {
            Kind k = operand_kind(v);
            if (k == Kind::Integer) return "integer";
            if (k == Kind::BinaryFloat) return "binary float";
            return "name " + shown(leaf_text(v));
        }
        if (is_letter(v, 'K')) return "true (K)";
        if (is_letter(v, 'H')) return "false (H)";
        if (is_letter(v, 'Z')) return "Z";
        return "name " + shown(leaf_text(v));
    }
    if (is_data(v)) return "data";
    Cell* h = v;
    int n = 0;
    while (is_pair(h)) {
        h = left_of(h);
        ++n;
    }
    if (n == 2 && is_letter(h, 'J')) return "list";
    return "function";
}

std::unordered_map<const Definition*, std::string> definition_names() {
    std::unordered_map<const Definition*, std::string> names;
    for (auto& [name, def] : definitions()) names.emplace(&def, name);
    return names;
}

}  // namespace ruk
