// Splitting indexes the list's lines as wordperm does and sorts them with its radix sort, in the
// order in which a line precedes the longer lines it begins; the sort marks equal neighbours, so
// each run of them becomes one distinct line, and the order among equal lines never shows.
#include "pack/line_set.h"

#include <cstring>
#include <new>

#include "list/word_table.h"
#include "order/equal_marks.h"
#include "order/line_radix_sort.h"

namespace wordperm {

SplitList split_list(std::span<const std::uint8_t> list) {
    LargeArray<std::uint8_t> bytes = make_large_array<std::uint8_t>(list.size() + kTailBytes);
    if (!list.empty()) std::memcpy(bytes.get(), list.data(), list.size());
    return split_list(std::move(bytes), list.size());
}

SplitList split_list(LargeArray<std::uint8_t> bytes, std::uint64_t length) {
    WordTable table;
    LoadFailure failure;
    // Fewer than 2^32 bytes hold fewer than 2^32 lines: only memory can fail.
    if (!index_word_table(table, std::move(bytes), length, failure)) throw std::bad_alloc();
    const std::uint32_t n = table.line_count;
    SplitList split;
    split.final_line_feed = !last_line_is_bare(table);
    std::vector<std::uint64_t> sorted(n);
    EqualMarks equal(n);
    radix_sort_lines(table, sorted, equal, /*two_threads=*/true, LineOrder::prefix_first);

    LineSet& set = split.set;
    split.line_index.resize(n);
    set.start.push_back(0);
    for (std::uint32_t j = 0; j < n; ++j) {
        const auto line = static_cast<std::uint32_t>(sorted[j]);
        if (j == 0 || !equal.test(j)) {
            // The line without its line feed; a bare last line has none.
            const std::uint8_t* content = table.data + line_offset(table, line);
            const bool bare = line + 1 == n && !split.final_line_feed;
            const std::uint64_t size = line_size(table, line) - (bare ? 0 : 1);
            set.bytes.insert(set.bytes.end(), content, content + size);
            set.start.push_back(static_cast<std::uint32_t>(set.bytes.size()));
            set.count.push_back(0);
        }
        ++set.count.back();
        split.line_index[line] = static_cast<std::uint32_t>(set.count.size() - 1);
    }
    // The set lives through every later step, beside the models' tables: give back what growing
    // it left spare.
    set.bytes.shrink_to_fit();
    set.start.shrink_to_fit();
    set.count.shrink_to_fit();
    return split;
}

std::uint64_t joined_size(const LineSet& set, bool final_line_feed) {
    std::uint64_t size = 0, lines = 0;
    for (std::size_t k = 0; k < set.distinct(); ++k) {
        size += std::uint64_t{set.count[k]} * (set.start[k + 1] - set.start[k] + 1);
        lines += set.count[k];
    }
    return lines != 0 && !final_line_feed ? size - 1 : size;
}

}  // namespace wordperm
