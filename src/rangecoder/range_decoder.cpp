// The range decoder's arithmetic. The symbol is found with one division and no correction step:
// since the split points belong to no symbol, floor(code * t / (range + 1)) is exactly the
// symbol that owns `code`. The bounds then come from split_point, as in the encoder.
#include "rangecoder/range_decoder.h"

#include <cassert>

#include "rangecoder/muldiv.h"

namespace wordperm {
void decoder_init(RangeDecoder& decoder, Stream& stream) {
    decoder.range = kAllOnes;
    decoder.code = 0;
    for (int i = 0; i < 8; ++i)
        decoder.code = (decoder.code << 8) | get_byte(stream);
}

bool decoder_found_surplus(const Stream& stream, bool symbols_decoded) {
    constexpr std::uint64_t kWindowBytes = 8;
    constexpr std::uint64_t kMostFinalBytes = 2;
    const std::uint64_t least_made_up =
        symbols_decoded ? kWindowBytes - kMostFinalBytes : kWindowBytes;
    return made_up_bytes(stream) < least_made_up;
}

std::uint32_t decode_uniform(RangeDecoder& decoder, Stream& stream, std::uint32_t t) {
    assert(t >= 2);
    // A misfit found earlier stays one: the state was left as the misfit found it.
    if (decoder.code > decoder.range) return t;
    assert(decoder.range >= kRangeFloor);
    const std::uint64_t d = share_of_code(decoder.code, decoder.range, t);
    assert(d < t);
    const std::uint64_t lo = split_point(decoder.range, d, t);
    const std::uint64_t hi = split_point(decoder.range, d + 1, t);
    // A code on the split point below d's share wraps here; one on the split point above it
    // (which the division also assigns to d) lands one past `range`.
    if (!decoder_narrow(decoder, stream, lo + 1, hi - 1 - (lo + 1))) return t;
    return static_cast<std::uint32_t>(d);
}

}  // namespace wordperm
