// The decoder body: per output position one decode, one tree walk and the line's bytes.
#include "perm/permutation_decoder.h"

namespace wordperm {

void permutation_decoder(CoderContext& ctx) {
    const WordTable& table = ctx.table;
    const std::uint32_t n = table.line_count;
    decoder_init(ctx.decoder, ctx.stream);

    const bool bare = last_line_is_bare(table);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t t = n - i;
        std::uint32_t d = 0;
        if (t >= 2) {
            d = decode_uniform(ctx.decoder, ctx.stream, t);
            if (d >= t) {
                ctx.failure.status = ExitStatus::code_misfit;
                return;
            }
        }
        const std::uint32_t line = tree_select_remove(ctx.tree, d);
        const std::uint8_t* first = table.data + table.line_start[line];
        std::size_t size = table.line_start[line + 1] - table.line_start[line];
        if (bare && line != n - 1 && t == 1) --size;
        put_bytes(ctx.stream, first, size);
        if (bare && line == n - 1 && t != 1) put_byte(ctx.stream, '\n');
    }
}

}  // namespace wordperm
