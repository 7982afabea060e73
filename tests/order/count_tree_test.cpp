// The count tree against a plain array of counts: prefix sums at every rank and the rank that
// holds every share, after each removal, for sizes on either side of powers of two and counts
// with zeros among them.
#include "order/count_tree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace wordperm {
namespace {

void expect_matches(const CountTree& tree, const std::vector<std::uint32_t>& counts) {
    std::uint32_t sum = 0;
    for (std::size_t k = 0; k < counts.size(); ++k) {
        ASSERT_EQ(tree.below(k), sum) << "below " << k;
        for (std::uint32_t share = sum; share < sum + counts[k]; ++share)
            ASSERT_EQ(tree.find(share), k) << "share " << share;
        sum += counts[k];
    }
    ASSERT_EQ(tree.below(counts.size()), sum);
}

TEST(CountTree, PrefixSumsAndSharesMatchAPlainArrayAsLinesAreTaken) {
    std::mt19937_64 random(8);
    for (const std::size_t size : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 31u, 32u, 33u, 100u}) {
        for (const std::uint32_t most : {1u, 3u, 40u}) {
            SCOPED_TRACE(::testing::Message() << size << " ranks, counts up to " << most);
            std::vector<std::uint32_t> counts(size);
            for (auto& c : counts)
                c = static_cast<std::uint32_t>(random() % (most + 1));
            counts[random() % size] += 1;  // at least one line
            CountTree tree(counts);
            ASSERT_NO_FATAL_FAILURE(expect_matches(tree, counts));
            for (std::uint32_t left = tree.below(size); left > 0; --left) {
                std::size_t k;
                do
                    k = random() % size;
                while (counts[k] == 0);
                tree.remove_one(k);
                --counts[k];
                ASSERT_NO_FATAL_FAILURE(expect_matches(tree, counts));
            }
        }
    }
}

}  // namespace
}  // namespace wordperm
