// The decoder body: decode every rank, turn the ranks into sorted positions in one batch, then
// copy the lines out in that order.
#include "perm/permutation_decoder.h"

#include "order/rank_batch.h"
#include "perm/line_output.h"

namespace wordperm {

void permutation_decoder(CoderContext& ctx) {
    const WordTable& table = ctx.table;
    const std::uint32_t n = table.line_count;
    decoder_init(ctx.decoder, ctx.run.stream);

    // All ranks first: a code that does not fit is found before anything is written.
    std::uint32_t* position = ctx.perm;
    for (std::uint32_t i = 0; i + 1 < n; ++i) {
        const std::uint32_t t = n - i;
        const std::uint32_t d = decode_uniform(ctx.decoder, ctx.run.stream, t);
        if (d >= t) {
            ctx.run.failure.status = ExitStatus::code_misfit;
            return;
        }
        position[i] = d;
    }
    if (n != 0) position[n - 1] = 0;  // the last line left has rank 0: nothing is coded for it
    positions_from_ranks({position, n}, {position, n});

    write_lines_in_order(table, {position, n}, [&](const std::uint8_t* bytes, std::size_t size) {
        put_bytes(ctx.run.stream, bytes, size);
        return true;
    });
}

}  // namespace wordperm
