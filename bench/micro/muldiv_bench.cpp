// The cost of one interval split's arithmetic: muldiv64 (the compiler's 128-bit integers) against
// muldiv64_portable (64-bit operations only), on operands shaped like the coders' own: a symbol
// below its count t < 2^31, times an interval size between 2^56 and 2^64, over t.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>

#include "rangecoder/muldiv.h"

namespace wordperm {
namespace {

struct Operands {
    std::uint64_t a, b, c;
};

constexpr std::size_t kOperandCount = 4096;  // a power of two, so the index wraps with a mask

const std::array<Operands, kOperandCount>& coder_operands() {
    static const std::array<Operands, kOperandCount> operands = [] {
        std::mt19937_64 random(42);
        std::array<Operands, kOperandCount> made{};
        for (Operands& o : made) {
            o.c = 2 + random() % ((std::uint64_t{1} << 31) - 2);
            o.a = random() % o.c;
            constexpr std::uint64_t kSmallestSize = std::uint64_t{1} << 56;
            o.b = kSmallestSize + random() % (~std::uint64_t{0} - kSmallestSize);
        }
        return made;
    }();
    return operands;
}

template <std::uint64_t (*muldiv)(std::uint64_t, std::uint64_t, std::uint64_t)>
void run_muldiv(benchmark::State& state) {
    const auto& operands = coder_operands();
    std::size_t i = 0;
    for (auto _ : state) {
        const Operands& o = operands[i++ & (kOperandCount - 1)];
        benchmark::DoNotOptimize(muldiv(o.a, o.b, o.c));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_muldiv64(benchmark::State& state) {
    run_muldiv<muldiv64>(state);
}
void BM_muldiv64_portable(benchmark::State& state) {
    run_muldiv<muldiv64_portable>(state);
}

BENCHMARK(BM_muldiv64);
BENCHMARK(BM_muldiv64_portable);

}  // namespace
}  // namespace wordperm
