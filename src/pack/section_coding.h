// Range coding a section in memory: an encoder run as a body of the run loop, whose output
// lands in a byte vector, and a decoder reading from a span.
//
// The encoder's output has no bound known in advance, and put_byte suspends the body when its
// buffer is full, so the encoder runs as a coroutine body like wordperm's. The decoder needs no
// coroutine: its whole input is in memory, marked as the end of input, after which get_byte
// makes up 0xFF bytes as the code format wants.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "driver/stream.h"
#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"

namespace wordperm {

using SectionEncoder = std::function<void(RangeEncoder&, Stream&)>;

// Runs `code` on a fresh encoder, flushes it and returns the bytes. Throws std::bad_alloc,
// also when `code` threw it.
std::vector<std::uint8_t> encode_section(const SectionEncoder& code);

// A decoder over `section`, initialised.
struct SectionDecoder {
    explicit SectionDecoder(std::span<const std::uint8_t> section);
    Stream stream;
    RangeDecoder decoder;
};

}  // namespace wordperm
