// A list as the set of its distinct lines in byte order, how often each occurs, and which one
// each input line is; and the way back to the list's bytes.
//
// A line here is its content only, without the line feed: the list is the lines joined by line
// feeds, with one more at the end unless the last line is bare (`final_line_feed`). So a bare
// last line "abc" and a line "abc\n" are the same line, and the empty file has no lines while
// "\n" has one empty line. Byte order compares unsigned bytes, a line before every longer line
// that begins with it; distinct lines are therefore strictly ascending. Lists hold fewer than
// 2^32 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/large_array.h"

namespace wordperm {

struct LineSet {
    std::vector<std::uint8_t> bytes;   // the distinct lines' contents, in byte order, end to end
    std::vector<std::uint32_t> start;  // D + 1 ascending offsets into bytes; start[D] = its size
    std::vector<std::uint32_t> count;  // occurrences of each distinct line, each >= 1

    std::size_t distinct() const { return count.size(); }
    std::string_view line(std::size_t k) const {
        return {reinterpret_cast<const char*>(bytes.data()) + start[k], start[k + 1] - start[k]};
    }
};

struct SplitList {
    LineSet set;
    std::vector<std::uint32_t> line_index;  // for each input line, its distinct line's index
    bool final_line_feed = true;            // the list is empty or ends with a line feed
};

// Splits and sorts the list of `length` bytes at the start of `bytes`, which has room for
// kTailBytes more (list/word_table.h) and is given up to the split. Throws std::bad_alloc.
SplitList split_list(LargeArray<std::uint8_t> bytes, std::uint64_t length);

// The same for a list held elsewhere, which is copied.
SplitList split_list(std::span<const std::uint8_t> list);

// The size in bytes of the list that has set.count[k] copies of each line, computed from the set
// alone.
std::uint64_t joined_size(const LineSet& set, bool final_line_feed);

}  // namespace wordperm
