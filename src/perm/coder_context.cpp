// Preparing the context of a run, and handing a body to the run loop.
#include "perm/coder_context.h"

#include <new>

namespace wordperm {
namespace {

struct BodyCall {
    CoderBody body;
    CoderContext* ctx;
};

void call_body(void* argument) {
    auto* call = static_cast<BodyCall*>(argument);
    call->body(*call->ctx);
}

// Bytes a line that each mode allocates beyond the word table, at its peak: perm and inverse
// (the sort's workspace), and a bit or two a line for the sort's marks and the rank
// conversion's bitmap, when encoding; perm and the position conversion's scratch when decoding.
constexpr std::uint64_t kEncodeBytesPerLine = 9;
constexpr std::uint64_t kDecodeBytesPerLine = 8;

}  // namespace

bool prepare_context(CoderContext& ctx, ByteReader& list, Mode mode, LoadFailure& failure) {
    const TableLimits limits{.caller_bytes_per_line =
                                 mode == Mode::encode ? kEncodeBytesPerLine : kDecodeBytesPerLine};
    if (!load_word_table(ctx.table, list, failure, limits)) return false;
    try {
        const std::uint32_t n = ctx.table.line_count;
        const std::size_t entries = (mode == Mode::encode ? 2 : 1) * std::size_t{n};
        ctx.permutation_storage = make_large_array<std::uint32_t>(entries);
        ctx.perm = ctx.permutation_storage.get();
        if (mode == Mode::encode) ctx.inverse = ctx.perm + n;
    } catch (const std::bad_alloc&) {
        failure = {LoadError::out_of_memory, 0, 0};
        return false;
    }
    return true;
}

bool run_coder(CoderContext& ctx, CoderBody body, ByteReader* input, ByteWriter& output,
               std::size_t in_block_bytes, std::size_t out_block_bytes) {
    BodyCall call{body, &ctx};
    return run_loop(ctx.run, call_body, &call, input, output, in_block_bytes, out_block_bytes);
}

}  // namespace wordperm
