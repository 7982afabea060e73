// The set's coders: the context-mixing model round trips sets of every kind by each version's
// rules, stops soon once it reads past its code, and the byte form's reader refuses what no set
// can be.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pack/front_coding.h"
#include "pack/line_set.h"
#include "pack/section_coding.h"
#include "pack/set_model.h"
#include "support/random_words.h"

namespace wordperm {
namespace {

using Bytes = std::vector<std::uint8_t>;

LineSet set_of(const std::string& list) {
    return split_list(Bytes(list.begin(), list.end())).set;
}

std::vector<LineSet> sample_sets() {
    std::vector<LineSet> sets = {
        set_of(""), set_of("\n"), set_of("a\nab\nb\n"), set_of("\xff\n\xff\x01\n"),
        set_of(std::string(600, 'q') + "\n" + std::string(900, 'q') + "r\n")};
    // Paths whose names come again far apart, under other parents: matches, some longer than
    // the part of a match that is checked.
    std::string paths;
    for (int i = 0; i < 3000; ++i)
        paths += "/" + std::to_string(i % 7) + "/share/" + std::to_string(i * 7919 % 97) +
                 "-package-with-a-rather-long-name/" + std::to_string(i % 13) + ".txt\n";
    sets.push_back(set_of(paths));
    for (std::uint64_t seed = 1; seed <= 3; ++seed) {
        sets.push_back(set_of(testing::random_word_file(seed, {.lines = 2000})));
        sets.push_back(set_of(
            testing::random_word_file(seed, {.lines = 800, .alphabet = 256, .max_length = 20})));
    }
    return sets;
}

TEST(SetCoding, ModelRoundTripsByEachVersionsRules) {
    const struct {
        FormatVersion version;
        SetContexts kind;
    } rules[] = {{FormatVersion::v1, SetContexts::plain},
                 {FormatVersion::v2, SetContexts::plain},
                 {FormatVersion::v2, SetContexts::with_match}};
    for (const auto& rule : rules) {
        const FormatVersion version = rule.version;
        const SetContexts kind = rule.kind;
        for (const LineSet& set : sample_sets()) {
            SCOPED_TRACE(set.distinct());
            const auto d = static_cast<std::uint32_t>(set.distinct());
            const Bytes code = encode_section([&](RangeEncoder& encoder, Stream& stream) {
                encode_set(encoder, stream, set, kSetTableBitsMin, version, kind);
            });
            LineSet decoded;
            SectionDecoder in(code);
            ASSERT_TRUE(decode_set(in.decoder, in.stream, d, set.bytes.size(), kSetTableBitsMin,
                                   version, kind, 8, decoded));
            EXPECT_TRUE(in.ends_exactly());
            EXPECT_EQ(decoded.bytes, set.bytes);
            EXPECT_EQ(decoded.start, set.start);
            // One byte less room than the lines need is refused.
            if (!set.bytes.empty()) {
                SectionDecoder again(code);
                EXPECT_FALSE(decode_set(again.decoder, again.stream, d, set.bytes.size() - 1,
                                        kSetTableBitsMin, version, kind, 8, decoded));
            }
        }
    }
}

// A code cut short, or none at all, makes the decoder read on past its end as if every byte there
// were 0xFF, where it could run on through lines of made-up bytes up to the room it is given: it
// must stop once it has read further past the end than an encoder ever leaves a code.
TEST(SetCoding, DecodingStopsSoonPastTheCodesEnd) {
    const LineSet set = set_of(testing::random_word_file(4, {.lines = 3000}));
    for (const SetContexts kind : {SetContexts::plain, SetContexts::with_match}) {
        const Bytes code = encode_section([&](RangeEncoder& encoder, Stream& stream) {
            encode_set(encoder, stream, set, 16, FormatVersion::v2, kind);
        });
        for (const std::size_t kept : {std::size_t{0}, std::size_t{1}, code.size() / 2}) {
            SCOPED_TRACE(kept);
            SectionDecoder in(std::span<const std::uint8_t>(code).first(kept));
            LineSet decoded;
            EXPECT_FALSE(decode_set(in.decoder, in.stream, UINT32_MAX, UINT32_MAX - 1, 16,
                                    FormatVersion::v2, kind, 8, decoded));
            EXPECT_LE(in.memory.past_end_reads(), 9u);
        }
    }
}

TEST(SetCoding, FrontDecodeRefusesWhatNoSetIs) {
    const struct {
        std::string form;
        std::uint32_t distinct;
    } cases[] = {
        {std::string("\0b\n\0a\n", 6), 2},                // not ascending
        {std::string("\0a\n\0a\n", 6), 2},                // not distinct
        {std::string("\0a\n\x02x\n", 6), 2},              // prefix longer than the line before
        {std::string("\0a\n", 3), 2},                     // fewer lines than said
        {std::string("\0a\n\0", 4), 1},                   // bytes left over
        {std::string("\0a", 2), 1},                       // no terminator
        {std::string("\x80\x80\x80\x80\x80\x01", 6), 1},  // an overlong prefix length
        {std::string("\0a\n\x81\x00\n", 6), 2},          // a prefix length in two bytes
        {std::string("\0ab\n\0ac\n", 8), 2},              // a prefix shorter than shared
    };
    for (const auto& c : cases) {
        LineSet set;
        EXPECT_FALSE(front_decode(Bytes(c.form.begin(), c.form.end()), c.distinct, 100, set))
            << ::testing::PrintToString(c.form);
    }
}

}  // namespace
}  // namespace wordperm
