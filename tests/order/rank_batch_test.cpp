// Rank conversions of whole permutations: worked orders, and both directions checked against the
// rank tree called once per line, which is what they replace; the tree itself is first checked
// against a sorted vector. Narrow level widths push small inputs through many levels of the
// batch's splitting, so every path that a large input takes (nodes that split into nodes that
// split, a short last child at each level) is reached with few lines. The scratch area is sized
// exactly, so the sanitizer build catches any bucket that overruns.
#include "order/rank_batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "support/rank_tree.h"

namespace wordperm {
namespace {

using Values = std::vector<std::uint32_t>;

Values tree_ranks(const Values& x) {
    RankTree tree;
    tree_build(tree, static_cast<std::uint32_t>(x.size()));
    Values s;
    for (const std::uint32_t position : x)
        s.push_back(tree_rank_remove(tree, position));
    return s;
}

Values tree_positions(const Values& d) {
    RankTree tree;
    tree_build(tree, static_cast<std::uint32_t>(d.size()));
    Values x;
    for (const std::uint32_t rank : d)
        x.push_back(tree_select_remove(tree, rank));
    return x;
}

Values batch_ranks(const Values& x) {
    Values s(x.size());
    ranks_from_positions(x, s);
    return s;
}

Values batch_positions(const Values& d, int level_bits = kRankBatchLevelBits) {
    Values x(d.size());
    positions_from_ranks(d, x, level_bits);
    return x;
}

enum class PermutationKind { random, identity, reverse };

Values make_permutation(std::uint32_t n, PermutationKind order, std::mt19937_64& random) {
    Values x(n);
    std::iota(x.begin(), x.end(), std::uint32_t{0});
    if (order == PermutationKind::reverse) std::reverse(x.begin(), x.end());
    if (order == PermutationKind::random) std::shuffle(x.begin(), x.end(), random);
    return x;
}

// Both directions against the tree, and back again.
void expect_matches_tree(const Values& x, int level_bits) {
    const Values s = tree_ranks(x);
    ASSERT_EQ(batch_ranks(x), s);
    ASSERT_EQ(batch_positions(s, level_bits), x);
    ASSERT_EQ(tree_positions(s), x);
}

// The oracle's own check: every rank and selection, separate and fused with the removal, against
// a sorted vector of the positions left (rank = index, select = element, remove = erase), for
// every size up to 70 in ascending, descending and shuffled removal orders. Sizes on either side
// of each power of two change the tree's depth.
TEST(RankBatchVersusTree, TheTreeAgreesWithASortedVector) {
    std::mt19937_64 random(1000);
    for (std::uint32_t n = 0; n <= 70; ++n) {
        for (const PermutationKind order :
             {PermutationKind::identity, PermutationKind::reverse, PermutationKind::random}) {
            SCOPED_TRACE("N = " + std::to_string(n) + ", order " +
                         std::to_string(static_cast<int>(order)));
            RankTree separate, by_rank, by_select;
            for (RankTree* tree : {&separate, &by_rank, &by_select})
                tree_build(*tree, n);
            Values present(n);
            std::iota(present.begin(), present.end(), 0u);
            for (const std::uint32_t x : make_permutation(n, order, random)) {
                for (std::uint32_t d = 0; d < present.size(); ++d) {
                    ASSERT_EQ(tree_rank(separate, present[d]), d);
                    ASSERT_EQ(tree_select(separate, d), present[d]);
                }
                const auto rank = static_cast<std::uint32_t>(
                    std::lower_bound(present.begin(), present.end(), x) - present.begin());
                tree_remove(separate, x);
                ASSERT_EQ(tree_rank_remove(by_rank, x), rank);
                ASSERT_EQ(tree_select_remove(by_select, rank), x);
                present.erase(present.begin() + rank);
            }
            EXPECT_EQ(by_rank.tree_nodes, separate.tree_nodes);
            EXPECT_EQ(by_select.tree_nodes, separate.tree_nodes);
        }
    }
}

TEST(RankBatchWorked, SmallOrders) {
    struct Case {
        Values x;
        Values s;
    };
    const Case cases[] = {
        {{}, {}},
        {{0}, {0}},
        {{0, 1}, {0, 0}},
        {{1, 0}, {1, 0}},
        {{2, 0, 3, 1}, {2, 0, 1, 0}},
        {{4, 3, 2, 1, 0}, {4, 3, 2, 1, 0}},
        {{3, 4, 0, 1, 2}, {3, 3, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("N = " + std::to_string(c.x.size()));
        EXPECT_EQ(batch_ranks(c.x), c.s);
        EXPECT_EQ(batch_positions(c.s), c.x);
    }
}

TEST(RankBatchVersusTree, EveryLengthUpTo300AtNarrowAndDefaultWidths) {
    std::mt19937_64 random(20240601);
    for (const int level_bits : {1, 3, kRankBatchLevelBits}) {
        for (std::uint32_t n = 0; n <= 300; ++n) {
            for (const PermutationKind order :
                 {PermutationKind::random, PermutationKind::identity, PermutationKind::reverse}) {
                SCOPED_TRACE("level_bits = " + std::to_string(level_bits) +
                             ", N = " + std::to_string(n) + ", order " +
                             std::to_string(static_cast<int>(order)));
                expect_matches_tree(make_permutation(n, order, random), level_bits);
            }
        }
    }
}

// Lengths on either side of where a node first splits, where the split adds a level, and where
// a fan-out fills up, at the default width and at narrow ones.
TEST(RankBatchVersusTree, LengthsAroundSplitBoundaries) {
    struct Case {
        int level_bits;
        std::vector<std::uint32_t> lengths;
    };
    const Case cases[] = {
        {kRankBatchLevelBits, {4095, 4096, 4097, 8191, 8192, 8193, 65535, 65536, 65537}},
        {6, {63, 64, 65, 4095, 4096, 4097}},
        {8, {255, 256, 257, 65535, 65536, 65537}},
        {4, {65537}},
        {1, {65537}},
    };
    for (const Case& c : cases) {
        for (const std::uint32_t n : c.lengths) {
            const std::uint64_t seed = 1000003ull * n + static_cast<std::uint64_t>(c.level_bits);
            SCOPED_TRACE("level_bits = " + std::to_string(c.level_bits) +
                         ", N = " + std::to_string(n) + ", seed " + std::to_string(seed));
            std::mt19937_64 random(seed);
            expect_matches_tree(make_permutation(n, PermutationKind::random, random), c.level_bits);
        }
    }
}

TEST(RankBatchVersusTree, RandomLengthsUpTo200000) {
    const std::uint64_t seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 random(seed);
    for (int round = 0; round < 4; ++round) {
        const auto n = static_cast<std::uint32_t>(random() % 200001);
        const int level_bits = 1 + static_cast<int>(random() % kRankBatchLevelBits);
        SCOPED_TRACE("level_bits = " + std::to_string(level_bits) + ", N = " + std::to_string(n));
        expect_matches_tree(make_permutation(n, PermutationKind::random, random), level_bits);
    }
}

// Ranks drawn uniformly below the lines left, as a decoder reads them from an arbitrary code;
// converted apart and in place, with the same array in and out.
TEST(RankBatchVersusTree, ArbitraryRanksSelectTheTreesPositions) {
    const std::uint64_t seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 random(seed);
    for (const std::uint32_t n : {0u, 1u, 2u, 3u, 1000u, 5000u, 70000u}) {
        SCOPED_TRACE("N = " + std::to_string(n));
        Values d(n);
        for (std::uint32_t i = 0; i < n; ++i)
            d[i] = static_cast<std::uint32_t>(random() % (n - i));
        const Values x = tree_positions(d);
        EXPECT_EQ(batch_positions(d), x);
        EXPECT_EQ(batch_positions(d, 3), x);
        EXPECT_EQ(batch_ranks(x), d);
        Values values = x;
        ranks_from_positions(values, values);
        EXPECT_EQ(values, d);
        positions_from_ranks(values, values, 4);
        EXPECT_EQ(values, x);
    }
}

// The identity and the reversal are answered without the conversions; orders one exchange away
// from them must not be taken for them.
TEST(RankBatchVersusTree, OrdersNextToTheIdentityAndTheReversal) {
    for (const std::uint32_t n : {2u, 3u, 1000u}) {
        std::mt19937_64 random(n);
        for (const PermutationKind order : {PermutationKind::identity, PermutationKind::reverse}) {
            Values x = make_permutation(n, order, random);
            SCOPED_TRACE("N = " + std::to_string(n) + ", order " +
                         std::to_string(static_cast<int>(order)));
            expect_matches_tree(x, kRankBatchLevelBits);
            for (const std::uint32_t at : {0u, (n - 1) / 2, n - 2}) {
                std::swap(x[at], x[at + 1]);
                expect_matches_tree(x, kRankBatchLevelBits);
                std::swap(x[at], x[at + 1]);
            }
        }
    }
}

// Nearly sorted orders, as a list kept in a locale's order gives, with a few lines moved far,
// and an order whose ranks are about 4,000 everywhere.
TEST(RankBatchVersusTree, NearlySortedOrdersAndTheirFarMoves) {
    std::mt19937_64 random(31);
    for (const std::uint32_t n : {1u, 64u, 65u, 4095u, 4096u, 4097u, 30000u}) {
        for (const std::uint32_t far_moves : {0u, 5u, 200u}) {
            Values x = make_permutation(n, PermutationKind::identity, random);
            for (std::uint32_t i = 0; i + 1 < n; ++i)
                if (random() % 4 == 0)
                    std::swap(
                        x[i],
                        x[std::min(n - 1, i + 1 + static_cast<std::uint32_t>(random() % 40))]);
            for (std::uint32_t k = 0; k < far_moves && n > 1; ++k)
                std::swap(x[random() % n], x[random() % n]);
            SCOPED_TRACE("N = " + std::to_string(n) + ", far moves " + std::to_string(far_moves));
            expect_matches_tree(x, kRankBatchLevelBits);
        }
    }
    Values far(20000);
    for (std::uint32_t i = 0; i < far.size(); ++i)
        far[i] = (i * 4001u) % 20000u;  // 4001 and 20000 share no factor: a permutation
    expect_matches_tree(far, kRankBatchLevelBits);
}

}  // namespace
}  // namespace wordperm
