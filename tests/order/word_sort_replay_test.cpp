// word_sort (prefix sort, then a replay of the procedure on class numbers) against the
// procedure run on line_compare itself: the same permutation, equal lines included.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "order/word_sort.h"
#include "support/lines.h"
#include "support/random_words.h"
#include "support/word_sorted.h"
#include "support/word_tables.h"

namespace wordperm {
namespace {

using testing::random_word_file;
using testing::WordFileShape;

void expect_same_as_line_compare(const std::string& file) {
    const WordTable table = make_word_table(file);
    std::vector<std::uint32_t> reference(table.line_count);
    word_sort_by_line_compare(table, reference);
    ASSERT_EQ(testing::word_sorted(table), reference);
    // The sort reads the line starts through line_offset, 32-bit or 64-bit alike.
    ASSERT_EQ(testing::word_sorted(make_word_table(file, {.wide_offsets = true})), reference);
}

// Lines sharing long starts, so that 8-byte prefixes tie and the rest decides.
std::string shared_start_file(std::uint64_t seed, std::uint32_t lines, bool final_line_feed) {
    std::mt19937_64 random(seed);
    const std::string starts[] = {
        "internationa",    "internationalization", "abcdefgh", "abcdefg", "abcdefghi", "",
        "\t\t\t\t\t\t\t\t"};
    std::string file;
    for (std::uint32_t i = 0; i < lines; ++i) {
        file += starts[random() % std::size(starts)];
        for (std::uint64_t k = random() % 4; k > 0; --k)
            file += static_cast<char>("al\t\x01\xE9"[random() % 5]);
        file += '\n';
    }
    if (!final_line_feed) file.pop_back();
    return file;
}

TEST(WordSortReplay, SameOrderAsTheProcedureOnLineCompare) {
    const WordFileShape shapes[] = {
        {.lines = 2, .alphabet = 2, .max_length = 2},
        {.lines = 9, .alphabet = 2, .max_length = 2, .final_line_feed = false},
        {.lines = 40, .alphabet = 3, .max_length = 3},
        {.lines = 40, .alphabet = 3, .max_length = 3, .final_line_feed = false},
        {.lines = 300, .alphabet = 256, .max_length = 10},
        {.lines = 300, .alphabet = 256, .max_length = 10, .final_line_feed = false},
        {.lines = 500, .alphabet = 26, .max_length = 12, .distinct = 30},
        {.lines = 500, .alphabet = 26, .max_length = 12, .distinct = 30, .final_line_feed = false},
        {.lines = 3000, .alphabet = 26, .max_length = 9},
    };
    std::uint64_t seed = 100;
    for (const WordFileShape& shape : shapes) {
        for (int round = 0; round < 200; ++round, ++seed) {
            SCOPED_TRACE("seed " + std::to_string(seed));
            expect_same_as_line_compare(random_word_file(seed, shape));
        }
    }
}

TEST(WordSortReplay, LongSharedStartsAndBareLastLines) {
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        expect_same_as_line_compare(
            shared_start_file(seed, static_cast<std::uint32_t>(1 + seed % 120), seed % 2 == 0));
    }
}

// Lists already in order skip the radix sort; with repeats and bare last lines the replay still
// decides, and a list of one repeated line is the identity beyond 8 lines.
TEST(WordSortReplay, ListsAlreadyInOrderAscendingOrDescending) {
    for (std::uint64_t seed = 1; seed <= 120; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const WordFileShape shape{.lines = static_cast<std::uint32_t>(seed % 40 * 7),
                                  .alphabet = seed % 3 == 0 ? 1u : 3u,
                                  .max_length = 3,
                                  .final_line_feed = seed % 4 != 0};
        std::string file = random_word_file(seed, shape);
        std::vector<std::string> lines;
        for (std::size_t at = 0; at < file.size();) {
            const std::size_t end = std::min(file.find('\n', at), file.size());
            lines.push_back(file.substr(at, end - at));
            at = end + 1;
        }
        std::sort(lines.begin(), lines.end());
        if (seed % 2 == 0) std::reverse(lines.begin(), lines.end());
        expect_same_as_line_compare(testing::join_lines(lines, !shape.final_line_feed));
    }
}

TEST(WordSortReplay, LargeInputsWithAndWithoutRepeats) {
    for (std::uint32_t distinct : {0u, 50u, 20000u}) {
        SCOPED_TRACE(distinct);
        WordFileShape shape{.lines = 70000,
                            .alphabet = 26,
                            .max_length = 10,
                            .distinct = distinct,
                            .final_line_feed = distinct != 50};
        expect_same_as_line_compare(random_word_file(distinct + 7, shape));
    }
}

}  // namespace
}  // namespace wordperm
