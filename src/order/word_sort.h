// The order of lines and the sort that puts the word file into it.
//
// The sort rearranges line indices only; no byte of a line moves. It is an in-place quicksort
// (median of three, equal lines trimmed off, ranges of up to 8 entries finished by selection)
// whose exact steps matter: line_compare cannot tell equal lines apart, so the order that equal
// lines end in is whatever this procedure leaves, and the sorted list and every rank of the code
// file follow that order. Changing which entries are exchanged, even for another correct sort,
// changes the output for inputs with repeated lines.
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

// One pass of the selection sort of small ranges: moves the greatest line of `range` to its last
// position by one exchange. Among equal greatest lines the one at the lowest position is moved.
void selection_pass(const WordTable& table, std::span<std::uint32_t> range);

// Rearranges perm, a permutation of 0 ... line_count - 1, into ascending line order. perm must
// have line_count entries. Allocates nothing and does not recurse.
void word_sort(const WordTable& table, std::span<std::uint32_t> perm);

}  // namespace wordperm
