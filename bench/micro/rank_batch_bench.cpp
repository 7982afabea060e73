// The batch conversions the coders use, per line, on the same arguments as the tree's
// per-operation benchmark: all N positions to ranks (encoder) and all N ranks to positions
// (decoder) at once, random and ordered.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "order/rank_batch.h"

namespace wordperm {
namespace {

std::vector<std::uint32_t> shuffled(std::uint32_t n, bool random_order) {
    std::vector<std::uint32_t> x(n);
    std::iota(x.begin(), x.end(), std::uint32_t{0});
    if (random_order) {
        std::mt19937_64 random(n);
        for (std::uint32_t i = n; i > 1; --i)
            std::swap(x[i - 1], x[random() % i]);
    }
    return x;
}

void BM_ranks_from_positions(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    const std::vector<std::uint32_t> x = shuffled(n, state.range(1) != 0);
    std::vector<std::uint32_t> s(n);
    for (auto _ : state) {
        ranks_from_positions(x, s);
        benchmark::DoNotOptimize(s.data());
    }
    state.counters["per_line_ns"] =
        benchmark::Counter(static_cast<double>(n) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_positions_from_ranks(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    std::vector<std::uint32_t> d(n);
    ranks_from_positions(shuffled(n, state.range(1) != 0), d);
    std::vector<std::uint32_t> x(n);
    for (auto _ : state) {
        positions_from_ranks(d, x);
        benchmark::DoNotOptimize(x.data());
    }
    state.counters["per_line_ns"] =
        benchmark::Counter(static_cast<double>(n) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Arguments: N, then 1 for a random order, 0 for an ordered one.
BENCHMARK(BM_ranks_from_positions)
    ->ArgsProduct({{1000000, 10000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_positions_from_ranks)
    ->ArgsProduct({{1000000, 10000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wordperm
