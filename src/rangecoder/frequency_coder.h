// Symbols with frequencies, and binary decisions with a 16-bit probability, on the same range
// encoder and decoder as the uniform symbols; all three kinds mix freely in one code.
//
// A frequency symbol owns the shares cum to cum + freq - 1 of `total` equal shares, cut exactly
// as the uniform symbols cut theirs (split_point), with the first value of the symbol's whole
// interval left out: a uniform symbol s of t is the frequency symbol (s, 1, t), byte for byte.
// Decoding is two calls, because only the caller's model knows which symbol owns a share:
// decode_share finds the share, the model finds its symbol, decode_frequency narrows.
//
// A binary decision costs no division: the interval is cut at floor(range / 2^16) * p1, and the
// lower part, which the decision 1 takes, is at least 2^40 values wide. No value lies between
// the parts, so a damaged code is not detected here: the container's checksums catch it.
#pragma once

#include <cstdint>

#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"
#include "stream/byte_stream.h"

namespace wordperm {

// Codes the symbol that owns shares [cum, cum + freq) of total; requires freq >= 1,
// cum + freq <= total and 2 <= total < 2^32.
void encode_frequency(RangeEncoder& encoder, Stream& stream, std::uint32_t cum, std::uint32_t freq,
                      std::uint32_t total);

// Which of `total` shares holds the code value: below total for a code that fits, total itself
// once the code has stopped fitting (then decode_frequency must not be called). Reads nothing.
std::uint32_t decode_share(const RangeDecoder& decoder, std::uint32_t total);

// Narrows to the symbol (cum, freq, total) whose shares hold the value decode_share found.
// Returns false when the code value sits on the boundary the encoder never uses (a code that
// does not fit); the decoder then keeps failing.
bool decode_frequency(RangeDecoder& decoder, Stream& stream, std::uint32_t cum, std::uint32_t freq,
                      std::uint32_t total);

// Probability of a 1, in units of 2^-16, strictly between 0 and 2^16.
using BitProbability = std::uint32_t;

inline std::uint64_t binary_split(std::uint64_t range, BitProbability p1) {
    return (range >> 16) * p1;
}

inline void encode_bit(RangeEncoder& encoder, Stream& stream, int bit, BitProbability p1) {
    assert(p1 > 0 && p1 < 65536 && encoder.range >= (std::uint64_t{1} << 56));
    const std::uint64_t split = binary_split(encoder.range, p1);
    if (bit)
        narrow_interval(encoder, stream, 0, split - 1);
    else
        narrow_interval(encoder, stream, split, encoder.range - split);
}

// The decision that encode_bit coded with the same p1. A code that has stopped fitting yields
// decisions without meaning; the caller's checks and the checksums catch what follows from them.
inline int decode_bit(RangeDecoder& decoder, Stream& stream, BitProbability p1) {
    const std::uint64_t split = binary_split(decoder.range, p1);
    if (decoder.code < split) {
        decoder_narrow(decoder, stream, 0, split - 1);
        return 1;
    }
    decoder_narrow(decoder, stream, split, decoder.range - split);
    return 0;
}

}  // namespace wordperm
