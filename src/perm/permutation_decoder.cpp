// The decoder body: decode every rank while the list's order is checked, check the code's
// length, turn the ranks into sorted positions in one batch, then copy the lines out in that
// order.
#include "perm/permutation_decoder.h"

#include <optional>

#include "base/run_both.h"
#include "order/rank_batch.h"
#include "perm/line_output.h"
#include "perm/sorted_list_check.h"

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

void refuse(CoderContext& ctx, Refusal refusal) {
    ctx.refusal = refusal;
    ctx.run.failure.error = RunError::refused;
}

}  // namespace

void permutation_decoder(CoderContext& ctx) {
    const WordTable& table = ctx.table;
    const std::uint32_t n = table.line_count;
    decoder_init(ctx.decoder, ctx.run.stream);

    // All ranks first, while another thread checks the list's order: a pair that cannot be one
    // is found before anything is written. That thread reads only the table, and is joined
    // before anything it reads is freed (the run loop resumes this body to its end).
    std::optional<std::uint64_t> out_of_order;
    bool ranks_fit = true;
    std::uint32_t* position = ctx.perm;
    run_both(
        n, [&] { out_of_order = first_line_out_of_order(table); },
        [&] {
            for (std::uint32_t i = 0; i + 1 < n; ++i) {
                const std::uint32_t t = n - i;
                const std::uint32_t d = decode_uniform(ctx.decoder, ctx.run.stream, t);
                if (d >= t) {
                    ranks_fit = false;
                    return;
                }
                position[i] = d;
            }
        });
    if (out_of_order) {
        refuse(ctx, Refusal::list_out_of_order);
        ctx.line_out_of_order = *out_of_order;
        return;
    }
    if (!ranks_fit) {
        refuse(ctx, Refusal::code_misfit);
        return;
    }
    if (decoder_found_surplus(made_up_bytes(ctx.run.stream), n >= 2)) {
        refuse(ctx, Refusal::code_too_long);
        return;
    }
    if (n != 0) position[n - 1] = 0;  // the last line left has rank 0: nothing is coded for it
    positions_from_ranks({position, n}, {position, n});

    StreamOutput output(ctx.run.stream);
    write_lines_in_order(table, {position, n}, output);
    ctx.run.stream.out_ptr = output.cursor;
}

}  // namespace wordperm
