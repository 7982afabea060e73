// The coder body of encode mode: sort the word file, write the sorted list, code the order.
//
// For each input line in input order, its rank among the sorted lines not yet taken is coded
// as one uniform symbol over the number of lines still left, so the code costs log2(N!) bits
// whatever the order. Every line of the sorted list ends with a line feed, except that the list
// ends without one exactly when the word file did: the word file's bare last line gets a line
// feed when it does not sort last, and the last sorted line then loses its own (unless that is
// an empty line, which would vanish: the bare line is then placed last instead). A word file
// that ends with a line feed gives each line byte for byte as it was.
#pragma once

#include "perm/coder_context.h"

namespace wordperm {

// Prints "Sorting N words..." and "\b\b Done" on standard output, writes the sorted list to
// ctx.sorted_list_file and the code through the stream. Needs ctx.table, and ctx.perm and
// ctx.inverse of N entries each (their contents are set here).
void permutation_encoder(CoderContext& ctx);

}  // namespace wordperm
