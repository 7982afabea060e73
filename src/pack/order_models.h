// Models of a list's order: which line comes next, given the reference ranks of the lines
// already placed.
//
// The order is a sequence x of reference ranks, one per input line, in which rank r occurs
// counts[r] times. Three models code it:
// - uniform: every arrangement of the multiset equally likely, log2(N! / prod counts[r]!) bits
//   in all. Without repeated lines this is wordperm's code, symbol for symbol.
// - cursor: the next line is most often the successor, in the reference order, of one of the
//   last kCursorLines lines placed: the first rank at or after it with lines left (the line
//   itself while copies of it are left). Which of them (or none: an escape) is coded with an
//   adaptive model whose context is the previous choice; an escape then codes the line
//   uniformly among the lines left, each distinct line weighted by its copies left.
// - cursor_distance: the same, but an escape codes how many lines left lie between the last
//   line placed and the new one, above or below it, by bit length and then the bits below.
// Each costs O(log D) per line. The fourth, context, predicts each line from the lines before it
// (context_order.h); the fifth, rewrite, from the end of the line before it, escaping to
// cursor_distance (rewrite_order.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"
#include "stream/byte_stream.h"

namespace wordperm {

enum class OrderModel : std::uint8_t {
    uniform = 1,
    cursor = 2,
    cursor_distance = 3,
    context = 4,  // context_order.h; counts in the set's order
    rewrite = 5,  // rewrite_order.h; needs the lines' bytes
};

// x.size() = N >= 1 lines; each x[i] below counts.size() and rank r occurring counts[r] times;
// lines[r] is rank r's line (the rewrite model's only). Throws std::bad_alloc.
void encode_order(RangeEncoder& encoder, Stream& stream, OrderModel model,
                  std::span<const std::uint32_t> x, std::span<const std::uint32_t> counts,
                  std::span<const std::string_view> lines = {});

// Packing tries the context and rewrite models only where they need no more than this, which
// keeps every block of the default size within the default memory limit whichever order model it
// takes.
inline constexpr std::uint64_t kOrderModelMemoryMost = std::uint64_t{512} << 20;

// True when the order of lines with these counts is coded as wordperm's code: the uniform model
// over distinct lines, decoded in one batch (decode_distinct_order). Every other order is
// decoded a line at a time (OrderDecoder).
bool order_is_distinct_uniform(OrderModel model, std::span<const std::uint32_t> counts);

// Decodes x, a permutation of 0 to x.size() - 1, coded by the uniform model over distinct lines.
// Returns false when the code does not fit, or once decoding has read more than
// most_past_end_reads bytes past the code's end. Throws std::bad_alloc.
bool decode_distinct_order(RangeDecoder& decoder, Stream& stream, std::uint64_t most_past_end_reads,
                           std::span<std::uint32_t> x);

// Decodes an order one line at a time, so that nothing of the size of the list is held: its
// state grows with the number of distinct lines only.
class OrderDecoder {
  public:
    // `counts` and `lines` by rank, as encode_order takes them; throws std::bad_alloc.
    OrderDecoder(OrderModel model, std::span<const std::uint32_t> counts,
                 std::span<const std::string_view> lines = {});
    ~OrderDecoder();
    OrderDecoder(const OrderDecoder&) = delete;
    OrderDecoder& operator=(const OrderDecoder&) = delete;

    // The next line's rank, or counts.size() when the code does not fit.
    std::uint32_t next(RangeDecoder& decoder, Stream& stream);

  private:
    class State;
    std::unique_ptr<State> state_;
};

}  // namespace wordperm
