// word_sort per line on a million random lowercase words of 4 to 14 letters, the benchmark's
// main word file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "order/word_sort.h"
#include "support/word_tables.h"

namespace wordperm {
namespace {

constexpr std::uint32_t kWords = 1'000'000;

std::string random_words(std::uint32_t count) {
    std::mt19937_64 random(11);
    std::string file;
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto length = 4 + random() % 11;
        for (std::uint64_t k = 0; k < length; ++k)
            file += static_cast<char>('a' + random() % 26);
        file += '\n';
    }
    return file;
}

void BM_word_sort(benchmark::State& state) {
    const WordTable table = make_word_table(random_words(kWords));
    std::vector<std::uint32_t> perm(2 * std::size_t{table.line_count});
    for (auto _ : state) {
        word_sort(table, perm);
        benchmark::ClobberMemory();
    }
    for (std::uint32_t i = 1; i < table.line_count; ++i) {
        if (line_compare(table, perm[i - 1], perm[i]) > 0) {
            state.SkipWithError("word_sort left the lines out of order");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * table.line_count);
    state.counters["per_line"] = benchmark::Counter(
        static_cast<double>(table.line_count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_word_sort)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wordperm
