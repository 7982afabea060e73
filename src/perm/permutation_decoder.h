// The coder body of decode mode: write the sorted list's lines back in the word file's order.
//
// Each output position has the rank of its line among the lines not yet written (decoded while
// at least two are left; the last line takes rank 0). All ranks are decoded first, turned into
// sorted positions in one batch, and the lines copied out in that order. A sorted list that ends
// without a line feed stands for a word file that did: each of its lines is taken to end with a
// line feed, and the output ends without one.
//
// Before anything is written the pair is checked three ways, and refused with RunError::refused
// and ctx.refusal saying which check failed: the sorted list must be in
// an order the encoder writes (perm/sorted_list_check.h); every rank must come out below the
// number of lines left (a code file that was altered, cut short or made for another list can
// drive the code value onto a split point, range_decoder.h); and the code file must be no
// longer than any code the encoder writes for these lines (decoder_found_surplus). The decoder
// never reads outside the line table. A code file that passes all three, a damaged one
// included, cannot be told apart from the right one and decodes to some order of the lines:
// the code has no checksum.
#pragma once

#include "perm/coder_context.h"

namespace wordperm {

// Needs ctx.table (the sorted list) and ctx.perm (N entries); reads the code through the stream
// and writes the restored lines to it.
void permutation_decoder(CoderContext& ctx);

}  // namespace wordperm
