// The order of lines and the sort that puts the word file into it.
//
// The sort orders line indices only; no byte of a line moves. Its result is that of
// sort_procedure (order/sort_procedure.h) driven by line_compare, and that matters:
// line_compare cannot tell equal lines apart, so the order that equal lines end in is whatever
// the procedure leaves, and the sorted list and every rank of the code file follow that order.
// Another correct sort would put equal lines elsewhere and change the output for inputs with
// repeated lines.
#pragma once

#include <cstdint>
#include <span>

#include "list/word_table.h"

namespace wordperm {

// Compares line a with line b (indices below line_count): negative, zero or positive, by their
// bytes as unsigned values up to and including the line feed. A last line without a line feed
// compares equal to every line that begins with all of its bytes, so the order is not transitive
// in that one case; swapping a and b always negates the sign.
int line_compare(const WordTable& table, std::uint32_t a, std::uint32_t b);

// Fills the first line_count entries of `work` (perm) with the line indices in the order that
// depth_bounded_sort by line_compare leaves the identity in: ascending line order, equal lines
// where that procedure puts them. A range that crafted input drives deeper than the depth limit
// is finished by a merge sort. `work` has 2 line_count entries and starts 8-byte aligned; the
// second half is the sort's workspace and holds nothing of use afterwards. Beyond it the sort
// allocates one bit a line, and a little more for its two threads (std::bad_alloc when it
// cannot).
void word_sort(const WordTable& table, std::span<std::uint32_t> work);

// The reference, not used by the programs: the same result the slow way, by running the
// procedure on line_compare itself. The tests check word_sort against it.
void word_sort_by_line_compare(const WordTable& table, std::span<std::uint32_t> perm);

}  // namespace wordperm
