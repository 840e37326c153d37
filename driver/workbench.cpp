#include "driver/workbench.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/compile.h"
#include "core/defs.h"
#include "core/machine.h"
#include "core/number.h"
#include "core/print.h"
#include "core/start.h"
#include "core/vm.h"
#include "driver/positions.h"
#include "driver/report.h"
#include "driver/watch.h"

namespace ruk {

namespace {

constexpr size_t kProfileRows = 10;

void write_err(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stderr); }
void write_out(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

// A line of the workbench's own on standard error.
void note(std::string_view line) {
    std::string out(kWorkbenchName);
    out += ": ";
    out += line;
    out += "\n";
    write_err(out);
}

constexpr std::string_view kUsage =
    "Usage: rukw [options] [file | - | -e text] [arg0 arg1 ...]\n"
    "\n"
    "Runs a program of the ruk language like ruk does (same output, same exit status),\n"
    "or, without a program, reads definitions and expressions line by line.\n"
    "\n"
    "  file         the program file; the arguments after it are the program's own\n"
    "  -            read the program from standard input\n"
    "  -e text      the program is the text itself\n"
    "  -i           keep a session: with a program, start it with its definitions\n"
    "  --stats      after the run: steps, cells, peak memory, time, calls per definition\n"
    "  --why        after the run: the first builtin that answered \"Z\", and where\n"
    "  --trace[=N]  print each builtin call with its arguments and result (first N, 100)\n"
    "  --version    print the version\n"
    "  --help       print this text\n"
    "\n"
    "Everything the workbench says itself goes to standard error, so standard output\n"
    "stays the program's. In a session, type :help for the commands.\n";

[[nodiscard]] bool read_stream(std::FILE* file, std::string& text) {
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    return std::ferror(file) == 0;
}

// The whole file, byte for byte; false when it cannot be opened or read (a directory).
[[nodiscard]] bool read_file(const char* path, std::string& text) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    bool ok = read_stream(file, text);
    std::fclose(file);
    return ok;
}

// Where an offset of the whole text stands, told by the piece holding it.
std::string place(size_t offset, std::string_view text, const std::vector<Piece>& pieces) {
    const Piece* in = nullptr;
    for (const Piece& p : pieces)
        if (p.begin <= offset || in == nullptr) in = &p;
    size_t from = std::min(in->begin, text.size());
    size_t at = offset < from ? 0 : offset - from;
    std::string where = describe(line_column(text.substr(from), at));
    if (!in->label.empty()) where += " of " + in->label;
    return where;
}

bool names_a_definition(ReportType type) {
    return type == ReportType::Place || type == ReportType::Arity || type == ReportType::Local ||
           type == ReportType::Cycle;
}

std::string definition_label(const std::string& name) {
    if (name.empty()) return "the entry expression";
    std::string label = "[";
    label += shown(name);
    label += ']';
    return label;
}

std::string mebibytes(long kib) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f MiB", double(kib) / 1024.0);
    return buf;
}

std::string seconds_text(double s) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f s", s);
    return buf;
}

void write_profile(const WatchResult& seen, std::string_view text, const std::vector<Piece>& pieces) {
    auto names = definition_names();
    auto offsets = definition_offsets(text);
    std::vector<std::pair<uint64_t, std::string>> rows;
    for (const auto& [def, calls] : seen.definition_calls) {
        auto it = names.find(def);
        rows.emplace_back(calls, it == names.end() ? std::string("?") : it->second);
    }
    // most calls first; equal counts by name, so the table is the same on every run
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    if (rows.size() > kProfileRows) rows.resize(kProfileRows);
    note("calls per definition (most first):");
    if (rows.empty()) note("  (no definition was called)");
    for (const auto& [calls, name] : rows) {
        char count[32];
        std::snprintf(count, sizeof count, "%12llu", static_cast<unsigned long long>(calls));
        std::string line = std::string("  ") + count + "  " + definition_label(name);
        auto at = offsets.find(name);
        if (at != offsets.end())
            line += "  at " + place(at->second, text, pieces);
        else
            line += "  (prelude)";
        note(line);
    }
}

