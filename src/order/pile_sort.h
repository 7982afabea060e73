// Sorting lines that come in order, or as a few interleaved ascending sequences. A list that
// ascends or descends already is recognised in one pass over neighbouring lines, which stops at
// the first lines for any other list, and taken as it is. A dictionary kept in a
// locale's order (which ignores case and punctuation where bytes do not) is 14 of them in byte
// order, a sorted list with lines inserted here and there a few more. The lines are dealt in file
// order onto piles, each kept ascending: a line goes onto the pile whose last line is the greatest
// not above it, or starts a pile of its own in front when every last line is above it. That takes
// the fewest piles possible, as many as the longest descending sequence of lines. The piles are
// then merged. Each line costs a few comparisons, mostly of cached 8-byte keys, against the last
// lines of the piles or the heads being merged, which stay in the caches.
//
// Like the radix sort it leaves equal lines in any order and marks them, and it takes the bare
// last line as if it ended with a line feed.
#pragma once

#include <cstdint>
#include <span>

#include "list/word_table.h"
#include "order/equal_marks.h"

namespace wordperm {

// The most piles dealt before giving up: a shuffled list needs that many within about a
// thousand lines, so giving up costs nothing to speak of.
inline constexpr std::size_t kMaxPiles = 64;

// Puts the line numbers in byte order into `sorted` and marks in `equal` each position whose
// line equals the one before, using `next` (both line_count entries) for the piles. Returns false
// when the lines neither ascend nor descend and need more than kMaxPiles piles; `sorted`, `next`
// and `equal` are then as they were, except that `next` holds nothing of use.
bool pile_sort_lines(const WordTable& table, std::span<std::uint32_t> sorted,
                     std::span<std::uint32_t> next, EqualMarks& equal);

}  // namespace wordperm
