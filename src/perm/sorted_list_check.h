// Whether a sorted list is in an order the encoder writes, checked before a decode trusts it.
//
// The encoder writes the word file's lines in the order of line_compare (order/word_sort.h), so
// a list that ends with a line feed is in ascending byte order, each line compared with its
// line feed: every such list, and only such a list, is one the encoder writes (for itself, say).
//
// A list that ends without one came from a word file whose last line b was bare, and b compares
// equal to every line that starts with all of its bytes. The other lines split into those below
// every line that starts with b (L), those that start with b (E), and those above them all (G),
// and every comparison across these groups is that of byte order; only within E and b does the
// order fail to be transitive. Whatever the sort's steps, its output is therefore L in ascending
// order, then b (with a line feed) and E in an order of their own, then G in ascending order: the
// adjacent pairs out of byte order all lie within one run of lines that start with b, and the
// line "b\n" is in that run. One more step can follow: when the line that sorts last is an empty
// line, which would vanish without its line feed, b is moved after it to end the list (see
// perm/permutation_encoder.h). The list then ends with an empty line and b, which sorts before
// it (b starts with a byte below the line feed, or the empty line would not sort above it), and
// the pairs out of order before them lie among lines that start with b.
//
// The check accepts exactly those shapes. b itself is unknown to it: in the first shape any
// non-empty b serves that starts every line of every pair out of order and whose "b\n" is a line
// of the list; in the second, b is the list's last line. Some lists of these shapes are ones the
// sort never leaves for any word file (it does not put E in every order), so a list that passes
// is only known to be possible, not to be the one written with this code file.
#pragma once

#include <cstdint>
#include <optional>

#include "list/word_table.h"

namespace wordperm {

// Nothing when `table`, a sorted list, has one of the shapes above; otherwise the index of a
// line that sorts before the line above it (1 to N - 1).
std::optional<std::uint64_t> first_line_out_of_order(const WordTable& table);

}  // namespace wordperm
