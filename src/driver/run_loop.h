// The run loop: feeds and drains a body's buffers until the body is done.
//
// The loop is the only caller of coro_call, so every call starts from the same place. On
// YIELD_NEED_INPUT it reads the next block of the input (at the end of the input it supplies
// eof_padding and sets eof, after which the body never asks again); on YIELD_OUTPUT_FULL it
// writes the whole buffer and resumes the body with an empty one; on YIELD_DONE it writes what
// is left. Every read and write is checked. A body that fails records its failure in run.failure
// and returns.
//
// The loop never abandons a suspended body: after a failed read or write it records the failure
// and goes on resuming the body, handing it the end of its input and throwing its output away,
// until the body returns, and only then reports the failure. A body may therefore suspend
// anywhere, even while a thread of its own is running (the encoder writes the sorted list on a
// second thread while it codes), and still be sure to be resumed and to join that thread before
// run_loop returns and its caller frees what the thread uses.
//
// The loop knows a body only as an entry point and its argument; what the body computes, and the
// state it keeps for that, are none of its business.
#pragma once

#include <cstddef>
#include <cstdint>

#include <string>

#include "driver/coroutine.h"
#include "io/byte_io.h"
#include "stream/byte_stream.h"

namespace wordperm {

inline constexpr std::size_t kBufferBytes = 65536;

// Eight 0xFF bytes that the run loop supplies once the input file is exhausted.
inline constexpr std::uint8_t eof_padding[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// The bytes get_byte has made up beyond the end of the input so far: those of eof_padding, then
// the counted ones. 0 while the end has not been reached.
inline std::uint64_t made_up_bytes(const Stream& stream) {
    if (!stream.eof) return 0;
    const bool in_padding = stream.in_end == eof_padding + sizeof eof_padding;
    return (in_padding ? static_cast<std::uint64_t>(stream.in_ptr - eof_padding) : 0) +
           stream.past_end_reads;
}

// Why a run ended early, for the program to say in its own words and with its own status.
enum class RunError {
    none,
    read_failed,    // the input could not be read (file and reason below)
    write_failed,   // the output could not be written (file and reason below)
    out_of_memory,  // the body ran out of memory
    refused,        // the body refused its input; the body's own record says why
};

struct RunFailure {
    RunError error = RunError::none;
    std::string file;    // the reader's or writer's name, as given on the command line
    std::string reason;  // what went wrong, e.g. strerror's text
};

// What the run loop shares with the body it runs. It owns the body's stream: an empty input
// block or a full output buffer suspends the body, and the loop refills or drains the buffer
// before resuming it.
struct RunState final : StreamOwner {
    RunState() { stream.owner = this; }
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

    void refill(Stream&) override { coro_yield(coroutine, YIELD_NEED_INPUT); }
    void drain(Stream&) override { coro_yield(coroutine, YIELD_OUTPUT_FULL); }

    Stream stream;        // the body's view of the two buffers
    Coroutine coroutine;  // the body's own stack, between suspensions
    RunFailure failure;   // the run's first failure; error stays none while there is none
    std::uint8_t in_buffer[kBufferBytes];   // the latest block read from the input
    std::uint8_t out_buffer[kBufferBytes];  // bytes of the body's output not yet written
};

// Runs body(argument) to completion. `input` may be null for a body that reads nothing. Block
// sizes other than kBufferBytes (down to one byte) exist for tests. Returns false with
// run.failure set when a read, a write or the body fails; a failed read or write comes first, as
// the body's own failure may only follow from the input it was then given.
bool run_loop(RunState& run, CoroutineEntry body, void* argument, ByteReader* input,
              ByteWriter& output, std::size_t in_block_bytes = kBufferBytes,
              std::size_t out_block_bytes = kBufferBytes);

}  // namespace wordperm
