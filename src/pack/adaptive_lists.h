// The adaptive pieces the context-bearing order models share: a yes-or-no decision that learns
// its probability, a bounded list of what has followed a context, by how often, and the coding
// of an item as one of a list's (a decision, then a frequency symbol by the counts).
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#include "rangecoder/frequency_coder.h"
#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"
#include "stream/byte_stream.h"

namespace wordperm {

// A yes-or-no decision's adaptive probability of yes, in units of 2^-16. It moves by
// 1 / (seen + 2) of the error until seen reaches kSeenMost, then by a fixed share.
class Decision {
  public:
    BitProbability p() const { return p_; }

    void update(int yes) {
        const int target = yes ? 65536 : 0;
        p_ = static_cast<BitProbability>(std::clamp(
            static_cast<int>(p_) + (target - static_cast<int>(p_)) / (seen_ + 2), 32, 65536 - 32));
        if (seen_ < kSeenMost) ++seen_;
    }

  private:
    static constexpr int kSeenMost = 60;
    BitProbability p_ = 32768;
    int seen_ = 0;
};

inline constexpr std::uint32_t kFollowerCountMost = 1023;  // a list's counts are halved past this

struct Follower {
    std::uint32_t item;
    std::uint32_t count;
};

// What has followed a context, the most frequent first, at most `most` of them. A count bumped
// moves its item up past smaller counts, so that the items most often coded are found first and
// a full list gives up its rarest item to a new one.
using Followers = std::vector<Follower>;

inline void bump(Followers& list, std::uint32_t item, std::uint32_t most) {
    std::size_t at = 0;
    while (at < list.size() && list[at].item != item)
        ++at;
    if (at == list.size()) {
        if (list.size() < most)
            list.push_back({item, 1});
        else
            list.back() = {item, 1};
        return;
    }
    if (++list[at].count > kFollowerCountMost)
        for (Follower& f : list)
            f.count = (f.count + 1) / 2;
    for (; at > 0 && list[at - 1].count < list[at].count; --at)
        std::swap(list[at - 1], list[at]);
}

// Which of kListContexts buckets a list of `lines` items with `total` counts falls in: how many
// items, and how often each has been seen (a list whose few items are seen often is near
// certain).
inline std::uint32_t list_context(std::uint32_t lines, std::uint32_t total) {
    const auto size = std::min<std::uint32_t>(static_cast<std::uint32_t>(std::bit_width(lines)), 7);
    const auto seen =
        std::min<std::uint32_t>(static_cast<std::uint32_t>(std::bit_width(total / lines)), 3);
    return size * 4 + seen;
}

inline constexpr std::uint32_t kListContexts = 8 * 4;

// A step's items that may be coded, each once, with their counts: a list's entries less those
// that cannot come next.
struct Shares {
    std::vector<Follower> items;
    std::uint32_t total = 0;

    void clear() {
        items.clear();
        total = 0;
    }
    void add(Follower f) {
        items.push_back(f);
        total += f.count;
    }
};

// Codes whether `item` is among the shares, as the decision, then which, as a frequency symbol
// by the counts (nothing when it holds every count). Requires shares.total > 0.
inline bool encode_listed(RangeEncoder& encoder, Stream& stream, Decision& decision,
                          const Shares& shares, std::uint32_t item) {
    std::uint32_t cum = 0, at = 0;
    for (; at < shares.items.size() && shares.items[at].item != item; ++at)
        cum += shares.items[at].count;
    const bool found = at < shares.items.size();
    encode_bit(encoder, stream, found ? 1 : 0, decision.p());
    decision.update(found ? 1 : 0);
    if (found && shares.items[at].count != shares.total)
        encode_frequency(encoder, stream, cum, shares.items[at].count, shares.total);
    return found;
}

enum class Listed { no, yes, misfit };

// What encode_listed coded: yes with the item, no, or misfit when the code does not fit.
inline Listed decode_listed(RangeDecoder& decoder, Stream& stream, Decision& decision,
                            const Shares& shares, std::uint32_t& item) {
    const int yes = decode_bit(decoder, stream, decision.p());
    decision.update(yes);
    if (!yes) return Listed::no;
    std::size_t at = 0;
    if (shares.items.size() > 1) {
        const std::uint32_t share = decode_share(decoder, shares.total);
        if (share >= shares.total) return Listed::misfit;
        std::uint32_t cum = 0;
        while (cum + shares.items[at].count <= share)
            cum += shares.items[at++].count;
        if (!decode_frequency(decoder, stream, cum, shares.items[at].count, shares.total))
            return Listed::misfit;
    }
    item = shares.items[at].item;
    return Listed::yes;
}

}  // namespace wordperm
