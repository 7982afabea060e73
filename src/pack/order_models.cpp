// The cursor models keep, besides the counts left (a CountTree), a "next rank with lines left"
// forest: next_[r] = r while rank r has copies left, and points further once it has none, so
// the successor of any line is a root search with path compression. Both directions run the
// same Cursor step, which decides what is coded from state both sides share.
#include "pack/order_models.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <optional>
#include <vector>

#include "order/count_tree.h"
#include "order/rank_batch.h"
#include "pack/context_order.h"
#include "pack/frequency_table.h"
#include "rangecoder/frequency_coder.h"

namespace wordperm {
namespace {

bool all_distinct(std::span<const std::uint32_t> counts) {
    return std::all_of(counts.begin(), counts.end(), [](std::uint32_t c) { return c == 1; });
}

// The multiset's uniform model, one line at a time: the line owns as many shares of the lines
// left as it has copies left.
class LinesLeft {
  public:
    explicit LinesLeft(std::span<const std::uint32_t> counts)
        : left_(counts.begin(), counts.end()),
          tree_(counts),
          total_(std::accumulate(counts.begin(), counts.end(), std::uint64_t{0})) {}

    std::uint32_t total() const { return static_cast<std::uint32_t>(total_); }
    std::uint32_t left(std::uint32_t r) const { return left_[r]; }
    std::uint32_t below(std::uint32_t r) const { return tree_.below(r); }
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

// Without repeated lines the uniform model is wordperm's code: each line's rank among the lines
// left, uniform over how many are left, the ranks found in one batch.
void encode_uniform_distinct(RangeEncoder& encoder, Stream& stream,
                             std::span<const std::uint32_t> x) {
    std::vector<std::uint32_t> ranks(x.size());
    ranks_from_positions(x, ranks);
    const auto n = static_cast<std::uint32_t>(x.size());
    for (std::uint32_t i = 0; i + 1 < n; ++i)
        encode_uniform(encoder, stream, ranks[i], n - i);
}

bool decode_uniform_distinct(RangeDecoder& decoder, Stream& stream,
                             std::uint64_t most_past_end_reads, std::span<std::uint32_t> x) {
    const auto n = static_cast<std::uint32_t>(x.size());
    for (std::uint32_t i = 0; i + 1 < n; ++i) {
        x[i] = decode_uniform(decoder, stream, n - i);
        if (x[i] == n - i || stream.past_end_reads > most_past_end_reads) return false;
    }
    x[n - 1] = 0;
    positions_from_ranks(x, x);
    return true;
}

class Cursor {
  public:
    Cursor(std::span<const std::uint32_t> counts, bool distance)
        : lines_(counts),
          next_(counts.size() + 1),
          choice_(kCursorLines + 2, FrequencyTable(kCursorLines + 1)),
          length_(2, FrequencyTable(32)),
          distance_(distance) {
        std::iota(next_.begin(), next_.end(), 0u);
        for (std::size_t r = 0; r < counts.size(); ++r)
            if (counts[r] == 0) next_[r] = static_cast<std::uint32_t>(r + 1);
    }

    void encode(RangeEncoder& encoder, Stream& stream, std::uint32_t r) {
        const std::uint32_t allowed = find_candidates();
        std::uint32_t choice = kCursorLines;
        for (std::uint32_t j = 0; j < kCursorLines; ++j)
            if ((allowed >> j & 1) && candidate_[j] == r) {
                choice = j;
                break;
            }
        choice_[previous_choice_].encode(encoder, stream, choice, allowed);
        if (choice == kCursorLines) {
            if (distance_)
                encode_distance(encoder, stream, r);
            else
                lines_.encode(encoder, stream, r);
        }
        place(r, choice);
    }

    // The line, or the number of ranks when the code does not fit.
    std::uint32_t decode(RangeDecoder& decoder, Stream& stream) {
        const auto misfit = static_cast<std::uint32_t>(next_.size() - 1);
        const std::uint32_t allowed = find_candidates();
        const std::uint32_t choice = choice_[previous_choice_].decode(decoder, stream, allowed);
        std::uint32_t r;
        if (choice < kCursorLines)
            r = candidate_[choice];
        else if (choice == kCursorLines)
            r = distance_ ? decode_distance(decoder, stream) : lines_.decode(decoder, stream);
        else
            return misfit;
        if (r >= misfit || lines_.left(r) == 0) return misfit;
        // The encoder escapes only to a line that no candidate names: another code of the same
        // order is not one of its codes.
        if (choice == kCursorLines)
            for (std::uint32_t j = 0; j < kCursorLines; ++j)
                if ((allowed >> j & 1) && candidate_[j] == r) return misfit;
        place(r, choice);
        return r;
    }

