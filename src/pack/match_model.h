// The match model of the set coder: it predicts the next byte of the set's text (its lines in
// byte order, each followed by a line feed) to be the byte that followed the last occurrence of
// the kMatchMinimum bytes before it, for as long as the text keeps repeating what followed.
//
// A sorted set repeats its names far apart (a directory under many parents, a domain under many
// users), where the contexts of a few bytes back and the line above do not reach. The model
// keeps the whole text, and a table from a hash of each kMatchMinimum bytes to the position after
// their last occurrence; a match found there is checked byte by byte, and counted up to
// kMatchVerified bytes back, so a hash collision never predicts. Its memory grows with the text
// pushed and the table's pages touched, never with a count in a header.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/large_array.h"

namespace wordperm {

inline constexpr std::size_t kMatchMinimum = 5;
inline constexpr std::size_t kMatchVerified = 32;

class MatchModel {
  public:
    // A table of 2^table_bits positions.
    explicit MatchModel(int table_bits)
        : shift_(64 - table_bits),
          table_(make_zeroed_array<std::uint32_t>(std::size_t{1} << table_bits)) {}

    // The byte the match predicts next, or -1 without a match.
    int predicted() const { return length_ > 0 ? text_[at_] : -1; }

    // How many bytes the match has repeated: kMatchMinimum or more, or 0 without a match.
    std::size_t length() const { return length_; }

    // Appends `byte` to the text: the match goes on when it predicted the byte, and a new one is
    // looked up when there is none.
    void push(std::uint8_t byte) {
        if (length_ > 0 && text_[at_] == byte) {
            ++length_;
            ++at_;
        } else {
            length_ = 0;
        }
        text_.push_back(byte);
        const std::size_t n = text_.size();
        if (n < kMatchMinimum) return;
        std::uint64_t h = 0;
        for (std::size_t i = n - kMatchMinimum; i < n; ++i)
            h = (h + text_[i] + 1) * 0x9E3779B97F4A7C15ULL;
        std::uint32_t& slot = table_[static_cast<std::size_t>(h >> shift_)];
        if (length_ == 0 && slot != 0) {
            const std::size_t after = slot;
            std::size_t same = 0;
            while (same < kMatchVerified && same < after &&
                   text_[after - 1 - same] == text_[n - 1 - same])
                ++same;
            if (same >= kMatchMinimum) {
                length_ = same;
                at_ = after;
            }
        }
        // A set's text holds at most 2^32 bytes, so only the last byte of the largest one can
        // wrap its position to 0 (no occurrence), and nothing is looked up after it.
        slot = static_cast<std::uint32_t>(n);
    }

  private:
    int shift_;
    LargeArray<std::uint32_t> table_;  // 0, or the position after a hash's last occurrence
    std::vector<std::uint8_t> text_;
    std::size_t at_ = 0;      // the predicted byte's position in text_
    std::size_t length_ = 0;  // of the match, 0 for none
};

}  // namespace wordperm
