// Frequency symbols and binary decisions: a uniform symbol is the frequency symbol of one share
// byte for byte, and random sequences of all three kinds decode to what was coded.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "rangecoder/frequency_coder.h"
#include "stream/memory_stream.h"

namespace wordperm {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A symbol of any kind: kind 0 uniform (a of b), 1 frequency (cum a, freq c, total b),
// 2 binary (bit a, probability b).
struct Step {
    int kind;
    std::uint32_t a, b, c;
};

Bytes encode(const std::vector<Step>& steps) {
    MemoryStream memory;
    Stream& stream = memory.stream();
    RangeEncoder encoder;
    encoder_init(encoder);
    for (const Step& s : steps) {
        if (s.kind == 0) encode_uniform(encoder, stream, s.a, s.b);
        if (s.kind == 1) encode_frequency(encoder, stream, s.a, s.c, s.b);
        if (s.kind == 2) encode_bit(encoder, stream, static_cast<int>(s.a), s.b);
    }
    encoder_flush(encoder, stream);
    return memory.take_written();
}

TEST(FrequencyCoder, OneShareIsTheUniformSymbolByteForByte) {
    std::mt19937_64 random(3);
    std::vector<Step> uniform, frequency;
    for (int i = 0; i < 2000; ++i) {
        const auto t = static_cast<std::uint32_t>(2 + random() % (i % 2 ? 5 : 0xFFFFFFF0u));
        const auto s = static_cast<std::uint32_t>(random() % t);
        uniform.push_back({0, s, t, 0});
        frequency.push_back({1, s, t, 1});
    }
    EXPECT_EQ(encode(uniform), encode(frequency));
}

TEST(FrequencyCoder, MixedKindsDecodeToWhatWasCoded) {
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937_64 random(seed);
        std::vector<Step> steps;
        for (int i = 0; i < 3000; ++i) {
            const int kind = static_cast<int>(random() % 3);
            if (kind == 2) {
                // Skewed probabilities, extremes included, with the likely and unlikely bit.
                const auto p = static_cast<std::uint32_t>(i % 7 == 0 ? 1 + random() % 2
                                                                     : 1 + random() % 65535);
                steps.push_back(
                    {2, static_cast<std::uint32_t>(random() % 2), i % 11 == 0 ? 65535 : p, 0});
            } else {
                const auto total =
                    static_cast<std::uint32_t>(2 + random() % (seed % 2 ? 70000 : 0xFFFFFF00u));
                const auto cum = static_cast<std::uint32_t>(random() % (total - 1));
                const auto freq = static_cast<std::uint32_t>(1 + random() % (total - cum));
                steps.push_back({1, cum, total, freq});
            }
        }
        const Bytes code = encode(steps);
        MemoryStream memory(code);
        Stream& stream = memory.stream();
        RangeDecoder decoder;
        decoder_init(decoder, stream);
        for (const Step& s : steps) {
            if (s.kind == 2) {
                ASSERT_EQ(decode_bit(decoder, stream, s.b), static_cast<int>(s.a));
            } else {
                const std::uint32_t share = decode_share(decoder, s.b);
                ASSERT_GE(share, s.a);
                ASSERT_LT(share, s.a + s.c);
                ASSERT_TRUE(decode_frequency(decoder, stream, s.a, s.c, s.b));
            }
        }
    }
}

}  // namespace
}  // namespace wordperm
