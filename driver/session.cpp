// The workbench's session: definitions and expressions read line by line from standard
// input. An expression becomes the entry of a program made afresh from the definitions
// kept so far ("a\" + expression, then each definition after a comma); its value is
// printed with the term printer instead of being turned into an exit status.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/check.h"
#include "core/code.h"
#include "core/compile.h"
#include "core/defs.h"
#include "core/intern.h"
#include "core/machine.h"
#include "core/number.h"
#include "core/parse.h"
#include "core/print.h"
#include "core/text.h"
#include "driver/positions.h"
#include "driver/workbench.h"
#include "driver/watch.h"

namespace ruk {

namespace {

constexpr size_t kValueLimit = size_t(1) << 16;  // bytes of a value printed at the prompt
constexpr std::string_view kPrompt = "ruk> ";

constexpr std::string_view kHelp =
    "Type a definition (name\\param\\...\\body) to keep it, or an expression to see its\n"
    "value. A definition of a name kept already replaces it. Commands:\n"
    "  :list         the definitions kept so far\n"
    "  :save FILE    write them as a program, whose entry is the last expression\n"
    "  :load FILE    keep the definitions of a program file\n"
    "  :help         this text\n"
    "  :quit         end the session (so does the end of the input)\n";

struct Kept {
    std::string written;  // the name as written: "fact", "[+]"
    std::string table;    // the name in the definition table: "fact", "+"
    std::string text;     // the whole definition
};

struct Session {
    WorkbenchOptions options;
    std::vector<Kept> kept;
    std::string entry = "a\\0";  // the entry of a saved program: the last expression
    char* argv[3] = {nullptr, nullptr, nullptr};
};

void write_err(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stderr); }
void write_out(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }
void note(std::string_view line) { write_err(std::string(kWorkbenchName) + ": " + std::string(line) + "\n"); }

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Whether a line is a definition: a name written before "\" or "()\": two or more name
// characters, a bracketed operator ("[+]"), or one capital, control or high byte. A single
// lower-case letter is a parameter, so "a\..." is an expression (a function).
bool definition_head(std::string_view line, Kept& out) {
    size_t n = 0;
    std::string table;
    if (line.size() >= 3 && is_operator_name(line.substr(0, 3))) {
        n = 3;
        table = std::string(1, line[1]);
    } else {
        while (n < line.size() && is_name_char(line[n])) ++n;
        if (n == 1) return false;
        if (n == 0) {
            unsigned char c = line.empty() ? 0 : static_cast<unsigned char>(line[0]);
            if (!((c >= 1 && c <= 31) || (c >= 'A' && c <= 'Z') || c >= 127)) return false;
            n = 1;
        }
        table = std::string(line.substr(0, n));
    }
    std::string_view after = line.substr(n);
    if (!(after.starts_with("\\") || after.starts_with("()\\"))) return false;
    out.written = std::string(line.substr(0, n));
    out.table = std::move(table);
    return true;
}

// The program text of an entry and the kept definitions, with the pieces that tell a
// reader where an offset stands.
std::string assemble(std::string_view body, const std::vector<Kept>& kept, std::vector<Piece>& pieces) {
    std::string text = "a\\";
    pieces = {{text.size(), "the input"}};
    text += body;
    for (const Kept& k : kept) {
        text += "\n,";
        pieces.push_back({text.size(), "the definition of " + k.written});
        text += k.text;
    }
    return text;
}

void tear_down() {
    definitions().clear();
    reset_machine();
    clear_intern_table();
}

// Compiles and checks the text and, with run_it, runs it and prints its value (or the
// report of a cycle) and what the watch saw. Reports before the run are the caller's.
Report compile_and_run(Session& s, const std::string& text, const std::vector<Piece>& pieces, bool run_it) {
    MeasureStart start = measure_start();
    initialise();
    Report report = compile(text);
    double compiled = seconds_now();
    if (report.ok()) report = check_program();
    if (!report.ok() || !run_it) return report;
    choose_engine();
    if (s.options.watching()) {
        watch_begin(WatchOptions{s.options.stats, s.options.why, s.options.trace, stderr});
        arm_exit_report(s.options, start, compiled, text, pieces);
    }
    CellRef address = integer_from_int64(int64_t(reinterpret_cast<intptr_t>(s.argv)));
    CellRef value = run(apply(find_definition("")->term, std::move(address)));
    disarm_exit_report();
    watch_end();
    RunMeasures m = measures_since(start);
    m.compile_seconds = compiled - start.clock;
    m.run_seconds -= m.compile_seconds;
    std::fflush(stdout);
    if (value.first_byte() == ')') {
        std::string name(value.view().substr(1));
        report = make_report(ReportType::Cycle, "Cycle detected on function [" + name + "].", name);
    } else {
        write_out(print_term(value, kValueLimit) + "\n");
        std::fflush(stdout);
    }
    value = CellRef();
    if (!report.ok()) write_report(report, text, pieces);
    write_watch(s.options, m, text, pieces);
    return report;
}

void evaluate(Session& s, std::string_view line) {
    std::vector<Piece> pieces;
    std::string text = assemble(line, s.kept, pieces);
    Report report = compile_and_run(s, text, pieces, true);
    // a report found before the run is written here; one from the run was written already
    if (report.ok())
        s.entry = "a\\" + std::string(line);
    else if (report.type != ReportType::Cycle)
        write_report(report, text, pieces);
    tear_down();
}

void define(Session& s, Kept k, std::string_view line) {
    k.text = std::string(line);
    std::vector<Kept> next = s.kept;
    bool replaced = false;
    for (Kept& old : next)
        if (old.table == k.table) {
            old = k;
            replaced = true;
        }
    if (!replaced) next.push_back(k);
    // The new definition is reached from the entry, so the checker looks at it.
    std::string reference = k.written;
    std::vector<Piece> pieces;
    std::string text = assemble(reference, next, pieces);
    Report report = compile_and_run(s, text, pieces, false);
    tear_down();
    if (!report.ok() && report.type != ReportType::Alive) {
        write_report(report, text, pieces);
        note("not kept: " + k.written);
        return;
    }
    s.kept = std::move(next);
    if (!report.ok()) note("kept " + k.written + ", but: " + report.text);
}

// The definitions of a program text; false (and a report written) when its brackets fail.
bool load_definitions(Session& s, const std::string& text, const std::string& name) {
    Report report = check_brackets(text);
    Source src;
    if (report.ok()) report = load_source(text, src);
    if (!report.ok()) {
        write_report(report, text, {{0, name}});
        return false;
    }
    std::vector<Segment> segments = split_commas(src);
    size_t count = 0;
    for (size_t i = 1; i < segments.size(); ++i) {
        std::string_view seg(src.text.data() + segments[i].begin, segments[i].end - segments[i].begin);
        Kept k;
        if (!definition_head(seg, k)) continue;
        k.text = std::string(seg);
        bool replaced = false;
        for (Kept& old : s.kept)
            if (old.table == k.table) {
                old = k;
                replaced = true;
            }
        if (!replaced) s.kept.push_back(std::move(k));
        ++count;
    }
    s.entry = src.text.substr(segments[0].begin, segments[0].end - segments[0].begin);
    if (s.entry.empty()) s.entry = "a\\0";
    note("loaded " + std::to_string(count) + " definitions from " + name);
    return true;
}

void save(const Session& s, std::string_view file) {
    if (file.empty()) {
        note(":save wants a file name");
        return;
    }
    std::string text = s.entry + "\n";
    for (const Kept& k : s.kept) text += "," + k.text + "\n";
    std::string path(file);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    bool ok = out != nullptr && std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (out != nullptr && std::fclose(out) != 0) ok = false;
    if (!ok) {
        note("could not write " + path);
        return;
    }
    note("saved " + std::to_string(s.kept.size()) + " definitions to " + path);
}

// False when the session ends.
bool command(Session& s, std::string_view line) {
    size_t space = line.find(' ');
    std::string_view word = line.substr(0, space);
    std::string_view arg = space == std::string_view::npos ? std::string_view() : trim(line.substr(space));
    if (word == ":quit" || word == ":q") return false;
    if (word == ":help" || word == ":h") {
        write_out(kHelp);
    } else if (word == ":list" || word == ":l") {
        if (s.kept.empty()) note("no definitions yet");
        for (const Kept& k : s.kept) write_out(k.text + "\n");
    } else if (word == ":save") {
        save(s, arg);
    } else if (word == ":load") {
        std::string text;
        std::string path(arg);
        std::FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
        if (f == nullptr) {
            note("could not read " + (path.empty() ? std::string("(no file named)") : path));
        } else {
            char chunk[4096];
            size_t got;
            while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, got);
            std::fclose(f);
            (void)load_definitions(s, text, path);
        }
    } else {
        note("unknown command " + std::string(word) + " (:help lists them)");
    }
    std::fflush(stdout);
    return true;
}

}  // namespace

