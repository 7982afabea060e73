// A Stream over a buffer of its own, for running the range coder without the run loop.
//
// The input is marked exhausted from the start, so get_byte hands out what it was given and
// then makes up 0xFF bytes itself, never suspending. Output suspends only when the buffer fills,
// which needs a coroutine: a buffer larger than anything written lets a coder run as a plain
// call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "driver/stream.h"

namespace wordperm::testing {

struct BufferStream {
    explicit BufferStream(std::size_t out_bytes, std::span<const std::uint8_t> input = {})
        : out(out_bytes) {
        rewind_output();
        set_input(input);
    }

    // Empties the output buffer, dropping what was written.
    void rewind_output() {
        stream.out_begin = stream.out_ptr = out.data();
        stream.out_end = out.data() + out.size();
    }

    // Reads `input` from its start, then 0xFF bytes.
    void set_input(std::span<const std::uint8_t> input) {
        stream.in_ptr = input.data();
        stream.in_end = input.data() + input.size();
        stream.eof = 1;
    }

    std::vector<std::uint8_t> written() const { return {stream.out_begin, stream.out_ptr}; }

    std::vector<std::uint8_t> out;  // the output buffer
    Stream stream;
};

}  // namespace wordperm::testing
