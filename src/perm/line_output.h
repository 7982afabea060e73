// Writing lines in a given order: the sorted list (encoder) and the restored file (decoder).
//
// A list whose last line is bare (no line feed) is written as if every line ended with one,
// except the line that comes out last, which goes out without it; so the output ends without a
// line feed exactly when the list did, and the bare line never runs into its neighbour. The
// order jumps around the list, so each line's offset and first bytes are fetched a few lines
// ahead: the copies then rarely wait for memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "driver/word_table.h"

namespace wordperm {

// Calls append(bytes, size) for each line of `order` in turn (with the line-feed rule above);
// stops and returns false as soon as append does.
template <typename Append>
bool write_lines_in_order(const WordTable& table, std::span<const std::uint32_t> order,
                          Append&& append) {
    static constexpr std::uint8_t kLineFeed[1] = {'\n'};
    constexpr std::size_t kOffsetsAhead = 16;
    constexpr std::size_t kBytesAhead = 8;
    const std::uint32_t n = table.line_count;
    const bool bare = last_line_is_bare(table);
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i + kOffsetsAhead < order.size())
            __builtin_prefetch(table.line_start ? static_cast<const void*>(table.line_start +
                                                                           order[i + kOffsetsAhead])
                                                : table.line_start_wide + order[i + kOffsetsAhead]);
        if (i + kBytesAhead < order.size())
            __builtin_prefetch(table.data + line_offset(table, order[i + kBytesAhead]));
        const std::uint32_t line = order[i];
        const std::size_t size = line_size(table, line);
        const bool out_last = i + 1 == order.size();
        if (bare && line != n - 1 && out_last) {
            if (!append(table.data + line_offset(table, line), size - 1)) return false;
        } else if (!append(table.data + line_offset(table, line), size)) {
            return false;
        }
        if (bare && line == n - 1 && !out_last && !append(kLineFeed, 1)) return false;
    }
    return true;
}

}  // namespace wordperm
