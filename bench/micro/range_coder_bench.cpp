// The range coder per symbol, on the symbols of a random permutation of a million lines: the
// count t runs from 1,000,000 down to 2 and each symbol is uniform below it, as in encoding a
// shuffled word file.
//
// The streams run in memory, without a coroutine, as in the coder's tests: a pass over the
// symbols writes into a fresh memory stream, so neither side ever suspends.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "rangecoder/frequency_coder.h"
#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"
#include "stream/memory_stream.h"

namespace wordperm {
namespace {

constexpr std::uint32_t kLines = 1'000'000;

struct Symbols {
    std::vector<std::uint32_t> s, t;
};

const Symbols& permutation_symbols() {
    static const Symbols symbols = [] {
        std::mt19937_64 random(7);
        Symbols made;
        for (std::uint32_t t = kLines; t >= 2; --t) {
            made.t.push_back(t);
            made.s.push_back(static_cast<std::uint32_t>(random() % t));
        }
        return made;
    }();
    return symbols;
}

std::vector<std::uint8_t> encode_all(const Symbols& symbols) {
    MemoryStream output;
    RangeEncoder encoder;
    encoder_init(encoder);
    for (std::size_t i = 0; i < symbols.t.size(); ++i)
        encode_uniform(encoder, output.stream(), symbols.s[i], symbols.t[i]);
    encoder_flush(encoder, output.stream());
    return output.take_written();
}

void BM_encode_uniform(benchmark::State& state) {
    const Symbols& symbols = permutation_symbols();
    const std::size_t count = symbols.t.size();
    std::optional<MemoryStream> output(std::in_place);
    RangeEncoder encoder;
    encoder_init(encoder);
    std::size_t i = 0;
    for (auto _ : state) {
        if (i == count) {
            // The encoder carries on into a fresh pass; only the bytes written are dropped.
            output.emplace();
            i = 0;
        }
        encode_uniform(encoder, output->stream(), symbols.s[i], symbols.t[i]);
        ++i;
    }
    benchmark::DoNotOptimize(output->written().size());
    state.SetItemsProcessed(state.iterations());
}

void BM_decode_uniform(benchmark::State& state) {
    const Symbols& symbols = permutation_symbols();
    const std::size_t count = symbols.t.size();
    const std::vector<std::uint8_t> code = encode_all(symbols);
    std::optional<MemoryStream> input(std::in_place, code);
    RangeDecoder decoder;
    decoder_init(decoder, input->stream());
    for (std::size_t i = 0; i < count; ++i) {
        if (decode_uniform(decoder, input->stream(), symbols.t[i]) != symbols.s[i]) {
            state.SkipWithError("decode_uniform does not give back the symbols encoded");
            return;
        }
    }
    std::size_t i = count;
    for (auto _ : state) {
        if (i == count) {
            input.emplace(code);
            decoder_init(decoder, input->stream());
            i = 0;
        }
        benchmark::DoNotOptimize(decode_uniform(decoder, input->stream(), symbols.t[i]));
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}

// A binary decision of the set model, as encode_bit codes it (argument 1) and as the frequency
// symbol of the same probability would (argument 0): what the binary path saves per decision.
void BM_encode_decision(benchmark::State& state) {
    const bool binary = state.range(0) != 0;
    std::mt19937_64 random(11);
    std::vector<std::uint32_t> p1(1 << 16), bits(1 << 16);
    for (std::size_t i = 0; i < p1.size(); ++i) {
        p1[i] = static_cast<std::uint32_t>(1 + random() % 65535);
        bits[i] = random() % 65536 < p1[i] ? 1 : 0;
    }
    std::optional<MemoryStream> output(std::in_place);
    RangeEncoder encoder;
    encoder_init(encoder);
    std::size_t i = 0;
    for (auto _ : state) {
        if (i == p1.size()) {
            output.emplace();
            i = 0;
        }
        Stream& stream = output->stream();
        if (binary)
            encode_bit(encoder, stream, static_cast<int>(bits[i]), p1[i]);
        else if (bits[i])
            encode_frequency(encoder, stream, 0, p1[i], 65536);
        else
            encode_frequency(encoder, stream, p1[i], 65536 - p1[i], 65536);
        ++i;
    }
    benchmark::DoNotOptimize(output->written().size());
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_encode_uniform);
BENCHMARK(BM_decode_uniform);
BENCHMARK(BM_encode_decision)->Arg(0)->Arg(1);

}  // namespace
}  // namespace wordperm
