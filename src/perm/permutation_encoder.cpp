// The encoder body: sort, then write the sorted list while every input line's sorted position
// is turned into its rank in one batch and the ranks are coded in input order.
#include "perm/permutation_encoder.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "base/run_both.h"
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
    if (last == n - 1 || line_size(table, last) != 1) return;
    auto bare_line = std::find(perm.begin(), perm.end(), n - 1);
    std::rotate(bare_line, bare_line + 1, perm.end());
}

// Where the sorted list's lines go first: a block that is handed to the list's writer whole.
// Its part beyond the writer's own block size leaves room for the line that does not fit, so
// what is handed over is at least a whole block of the writer's, which takes it without a copy.
class ListBlock {
  public:
    explicit ListBlock(BlockWriter& list)
        : list_(list), block_(std::make_unique_for_overwrite<std::uint8_t[]>(kBytes)) {
        cursor = block_.get();
        end = cursor + kBytes;
    }

    // Hands over what the block holds, then takes the line.
    bool append(const std::uint8_t* bytes, std::size_t size) {
        if (!hand_over()) return false;
        if (size + kLinePieceBytes > kBytes) return list_.append(bytes, size);
        std::memcpy(cursor, bytes, size);
        cursor += size;
        return true;
    }

    bool hand_over() {
        const auto used = static_cast<std::size_t>(cursor - block_.get());
        cursor = block_.get();
        return used == 0 || list_.append(block_.get(), used);
    }

    std::uint8_t* cursor;
    std::uint8_t* end;

  private:
    static constexpr std::size_t kBytes = BlockWriter::kBlockBytes + (std::size_t{1} << 16);
    BlockWriter& list_;
    std::unique_ptr<std::uint8_t[]> block_;
};

}  // namespace

void permutation_encoder(CoderContext& ctx) {
    const WordTable& table = ctx.table;
    const std::uint32_t n = table.line_count;
    encoder_init(ctx.encoder);

    std::printf("Sorting %" PRIu32 " words...", n);
    std::fflush(stdout);
    word_sort(table, {ctx.perm, 2 * std::size_t{n}});
    std::puts("\b\b Done");
    std::fflush(stdout);

    if (last_line_is_bare(table)) keep_list_ending_bare(table, {ctx.perm, n});

    // The sorted list is written on a second thread while this one finds and codes the ranks:
    // the two share nothing but the sorted order, which neither changes. This thread may suspend
    // in encode_uniform while the other runs; the run loop resumes the body to its end whatever
    // fails meanwhile (run_loop.h), so the other thread is always joined here before anything
    // it reads is freed.
    BlockWriter& sorted_list = *ctx.sorted_list_file;
    bool list_written = false;
    bool ranks_found = false;
    run_both(
        n,
        [&] {
            ListBlock block(sorted_list);
            list_written = write_lines_in_order(table, {ctx.perm, n}, block) && block.hand_over() &&
                           sorted_list.flush();
        },
        [&] {
            // Input line i sits at sorted position inverse[i]; its rank replaces it in place.
            std::uint32_t* rank = ctx.inverse;
            for (std::uint32_t j = 0; j < n; ++j)
                rank[ctx.perm[j]] = j;
            try {
                ranks_from_positions({rank, n}, {rank, n});
            } catch (const std::bad_alloc&) {
                return;
            }
            ranks_found = true;
            for (std::uint32_t i = 0; i + 1 < n; ++i)
                encode_uniform(ctx.encoder, ctx.run.stream, rank[i], n - i);
            encoder_flush(ctx.encoder, ctx.run.stream);
        });
    if (!list_written) {
        ctx.run.failure = {RunError::write_failed, sorted_list.sink().name(),
                           sorted_list.sink().error()};
    } else if (!ranks_found) {
        ctx.run.failure.error = RunError::out_of_memory;
    }
}

}  // namespace wordperm