  private:
    std::uint32_t successor(std::uint32_t r) {
        std::uint32_t root = r;
        while (next_[root] != root)
            root = next_[root];
        while (next_[r] != root) {
            const std::uint32_t up = next_[r];
            next_[r] = root;
            r = up;
        }
        return root;
    }

    // Fills candidate_ and returns the mask of choices that may be coded: the escape, and each
    // recent line's successor that exists and is not an earlier candidate.
    std::uint32_t find_candidates() {
        const auto none = static_cast<std::uint32_t>(next_.size() - 1);
        std::uint32_t allowed = 1u << kCursorLines;
        for (std::uint32_t j = 0; j < recent_count_; ++j) {
            candidate_[j] = successor(recent_[j]);
            if (candidate_[j] == none) continue;
            bool repeated = false;
            for (std::uint32_t i = 0; i < j && !repeated; ++i)
                repeated = (allowed >> i & 1) && candidate_[i] == candidate_[j];
            if (!repeated) allowed |= 1u << j;
        }
        return allowed;
    }

    void place(std::uint32_t r, std::uint32_t choice) {
        lines_.take(r);
        if (lines_.left(r) == 0) next_[r] = r + 1;
        previous_choice_ = choice;
        // Move r to the front of the recent lines.
        std::uint32_t at = std::min<std::uint32_t>(recent_count_, kCursorLines - 1);
        for (std::uint32_t j = 0; j < recent_count_; ++j)
            if (recent_[j] == r) at = j;
        if (at == recent_count_) ++recent_count_;
        for (; at > 0; --at)
            recent_[at] = recent_[at - 1];
        recent_[0] = r;
    }

    // Lines left at or below the last line placed: the origin of distances.
    std::uint32_t origin() const { return recent_count_ == 0 ? 0 : lines_.below(recent_[0] + 1); }

    // The bit length of `steps + 1` out of those that `most + 1` allows, then the bits below.
    void encode_steps(RangeEncoder& encoder, Stream& stream, FrequencyTable& lengths,
                      std::uint32_t steps, std::uint32_t most) {
        const auto length = static_cast<int>(std::bit_width(steps + 1));
        lengths.encode(encoder, stream, static_cast<std::uint32_t>(length - 1), length_mask(most));
        const std::uint32_t choices = low_choices(length, most);
        if (choices >= 2)
            encode_uniform(encoder, stream, steps + 1 - (1u << (length - 1)), choices);
    }

    // The steps, or a value above `most` when the code does not fit.
    std::uint32_t decode_steps(RangeDecoder& decoder, Stream& stream, FrequencyTable& lengths,
                               std::uint32_t most) {
        const std::uint32_t symbol = lengths.decode(decoder, stream, length_mask(most));
        if (symbol >= 32) return ~0u;
        const int length = static_cast<int>(symbol) + 1;
        const std::uint32_t choices = low_choices(length, most);
        std::uint32_t low = 0;
        if (choices >= 2) {
            low = decode_uniform(decoder, stream, choices);
            if (low == choices) return ~0u;
        }
        return (1u << (length - 1)) + low - 1;
    }

    static std::uint32_t length_mask(std::uint32_t most) {
        const auto lengths = static_cast<int>(std::bit_width(std::uint64_t{most} + 1));
        return lengths >= 32 ? ~0u : (1u << lengths) - 1;
    }

    // How many values of the given bit length do not exceed most + 1.
    static std::uint32_t low_choices(int length, std::uint32_t most) {
        const std::uint64_t lead = std::uint64_t{1} << (length - 1);
        return static_cast<std::uint32_t>(std::min(lead, std::uint64_t{most} + 2 - lead));
    }

    void encode_distance(RangeEncoder& encoder, Stream& stream, std::uint32_t r) {
        const std::uint32_t from = origin(), total = lines_.total();
        const std::uint32_t allowed = (from < total ? 1u : 0u) | (from > 0 ? 2u : 0u);
        const std::uint32_t at = lines_.below(r);
        if (at >= from) {
            side_.encode(encoder, stream, 0, allowed);
            encode_steps(encoder, stream, length_[0], at - from, total - from - 1);
        } else {
            side_.encode(encoder, stream, 1, allowed);
            encode_steps(encoder, stream, length_[1], from - (at + lines_.left(r)), from - 1);
        }
    }

