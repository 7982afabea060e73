// The cursor order models: the next line is most often the successor, in the reference order, of
// one of the last kCursorLines lines placed (order_models.h). Besides the counts left, the model
// keeps a "next rank with lines left" forest: next_[r] = r while rank r has copies left, and
// points further once it has none, so the successor of any line is a root search with path
// compression. Both directions run the same step, which decides what is coded from state both
// sides share.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <numeric>
#include <span>
#include <vector>

#include "pack/frequency_table.h"
#include "pack/lines_left.h"
#include "rangecoder/frequency_coder.h"

namespace wordperm {

inline constexpr std::uint32_t kCursorLines = 8;

class CursorOrder {
  public:
    // `counts` by rank; `distance`: escapes code their distance from the last line placed.
    CursorOrder(std::span<const std::uint32_t> counts, bool distance)
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

    // Places a line that another model coded: the next choice's context is then "none yet".
    void place_other(std::uint32_t r) { place(r, kCursorLines + 1); }

    std::uint32_t left(std::uint32_t r) const { return lines_.left(r); }

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

}  // namespace wordperm
