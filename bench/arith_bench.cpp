// The operator builtins: the machine-word fast path, long integers, binary float sums,
// comparisons and text repetition.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "core/arith.h"
#include "core/compare.h"
#include "core/number.h"

using namespace ruk;

namespace {

std::string digits(size_t n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::string s(n, '0');
    for (char& c : s) c = char('0' + rng() % 10);
    s[0] = '7';
    return s;
}

// The sums and comparisons of a counting loop: small number leaves in, a new leaf out.
void BM_SmallPlus(benchmark::State& state) {
    CellRef a = from_text("123456"), b = from_text("07");
    for (auto _ : state)
        benchmark::DoNotOptimize(arithmetic(ArithOp::Plus, a.get(), b.get()).get());
}
BENCHMARK(BM_SmallPlus);

void BM_SmallLess(benchmark::State& state) {
    CellRef a = from_text("123456"), b = from_text("07");
    for (auto _ : state)
        benchmark::DoNotOptimize(comparison(CompareOp::Less, a.get(), b.get()).get());
}
BENCHMARK(BM_SmallLess);

// Exact operations by number of digits of each operand.
template <ArithOp Op>
void BM_Long(benchmark::State& state) {
    size_t n = size_t(state.range(0));
    std::string negative = digits(n / 2 + 1, 2);
    negative.insert(negative.begin(), '0');
    CellRef a = from_bytes(digits(n, 1)), b = from_bytes(negative);
    for (auto _ : state) benchmark::DoNotOptimize(arithmetic(Op, a.get(), b.get()).get());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Long<ArithOp::Plus>)->Arg(100)->Arg(10000)->Arg(1000000)->Complexity();
BENCHMARK(BM_Long<ArithOp::Mult>)->Arg(100)->Arg(10000)->Arg(100000)->Complexity();
BENCHMARK(BM_Long<ArithOp::Over>)->Arg(100)->Arg(10000)->Arg(100000)->Complexity();

void BM_LongLess(benchmark::State& state) {
    std::string x = digits(size_t(state.range(0)), 3);
    CellRef a = from_bytes(x), b = from_bytes(x);
    for (auto _ : state)
        benchmark::DoNotOptimize(comparison(CompareOp::Less, a.get(), b.get()).get());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LongLess)->Arg(100)->Arg(10000)->Arg(1000000)->Complexity();

// Binary float sums of two doubles' payloads far apart.
void BM_BinaryFloatSum(benchmark::State& state) {
    CellRef a = binary_float_from_double(1e300), b = binary_float_from_double(-3e-300);
    for (auto _ : state)
        benchmark::DoNotOptimize(arithmetic(ArithOp::Plus, a.get(), b.get()).get());
}
BENCHMARK(BM_BinaryFloatSum);

void BM_TextRepetition(benchmark::State& state) {
    CellRef t = from_text("[abc]"), n = integer_from_int64(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(arithmetic(ArithOp::Mult, t.get(), n.get()).get());
    state.SetBytesProcessed(int64_t(state.iterations()) * 3 * state.range(0));
}
BENCHMARK(BM_TextRepetition)->Arg(1000)->Arg(1000000);

}  // namespace
