// The decoder body: decode every rank, turn the ranks into sorted positions in one batch, then
// copy the lines out in that order.
#include "perm/permutation_decoder.h"

#include "order/rank_batch.h"
#include "perm/line_output.h"

namespace wordperm {
namespace {

// The restored lines go straight into the stream's output buffer; a line that does not fit goes
// through put_bytes, which hands full buffers to the run loop. The buffer's pointers are read
// again after that, since the run loop moves them while the body waits.
struct StreamOutput {
    explicit StreamOutput(Stream& to) : stream(to), cursor(to.out_ptr), end(to.out_end) {}

    bool append(const std::uint8_t* bytes, std::size_t size) {
        stream.out_ptr = cursor;
        put_bytes(stream, bytes, size);
        cursor = stream.out_ptr;
        end = stream.out_end;
        return true;
    }

    Stream& stream;
    std::uint8_t* cursor;
    std::uint8_t* end;
};

}  // namespace

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

    StreamOutput output(ctx.run.stream);
    write_lines_in_order(table, {position, n}, output);
    ctx.run.stream.out_ptr = output.cursor;
}

}  // namespace wordperm
