// The range decoder's arithmetic. The symbol is found with one division and no correction step:
// since the split points belong to no symbol, floor(code * t / (range + 1)) is exactly the
// symbol that owns `code`. The bounds then come from split_point, as in the encoder.
#include "rangecoder/range_decoder.h"

#include <cassert>

#include "rangecoder/muldiv.h"

namespace wordperm {
namespace {

// floor(code * t / 2^64), the upper half of the product, from two 32 x 32-bit partial products.
std::uint64_t high_product(std::uint64_t code, std::uint32_t t) {
    const std::uint64_t low_part = (code & 0xFFFFFFFF) * t;
    const std::uint64_t high_part = (code >> 32) * t;  // at most (2^32 - 1)^2
    return (high_part + (low_part >> 32)) >> 32;
}

}  // namespace

void decoder_init(RangeDecoder& decoder, Stream& stream) {
    decoder.range = kAllOnes;
    decoder.code = 0;
    for (int i = 0; i < 8; ++i)
        decoder.code = (decoder.code << 8) | get_byte(stream);
}

std::uint32_t decode_uniform(RangeDecoder& decoder, Stream& stream, std::uint32_t t) {
    assert(t >= 2);
    // A misfit found earlier stays one: the state was left as the misfit found it.
    if (decoder.code > decoder.range) return t;
    assert(decoder.range >= kRangeFloor);
    const std::uint64_t d = decoder.range == kAllOnes
                                ? high_product(decoder.code, t)
                                : muldiv64(decoder.code, t, decoder.range + 1);
    assert(d < t);
    const std::uint64_t lo = split_point(decoder.range, d, t);
    const std::uint64_t hi = split_point(decoder.range, d + 1, t);
    const std::uint64_t first = lo + 1;
    decoder.code -= first;
    decoder.range = hi - 1 - first;
    // A code on the split point below d's share wraps here; one on the split point above it
    // (which the division also assigns to d) lands one past `range`.
    if (decoder.code > decoder.range) return t;
    while (decoder.range < kRangeFloor) {
        decoder.range = (decoder.range << 8) | 0xFF;
        decoder.code = (decoder.code << 8) | get_byte(stream);
    }
    return static_cast<std::uint32_t>(d);
}

}  // namespace wordperm
