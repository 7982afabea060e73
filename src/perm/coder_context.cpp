// Preparing the context of a run, and handing a body to the run loop.
#include "perm/coder_context.h"

#include <new>
#include <string>

#include "base/memory_budget.h"

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

// The program's words for a list that could not be loaded.
Failure load_failure(const LoadFailure& load, const ByteReader& list, const TableLimits& limits) {
    switch (load.error) {
        case LoadError::read_failed:
            return {ExitStatus::read_failed, list.name(), list.error()};
        case LoadError::too_many_lines:
            return {ExitStatus::list_too_large, list.name(),
                    "more than " + std::to_string(limits.max_lines) + " lines"};
        case LoadError::out_of_memory:
        case LoadError::none:
            break;
    }
    if (load.needed_bytes == 0) return {ExitStatus::out_of_memory, list.name(), "out of memory"};
    return {ExitStatus::out_of_memory, list.name(),
            "out of memory (needs " + std::to_string(mebibytes_rounded_up(load.needed_bytes)) +
                " MiB, " + std::to_string(load.available_bytes / (1 << 20)) + " MiB available)"};
}

}  // namespace

bool prepare_context(CoderContext& ctx, ByteReader& list, Mode mode, Failure& failure) {
    const TableLimits limits{.caller_bytes_per_line =
                                 mode == Mode::encode ? kEncodeBytesPerLine : kDecodeBytesPerLine};
    LoadFailure load;
    if (!load_word_table(ctx.table, list, load, limits)) {
        failure = load_failure(load, list, limits);
        return false;
    }
    try {
        const std::uint32_t n = ctx.table.line_count;
        const std::size_t entries = (mode == Mode::encode ? 2 : 1) * std::size_t{n};
        ctx.permutation_storage = make_large_array<std::uint32_t>(entries);
        ctx.perm = ctx.permutation_storage.get();
        if (mode == Mode::encode) ctx.inverse = ctx.perm + n;
    } catch (const std::bad_alloc&) {
        failure = {ExitStatus::out_of_memory, list.name(), "out of memory"};
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
