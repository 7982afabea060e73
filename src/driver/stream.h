// The byte streams through which a coder body reaches its input and output buffers.
//
// get_byte and put_byte run once per byte and are inline: the common case is one comparison
// and one load or store; the suspension (once per block) is the out-of-line slow path. Once the
// run loop has found the input exhausted (`eof`), get_byte makes up 0xFF bytes itself and never
// suspends again: the code file is read as if followed by an endless run of 0xFF bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/coroutine.h"

namespace wordperm {

struct Stream {
    const std::uint8_t* in_ptr = nullptr;  // next unread input byte
    const std::uint8_t* in_end = nullptr;  // one past the last byte of the current input block
    std::uint8_t* out_ptr = nullptr;       // next free byte of the output buffer
    std::uint8_t* out_begin = nullptr;     // first byte of the output buffer
    std::uint8_t* out_end = nullptr;       // one past its last byte; out_ptr < out_end in a body
    std::uint32_t eof = 0;                 // 1 once the input is exhausted and eof_padding supplied
    std::uint64_t past_end_reads = 0;      // 0xFF bytes made up after eof_padding was used up
    Coroutine coroutine;                   // the body that reads and writes through this stream
};

// Eight 0xFF bytes that the run loop supplies once the input file is exhausted.
inline constexpr std::uint8_t eof_padding[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// get_byte's slow path: the current input block is used up.
std::uint8_t get_byte_after_block(Stream& stream);

inline std::uint8_t get_byte(Stream& stream) {
    if (stream.in_ptr < stream.in_end) [[likely]]
        return *stream.in_ptr++;
    return get_byte_after_block(stream);
}

// The test follows the store, so a full buffer is handed over the moment its last byte is
// stored and put_byte never finds the buffer full on entry.
inline void put_byte(Stream& stream, std::uint8_t byte) {
    *stream.out_ptr++ = byte;
    if (stream.out_ptr == stream.out_end) [[unlikely]]
        coro_yield(stream.coroutine, YIELD_OUTPUT_FULL);
}

// Appends `size` bytes, suspending at every full buffer just as put_byte would.
void put_bytes(Stream& stream, const std::uint8_t* bytes, std::size_t size);

// Appends `count` copies of `byte`, a buffer at a time: a run of pending bytes in the range
// encoder can be billions long.
void put_repeated(Stream& stream, std::uint8_t byte, std::uint64_t count);

// The bytes get_byte has made up beyond the end of the input so far: those of eof_padding, then
// the counted ones. 0 while the end has not been reached.
inline std::uint64_t made_up_bytes(const Stream& stream) {
    if (!stream.eof) return 0;
    const bool in_padding = stream.in_end == eof_padding + sizeof eof_padding;
    return (in_padding ? static_cast<std::uint64_t>(stream.in_ptr - eof_padding) : 0) +
           stream.past_end_reads;
}

}  // namespace wordperm
