// The radix sort of lines against a plain sort of their texts, in both byte orders (with the line
// feed, and without it, a line before the longer ones it begins; a bare last line read as if it
// ended with a line feed), and a mark exactly where a line equals the one before.
#include "order/line_radix_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/lines.h"
#include "support/word_tables.h"

namespace wordperm {
namespace {

struct SortInputShape {
    const char* name;
    std::uint32_t lines;
    std::string alphabet;      // empty: every byte value but the line feed
    std::uint32_t max_length;  // before the line feed, beyond the shared start
    std::string shared_start;  // every line begins with a random prefix of it
    bool bare_last;
};

void expect_sorted_and_marked(const SortInputShape& shape, std::uint64_t seed, LineOrder order) {
    std::mt19937_64 random(seed);
    std::vector<std::string> lines(shape.lines);
    for (std::string& line : lines) {
        line = shape.shared_start.substr(0, random() % (shape.shared_start.size() + 1));
        for (std::uint64_t k = random() % (shape.max_length + 1); k > 0; --k) {
            const auto byte = static_cast<char>(random() % 255);
            line += shape.alphabet.empty() ? (byte >= '\n' ? byte + 1 : byte)
                                           : shape.alphabet[random() % shape.alphabet.size()];
        }
    }
    // A bare last line needs a byte, or the file would just end with the line before.
    if (shape.bare_last && !lines.empty()) lines.back() += 'z';
    const WordTable table = make_word_table(testing::join_lines(lines, shape.bare_last));
    std::vector<std::uint64_t> records(table.line_count);
    EqualMarks equal(table.line_count);
    radix_sort_lines(table, records, equal, /*two_threads=*/true, order);

    // With their line feeds, bytes below 10 sort before the end of the line; without, after it.
    std::vector<std::string> expected;
    for (const std::string& line : lines)
        expected.push_back(order == LineOrder::with_line_feed ? line + '\n' : line);
    std::vector<std::string> got;
    for (std::uint64_t record : records)
        got.push_back(expected[static_cast<std::uint32_t>(record)]);
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(got, expected);
    for (std::size_t j = 1; j < got.size(); ++j)
        ASSERT_EQ(equal.test(j), got[j] == got[j - 1]) << "position " << j;
}

TEST(LineRadixSort, ByteOrderAndEqualNeighboursMarked) {
    const std::string long_start(300, 'q');
    const SortInputShape shapes[] = {
        {"few letters, many repeats", 500, "ab", 5, "", false},
        {"every byte value", 2000, "", 9, "", true},
        {"low bytes around the line feed", 2000, std::string("\0\t\x0b\r", 4), 6, "", true},
        {"long shared starts in large groups", 3000, "xyz", 3, long_start, false},
        {"starts ending at every byte of the key", 3000, "ab", 2, "abcdefghijkl", true},
        {"one repeated line", 1000, "a", 0, "same", false},
        {"enough lines for two threads", 70000, "abcdefghij", 7, "", true},
    };
    for (const LineOrder order : {LineOrder::with_line_feed, LineOrder::prefix_first}) {
        for (const SortInputShape& shape : shapes) {
            for (std::uint64_t seed = 1; seed <= 3; ++seed) {
                SCOPED_TRACE(std::string(shape.name) + ", seed " + std::to_string(seed) +
                             (order == LineOrder::prefix_first ? ", prefix first" : ""));
                expect_sorted_and_marked(shape, seed, order);
            }
        }
    }
}

}  // namespace
}  // namespace wordperm
