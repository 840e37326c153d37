// Front-end throughput: the bracket checks, normalisation, comma cutting and parsing of a
// program text of about 10 MB, and the printing of what was parsed.
//
//   parse_bench --benchmark_filter=Whole    the whole front end on the 10 MB text
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/parse.h"
#include "core/print.h"

namespace {

std::string name_of(size_t i) {
    std::string n;
    do {
        n += char('a' + i % 26);
        i /= 26;
    } while (i != 0);
    return n;
}

// Definitions in the shapes programs use: arithmetic, calls, braces, literals, unary
// operators and several lines; about 10 MB in all.
const std::string& program_text() {
    static const std::string text = [] {
        static const char* const bodies[] = {
            "\\x\\y\\x + y * 2 - (x / y)",
            "\\n\\n < 2 ? 1 ; fib(n - 1) + fib(n - 2)",
            "\\s\\puts([Hello, world]) ; len s = 0 ? K ; H",
            "\\xs\\{h, t} xs\n  map(f, t) : h",
            "\\a\\b\\~a & !b | a = b",
            "\\p\\q\\Y(\\r\\r p q)",
            "\\x\\f(g(x), h(x, 1), [a [nested] literal])",
            "\\t\\t ^ 2 ^ 3 @ k % 7 'u",
        };
        std::string t = "main";
        for (size_t i = 0; t.size() < (size_t(10) << 20); ++i) {
            t += ",\n";
            t += name_of(i);
            t += bodies[i % (sizeof bodies / sizeof bodies[0])];
        }
        return t;
    }();
    return text;
}

void BM_BracketCheck(benchmark::State& state) {
    const std::string& text = program_text();
    for (auto _ : state) {
        ruk::Report r = ruk::check_brackets(text);
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_BracketCheck)->Unit(benchmark::kMillisecond);

void BM_LoadSource(benchmark::State& state) {
    const std::string& text = program_text();
    for (auto _ : state) {
        ruk::Source src;
        ruk::Report r = ruk::load_source(text, src);
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_LoadSource)->Unit(benchmark::kMillisecond);

// Parsing alone: every definition of the loaded text, all terms kept until the end.
void BM_Parse(benchmark::State& state) {
    const std::string& text = program_text();
    ruk::Source src;
    if (!ruk::load_source(text, src).ok()) state.SkipWithError("text does not load");
    std::vector<ruk::Segment> segments = ruk::split_commas(src);
    for (auto _ : state) {
        std::vector<ruk::CellRef> terms;
        terms.reserve(segments.size());
        ruk::Report error;
        for (ruk::Segment s : segments) terms.push_back(ruk::parse_expression(src, s, error));
        if (!error.ok()) state.SkipWithError("parse error");
        state.PauseTiming();
        terms.clear();  // freeing is not parsing
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["definitions"] = double(segments.size());
}
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);

// What program assembly does: check, normalise and index, cut, parse; then free.
void BM_Whole(benchmark::State& state) {
    const std::string& text = program_text();
    uint64_t live = 0;
    for (auto _ : state) {
        if (!ruk::check_brackets(text).ok()) state.SkipWithError("bracket check");
        ruk::Source src;
        if (!ruk::load_source(text, src).ok()) state.SkipWithError("text does not load");
        std::vector<ruk::CellRef> terms;
        ruk::Report error;
        for (ruk::Segment s : ruk::split_commas(src)) terms.push_back(ruk::parse_expression(src, s, error));
        if (!error.ok()) state.SkipWithError("parse error");
        benchmark::DoNotOptimize(terms.data());
        live = ruk::cell_stats().live;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["live_cells"] = double(live);
}
BENCHMARK(BM_Whole)->Unit(benchmark::kMillisecond);

void BM_Print(benchmark::State& state) {
    const std::string& text = program_text();
    ruk::Source src;
    if (!ruk::load_source(text, src).ok()) state.SkipWithError("text does not load");
    ruk::Report error;
    std::vector<ruk::CellRef> terms;
    for (ruk::Segment s : ruk::split_commas(src)) terms.push_back(ruk::parse_expression(src, s, error));
    size_t bytes = 0;
    for (auto _ : state) {
        for (const ruk::CellRef& t : terms) bytes += ruk::print_term(t).size();
    }
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_Print)->Unit(benchmark::kMillisecond);

}  // namespace
