// Rank tree: worked build shapes and removals, and every operation checked against a slow model
// that keeps the present positions in a sorted vector (rank = index, select = element, remove =
// erase). The trees' arrays are exactly S entries, so the sanitizer build catches any walk that
// reads or writes past the stored nodes.
#include "order/rank_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "support/identity.h"

namespace wordperm {
namespace {

using testing::identity;

std::vector<std::uint32_t> entries_after_root(const RankTree& tree) {
    return {tree.tree_nodes.begin() + 1, tree.tree_nodes.end()};
}

struct BuildCase {
    std::uint32_t n;
    std::int32_t depth;
    std::uint32_t node_count;
    std::vector<std::uint32_t> entries;  // entries 1 to S - 1
};

TEST(RankTreeBuild, DepthSizeAndCountsMatchWorkedShapes) {
    const BuildCase cases[] = {
        {0, 0, 1, {}},
        {1, 1, 3, {2, 1}},
        {2, 1, 3, {2, 1}},
        {3, 2, 6, {4, 2, 2, 1, 1}},
        {4, 2, 6, {4, 2, 2, 1, 1}},
        {5, 2, 7, {4, 2, 2, 1, 1, 1}},
        {7, 3, 12, {8, 4, 4, 2, 2, 2, 2, 1, 1, 1, 1}},
    };
    for (const BuildCase& c : cases) {
        SCOPED_TRACE("N = " + std::to_string(c.n));
        RankTree tree;
        tree_build(tree, c.n);
        EXPECT_EQ(tree.tree_depth, c.depth);
        EXPECT_EQ(tree.tree_node_count, c.node_count);
        EXPECT_EQ(tree.tree_nodes.size(), c.node_count);
        EXPECT_EQ(entries_after_root(tree), c.entries);
    }
}

TEST(RankTreeBuild, RebuildReplacesAnEarlierTree) {
    RankTree tree;
    tree_build(tree, 7);
    tree_remove(tree, 0);
    tree_build(tree, 3);
    EXPECT_EQ(tree.tree_depth, 2);
    EXPECT_EQ(tree.tree_node_count, 6u);
    EXPECT_EQ(entries_after_root(tree), (std::vector<std::uint32_t>{4, 2, 2, 1, 1}));
}

TEST(RankTreeWorked, FiveLinesAfterRemovingPositionTwo) {
    const std::vector<std::uint32_t> expected{3, 2, 2, 1, 0, 1};

    RankTree separate;
    tree_build(separate, 5);
    tree_remove(separate, 2);
    EXPECT_EQ(tree_rank(separate, 3), 2u);
    EXPECT_EQ(tree_select(separate, 2), 3u);
    EXPECT_EQ(entries_after_root(separate), expected);

    RankTree by_rank;
    tree_build(by_rank, 5);
    EXPECT_EQ(tree_rank_remove(by_rank, 2), 2u);
    EXPECT_EQ(entries_after_root(by_rank), expected);

    RankTree by_select;
    tree_build(by_select, 5);
    EXPECT_EQ(tree_select_remove(by_select, 2), 2u);
    EXPECT_EQ(entries_after_root(by_select), expected);
}

TEST(RankTreeWorked, OneLineTreeHasRankAndSelectZero) {
    RankTree tree;
    tree_build(tree, 1);
    EXPECT_EQ(tree_rank(tree, 0), 0u);
    EXPECT_EQ(tree_select(tree, 0), 0u);
    EXPECT_EQ(tree_select_remove(tree, 0), 0u);
    EXPECT_EQ(entries_after_root(tree), (std::vector<std::uint32_t>{1, 0}));
}

TEST(RankTreeWorked, ThreeLinesIgnoreTheSpareLeafInTheRootCount) {
    RankTree tree;
    tree_build(tree, 3);
    EXPECT_EQ(tree.tree_nodes[1], 4u);
    for (std::uint32_t x = 0; x < 3; ++x) {
        SCOPED_TRACE("x = " + std::to_string(x));
        EXPECT_EQ(tree_rank(tree, x), x);
        EXPECT_EQ(tree_select(tree, x), x);
    }
}

// The slow model and the trees under test, stepped through one removal order together.
class RemovalRun {
  public:
    RemovalRun(std::uint32_t n, bool exhaustive) : n_(n), exhaustive_(exhaustive) {
        present_.resize(n);
        std::iota(present_.begin(), present_.end(), 0u);
        tree_build(separate_, n);
        tree_build(by_rank_, n);
        tree_build(by_select_, n);
        depth_ = separate_.tree_depth;
        removed_.assign(std::size_t{2} << depth_, false);
    }

    // D, S and the reach of every walk follow from N alone.
    void check_shape() const {
        std::int32_t depth = 0;
        while ((std::uint64_t{2} << depth) <= std::uint64_t{n_} + 1)
            ++depth;
        ASSERT_EQ(separate_.tree_depth, depth);
        ASSERT_EQ(separate_.tree_nodes.size(), separate_.tree_node_count);
        const std::uint64_t leaf_base = std::uint64_t{2} << depth;
        for (std::uint32_t x = 0; x < n_; ++x) {
            ASSERT_LT((leaf_base + x) >> 1, separate_.tree_node_count) << "leaf " << x;
        }
        if (n_ > 0) {
            ASSERT_EQ((leaf_base + n_ - 1) >> 1, separate_.tree_node_count - 1u)
                << "the array holds nodes past the way to the last line";
        }
    }

