// Writing lines in a given order: the sorted list (encoder) and the restored file (decoder).
//
// A list whose last line is bare (no line feed) is written as if every line ended with one,
// except the line that comes out last, which goes out without it; so the output ends without a
// line feed exactly when the list did, and the bare line never runs into its neighbour. The
// bare line's line feed is the one the word table keeps after the contents.
//
// Lines are copied 16 bytes at a time straight into the output's buffer while it has room for
// the line and 16 bytes more: the last piece may read past the line (the word table's tail keeps
// that inside its buffer) and write past it (into room that the next line overwrites). A line
// that does not fit goes the slow way, which hands the buffer over. The order jumps around the
// list, so each line's start and first bytes are fetched a few lines ahead: the copies then
// rarely wait for memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "list/word_table.h"

namespace wordperm {

inline constexpr std::size_t kLinePieceBytes = 16;
static_assert(kTailBytes >= kLinePieceBytes, "a piece read past a line must stay in the table");

// An Output has `cursor` and `end`, the free part of its buffer, which the writer fills and
// advances, and append(bytes, size), which takes a line the free part cannot, refills `cursor`
// and `end`, and returns false on failure.
template <typename Output>
bool write_lines_in_order(const WordTable& table, std::span<const std::uint32_t> order,
                          Output& output) {
    constexpr std::size_t kStartsAhead = 16;
    constexpr std::size_t kBytesAhead = 8;
    const std::uint32_t bare_line = last_line_is_bare(table) ? table.line_count - 1 : UINT32_MAX;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i + kStartsAhead < order.size()) {
            const std::uint32_t ahead = order[i + kStartsAhead];
            __builtin_prefetch(table.line_start ? static_cast<const void*>(table.line_start + ahead)
                                                : table.line_start_wide + ahead);
        }
        if (i + kBytesAhead < order.size())
            __builtin_prefetch(table.data + line_offset(table, order[i + kBytesAhead]));
        const std::uint32_t line = order[i];
        const std::uint8_t* bytes = table.data + line_offset(table, line);
        // With its line feed, or without one if it comes out last from a bare-ended list.
        std::size_t size = line_size(table, line) + (line == bare_line);
        if (i + 1 == order.size() && bare_line != UINT32_MAX) --size;
        if (static_cast<std::size_t>(output.end - output.cursor) >= size + kLinePieceBytes) {
            for (std::size_t done = 0; done < size; done += kLinePieceBytes)
                std::memcpy(output.cursor + done, bytes + done, kLinePieceBytes);
            output.cursor += size;
        } else if (!output.append(bytes, size)) {
            return false;
        }
    }
    return true;
}

}  // namespace wordperm
