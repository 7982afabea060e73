// The order model with context: each line is predicted from the lines placed just before it, as
// a word-level text compressor predicts the next word. It suits lists whose lines are the words
// of a text in the order the text uses them, and lists that repeat runs of lines.
//
// Lines are the set's distinct lines by rank; counts[r] copies of rank r are placed in all. Each
// line is coded by the first of five steps that holds it, each later step with the earlier
// steps' lines taken out (exclusion):
// 1. match: the line that followed the last time the last kMatchLines lines came together, a
//    yes-or-no decision whose probability learns from how long the match has held;
// 2. pair: the lines that have followed the last two lines, by how often;
// 3. line: the lines that have followed the last line, by how often;
// 4. recent: the last kRecentLines distinct lines placed, by how often each place comes next;
// 5. lines left: every line with copies left, weighted by its copies left, with the first
//    kExcludedMost lines of the steps before it taken out.
// Steps 2 to 4 first decide, as an adaptive yes-or-no, whether the line is among theirs. Lines
// without copies left take no share anywhere. Every list is bounded, so a line costs
// O(kLineLinesMost + log D) however hostile the code.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"
#include "stream/byte_stream.h"

namespace wordperm {

inline constexpr std::uint32_t kMatchLines = 2;
inline constexpr std::uint32_t kPairLinesMost = 64;
inline constexpr std::uint32_t kLineLinesMost = 256;
inline constexpr std::uint32_t kRecentLines = 128;
inline constexpr std::uint32_t kExcludedMost = 32;

class ContextOrder {
  public:
    // `counts` by rank, at least two ranks; throws std::bad_alloc.
    explicit ContextOrder(std::span<const std::uint32_t> counts);
    ~ContextOrder();
    ContextOrder(const ContextOrder&) = delete;
    ContextOrder& operator=(const ContextOrder&) = delete;

    // Codes the next line, rank r, which has copies left.
    void encode(RangeEncoder& encoder, Stream& stream, std::uint32_t r);

    // The next line's rank, or counts.size() when the code does not fit.
    std::uint32_t decode(RangeDecoder& decoder, Stream& stream);

  private:
    class State;
    std::unique_ptr<State> state_;
};

// The most memory the model holds for a block of `lines` lines, `distinct` of them distinct.
std::uint64_t context_order_memory(std::uint64_t lines, std::uint64_t distinct);

}  // namespace wordperm