void write_why(const WatchResult& seen, std::string_view text, const std::vector<Piece>& pieces) {
    if (!seen.saw_z) {
        note("why: no builtin answered \"Z\" (" + std::to_string(seen.builtin_calls) +
             " builtin calls)");
        return;
    }
    const CallSeen& z = seen.first_z;
    std::string line = "why: the first \"Z\" came from builtin call " + std::to_string(z.number) +
                       ", " + z.builtin;
    if (z.kinds.empty()) {
        line += ", given no arguments";
    } else {
        line += ", given ";
        for (size_t i = 0; i < z.kinds.size(); ++i) {
            if (i > 0) line += i + 1 == z.kinds.size() ? " and " : ", ";
            line += z.kinds[i];
            if (i < z.printed.size()) line += " " + (z.printed[i].empty() ? std::string("()") : z.printed[i]);
        }
    }
    note(line);
    // Outside every definition's body is the entry expression's.
    std::string caller;
    if (z.caller) {
        auto names = definition_names();
        auto it = names.find(z.caller);
        if (it == names.end()) {
            note("why: it was called by a definition no longer in the table");
            return;
        }
        caller = it->second;
    }
    auto offsets = definition_offsets(text);
    auto at = offsets.find(caller);
    if (at == offsets.end()) {
        note("why: it was called by the prelude's " + definition_label(caller));
        return;
    }
    note("why: it was called by " + definition_label(caller) + ", which stands at " +
         place(at->second, text, pieces));
}

// The program's argument vector: the workbench's name, the program's name, its arguments.
std::vector<char*> program_vector(char* argv0, char* name, char** args, int count) {
    std::vector<char*> v{argv0, name};
    for (int i = 0; i < count; ++i) v.push_back(args[i]);
    v.push_back(nullptr);
    return v;
}

struct ExitReport {
    bool armed = false;
    bool registered = false;
    WorkbenchOptions options;
    MeasureStart start{};
    double compiled = 0;
    std::string text;
    std::vector<Piece> pieces;
};
ExitReport exit_report;

void write_exit_report() {
    if (!exit_report.armed) return;
    exit_report.armed = false;
    watch_end();
    std::fflush(stdout);
    note("the program ended the process itself");
    RunMeasures m = measures_since(exit_report.start);
    m.compile_seconds = exit_report.compiled - exit_report.start.clock;
    m.run_seconds -= m.compile_seconds;
    write_watch(exit_report.options, m, exit_report.text, exit_report.pieces);
    std::fflush(stderr);
}

// Compiles and runs a program as ruk does; the exit status.
int run_text(const WorkbenchOptions& options, const std::string& text, std::vector<char*>& argv) {
    MeasureStart start = measure_start();
    initialise();
    Report report = compile(text);
    double compiled = seconds_now();
    if (report.ok()) {
        if (options.watching()) {
            watch_begin(WatchOptions{options.stats, options.why, options.trace, stderr});
            arm_exit_report(options, start, compiled, text, {{0, ""}});
        }
        report = run_program(argv.data());
        disarm_exit_report();
        watch_end();
    }
    RunMeasures m = measures_since(start);
    m.compile_seconds = compiled - start.clock;
    m.run_seconds -= m.compile_seconds;
    int status = kErrorStatus;
    if (report.ok()) {
        int64_t result = int64_from_integer(program_result().get());
        status = static_cast<int>(static_cast<uint32_t>(result));
    }
    std::fflush(stdout);  // the program's output before the workbench's
    std::vector<Piece> pieces{{0, ""}};
    if (!report.ok()) write_report(report, text, pieces);
    if (report.ok() || report.type == ReportType::Cycle || report.type == ReportType::Range)
        write_watch(options, m, text, pieces);
    return status;
}

[[nodiscard]] bool parse_count(const char* text, uint64_t& out) {
    if (*text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long n = std::strtoull(text, &end, 10);
    if (*end != '\0' || errno != 0 || text[0] == '-') return false;
    out = n;
    return true;
}

int usage_error(std::string_view message) {
    note(message);
    note("try 'rukw --help'");
    return kWorkbenchUsageStatus;
}

}  // namespace

double seconds_now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

MeasureStart measure_start() {
    EngineStats e = engine_stats();
    return MeasureStart{machine_steps(), e.entries, e.calls, cell_stats().allocated, seconds_now()};
}

RunMeasures measures_since(const MeasureStart& start) {
    RunMeasures m;
    EngineStats e = engine_stats();
    m.steps = machine_steps() - start.steps;
    m.compiled_calls = (e.entries - start.entries) + (e.calls - start.calls);
    m.cells_allocated = cell_stats().allocated - start.allocated;
    m.cells_live = cell_stats().live;
    m.run_seconds = seconds_now() - start.clock;
    return m;
}

void arm_exit_report(const WorkbenchOptions& options, const MeasureStart& start, double compiled,
                     std::string_view text, const std::vector<Piece>& pieces) {
    if (!exit_report.registered) {
        exit_report.registered = true;
        std::atexit(write_exit_report);
    }
    exit_report.options = options;
    exit_report.start = start;
    exit_report.compiled = compiled;
    exit_report.text = std::string(text);
    exit_report.pieces = pieces;
    exit_report.armed = true;
}

