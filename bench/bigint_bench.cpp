// Exact decimal arithmetic: decimal text in, decimal text out.
// The Compare* benchmarks are the workloads that bench/bigcompare.py sets beside CPython
// and GMP; the others follow the cost of each method over operand sizes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "core/bigint.h"
#include "core/bignat.h"

using namespace ruk;

namespace {

// n decimal digits from a fixed linear congruential sequence, shared with
// bench/programs/big_ops.{py,c}, so that all three work on the same numbers.
std::string digits(size_t n, uint64_t seed) {
    std::string s(n, '0');
    uint64_t x = seed;
    for (char& c : s) {
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        c = char('0' + (x >> 33) % 10);
    }
    if (s[0] == '0') s[0] = '1';
    return s;
}

// ---- the workloads compared with CPython and GMP ----

void BM_CompareMultiply100k(benchmark::State& state) {
    std::string a = digits(100000, 1), b = digits(100000, 2);
    for (auto _ : state) benchmark::DoNotOptimize(multiply_magnitudes(a, b));
}
BENCHMARK(BM_CompareMultiply100k)->Unit(benchmark::kMillisecond);

void BM_ComparePower2To100000(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(power_magnitude("2", 100000));
}
BENCHMARK(BM_ComparePower2To100000)->Unit(benchmark::kMillisecond);

// 20000! by repeated multiplication, the running product kept as text between steps,
// as a loop in the language keeps it.
void BM_CompareFactorial20000(benchmark::State& state) {
    for (auto _ : state) {
        std::string f = "1";
        for (int i = 2; i <= 20000; ++i) f = multiply_magnitudes(f, std::to_string(i));
        benchmark::DoNotOptimize(f);
    }
}
BENCHMARK(BM_CompareFactorial20000)->Unit(benchmark::kMillisecond);

void BM_CompareDivide200kBy100k(benchmark::State& state) {
    std::string a = digits(200000, 3), b = digits(100000, 4);
    for (auto _ : state) {
        std::string q, r;
        divide_magnitudes(a, b, &q, &r);
        benchmark::DoNotOptimize(q);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_CompareDivide200kBy100k)->Unit(benchmark::kMillisecond);

// ---- costs by size ----

void BM_ParseDigits(benchmark::State& state) {
    std::string a = digits(size_t(state.range(0)), 5);
    for (auto _ : state) benchmark::DoNotOptimize(bignat::parse(a));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ParseDigits)->Arg(1000)->Arg(100000);

void BM_PrintDigits(benchmark::State& state) {
    bignat::Nat x = bignat::parse(digits(size_t(state.range(0)), 6));
    for (auto _ : state) benchmark::DoNotOptimize(bignat::print(x));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_PrintDigits)->Arg(1000)->Arg(100000);

// Text times a number of five digits: one pass over the text.
void BM_MultiplyTextBySmall(benchmark::State& state) {
    std::string a = digits(size_t(state.range(0)), 7);
    for (auto _ : state) benchmark::DoNotOptimize(multiply_magnitudes(a, "12347"));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_MultiplyTextBySmall)->Arg(1000)->Arg(77000);

// Limb products of equal lengths, across the schoolbook, Karatsuba and transform ranges.
void BM_MultiplyLimbs(benchmark::State& state) {
    bignat::Nat a = bignat::parse(digits(8 * size_t(state.range(0)), 8));
    bignat::Nat b = bignat::parse(digits(8 * size_t(state.range(0)), 9));
    for (auto _ : state) benchmark::DoNotOptimize(bignat::multiply(a, b));
}
BENCHMARK(BM_MultiplyLimbs)->RangeMultiplier(2)->Range(16, 1 << 17);

void BM_DivideLimbs(benchmark::State& state) {
    bignat::Nat a = bignat::parse(digits(16 * size_t(state.range(0)), 10));
    bignat::Nat b = bignat::parse(digits(8 * size_t(state.range(0)), 11));
    for (auto _ : state) {
        bignat::Nat q, r;
        bignat::divide(a, b, &q, &r);
        benchmark::DoNotOptimize(q);
    }
}
BENCHMARK(BM_DivideLimbs)->RangeMultiplier(4)->Range(16, 1 << 14);

}  // namespace