    void remove(std::uint32_t x, std::mt19937& rng) {
        const auto where = std::lower_bound(present_.begin(), present_.end(), x);
        ASSERT_TRUE(where != present_.end() && *where == x) << "bad removal order";
        const auto rank = static_cast<std::uint32_t>(where - present_.begin());

        if (present_.size() == 1) {
            ASSERT_EQ(tree_rank(separate_, x), 0u) << "last line";
            ASSERT_EQ(tree_select(separate_, 0), x) << "last line";
        }
        ASSERT_EQ(tree_rank(separate_, x), rank) << "rank of " << x;
        ASSERT_EQ(tree_select(by_select_, rank), x) << "select of the rank of " << x;
        if (exhaustive_) {
            check_all_queries();
            check_counts();
        } else {
            std::uniform_int_distribution<std::size_t> pick(0, present_.size() - 1);
            const std::size_t d = pick(rng);
            ASSERT_EQ(tree_select(separate_, static_cast<std::uint32_t>(d)), present_[d])
                << "select " << d;
        }

        tree_remove(separate_, x);
        ASSERT_EQ(tree_rank_remove(by_rank_, x), rank) << "fused rank of " << x;
        ASSERT_EQ(tree_select_remove(by_select_, rank), x) << "fused select of " << rank;
        present_.erase(where);
        removed_[x] = true;

        if (exhaustive_) check_trees_agree();
    }

    void check_trees_agree() const {
        ASSERT_EQ(by_rank_.tree_nodes, separate_.tree_nodes) << "fused rank-remove differs";
        ASSERT_EQ(by_select_.tree_nodes, separate_.tree_nodes) << "fused select-remove differs";
    }

  private:
    void check_all_queries() const {
        for (std::size_t d = 0; d < present_.size(); ++d) {
            const auto rank = static_cast<std::uint32_t>(d);
            ASSERT_EQ(tree_rank(separate_, present_[d]), rank) << "rank of " << present_[d];
            ASSERT_EQ(tree_select(separate_, rank), present_[d]) << "select " << d;
        }
    }

    // Each stored node holds the present leaves of its left subtree, spare leaves included.
    void check_counts() const {
        for (std::size_t i = 1; i < separate_.tree_node_count; ++i) {
            const auto level = static_cast<std::int32_t>(std::bit_width(i)) - 1;
            const std::size_t span = std::size_t{1} << (depth_ - level);
            const std::size_t first = (2 * i) * span - (std::size_t{2} << depth_);
            const auto present =
                std::count(removed_.begin() + static_cast<std::ptrdiff_t>(first),
                           removed_.begin() + static_cast<std::ptrdiff_t>(first + span), false);
            ASSERT_EQ(separate_.tree_nodes[i], static_cast<std::uint32_t>(present)) << "node " << i;
        }
    }

    std::uint32_t n_;
    bool exhaustive_;
    std::int32_t depth_ = 0;
    std::vector<std::uint32_t> present_;
    std::vector<bool> removed_;  // by leaf number; spare leaves stay present
    RankTree separate_;
    RankTree by_rank_;
    RankTree by_select_;
};

void run_removal_order(std::uint32_t n, const std::vector<std::uint32_t>& order, bool exhaustive,
                       std::mt19937& rng) {
    RemovalRun run(n, exhaustive);
    ASSERT_NO_FATAL_FAILURE(run.check_shape());
    for (std::uint32_t x : order) {
        ASSERT_NO_FATAL_FAILURE(run.remove(x, rng));
    }
    ASSERT_NO_FATAL_FAILURE(run.check_trees_agree());
}

TEST(RankTreeModel, EveryQueryMatchesVectorModelForSmallTrees) {
    for (std::uint32_t n = 0; n <= 70; ++n) {
        const std::vector<std::uint32_t> ascending = identity(n);
        const std::vector<std::uint32_t> descending(ascending.rbegin(), ascending.rend());
        std::mt19937 rng(1000 + n);
        {
            SCOPED_TRACE("N = " + std::to_string(n) + ", ascending");
            ASSERT_NO_FATAL_FAILURE(run_removal_order(n, ascending, true, rng));
        }
        {
            SCOPED_TRACE("N = " + std::to_string(n) + ", descending");
            ASSERT_NO_FATAL_FAILURE(run_removal_order(n, descending, true, rng));
        }
        for (std::uint32_t trial = 0; trial < 4; ++trial) {
            const std::uint32_t seed = n * 16 + trial;
            SCOPED_TRACE("N = " + std::to_string(n) + ", seed " + std::to_string(seed));
            std::mt19937 order_rng(seed);
            std::vector<std::uint32_t> order = ascending;
            std::shuffle(order.begin(), order.end(), order_rng);
            ASSERT_NO_FATAL_FAILURE(run_removal_order(n, order, true, order_rng));
        }
    }
}

TEST(RankTreeModel, RandomRemovalOrdersMatchVectorModelForLargerTrees) {
    // 16383 and 16384 sit either side of a depth change; the others are drawn from the seed.
    // Sizes stay small enough for the quadratic model to run quickly under the sanitizers.
    std::vector<std::uint32_t> sizes{16383, 16384};
    std::mt19937 size_rng(77);
    std::uniform_int_distribution<std::uint32_t> pick_size(71, 25000);
    for (int i = 0; i < 2; ++i)
        sizes.push_back(pick_size(size_rng));

    std::uint32_t seed = 500;
    for (std::uint32_t n : sizes) {
        ++seed;
        SCOPED_TRACE("N = " + std::to_string(n) + ", seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::vector<std::uint32_t> order = identity(n);
        std::shuffle(order.begin(), order.end(), rng);
        ASSERT_NO_FATAL_FAILURE(run_removal_order(n, order, false, rng));
    }
}

}  // namespace
}  // namespace wordperm