void disarm_exit_report() { exit_report.armed = false; }

void write_report(const Report& report, std::string_view text, const std::vector<Piece>& pieces) {
    write_err("\033[m");
    write_err(colour_for_terminal(format_report(report)));
    size_t at = report_offset(report, text);
    if (at != kNoOffset) {
        note("at " + place(at, text, pieces));
        return;
    }
    if (names_a_definition(report.type)) {
        auto offsets = definition_offsets(text);
        auto it = offsets.find(report.name);
        if (it != offsets.end())
            note(definition_label(report.name) + " is defined at " + place(it->second, text, pieces));
    }
}

void write_watch(const WorkbenchOptions& options, const RunMeasures& m, std::string_view text,
                 const std::vector<Piece>& pieces) {
    const WatchResult& seen = watch_result();
    if (options.why) write_why(seen, text, pieces);
    if (!options.stats) return;
    struct rusage usage;
    long peak = getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : 0;  // KiB
    note("steps " + std::to_string(m.steps + m.compiled_calls) + " (machine steps " +
         std::to_string(m.steps) + ", compiled calls " + std::to_string(m.compiled_calls) + ")");
    note("builtin calls " + std::to_string(seen.builtin_calls));
    note("cells allocated " + std::to_string(m.cells_allocated) + ", live at the end " +
         std::to_string(m.cells_live));
    note("peak memory " + mebibytes(peak));
    note("time " + seconds_text(m.compile_seconds + m.run_seconds) + " (reading the program " +
         seconds_text(m.compile_seconds) + ", checking and running it " + seconds_text(m.run_seconds) + ")");
    write_profile(seen, text, pieces);
}

int workbench_main(int argc, char** argv) {
    WorkbenchOptions options;
    bool interactive = false;
    int i = 1;
    enum class From { Nothing, File, Stdin, Text } from = From::Nothing;
    int name_at = 0;  // argv index of the program's name
    for (; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            write_out(kUsage);
            return 0;
        }
        if (std::strcmp(a, "--version") == 0) {
            write_out(std::string(kWorkbenchName) + " " + std::string(kWorkbenchVersion) +
                      ", the workbench of ruk\n");
            return 0;
        }
        if (std::strcmp(a, "--stats") == 0) {
            options.stats = true;
        } else if (std::strcmp(a, "--why") == 0) {
            options.why = true;
        } else if (std::strcmp(a, "--trace") == 0) {
            options.trace = 100;
        } else if (std::strncmp(a, "--trace=", 8) == 0) {
            if (!parse_count(a + 8, options.trace))
                return usage_error(std::string("--trace wants a count of calls, not '") + (a + 8) + "'");
        } else if (std::strcmp(a, "-i") == 0) {
            interactive = true;
        } else if (std::strcmp(a, "-e") == 0) {
            if (i + 1 >= argc) return usage_error("-e wants the program's text");
            from = From::Text;
            name_at = i;
            ++i;
            break;
        } else if (std::strcmp(a, "-") == 0) {
            from = From::Stdin;
            name_at = i;
            break;
        } else if (std::strcmp(a, "--") == 0) {
            if (i + 1 >= argc) return usage_error("-- wants a program file after it");
            from = From::File;
            name_at = ++i;
            break;
        } else if (a[0] == '-') {
            return usage_error(std::string("unknown option '") + a + "'");
        } else {
            from = From::File;
            name_at = i;
            break;
        }
    }
    int rest = i + 1;  // the program's own arguments

    std::string text;
    std::string name;
    switch (from) {
        case From::Nothing:
            return run_session(options, "", "", argv[0]);
        case From::Text:
            text = argv[name_at + 1];
            name = "-e";
            break;
        case From::Stdin:
            if (interactive) return usage_error("-i cannot read both the program and the session from standard input");
            if (!read_stream(stdin, text)) {
                write_err(format_report(start_report("-")));
                return kErrorStatus;
            }
            name = "-";
            break;
        case From::File:
            if (!read_file(argv[name_at], text)) {
                write_err(format_report(start_report(argv[name_at])));
                return kErrorStatus;
            }
            name = argv[name_at];
            break;
    }
    if (interactive) return run_session(options, text, name, argv[0]);
    std::vector<char*> vector = program_vector(argv[0], argv[name_at], argv + rest, argc - rest);
    return run_text(options, text, vector);
}

}  // namespace ruk
