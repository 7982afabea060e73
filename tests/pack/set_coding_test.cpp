// The set's coders: the context-mixing model and every library stage round trip sets of every
// kind, and their readers refuse what no set can be.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pack/front_coding.h"
#include "pack/library_stages.h"
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
    for (std::uint64_t seed = 1; seed <= 3; ++seed) {
        sets.push_back(set_of(testing::random_word_file(seed, {.lines = 2000})));
        sets.push_back(set_of(
            testing::random_word_file(seed, {.lines = 800, .alphabet = 256, .max_length = 20})));
    }
    return sets;
}

TEST(SetCoding, ModelAndLibraryStagesRoundTrip) {
    for (const LineSet& set : sample_sets()) {
        SCOPED_TRACE(set.distinct());
        const std::uint32_t d = static_cast<std::uint32_t>(set.distinct());
        const Bytes code = encode_section([&](RangeEncoder& encoder, Stream& stream) {
            encode_set(encoder, stream, set, kSetTableBitsMin);
        });
        LineSet decoded;
        SectionDecoder in(code);
        ASSERT_TRUE(
            decode_set(in.decoder, in.stream, d, set.bytes.size(), kSetTableBitsMin, decoded));
        EXPECT_EQ(decoded.bytes, set.bytes);
        EXPECT_EQ(decoded.start, set.start);
        // One byte less room than the lines need is refused.
        if (!set.bytes.empty()) {
            SectionDecoder again(code);
            EXPECT_FALSE(decode_set(again.decoder, again.stream, d, set.bytes.size() - 1,
                                    kSetTableBitsMin, decoded));
        }
        const Bytes form = front_code(set);
        for (const LibraryStage stage : kLibraryStages) {
            // pack never hands the libraries an empty set; a build may lack them
            if (form.empty() || !library_stages_built()) break;
            const auto packed = library_compress(stage, form);
            ASSERT_TRUE(packed);
            Bytes unpacked;
            ASSERT_TRUE(library_decompress(stage, *packed, form.size(), unpacked));
            EXPECT_EQ(unpacked, form);
            if (!form.empty()) {
                EXPECT_FALSE(library_decompress(stage, *packed, form.size() - 1, unpacked));
                EXPECT_LE(unpacked.size(), form.size() - 1);
            }
        }
        ASSERT_TRUE(front_decode(form, d, set.bytes.size(), decoded));
        EXPECT_EQ(decoded.bytes, set.bytes);
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
    };
    for (const auto& c : cases) {
        LineSet set;
        EXPECT_FALSE(front_decode(Bytes(c.form.begin(), c.form.end()), c.distinct, 100, set))
            << ::testing::PrintToString(c.form);
    }
}

}  // namespace
}  // namespace wordperm
