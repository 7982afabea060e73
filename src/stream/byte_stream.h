// The byte streams through which a coder reaches its input and output buffers.
//
// get_byte and put_byte run once per byte and are inline: the common case is one comparison
// and one load or store. What happens when a buffer runs out, once per block, belongs to the
// stream's owner: wordperm's run loop suspends the coder's coroutine and moves a block between
// buffer and file; an archive's sections fill and empty buffers in memory (memory_stream.h).
// Once the owner has marked the input exhausted (`eof`), get_byte makes up 0xFF bytes itself,
// counting them, and never asks again: a code is read as if followed by an endless run of 0xFF
// bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wordperm {

struct Stream;

// Refills and drains a stream's buffers; called only on the slow paths below.
class StreamOwner {
  public:
    // The input block is used up and eof is not set: point in_ptr and in_end at at least one
    // more byte, or set eof.
    virtual void refill(Stream& stream) = 0;
    // The output buffer is full (out_ptr == out_end): take the bytes from out_begin and reset
    // out_ptr, out_begin and out_end to free room.
    virtual void drain(Stream& stream) = 0;

  protected:
    ~StreamOwner() = default;
};

struct Stream {
    const std::uint8_t* in_ptr = nullptr;  // next unread input byte
    const std::uint8_t* in_end = nullptr;  // one past the last byte of the current input block
    std::uint8_t* out_ptr = nullptr;       // next free byte of the output buffer
    std::uint8_t* out_begin = nullptr;     // first byte of the output buffer
    std::uint8_t* out_end = nullptr;       // one past its last byte; out_ptr < out_end in a coder
    std::uint32_t eof = 0;                 // 1 once the input is exhausted
    std::uint64_t past_end_reads = 0;      // 0xFF bytes made up after that
    StreamOwner* owner = nullptr;          // refills and drains the buffers
};

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
        stream.owner->drain(stream);
}

// Appends `size` bytes, draining at every full buffer just as put_byte would.
void put_bytes(Stream& stream, const std::uint8_t* bytes, std::size_t size);

// Appends `count` copies of `byte`, a buffer at a time: a run of pending bytes in the range
// encoder can be billions long.
void put_repeated(Stream& stream, std::uint8_t byte, std::uint64_t count);

}  // namespace wordperm
