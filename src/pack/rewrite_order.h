// The order model that rewrites the end of the line before: each line is predicted as the last
// line placed with its last bytes cut and others put on. It suits dictionaries that list each
// stem with its inflections in a fixed order (a paradigm), and lists whose neighbours share a
// start, such as paths.
//
// A rewrite is (cut, tail): cut bytes off the end, then the tail's bytes on. The rewrite of the
// last line P into the next line C keeps their common start: cut = |P| - common, tail = what of
// C follows it; one that would cut or put on more than kRewriteBytesMost bytes is not kept, and
// counts as none.
// Rewrites are numbered as they first occur. Each line is coded by the first of
// three steps that holds it:
// 1. the rewrites that have followed the last rewrite, by how often;
// 2. the rewrites that have followed a line with P's last kEndingBytes bytes, by how often;
// 3. the cursor model with distances (cursor_order.h), over the reference order.
// A step's candidates are the lines its rewrites make of P that are lines of the set with copies
// left, each once, without the earlier step's; a step without candidates codes nothing. Steps 1
// and 2 first decide, as an adaptive yes-or-no, whether the line is among theirs. A line costs
// O(kRewritesMost * (kRewriteBytesMost + |P|)), however hostile the code.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"
#include "stream/byte_stream.h"

namespace wordperm {

inline constexpr std::uint32_t kRewritesMost = 16;  // a context's list holds at most these
inline constexpr std::uint32_t kEndingBytes = 3;
inline constexpr std::uint32_t kRewriteBytesMost = 255;  // cut, and tail, at most

class RewriteOrder {
  public:
    // lines[r] is the line of rank r in the reference order, counts[r] its copies; at least two
    // ranks, the lines distinct. Throws std::bad_alloc.
    RewriteOrder(std::span<const std::string_view> lines, std::span<const std::uint32_t> counts);
    ~RewriteOrder();
    RewriteOrder(const RewriteOrder&) = delete;
    RewriteOrder& operator=(const RewriteOrder&) = delete;

    // Codes the next line, rank r, which has copies left.
    void encode(RangeEncoder& encoder, Stream& stream, std::uint32_t r);

    // The next line's rank, or counts.size() when the code does not fit.
    std::uint32_t decode(RangeDecoder& decoder, Stream& stream);

  private:
    class State;
    std::unique_ptr<State> state_;
};

// The most memory the model holds for a block of `lines` lines, `distinct` of them distinct,
// `list_bytes` bytes in all, besides the cursor model's.
std::uint64_t rewrite_order_memory(std::uint64_t lines, std::uint64_t distinct,
                                   std::uint64_t list_bytes);

}  // namespace wordperm
