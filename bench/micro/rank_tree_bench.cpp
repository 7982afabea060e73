// The rank tree per operation at the sizes of the benchmark's word files. Ordered access is what
// an already sorted file costs (ranks of positions 0, 1, 2, ...; selections of the smallest
// present position); random access is a shuffled file's (positions in random order; ranks
// uniform below the number still present). Each benchmark iteration is one operation; the tree
// is rebuilt, untimed, whenever every position has been taken.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <numeric>
#include <random>
#include <vector>

#include "support/rank_tree.h"

namespace wordperm {
namespace {

enum class Access { ordered, random };

// The arguments of the n operations that empty a tree of n positions, made once per size.
const std::vector<std::uint32_t>& positions(std::uint32_t n, Access access) {
    static std::map<std::pair<std::uint32_t, Access>, std::vector<std::uint32_t>> made;
    auto [entry, fresh] = made.try_emplace({n, access});
    if (fresh) {
        entry->second.resize(n);
        std::iota(entry->second.begin(), entry->second.end(), std::uint32_t{0});
        if (access == Access::random) {
            std::mt19937_64 random(n);
            for (std::uint32_t i = n; i > 1; --i)
                std::swap(entry->second[i - 1], entry->second[random() % i]);
        }
    }
    return entry->second;
}

const std::vector<std::uint32_t>& ranks(std::uint32_t n, Access access) {
    static std::map<std::pair<std::uint32_t, Access>, std::vector<std::uint32_t>> made;
    auto [entry, fresh] = made.try_emplace({n, access});
    if (fresh) {
        entry->second.assign(n, 0);
        if (access == Access::random) {
            std::mt19937_64 random(n);
            for (std::uint32_t i = 0; i < n; ++i)
                entry->second[i] = static_cast<std::uint32_t>(random() % (n - i));
        }
    }
    return entry->second;
}

template <std::uint32_t (*operation)(RankTree&, std::uint32_t)>
void run_emptying(benchmark::State& state, const std::vector<std::uint32_t>& arguments) {
    const auto n = static_cast<std::uint32_t>(arguments.size());
    RankTree tree;
    std::uint32_t i = n;
    for (auto _ : state) {
        if (i == n) {
            state.PauseTiming();
            tree_build(tree, n);
            i = 0;
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(operation(tree, arguments[i++]));
    }
    state.SetItemsProcessed(state.iterations());
}

template <Access access>
void BM_tree_rank_remove(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    run_emptying<tree_rank_remove>(state, positions(n, access));
}

template <Access access>
void BM_tree_select_remove(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    run_emptying<tree_select_remove>(state, ranks(n, access));
}

BENCHMARK(BM_tree_rank_remove<Access::ordered>)
    ->Name("BM_tree_rank_remove/ordered")
    ->Arg(1'000'000)
    ->Arg(10'000'000);
BENCHMARK(BM_tree_rank_remove<Access::random>)
    ->Name("BM_tree_rank_remove/random")
    ->Arg(1'000'000)
    ->Arg(10'000'000);
BENCHMARK(BM_tree_select_remove<Access::ordered>)
    ->Name("BM_tree_select_remove/ordered")
    ->Arg(1'000'000)
    ->Arg(10'000'000);
BENCHMARK(BM_tree_select_remove<Access::random>)
    ->Name("BM_tree_select_remove/random")
    ->Arg(1'000'000)
    ->Arg(10'000'000);

}  // namespace
}  // namespace wordperm