    std::uint32_t decode_distance(RangeDecoder& decoder, Stream& stream) {
        const auto misfit = static_cast<std::uint32_t>(next_.size() - 1);
        const std::uint32_t from = origin(), total = lines_.total();
        const std::uint32_t allowed = (from < total ? 1u : 0u) | (from > 0 ? 2u : 0u);
        const std::uint32_t side = side_.decode(decoder, stream, allowed);
        if (side == 0) {
            const std::uint32_t steps = decode_steps(decoder, stream, length_[0], total - from - 1);
            if (steps > total - from - 1) return misfit;
            const std::uint32_t r = lines_.find(from + steps);
            return lines_.below(r) == from + steps ? r : misfit;
        }
        if (side == 1) {
            const std::uint32_t steps = decode_steps(decoder, stream, length_[1], from - 1);
            if (steps > from - 1) return misfit;
            const std::uint32_t r = lines_.find(from - steps - 1);
            return lines_.below(r) + lines_.left(r) == from - steps ? r : misfit;
        }
        return misfit;
    }

    LinesLeft lines_;
    std::vector<std::uint32_t> next_;     // the successor forest; next_[D] = D stands for none
    std::vector<FrequencyTable> choice_;  // by the previous choice (kCursorLines + 1: none yet)
    FrequencyTable side_{2};              // above or below the last line
    std::vector<FrequencyTable> length_;  // bit lengths of distances, by side
    bool distance_;
    std::uint32_t recent_[kCursorLines] = {};  // the last lines placed, distinct, latest first
    std::uint32_t recent_count_ = 0;
    std::uint32_t candidate_[kCursorLines] = {};
    std::uint32_t previous_choice_ = kCursorLines + 1;
};

}  // namespace

void encode_order(RangeEncoder& encoder, Stream& stream, OrderModel model,
                  std::span<const std::uint32_t> x, std::span<const std::uint32_t> counts) {
    if (model == OrderModel::uniform) {
        if (all_distinct(counts)) return encode_uniform_distinct(encoder, stream, x);
        LinesLeft lines(counts);
        for (const std::uint32_t r : x) {
            lines.encode(encoder, stream, r);
            lines.take(r);
        }
        return;
    }
    if (model == OrderModel::context) {
        ContextOrder context(counts);
        for (const std::uint32_t r : x)
            context.encode(encoder, stream, r);
        return;
    }
    Cursor cursor(counts, model == OrderModel::cursor_distance);
    for (const std::uint32_t r : x)
        cursor.encode(encoder, stream, r);
}

bool order_is_distinct_uniform(OrderModel model, std::span<const std::uint32_t> counts) {
    return model == OrderModel::uniform && all_distinct(counts);
}

bool decode_distinct_order(RangeDecoder& decoder, Stream& stream, std::uint64_t most_past_end_reads,
                           std::span<std::uint32_t> x) {
    return decode_uniform_distinct(decoder, stream, most_past_end_reads, x);
}

// The state of whichever model decodes, behind one interface.
class OrderDecoder::State {
  public:
    State(OrderModel model, std::span<const std::uint32_t> counts)
        : ranks_(static_cast<std::uint32_t>(counts.size())) {
        if (model == OrderModel::uniform)
            lines_.emplace(counts);
        else if (model == OrderModel::context)
            context_.emplace(counts);
        else
            cursor_.emplace(counts, model == OrderModel::cursor_distance);
    }

    std::uint32_t next(RangeDecoder& decoder, Stream& stream) {
        if (cursor_) return cursor_->decode(decoder, stream);
        if (context_) return context_->decode(decoder, stream);
        const std::uint32_t r = lines_->decode(decoder, stream);
        if (r != ranks_) lines_->take(r);
        return r;
    }

  private:
    std::uint32_t ranks_;
    std::optional<LinesLeft> lines_;  // the uniform model
    std::optional<Cursor> cursor_;    // the cursor models
    std::optional<ContextOrder> context_;  // the context model
};

OrderDecoder::OrderDecoder(OrderModel model, std::span<const std::uint32_t> counts)
    : state_(std::make_unique<State>(model, counts)) {}

OrderDecoder::~OrderDecoder() = default;

std::uint32_t OrderDecoder::next(RangeDecoder& decoder, Stream& stream) {
    return state_->next(decoder, stream);
}

}  // namespace wordperm
