// Positions to ranks in one pass: line i's rank is x[i] less the positions below it already
// taken, counted as the taken ones in the blocks of 128 positions before x[i]'s block (a Fenwick
// tree over blocks) plus those in its own block before it (the bitmap's words).
#include <algorithm>
#include <cassert>
#include <cstddef>
#include <vector>

#include "order/rank_batch.h"
#include "order/trivial_orders.h"

namespace wordperm {
namespace {

constexpr std::uint32_t kWordBits = 64;
constexpr std::uint32_t kBlockWords = 2;
constexpr std::uint32_t kBlockPositions = kWordBits * kBlockWords;

// Without the popcnt instruction, which x86-64 does not promise: bits summed in ever wider
// fields, the last step by a multiplication that adds all eight bytes into the top one.
inline std::uint32_t count_bits(std::uint64_t word) {
    word -= (word >> 1) & 0x5555555555555555;
    word = (word & 0x3333333333333333) + ((word >> 2) & 0x3333333333333333);
    word = (word + (word >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return static_cast<std::uint32_t>((word * 0x0101010101010101) >> 56);
}

class TakenPositions {
  public:
    explicit TakenPositions(std::uint32_t n)
        : bits_((std::size_t{n} + kWordBits - 1) / kWordBits + kBlockWords),
          tree_((std::size_t{n} + kBlockPositions - 1) / kBlockPositions + 1) {}

    // The positions below x taken so far; then takes x.
    std::uint32_t count_below_and_take(std::uint32_t x) {
        const std::size_t block = x / kBlockPositions;
        std::uint32_t below = 0;
        for (std::size_t node = block; node > 0; node &= node - 1)
            below += tree_[node];
        const std::size_t word = x / kWordBits;
        for (std::size_t w = block * kBlockWords; w < word; ++w)
            below += count_bits(bits_[w]);
        const std::uint64_t bit = std::uint64_t{1} << (x % kWordBits);
        below += count_bits(bits_[word] & (bit - 1));
        bits_[word] |= bit;
        for (std::size_t node = block + 1; node < tree_.size(); node += node & (~node + 1))
            ++tree_[node];
        return below;
    }

  private:
    std::vector<std::uint64_t> bits_;  // bit x set once position x is taken
    // Fenwick tree over blocks, from 1: entry k counts the taken positions of blocks
    // k - (k & -k) to k - 1.
    std::vector<std::uint32_t> tree_;
};

}  // namespace

void ranks_from_positions(std::span<const std::uint32_t> x, std::span<std::uint32_t> s) {
    assert(x.size() == s.size() && x.size() <= UINT32_MAX);
    const auto n = static_cast<std::uint32_t>(x.size());
    switch (trivial_order_of_positions(x)) {
        case TrivialOrder::identity:
            std::fill(s.begin(), s.end(), 0u);
            return;
        case TrivialOrder::reversal:
            for (std::uint32_t i = 0; i < n; ++i)
                s[i] = n - 1 - i;
            return;
        case TrivialOrder::neither:
            break;
    }
    TakenPositions taken(n);
    for (std::uint32_t i = 0; i < n; ++i)
        s[i] = x[i] - taken.count_below_and_take(x[i]);
}

}  // namespace wordperm
