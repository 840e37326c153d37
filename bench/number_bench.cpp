// Conversions between cells, machine numbers and bit strings.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "core/number.h"

using namespace ruk;

namespace {

std::string digits(size_t n) {
    std::mt19937_64 rng(1);
    std::string s(n, '0');
    for (char& c : s) c = char('0' + rng() % 10);
    s[0] = '7';
    return s;
}

void BM_Int64FromSmallLeaf(benchmark::State& state) {
    CellRef n = from_text("0123456789012345678");
    for (auto _ : state) benchmark::DoNotOptimize(int64_from_integer(n.get()));
}
BENCHMARK(BM_Int64FromSmallLeaf);

void BM_IntegerFromInt64(benchmark::State& state) {
    int64_t x = -123456789012345678;
    for (auto _ : state) benchmark::DoNotOptimize(integer_from_int64(x).get());
}
BENCHMARK(BM_IntegerFromInt64);

void BM_OperandKindOfSmallLeaf(benchmark::State& state) {
    CellRef n = from_text("042");
    for (auto _ : state) benchmark::DoNotOptimize(operand_kind(n.get()));
}
BENCHMARK(BM_OperandKindOfSmallLeaf);

// Decimal text to bit string, by number of digits.
void BM_BitsFromDecimal(benchmark::State& state) {
    std::string t = digits(size_t(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(bits_from_decimal(t));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BitsFromDecimal)->Arg(19)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000)->Complexity();

// Bit string to decimal text, by number of digits of the result.
void BM_DecimalFromBits(benchmark::State& state) {
    BitString b = bits_from_decimal(digits(size_t(state.range(0))));
    for (auto _ : state) benchmark::DoNotOptimize(decimal_from_bits(b));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DecimalFromBits)->Arg(19)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000)->Complexity();

// Taking a 10,000-digit number apart as the machine does: rest after rest.
void BM_RestOfNumber(benchmark::State& state) {
    CellRef n = from_string(digits(10000));
    for (auto _ : state) benchmark::DoNotOptimize(rest_of_number(n.get()).get());
}
BENCHMARK(BM_RestOfNumber);

void BM_BinaryFloatRoundTrip(benchmark::State& state) {
    double d = 1.2345e-300;
    for (auto _ : state) {
        CellRef f = binary_float_from_double(d);
        benchmark::DoNotOptimize(double_from_binary_float(f.get()));
    }
}
BENCHMARK(BM_BinaryFloatRoundTrip);

}  // namespace
