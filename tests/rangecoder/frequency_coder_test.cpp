// Frequency symbols and binary decisions: a uniform symbol is the frequency symbol of one share
// byte for byte, random sequences of all three kinds decode to what was coded, and a code kept
// whole to its end is recognised as exactly the encoder's, and nothing else.
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

Bytes encode(const std::vector<Step>& steps, CodeEnd end = CodeEnd::trim_pending) {
    MemoryStream memory;
    Stream& stream = memory.stream();
    RangeEncoder encoder;
    encoder_init(encoder);
    for (const Step& s : steps) {
        if (s.kind == 0) encode_uniform(encoder, stream, s.a, s.b);
        if (s.kind == 1) encode_frequency(encoder, stream, s.a, s.c, s.b);
        if (s.kind == 2) encode_bit(encoder, stream, static_cast<int>(s.a), s.b);
    }
    encoder_flush(encoder, stream, end);
    return memory.take_written();
}

// Decodes the steps' symbols from `code` (whatever they come out as) and asks whether the code
// ends as the encoder ends one; also reports how far past its end the decoder read.
bool decodes_to_an_exact_end(const std::vector<Step>& steps, const Bytes& code,
                             std::uint64_t& past_end_reads) {
    MemoryStream memory(code);
    Stream& stream = memory.stream();
    RangeDecoder decoder;
    decoder_init(decoder, stream);
    for (const Step& s : steps) {
        if (s.kind == 0 && decode_uniform(decoder, stream, s.b) == s.b) return false;
        if (s.kind == 1) {
            const std::uint32_t share = decode_share(decoder, s.b);
            if (share >= s.b) return false;
            // The symbol that owns the share, in a two-symbol alphabet around the coded one.
            const bool coded = share >= s.a && share < s.a + s.c;
            const std::uint32_t cum = coded ? s.a : share < s.a ? 0 : s.a + s.c;
            const std::uint32_t freq = coded ? s.c : share < s.a ? s.a : s.b - s.a - s.c;
            if (!decode_frequency(decoder, stream, cum, freq, s.b)) return false;
        }
        if (s.kind == 2) decode_bit(decoder, stream, s.b);
    }
    past_end_reads = memory.past_end_reads();
    return decoder_ends_code(decoder, memory.bytes_read(), code.size());
}

TEST(FrequencyCoder, AWholeCodeEndsOneWayOnly) {
    std::mt19937_64 random(12);
    auto mixed = [&](int count) {
        std::vector<Step> steps;
        for (int i = 0; i < count; ++i) {
            const auto total = static_cast<std::uint32_t>(2 + random() % 5000);
            const auto cum = static_cast<std::uint32_t>(random() % (total - 1));
            if (i % 3 == 0)
                steps.push_back({2, static_cast<std::uint32_t>(random() % 2),
                                 static_cast<std::uint32_t>(1 + random() % 65535), 0});
            else
                steps.push_back(
                    {1, cum, total, 1 + static_cast<std::uint32_t>(random() % (total - cum))});
        }
        return steps;
    };
    // The largest symbol of each kind keeps the interval's top where it is.
    auto topmost = [](std::vector<Step> steps, int count) {
        for (int i = 0; i < count; ++i)
            steps.push_back(i % 2 ? Step{2, 0, 40000, 0} : Step{1, 999, 1000, 1});
        return steps;
    };
    const std::vector<std::vector<Step>> cases = {
        {}, mixed(1), mixed(7), mixed(2000), topmost(mixed(300), 400), topmost({}, 400),
    };
    for (std::size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE(c);
        const std::vector<Step>& steps = cases[c];
        const Bytes code = encode(steps, CodeEnd::keep_pending);
        std::uint64_t past_end = 0;
        ASSERT_TRUE(decodes_to_an_exact_end(steps, code, past_end));
        EXPECT_LE(past_end, 8u);
        std::vector<Bytes> others = {code, code, code};
        others[0].push_back(0x00);
        others[1].push_back(0xFF);
        others[2].insert(others[2].end(), {0x12, 0x34, 0x56});
        if (!code.empty()) {
            others.emplace_back(code.begin(), code.end() - 1);
            for (const int change : {1, -1}) {
                others.push_back(code);
                others.back().back() = static_cast<std::uint8_t>(code.back() + change);
            }
        }
        for (std::size_t k = 0; k < others.size(); ++k)
            EXPECT_FALSE(decodes_to_an_exact_end(steps, others[k], past_end)) << "change " << k;
    }
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
