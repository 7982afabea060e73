// An adversary that finds, for the sort procedure, an order of n distinct items on which its
// partitions are as lopsided as the adversary can make them, after McIlroy's "A Killer Adversary
// for Quicksort" (1999).
//
// The items start as "gas": undecided, all equal to each other and greater than every decided
// item. Whenever the procedure compares two gas items, one of them is decided ("frozen") at the
// next value from the bottom. Which one is the trick: the adversary keeps as its pivot candidate
// the gas item that took part in the latest comparison, and when the candidate meets another gas
// item it is the candidate that freezes. A quicksort compares its pivot again and again, so the
// pivot soon becomes the candidate and is frozen small, and the partition splits off almost
// nothing. Since a frozen item keeps its value and gas stays above it, every answer agrees with
// the final values; the items left as gas at the end take the values above in index order, so
// running the procedure on those values repeats the adversary's run comparison for comparison.
#pragma once

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <span>
#include <vector>

#include "order/sort_procedure.h"

namespace wordperm::testing {

// sort_procedure without the depth limit: the steps of the quicksort alone, as the reference.
template <typename Compare>
void plain_sort_procedure(std::span<std::uint32_t> perm, Compare&& compare) {
    // A partitioning depth cannot exceed the number of entries, so the limit is never passed.
    sort_procedure(perm, compare, UINT32_MAX, [](std::span<std::uint32_t>) {});
}

class QuicksortAdversary {
  public:
    explicit QuicksortAdversary(std::uint32_t n) : value_(n, kGas) {}

    int operator()(std::uint32_t a, std::uint32_t b) {
        ++comparisons_;
        if (value_[a] == kGas && value_[b] == kGas) freeze(a == candidate_ ? a : b);
        if (value_[a] == kGas) {
            candidate_ = a;
        } else if (value_[b] == kGas) {
            candidate_ = b;
        }
        return (value_[a] > value_[b]) - (value_[a] < value_[b]);
    }

    // The values 0 ... n - 1 of the items: those frozen during the run, then the gas in index
    // order.
    std::vector<std::uint32_t> ranks() const {
        std::vector<std::uint32_t> ranks = value_;
        std::uint32_t next = solid_count_;
        for (std::uint32_t& rank : ranks)
            if (rank == kGas) rank = next++;
        return ranks;
    }

    std::uint64_t comparisons() const { return comparisons_; }

  private:
    static constexpr std::uint32_t kGas = UINT32_MAX;

    void freeze(std::uint32_t item) { value_[item] = solid_count_++; }

    std::vector<std::uint32_t> value_;
    std::uint32_t solid_count_ = 0;
    std::uint32_t candidate_ = kGas;  // no item yet
    std::uint64_t comparisons_ = 0;
};

// What an adversary run finds: the input (ranks[x] is the value at position x, a permutation of
// 0 ... n - 1), the permutation that the sort leaves on it, and how many comparisons it makes.
struct KillerInput {
    std::vector<std::uint32_t> ranks;
    std::vector<std::uint32_t> sorted;
    std::uint64_t comparisons = 0;
};

// Runs sort(perm, adversary) on the identity permutation of n items.
template <typename Sort>
KillerInput find_killer_input(std::uint32_t n, Sort sort) {
    QuicksortAdversary adversary(n);
    KillerInput killer;
    killer.sorted.resize(n);
    std::iota(killer.sorted.begin(), killer.sorted.end(), 0u);
    sort(std::span<std::uint32_t>(killer.sorted), adversary);
    killer.ranks = adversary.ranks();
    killer.comparisons = adversary.comparisons();
    return killer;
}

// The killer input of the quicksort steps alone: about n^2 / 4 comparisons.
inline KillerInput killer_for_plain_procedure(std::uint32_t n) {
    return find_killer_input(n, [](std::span<std::uint32_t> perm, QuicksortAdversary& adversary) {
        plain_sort_procedure(perm, adversary);
    });
}

// The input that drives every range of the depth-bounded sort as deep as its limit allows.
inline KillerInput killer_for_depth_bounded_sort(std::uint32_t n) {
    return find_killer_input(n, [](std::span<std::uint32_t> perm, QuicksortAdversary& adversary) {
        depth_bounded_sort(perm, adversary);
    });
}

}  // namespace wordperm::testing
