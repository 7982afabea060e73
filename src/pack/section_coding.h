// Range coding a section in memory: an encoder whose bytes land in a vector, and a decoder that
// reads a section's bytes, then the endless 0xFF bytes the code format supplies past its end.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"
#include "stream/memory_stream.h"

namespace wordperm {

using SectionEncoder = std::function<void(RangeEncoder&, Stream&)>;

// Runs `code` on a fresh encoder, flushes it and returns the bytes. Throws std::bad_alloc.
std::vector<std::uint8_t> encode_section(const SectionEncoder& code);

// A decoder over `section`, initialised.
struct SectionDecoder {
    explicit SectionDecoder(std::span<const std::uint8_t> section);
    SectionDecoder(const SectionDecoder&) = delete;
    SectionDecoder& operator=(const SectionDecoder&) = delete;

    MemoryStream memory;
    Stream& stream;
    RangeDecoder decoder;
};

}  // namespace wordperm
