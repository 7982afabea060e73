// One front for the order models, each in its own file; the uniform model over distinct lines
// is coded here, as wordperm codes a permutation.
#include "pack/order_models.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <optional>
#include <vector>

#include "order/rank_batch.h"
#include "pack/context_order.h"
#include "pack/cursor_order.h"
#include "pack/lines_left.h"
#include "pack/rewrite_order.h"
#include "rangecoder/frequency_coder.h"

namespace wordperm {
namespace {

bool all_distinct(std::span<const std::uint32_t> counts) {
    return std::all_of(counts.begin(), counts.end(), [](std::uint32_t c) { return c == 1; });
}

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

}  // namespace

void encode_order(RangeEncoder& encoder, Stream& stream, OrderModel model,
                  std::span<const std::uint32_t> x, std::span<const std::uint32_t> counts,
                  std::span<const std::string_view> lines) {
    if (model == OrderModel::uniform) {
        if (all_distinct(counts)) return encode_uniform_distinct(encoder, stream, x);
        LinesLeft left(counts);
        for (const std::uint32_t r : x) {
            left.encode(encoder, stream, r);
            left.take(r);
        }
        return;
    }
    if (model == OrderModel::context) {
        ContextOrder context(counts);
        for (const std::uint32_t r : x)
            context.encode(encoder, stream, r);
        return;
    }
    if (model == OrderModel::rewrite) {
        RewriteOrder rewrite(lines, counts);
        for (const std::uint32_t r : x)
            rewrite.encode(encoder, stream, r);
        return;
    }
    CursorOrder cursor(counts, model == OrderModel::cursor_distance);
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
    State(OrderModel model, std::span<const std::uint32_t> counts,
          std::span<const std::string_view> lines)
        : ranks_(static_cast<std::uint32_t>(counts.size())) {
        if (model == OrderModel::uniform)
            lines_.emplace(counts);
        else if (model == OrderModel::context)
            context_.emplace(counts);
        else if (model == OrderModel::rewrite)
            rewrite_.emplace(lines, counts);
        else
            cursor_.emplace(counts, model == OrderModel::cursor_distance);
    }

    std::uint32_t next(RangeDecoder& decoder, Stream& stream) {
        if (cursor_) return cursor_->decode(decoder, stream);
        if (context_) return context_->decode(decoder, stream);
        if (rewrite_) return rewrite_->decode(decoder, stream);
        const std::uint32_t r = lines_->decode(decoder, stream);
        if (r != ranks_) lines_->take(r);
        return r;
    }

  private:
    std::uint32_t ranks_;
    std::optional<LinesLeft> lines_;       // the uniform model
    std::optional<CursorOrder> cursor_;    // the cursor models
    std::optional<ContextOrder> context_;  // the context model
    std::optional<RewriteOrder> rewrite_;  // the rewrite model
};

OrderDecoder::OrderDecoder(OrderModel model, std::span<const std::uint32_t> counts,
                           std::span<const std::string_view> lines)
    : state_(std::make_unique<State>(model, counts, lines)) {}

OrderDecoder::~OrderDecoder() = default;

std::uint32_t OrderDecoder::next(RangeDecoder& decoder, Stream& stream) {
    return state_->next(decoder, stream);
}

}  // namespace wordperm
