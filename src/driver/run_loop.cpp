// The run loop's steps: refill the input, drain the output, and the start of a body.
#include "driver/run_loop.h"

#include <cassert>
#include <new>

namespace wordperm {
namespace {

struct BodyStart {
    CoroutineEntry body;
    void* argument;
    RunState* run;
};

// An exception must not unwind past the body's first frame (there is no caller frame to
// unwind into), so a body's allocation failure is caught here and reported like any failure.
void enter_body(void* argument) {
    auto* start = static_cast<BodyStart*>(argument);
    try {
        start->body(start->argument);
    } catch (const std::bad_alloc&) {
        start->run->failure.error = RunError::out_of_memory;
    }
}

// Reads the next block; at the end of the input, or once the run has failed, points the stream
// at eof_padding instead.
void refill_input(RunState& run, ByteReader& input, std::size_t block_bytes, RunFailure& failure) {
    Stream& stream = run.stream;
    std::ptrdiff_t got = 0;
    if (failure.error == RunError::none) {
        got = input.read(run.in_buffer, block_bytes);
        if (got < 0) failure = {RunError::read_failed, input.name(), input.error()};
    }
    if (got <= 0) {
        stream.eof = 1;
        stream.in_ptr = eof_padding;
        stream.in_end = eof_padding + sizeof eof_padding;
    } else {
        stream.in_ptr = run.in_buffer;
        stream.in_end = run.in_buffer + got;
    }
}

// Writes the buffer, or after a failure only empties it.
void drain_output(RunState& run, ByteWriter& output, RunFailure& failure) {
    Stream& stream = run.stream;
    std::size_t size = static_cast<std::size_t>(stream.out_ptr - stream.out_begin);
    stream.out_ptr = stream.out_begin;
    if (size == 0 || failure.error != RunError::none) return;
    if (!output.write(stream.out_begin, size))
        failure = {RunError::write_failed, output.name(), output.error()};
}

}  // namespace

bool run_loop(RunState& run, CoroutineEntry body, void* argument, ByteReader* input,
              ByteWriter& output, std::size_t in_block_bytes, std::size_t out_block_bytes) {
    assert(in_block_bytes >= 1 && in_block_bytes <= kBufferBytes);
    assert(out_block_bytes >= 1 && out_block_bytes <= kBufferBytes);
    Stream& stream = run.stream;
    stream.out_ptr = stream.out_begin = run.out_buffer;
    stream.out_end = run.out_buffer + out_block_bytes;
    BodyStart start{body, argument, &run};
    RunFailure loop_failure;  // the first failed read or write; the body runs on to its end
    for (;;) {
        switch (coro_call(run.coroutine, enter_body, &start)) {
            case YIELD_NEED_INPUT:
                assert(input != nullptr);
                refill_input(run, *input, in_block_bytes, loop_failure);
                break;
            case YIELD_OUTPUT_FULL:
                drain_output(run, output, loop_failure);
                break;
            default:
                assert(run.coroutine.yield_value == YIELD_DONE);
                if (loop_failure.error != RunError::none) run.failure = loop_failure;
                if (run.failure.error != RunError::none) return false;
                drain_output(run, output, run.failure);
                return run.failure.error == RunError::none;
        }
    }
}

}  // namespace wordperm
