// How many times each distinct line occurs, for lists with repeated lines.
//
// A count m >= 1 is coded as its bit length (1 to 32) with an adaptive frequency model whose
// context is the previous count's bit length, then its bits below the leading one, high first:
// uniformly in version 1 archives; in version 2 each as a binary decision with an adaptive
// probability chosen by the bit length, the bit's place and the bits of the count above it (the
// first four), so that regular counts (every line twice, say) cost next to nothing.
#pragma once

#include <cstdint>
#include <span>

#include "pack/format_version.h"
#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"
#include "stream/byte_stream.h"

namespace wordperm {

void encode_counts(RangeEncoder& encoder, Stream& stream, std::span<const std::uint32_t> counts,
                   FormatVersion version);

// Decodes counts.size() counts, which must add up to exactly `lines`; false otherwise, or once
// decoding has read more than most_past_end_reads bytes past the code's end.
bool decode_counts(RangeDecoder& decoder, Stream& stream, std::uint32_t lines,
                   FormatVersion version, std::uint64_t most_past_end_reads,
                   std::span<std::uint32_t> counts);

}  // namespace wordperm
