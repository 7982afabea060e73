// The run loop: feeds and drains the body's buffers until the body is done.
//
// The loop is the only caller of coro_call, so every call starts from the same place. On
// YIELD_NEED_INPUT it reads the next block of the input (at the end of the input it supplies
// eof_padding and sets eof, after which the body never asks again); on YIELD_OUTPUT_FULL it
// writes the whole buffer and resumes the body with an empty one; on YIELD_DONE it writes what
// is left. Every read and write is checked: a failure stops the run with ctx.failure set. A body
// that fails records its failure in ctx.failure and returns.
#pragma once

#include <cstddef>

#include "driver/byte_io.h"
#include "driver/coder_context.h"

namespace wordperm {

using CoderBody = void (*)(CoderContext& ctx);

// Runs `body` to completion. `input` may be null for a body that reads nothing. Block sizes
// other than kBufferBytes (down to one byte) exist for tests. Returns false with ctx.failure
// set when a read, a write or the body fails.
bool run_loop(CoderContext& ctx, CoderBody body, ByteReader* input, ByteWriter& output,
              std::size_t in_block_bytes = kBufferBytes,
              std::size_t out_block_bytes = kBufferBytes);

}  // namespace wordperm
