// One bit per sorted position: set when the line there equals the line before it. The string
// sort sets them and the replay reads them, to find the equal lines and to see whether a range
// holds two of a kind.
//
// Two threads may set bits in the same word (their parts of the positions meet inside one), so
// setting is an atomic OR; reading happens only after both have finished.
#pragma once

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace wordperm {

class EqualMarks {
  public:
    explicit EqualMarks(std::size_t positions) : words_(positions / 64 + 1) {}

    bool test(std::size_t position) const { return (words_[position / 64] >> (position % 64)) & 1; }

    // Sets the bits of positions first to last - 1.
    void set_range(std::size_t first, std::size_t last) {
        while (first < last) {
            const std::size_t word = first / 64;
            const std::size_t bits = std::min<std::size_t>(last - first, 64 - first % 64);
            const std::uint64_t mask =
                (bits == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1) << (first % 64);
            std::atomic_ref<std::uint64_t>(words_[word]).fetch_or(mask, std::memory_order_relaxed);
            first += bits;
        }
    }

    void clear() { std::fill(words_.begin(), words_.end(), 0); }

    // True when any of positions first to last - 1 is set.
    bool any_in(std::size_t first, std::size_t last) const {
        if (first >= last) return false;
        const std::size_t first_word = first / 64;
        const std::size_t last_word = (last - 1) / 64;
        std::uint64_t bits = words_[first_word] & (~std::uint64_t{0} << (first % 64));
        for (std::size_t word = first_word; word < last_word; bits = words_[++word])
            if (bits != 0) return true;
        const std::size_t end_bits = (last - 1) % 64 + 1;
        return (bits & (end_bits == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << end_bits) - 1)) !=
               0;
    }

    // True when every one of positions first to last - 1 is set.
    bool all_in(std::size_t first, std::size_t last) const {
        for (; first < last && first % 64 != 0; ++first)
            if (!test(first)) return false;
        for (; first + 64 <= last; first += 64)
            if (words_[first / 64] != ~std::uint64_t{0}) return false;
        for (; first < last; ++first)
            if (!test(first)) return false;
        return true;
    }

    // True when any position is set.
    bool any() const {
        for (std::uint64_t word : words_)
            if (word != 0) return true;
        return false;
    }

  private:
    std::vector<std::uint64_t> words_;
};

}  // namespace wordperm
