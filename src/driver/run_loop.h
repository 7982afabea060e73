// The run loop: feeds and drains a body's buffers until the body is done.
//
// The loop is the only caller of coro_call, so every call starts from the same place. On
// YIELD_NEED_INPUT it reads the next block of the input (at the end of the input it supplies
// eof_padding and sets eof, after which the body never asks again); on YIELD_OUTPUT_FULL it
// writes the whole buffer and resumes the body with an empty one; on YIELD_DONE it writes what
// is left. Every read and write is checked: a failure stops the run with run.failure set. A body
// that fails records its failure in run.failure and returns.
//
// The loop knows a body only as an entry point and its argument; what the body computes, and the
// state it keeps for that, are none of its business.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/coroutine.h"
#include "driver/exit_status.h"
#include "driver/stream.h"
#include "io/byte_io.h"

namespace wordperm {

inline constexpr std::size_t kBufferBytes = 65536;

// What the run loop shares with the body it runs.
struct RunState {
    Stream stream;    // the body's view of the two buffers, and its coroutine
    Failure failure;  // the run's first failure; stays success while there is none
    std::uint8_t in_buffer[kBufferBytes];   // the latest block read from the input
    std::uint8_t out_buffer[kBufferBytes];  // bytes of the body's output not yet written
};

// Runs body(argument) to completion. `input` may be null for a body that reads nothing. Block
// sizes other than kBufferBytes (down to one byte) exist for tests. Returns false with
// run.failure set when a read, a write or the body fails.
bool run_loop(RunState& run, CoroutineEntry body, void* argument, ByteReader* input,
              ByteWriter& output, std::size_t in_block_bytes = kBufferBytes,
              std::size_t out_block_bytes = kBufferBytes);

}  // namespace wordperm
