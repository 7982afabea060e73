// Counts of the lines not yet placed, by rank, with prefix sums and the search for the rank that
// holds a given prefix sum, each in O(log D) (a Fenwick tree). With every count 1 it is the rank
// and selection among the positions left that the permutation code needs.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace wordperm {

class CountTree {
  public:
    explicit CountTree(std::span<const std::uint32_t> counts) : tree_(counts.size() + 1, 0) {
        const std::size_t n = counts.size();
        for (std::size_t i = 1; i <= n; ++i) {
            tree_[i] += counts[i - 1];
            const std::size_t parent = i + (i & (~i + 1));
            if (parent <= n) tree_[parent] += tree_[i];
        }
        top_ = 1;
        while (top_ * 2 <= n)
            top_ *= 2;
    }

    // Sum of the counts of ranks below k.
    std::uint32_t below(std::size_t k) const {
        std::uint32_t sum = 0;
        for (; k > 0; k &= k - 1)
            sum += tree_[k];
        return sum;
    }

    void remove_one(std::size_t k) {
        for (++k; k < tree_.size(); k += k & (~k + 1))
            --tree_[k];
    }

    // The rank k with below(k) <= value < below(k) + count(k); value must be below the total.
    std::size_t find(std::uint32_t value) const {
        std::size_t k = 0;
        for (std::size_t step = top_; step != 0; step >>= 1) {
            if (k + step < tree_.size() && tree_[k + step] <= value) {
                k += step;
                value -= tree_[k];
            }
        }
        return k;
    }

  private:
    std::vector<std::uint32_t> tree_;
    std::size_t top_ = 1;
};

}  // namespace wordperm
