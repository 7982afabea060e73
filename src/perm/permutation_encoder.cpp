// The encoder body: sort, write the sorted list, then turn every input line's sorted position
// into its rank in one batch and code the ranks in input order.
#include "perm/permutation_encoder.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "order/rank_batch.h"
#include "order/word_sort.h"
#include "perm/line_output.h"

namespace wordperm {
namespace {

// The sorted list ends without a line feed by its last line losing its own. An empty line (a
// lone line feed) would vanish instead, so when one sorts last the word file's bare last line is
// placed after it: the list then ends with that bare line as it was. An empty line sorts last
// only when every line starts with a byte below 10 or is empty, so sorted lists almost never
// meet this. The decoder follows the list's order whatever it is.
void keep_list_ending_bare(const WordTable& table, std::span<std::uint32_t> perm) {
    const std::uint32_t n = table.line_count;
    const std::uint32_t last = perm[n - 1];
    if (last == n - 1 || table.line_start[last + 1] - table.line_start[last] != 1) return;
    auto bare_line = std::find(perm.begin(), perm.end(), n - 1);
    std::rotate(bare_line, bare_line + 1, perm.end());
}

}  // namespace

void permutation_encoder(CoderContext& ctx) {
    const WordTable& table = ctx.table;
    const std::uint32_t n = table.line_count;
    encoder_init(ctx.encoder);

    std::printf("Sorting %i words...", static_cast<int>(n));
    std::fflush(stdout);
    if (n >= 2) word_sort(table, {ctx.perm, n});
    std::puts("\b\b Done");
    std::fflush(stdout);

    if (last_line_is_bare(table)) keep_list_ending_bare(table, {ctx.perm, n});

    BlockWriter& sorted_list = *ctx.sorted_list_file;
    auto append = [&](const std::uint8_t* bytes, std::size_t size) {
        return sorted_list.append(bytes, size);
    };
    if (!write_lines_in_order(table, {ctx.perm, n}, append) || !sorted_list.flush()) {
        ctx.failure = {ExitStatus::write_failed, sorted_list.sink().name(),
                       sorted_list.sink().error()};
        return;
    }

    // Input line i sits at sorted position inverse[i]; its rank replaces it in place.
    std::uint32_t* rank = ctx.inverse;
    for (std::uint32_t j = 0; j < n; ++j) rank[ctx.perm[j]] = j;
    ranks_from_positions({rank, n}, {rank, n});
    for (std::uint32_t i = 0; i + 1 < n; ++i) encode_uniform(ctx.encoder, ctx.stream, rank[i], n - i);
    encoder_flush(ctx.encoder, ctx.stream);
}

}  // namespace wordperm
