// Tests of the depth bound of the word sort: on the adversary's killer order the plain quicksort
// steps are quadratic and the bounded sort is not, and wherever the bound is not reached (random
// inputs of every kind) the bounded sort leaves exactly the permutation of the plain steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "order/quicksort_adversary.h"
#include "order/sort_procedure.h"
#include "order/word_sort.h"
#include "support/identity.h"
#include "support/lines.h"
#include "support/random_words.h"
#include "support/word_sorted.h"
#include "support/word_tables.h"

namespace wordperm {
namespace {

using Perm = std::vector<std::uint32_t>;
using testing::identity;
using testing::KillerInput;
using testing::plain_sort_procedure;

struct CountingLineCompare {
    const WordTable& table;
    std::uint64_t count = 0;
    int operator()(std::uint32_t a, std::uint32_t b) {
        ++count;
        return line_compare(table, a, b);
    }
};

// Line x is a four-letter word whose place in the alphabetical order is ranks[x].
std::string words_in_rank_order(const std::vector<std::uint32_t>& ranks) {
    std::string contents;
    for (std::uint32_t rank : ranks) {
        char word[5] = {'a', 'a', 'a', 'a', '\n'};
        for (int digit = 3; digit >= 0; --digit, rank /= 26)
            word[digit] = static_cast<char>('a' + rank % 26);
        contents.append(word, 5);
    }
    return contents;
}

std::uint64_t n_log2_n(std::uint32_t n) {
    return static_cast<std::uint64_t>(n * std::log2(static_cast<double>(n)));
}

// ---------------------------------------------------------------------------------------------
// The adversary itself

TEST(QuicksortAdversaryTest, ReplayingItsRanksRepeatsItsRunComparisonForComparison) {
    for (std::uint32_t n : {0u, 1u, 2u, 8u, 9u, 10u, 57u, 1000u}) {
        for (bool bounded : {false, true}) {
            SCOPED_TRACE("n " + std::to_string(n) + (bounded ? ", depth-bounded" : ", plain"));
            const KillerInput killer = bounded ? testing::killer_for_depth_bounded_sort(n)
                                               : testing::killer_for_plain_procedure(n);
            Perm values = killer.ranks;
            std::sort(values.begin(), values.end());
            ASSERT_EQ(values, identity(n)) << "ranks are not a permutation";

            std::uint64_t count = 0;
            const auto by_rank = [&](std::uint32_t a, std::uint32_t b) {
                ++count;
                return (killer.ranks[a] > killer.ranks[b]) - (killer.ranks[a] < killer.ranks[b]);
            };
            Perm perm = identity(n);
            if (bounded) {
                depth_bounded_sort(std::span<std::uint32_t>(perm), by_rank);
            } else {
                plain_sort_procedure(std::span<std::uint32_t>(perm), by_rank);
            }
            EXPECT_EQ(count, killer.comparisons);
            EXPECT_EQ(perm, killer.sorted);
            for (std::uint32_t x = 0; x < n; ++x)
                ASSERT_EQ(killer.ranks[perm[x]], x) << "not sorted at position " << x;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Killer words

// The bounded sort on the killer of the plain steps, and on its own killer (the order that takes
// every range down to the depth limit), both as words.
std::uint64_t bounded_comparisons_on_killer_words(const KillerInput& killer) {
    const WordTable table = make_word_table(words_in_rank_order(killer.ranks));
    CountingLineCompare compare{table};
    Perm bounded = identity(table.line_count);
    depth_bounded_sort(std::span<std::uint32_t>(bounded), compare);
    // The sort that the adversary drove left the only order that distinct words have.
    EXPECT_EQ(bounded, killer.sorted);
    EXPECT_EQ(testing::word_sorted(table), bounded);
    return compare.count;
}

TEST(WordSortAdversaryTest, PlainStepsAreQuadraticOnKillerWordsAndBoundedSortIsNot) {
    // Small enough for the quadratic run to stay quick under the sanitizers.
    constexpr std::uint32_t n = 5000;
    const KillerInput killer = testing::killer_for_plain_procedure(n);
    const WordTable table = make_word_table(words_in_rank_order(killer.ranks));

    CountingLineCompare plain_compare{table};
    Perm plain = identity(n);
    plain_sort_procedure(std::span<std::uint32_t>(plain), plain_compare);
    EXPECT_EQ(plain_compare.count, killer.comparisons);
    EXPECT_GT(plain_compare.count, std::uint64_t{n} * n / 8);
    EXPECT_EQ(plain, killer.sorted);

    EXPECT_LT(bounded_comparisons_on_killer_words(killer), 5 * n_log2_n(n));
}

TEST(WordSortAdversaryTest, DepthBoundKeepsItsOwnKillerWithinFiveNLog2N) {
    constexpr std::uint32_t n = 20000;
    const KillerInput killer = testing::killer_for_depth_bounded_sort(n);
    EXPECT_LT(bounded_comparisons_on_killer_words(killer), 5 * n_log2_n(n));
}

// ---------------------------------------------------------------------------------------------
// The depth limit and its fallback

TEST(SortDepthLimitTest, IsTwiceFloorLog2PlusSixteen) {
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> cases = {
        {1, 16},          {2, 18},     {3, 18},        {4, 20},
        {9, 22},          {20000, 44}, {1u << 20, 56}, {(1u << 20) - 1, 54},
        {UINT32_MAX, 78},
    };
    for (const auto& [n, limit] : cases)
        EXPECT_EQ(sort_depth_limit(n), limit) << "n " << n;
}

// Runs the steps with the given depth limit, finishing deeper ranges with std::stable_sort, and
// records the sizes of the ranges so finished.
Perm sort_with_limit(const WordTable& table, std::uint32_t depth_limit,
                     std::vector<std::size_t>& finished_sizes) {
    Perm perm = identity(table.line_count);
    const auto compare = [&table](std::uint32_t a, std::uint32_t b) {
        return line_compare(table, a, b);
    };
    sort_procedure(
        std::span<std::uint32_t>(perm), compare, depth_limit, [&](std::span<std::uint32_t> range) {
            finished_sizes.push_back(range.size());
            std::stable_sort(range.begin(), range.end(),
                             [&](std::uint32_t a, std::uint32_t b) { return compare(a, b) < 0; });
        });
    return perm;
}

Perm plain_perm(const WordTable& table) {
    Perm perm = identity(table.line_count);
    plain_sort_procedure(
        std::span<std::uint32_t>(perm),
        [&table](std::uint32_t a, std::uint32_t b) { return line_compare(table, a, b); });
    return perm;
}

TEST(SortDepthLimitTest, FallbackAtAnyDepthGivesPlainOrderOfDistinctLines) {
    for (std::uint64_t seed = 1; seed <= 30; ++seed) {
        std::mt19937_64 random(seed);
        std::vector<std::string> lines(200 + random() % 400);
        for (std::size_t x = 0; x < lines.size(); ++x)
            lines[x] = std::to_string(x * 7919 % 100003);  // distinct, in no particular order
        std::shuffle(lines.begin(), lines.end(), random);
        const WordTable table = make_word_table(testing::join_lines(lines));
        const Perm plain = plain_perm(table);
        for (std::uint32_t limit = 0; limit <= 3; ++limit) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", limit " + std::to_string(limit));
            std::vector<std::size_t> finished_sizes;
            EXPECT_EQ(sort_with_limit(table, limit, finished_sizes), plain);
            EXPECT_FALSE(finished_sizes.empty());
            for (std::size_t size : finished_sizes) {
                EXPECT_GT(size, kSelectionMaxEntries) << "small range handed to the fallback";
                EXPECT_LT(size, lines.size()) << "the whole, at depth 0, not partitioned";
            }
        }
    }
}

TEST(SortDepthLimitTest, FallbackWithRepeatedLinesAndBareLastLineStillSorts) {
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        testing::WordFileShape shape;
        shape.lines = 20 + static_cast<std::uint32_t>(seed * 37 % 300);
        shape.alphabet = seed % 2 == 0 ? 3 : 256;
        shape.max_length = 3;
        shape.final_line_feed = seed % 3 != 0;
        const WordTable table = make_word_table(testing::random_word_file(seed, shape));
        std::vector<std::size_t> finished_sizes;
        const Perm perm =
            sort_with_limit(table, static_cast<std::uint32_t>(seed % 4), finished_sizes);
        Perm entries = perm;
        std::sort(entries.begin(), entries.end());
        ASSERT_EQ(entries, identity(table.line_count));
        if (last_line_is_bare(table)) continue;  // the order is not transitive then
        for (std::size_t x = 0; x + 1 < perm.size(); ++x)
            ASSERT_LE(line_compare(table, perm[x], perm[x + 1]), 0) << "position " << x;
    }
}

// ---------------------------------------------------------------------------------------------
// Random inputs never reach the bound

TEST(WordSortAdversaryTest, RandomInputsNeverReachDepthLimitAndKeepPlainPermutation) {
    struct Shape {
        const char* name;
        testing::WordFileShape shape;
    };
    const std::vector<Shape> shapes = {
        {"TwoLettersManyDuplicates", {3000, 2, 3, 0, true}},
        {"TwoDistinctWords", {20000, 26, 8, 2, true}},
        {"FewDistinctBareLast", {20000, 26, 8, 5, false}},
        {"EveryByteValueBareLast", {5000, 256, 6, 0, false}},
        {"DistinctishWords", {30000, 26, 10, 0, true}},
        {"EmptyAndShortLines", {5000, 3, 1, 0, false}},
    };
    for (const Shape& s : shapes) {
        for (std::uint64_t seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE(std::string(s.name) + ", seed " + std::to_string(seed));
            const WordTable table = make_word_table(testing::random_word_file(seed, s.shape));
            std::vector<std::size_t> finished_sizes;
            const Perm bounded =
                sort_with_limit(table, sort_depth_limit(table.line_count), finished_sizes);
            EXPECT_TRUE(finished_sizes.empty()) << "depth limit reached";
            const Perm plain = plain_perm(table);
            EXPECT_EQ(bounded, plain);
            EXPECT_EQ(testing::word_sorted(table), plain);
        }
    }
}

}  // namespace
}  // namespace wordperm
