// The whole coder against a plain twin written in the most direct way: the procedure sorting by
// line_compare, one tree walk per line, one byte at a time. The product (prefix classes and a
// replay, batch rank conversion, block copies with prefetching) must give the same bytes, and
// both must restore the words.
#include <gtest/gtest.h>

#include <vector>

#include "support/rank_tree.h"
#include "order/word_sort.h"
#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"
#include "stream/memory_stream.h"
#include "support/coding.h"
#include "support/random_words.h"
#include "support/word_tables.h"

namespace wordperm {
namespace {

using testing::decode_in_memory;
using testing::encode;
using testing::random_word_file;
using testing::WordFileShape;
using Bytes = std::vector<std::uint8_t>;

std::span<const std::uint8_t> byte_view(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The line with the line-feed rule: every line of a bare-ended list ends with a line feed,
// except whichever comes out last.
void put_line(std::string& out, const WordTable& table, std::uint32_t line, bool out_last) {
    const bool bare = last_line_is_bare(table);
    for (std::uint64_t k = line_offset(table, line); k < line_offset(table, line + 1); ++k)
        out += static_cast<char>(table.data[k]);
    if (bare && line == table.line_count - 1 && !out_last) out += '\n';
    if (bare && line != table.line_count - 1 && out_last) out.pop_back();
}

testing::Encoded plain_encode(const std::string& words) {
    WordTable table = make_word_table(words);
    const std::uint32_t n = table.line_count;
    std::vector<std::uint32_t> perm(n);
    word_sort_by_line_compare(table, perm);
    // An empty line that sorts last cannot lose its line feed: the bare line follows it.
    if (last_line_is_bare(table) && n >= 2 && perm[n - 1] != n - 1 &&
        line_size(table, perm[n - 1]) == 1) {
        std::erase(perm, n - 1);
        perm.push_back(n - 1);
    }
    std::vector<std::uint32_t> inverse(n);
    for (std::uint32_t j = 0; j < n; ++j)
        inverse[perm[j]] = j;

    testing::Encoded out;
    for (std::uint32_t j = 0; j < n; ++j)
        put_line(out.sorted, table, perm[j], j + 1 == n);
    RankTree tree;
    tree_build(tree, n);
    MemoryStream code;
    RangeEncoder encoder;
    encoder_init(encoder);
    for (std::uint32_t i = 0; i + 1 < n; ++i) {
        const std::uint32_t s = tree_rank(tree, inverse[i]);
        tree_remove(tree, inverse[i]);
        encode_uniform(encoder, code.stream(), s, n - i);
    }
    encoder_flush(encoder, code.stream());
    const Bytes written = code.take_written();
    out.code.assign(written.begin(), written.end());
    return out;
}

std::string plain_decode(const std::string& sorted, const std::string& code) {
    WordTable table = make_word_table(sorted);
    const std::uint32_t n = table.line_count;
    RankTree tree;
    tree_build(tree, n);
    MemoryStream input(byte_view(code));
    RangeDecoder decoder;
    decoder_init(decoder, input.stream());
    std::string out;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t d = i + 1 < n ? decode_uniform(decoder, input.stream(), n - i) : 0;
        const std::uint32_t line = tree_select(tree, d);
        tree_remove(tree, line);
        put_line(out, table, line, i + 1 == n);
    }
    return out;
}

// Word files of every kind: the product's pair is the twin's byte for byte, the same each time it
// is made, and both decoders restore the words from it.
TEST(PlainTwin, EncoderAndDecoderGiveThePlainBytesAndRestoreTheWords) {
    const WordFileShape shapes[] = {
        {.lines = 3, .alphabet = 2, .max_length = 2},
        {.lines = 30, .alphabet = 2, .max_length = 3, .final_line_feed = false},
        {.lines = 50, .alphabet = 3, .max_length = 3},     // many duplicates
        {.lines = 200, .alphabet = 256, .max_length = 9},  // every byte value
        {.lines = 200, .alphabet = 256, .max_length = 9, .final_line_feed = false},
        {.lines = 7, .alphabet = 256, .max_length = 0, .final_line_feed = false},  // empty lines
        {.lines = 2000, .alphabet = 26, .max_length = 12, .distinct = 100},
        {.lines = 5000, .alphabet = 4, .max_length = 20, .final_line_feed = false},
        {.lines = 70000, .alphabet = 26, .max_length = 10, .distinct = 5000},
        {.lines = 100000, .alphabet = 26, .max_length = 10, .final_line_feed = false},
    };
    std::uint64_t seed = 500;
    for (const WordFileShape& shape : shapes) {
        for (int round = 0; round < (shape.lines > 10000 ? 1 : 40); ++round, ++seed) {
            SCOPED_TRACE("seed " + std::to_string(seed));
            const std::string words = random_word_file(seed, shape);
            const auto plain = plain_encode(words);
            const auto product = encode(words);
            ASSERT_EQ(product.sorted, plain.sorted);
            ASSERT_EQ(product.code, plain.code);
            const auto again = encode(words);
            ASSERT_EQ(again.sorted, product.sorted);
            ASSERT_EQ(again.code, product.code);
            const auto decoded = decode_in_memory(product.sorted, product.code);
            ASSERT_EQ(decoded.status, ExitStatus::success);
            ASSERT_EQ(decoded.restored, words);
            ASSERT_EQ(plain_decode(plain.sorted, plain.code), words);
        }
    }
}

}  // namespace
}  // namespace wordperm