int run_session(const WorkbenchOptions& options, const std::string& preload, const std::string& preload_name,
                char* argv0) {
    static char program_name[] = "-i";
    Session s;
    s.options = options;
    s.argv[0] = argv0;
    s.argv[1] = program_name;
    if (!preload_name.empty()) (void)load_definitions(s, preload, preload_name);
    bool terminal = isatty(0) == 1;
    if (terminal)
        note(std::string(kWorkbenchVersion) + "; :help for help, :quit or end of input to leave");
    char* buffer = nullptr;
    size_t capacity = 0;
    for (;;) {
        if (terminal) {
            write_out(kPrompt);
            std::fflush(stdout);
        }
        ssize_t got = getline(&buffer, &capacity, stdin);
        if (got < 0) break;
        std::string_view line(buffer, size_t(got));
        if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
        line = trim(line);
        if (line.empty()) continue;
        if (line.front() == ':') {
            if (!command(s, line)) break;
            continue;
        }
        // One definition or expression a line: a top-level comma would start another.
        Report report = check_brackets(line);
        Source src;
        if (report.ok()) report = load_source(line, src);
        if (!report.ok()) {
            write_report(report, line, {{0, "the input"}});
            continue;
        }
        if (split_commas(src).size() > 1) {
            note("one definition or expression a line, please: this one has a top-level comma");
            continue;
        }
        Kept k;
        if (definition_head(line, k))
            define(s, std::move(k), line);
        else
            evaluate(s, line);
        std::fflush(stdout);
    }
    std::free(buffer);
    if (terminal) write_out("\n");
    return 0;
}

}  // namespace ruk
