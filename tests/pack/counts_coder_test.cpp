// The counts of repeated lines: each version's coder decodes what it coded and costs what its
// model says (version 1: the low bits of each count uniformly, so a bit a count of 2 or 3;
// version 2: next to nothing where the counts are regular), refuses counts that do not add up,
// and the frequency tables under it halve their counts at their limit.
#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

#include "pack/counts_coder.h"
#include "pack/frequency_table.h"
#include "pack/section_coding.h"
#include "rangecoder/frequency_coder.h"

namespace wordperm {
namespace {

using Counts = std::vector<std::uint32_t>;

std::vector<std::uint8_t> encode(const Counts& counts, FormatVersion version) {
    return encode_section([&](RangeEncoder& encoder, Stream& stream) {
        encode_counts(encoder, stream, counts, version);
    });
}

bool decode(const std::vector<std::uint8_t>& code, std::uint32_t lines, FormatVersion version,
            Counts& counts) {
    SectionDecoder in(code);
    return decode_counts(in.decoder, in.stream, lines, version, 8, counts);
}

TEST(CountsCoder, RoundTripsAndCostsWhatEachVersionsModelSays) {
    std::mt19937_64 random(3);
    Counts twos(5000, 2), mixed, heavy = {70000, 1, 1 << 20, UINT32_MAX >> 4};
    for (int i = 0; i < 5000; ++i)
        mixed.push_back(1 + static_cast<std::uint32_t>(random() % 1000));
    struct Case {
        const char* name;
        const Counts& counts;
        double most_bytes[2];  // version 1, version 2
    };
    const Case cases[] = {
        // Version 1 pays the low bit of each 2 in full.
        {"every line twice", twos, {5000 / 8 + 16, 16}},
        // About 2 bits of length and 8 low bits a count: version 2 can do no better than
        // uniform low bits, nor much worse.
        {"counts up to 1000", mixed, {5000 * 10.2 / 8, 5000 * 10.3 / 8}},
        {"counts past 2^16", heavy, {16, 16}},
    };
    for (const Case& c : cases) {
        for (const FormatVersion version : {FormatVersion::v1, FormatVersion::v2}) {
            SCOPED_TRACE(std::string(c.name) + (version == FormatVersion::v1 ? ", v1" : ", v2"));
            const auto lines = static_cast<std::uint32_t>(
                std::accumulate(c.counts.begin(), c.counts.end(), std::uint64_t{0}));
            const std::vector<std::uint8_t> code = encode(c.counts, version);
            EXPECT_LE(static_cast<double>(code.size()),
                      c.most_bytes[version == FormatVersion::v1 ? 0 : 1]);
            Counts decoded(c.counts.size());
            ASSERT_TRUE(decode(code, lines, version, decoded));
            EXPECT_EQ(decoded, c.counts);
            // Counts that add up to another number of lines are refused.
            EXPECT_FALSE(decode(code, lines - 1, version, decoded));
            EXPECT_FALSE(decode(code, lines + 1, version, decoded));
        }
    }
}

// The table against a plain twin: counts start at 1, a coded symbol gains 24, and once their sum
// passes 2^16 every count becomes (count + 1) / 2; a symbol's share is its count among the
// allowed ones. The twin's frequencies, coded directly, must give the table's bytes exactly,
// across several rescalings, and the decoder must follow.
TEST(FrequencyTable, RescalesAtItsLimitAsThePlainRuleSays) {
    std::vector<std::uint32_t> symbols, masks;
    std::mt19937_64 random(9);
    for (std::uint32_t i = 0; i < 4 * 65536 / 24; ++i) {
        symbols.push_back(random() % 8 == 0 ? static_cast<std::uint32_t>(random() % 4) : 2);
        masks.push_back(symbols.back() == 0 ? 0b1111u : 0b1110u);
    }
    FrequencyTable table(4);
    const auto code = encode_section([&](RangeEncoder& encoder, Stream& stream) {
        for (std::size_t i = 0; i < symbols.size(); ++i)
            table.encode(encoder, stream, symbols[i], masks[i]);
    });
    std::vector<std::uint32_t> count(4, 1);
    const auto plain = encode_section([&](RangeEncoder& encoder, Stream& stream) {
        for (std::size_t i = 0; i < symbols.size(); ++i) {
            std::uint32_t cum = 0, total = 0;
            for (std::uint32_t s = 0; s < 4; ++s) {
                if (!(masks[i] >> s & 1)) continue;
                if (s < symbols[i]) cum += count[s];
                total += count[s];
            }
            encode_frequency(encoder, stream, cum, count[symbols[i]], total);
            count[symbols[i]] += 24;
            if (std::accumulate(count.begin(), count.end(), 0u) > 65536)
                for (auto& c : count)
                    c = (c + 1) / 2;
        }
    });
    EXPECT_EQ(code, plain);
    FrequencyTable decoding(4);
    SectionDecoder in(code);
    for (std::size_t i = 0; i < symbols.size(); ++i)
        ASSERT_EQ(decoding.decode(in.decoder, in.stream, masks[i]), symbols[i]);
    EXPECT_TRUE(in.ends_exactly());
}

}  // namespace
}  // namespace wordperm
