// The uniform model of a multiset's order, one line at a time: each distinct line owns as many
// shares of the lines left as it has copies left. The order models escape to it, and count what
// is left with it.
#pragma once

#include <cstdint>
#include <numeric>
#include <span>
#include <vector>

#include "order/count_tree.h"
#include "rangecoder/frequency_coder.h"

namespace wordperm {

class LinesLeft {
  public:
    explicit LinesLeft(std::span<const std::uint32_t> counts)
        : left_(counts.begin(), counts.end()),
          tree_(counts),
          total_(std::accumulate(counts.begin(), counts.end(), std::uint64_t{0})) {}

    std::uint32_t total() const { return static_cast<std::uint32_t>(total_); }
    std::uint32_t left(std::uint32_t r) const { return left_[r]; }
    // Copies left of the ranks below r.
    std::uint32_t below(std::uint32_t r) const { return tree_.below(r); }
    // The rank that owns share `share`.
    std::uint32_t find(std::uint32_t share) const {
        return static_cast<std::uint32_t>(tree_.find(share));
    }

    void take(std::uint32_t r) {
        --left_[r];
        tree_.remove_one(r);
        --total_;
    }

    void encode(RangeEncoder& encoder, Stream& stream, std::uint32_t r) const {
        if (left_[r] != total_) encode_frequency(encoder, stream, below(r), left_[r], total());
    }

    // The line, or counts.size() when the code does not fit.
    std::uint32_t decode(RangeDecoder& decoder, Stream& stream) const {
        const std::uint32_t only = find(0);
        if (left_[only] == total_) return only;
        const std::uint32_t share = decode_share(decoder, total());
        if (share >= total()) return static_cast<std::uint32_t>(left_.size());
        const std::uint32_t r = find(share);
        if (!decode_frequency(decoder, stream, below(r), left_[r], total()))
            return static_cast<std::uint32_t>(left_.size());
        return r;
    }

  private:
    std::vector<std::uint32_t> left_;
    CountTree tree_;
    std::uint64_t total_;
};

}  // namespace wordperm
