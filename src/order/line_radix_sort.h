// Sorting the lines into ascending byte order, with the equal neighbours marked: the first step
// of the word sort. It is free to leave equal lines in any order (the replay fixes theirs), so
// it needs no comparisons of whole lines: a most-significant-digit radix sort on 4-byte keys
// cached next to the line numbers, refreshed from the next bytes of the lines wherever a group
// shares its whole key. A group whose lines share a long stretch beyond the key (a common
// prefix) skips that stretch at once, found by comparing each line with the group's first.
//
// Two byte orders: the word sort's, which compares lines up to and including their line feeds
// (so "a\t" comes before "a", the tab being below the line feed), and the order in which a line
// comes before every longer line that begins with it, which `sort` in the C locale gives and
// wordpack's sets are kept in. The bare last line, if any, is sorted as if it ended with a line
// feed.
#pragma once

#include <cstdint>
#include <span>

#include "list/word_table.h"
#include "order/equal_marks.h"

namespace wordperm {

enum class LineOrder {
    with_line_feed,  // bytes up to and including the line feed
    prefix_first,    // bytes without the line feed; a line before every longer one it begins
};

// Leaves in the low 32 bits of sorted[j] (N entries) the line at sorted position j and sets mark
// j of `equal` when that line equals the one at j - 1; the high bits are left undefined. With
// two_threads, two parts of the first split are sorted at the same time. Allocates a stack of
// pending groups (std::bad_alloc when it cannot).
void radix_sort_lines(const WordTable& table, std::span<std::uint64_t> sorted, EqualMarks& equal,
                      bool two_threads, LineOrder order = LineOrder::with_line_feed);

}  // namespace wordperm
