// The encoder body, one pass over the lines after the sort: sorted line i goes to the sorted
// list and input line i is coded in the same step.
#include "perm/permutation_encoder.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "order/word_sort.h"

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

    const bool bare = last_line_is_bare(table);
    if (bare) keep_list_ending_bare(table, {ctx.perm, n});
    for (std::uint32_t j = 0; j < n; ++j) ctx.inverse[ctx.perm[j]] = j;

    static constexpr std::uint8_t kLineFeed[1] = {'\n'};
    BlockWriter& sorted_list = *ctx.sorted_list_file;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t t = n - i;
        const std::uint32_t line = ctx.perm[i];
        const std::uint8_t* first = table.data + table.line_start[line];
        std::size_t size = table.line_start[line + 1] - table.line_start[line];
        bool add_line_feed = false;
        if (bare && line == n - 1 && t != 1) add_line_feed = true;
        if (bare && line != n - 1 && t == 1) --size;
        if (!sorted_list.append(first, size) ||
            (add_line_feed && !sorted_list.append(kLineFeed, 1))) {
            ctx.failure = {ExitStatus::write_failed, sorted_list.sink().name(),
                           sorted_list.sink().error()};
            return;
        }
        if (t >= 2) encode_uniform(ctx.encoder, ctx.stream, tree_rank_remove(ctx.tree, ctx.inverse[i]), t);
    }
    encoder_flush(ctx.encoder, ctx.stream);
    if (!sorted_list.flush())
        ctx.failure = {ExitStatus::write_failed, sorted_list.sink().name(),
                       sorted_list.sink().error()};
}

}  // namespace wordperm
