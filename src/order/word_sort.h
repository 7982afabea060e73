// The order of lines and the sort that puts the word file into it.
//
// The sort rearranges line indices only; no byte of a line moves. Its steps are those of
// sort_procedure (order/sort_procedure.h) driven by line_compare, and they matter:
// line_compare cannot tell equal lines apart, so the order that equal lines end in is whatever
// the procedure leaves, and the sorted list and every rank of the code file follow that order.
// Changing which entries are exchanged, even for another correct sort, changes the output for
// inputs with repeated lines.
#pragma once

#include <cstdint>
#include <span>

#include "driver/word_table.h"

namespace wordperm {

// Compares line a with line b (indices below line_count): negative, zero or positive, by their
// bytes as unsigned values up to and including the line feed. A last line without a line feed
// compares equal to every line that begins with all of its bytes, so the order is not transitive
// in that one case; swapping a and b always negates the sign.
int line_compare(const WordTable& table, std::uint32_t a, std::uint32_t b);

// Rearranges perm, a permutation of 0 ... line_count - 1, into ascending line order. perm must
// have line_count entries. This is depth_bounded_sort by line_compare: a range that crafted
// input drives deeper than the depth limit is finished by a merge sort, which may allocate a
// temporary buffer; otherwise nothing is allocated. Does not recurse.
void word_sort(const WordTable& table, std::span<std::uint32_t> perm);

}  // namespace wordperm
