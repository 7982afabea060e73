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

// Runs `code` on a fresh encoder, flushes it with `end` and returns the bytes. Throws
// std::bad_alloc.
std::vector<std::uint8_t> encode_section(const SectionEncoder& code,
                                         CodeEnd end = CodeEnd::keep_pending);

// A decoder over `section`, initialised.
struct SectionDecoder {
    explicit SectionDecoder(std::span<const std::uint8_t> section);
    // After the last symbol: the section is exactly the code the encoder writes for them with
    // CodeEnd::keep_pending (decoder_ends_code).
    bool ends_exactly() const;
    SectionDecoder(const SectionDecoder&) = delete;
    SectionDecoder& operator=(const SectionDecoder&) = delete;

    std::size_t section_bytes;
    MemoryStream memory;
    Stream& stream;
    RangeDecoder decoder;
};

}  // namespace wordperm
