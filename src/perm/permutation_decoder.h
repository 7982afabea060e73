// The coder body of decode mode: write the sorted list's lines back in the word file's order.
//
// Each output position has the rank of its line among the lines not yet written (decoded while
// at least two are left; the last line takes rank 0). All ranks are decoded first, turned into
// sorted positions in one batch, and the lines copied out in that order. A sorted list that ends
// without a line feed stands for a word file that did: each of its lines is taken to end with a
// line feed, and the output ends without one.
//
// A code file that was altered, cut short or made for another list can drive the code value
// out of its interval; the decoder then stops with ExitStatus::code_misfit before writing
// anything, and never reads outside the line table. One that still yields ranks in range cannot be
// told apart and decodes to some order of the lines.
#pragma once

#include "perm/coder_context.h"

namespace wordperm {

// Needs ctx.table (the sorted list) and ctx.perm (N entries); reads the code through the stream
// and writes the restored lines to it.
void permutation_decoder(CoderContext& ctx);

}  // namespace wordperm
