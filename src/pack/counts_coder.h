// How many times each distinct line occurs, for lists with repeated lines.
//
// A count m >= 1 is coded as its bit length (1 to 32) with an adaptive model whose context is
// the previous count's bit length, then its bits below the leading one uniformly.
#pragma once

#include <cstdint>
#include <span>

#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"
#include "stream/byte_stream.h"

namespace wordperm {

void encode_counts(RangeEncoder& encoder, Stream& stream, std::span<const std::uint32_t> counts);

// Decodes counts.size() counts, which must add up to exactly `lines`; false otherwise.
bool decode_counts(RangeDecoder& decoder, Stream& stream, std::uint32_t lines,
                   std::span<std::uint32_t> counts);

}  // namespace wordperm
