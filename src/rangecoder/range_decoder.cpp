// The range decoder's arithmetic. The symbol is found with one division and no correction step:
// since the split points belong to no symbol, floor(code * t / (range + 1)) is exactly the
// symbol that owns `code`. The bounds then come from split_point, as in the encoder.
#include "rangecoder/range_decoder.h"

#include <cassert>

#include "rangecoder/muldiv.h"

namespace wordperm {
void decoder_init(RangeDecoder& decoder, Stream& stream) {
    decoder = RangeDecoder{};
    for (int i = 0; i < 8; ++i)
        decoder.code = (decoder.code << 8) | get_byte(stream);
}

bool decoder_found_surplus(std::uint64_t made_up_bytes, bool symbols_decoded) {
    constexpr std::uint64_t kWindowBytes = 8;
    constexpr std::uint64_t kMostFinalBytes = 2;
    const std::uint64_t least_made_up =
        symbols_decoded ? kWindowBytes - kMostFinalBytes : kWindowBytes;
    return made_up_bytes < least_made_up;
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

// The encoder's flush, run on the state the decoder followed: the final value and the number of
// its bytes written (none when the interval reaches the top of the initial one and no carry is
// pending). Each shift wrote one byte, so the code has shifts + window bytes in all.
bool decoder_ends_code(const RangeDecoder& decoder, std::uint64_t bytes_read,
                       std::uint64_t length) {
    if (bytes_read < 8) return false;
    const std::uint64_t shifts = bytes_read - 8;
    const std::uint64_t low = decoder.low, range = decoder.range;
    const std::uint64_t last = low + range;
    const bool open_top = last < low || last == kAllOnes;
    const std::uint64_t top = last + 1;
    const std::uint64_t mid = low + range / 2;
    const bool carry = decoder.carry != 0 || mid < low;
    std::uint64_t value = kAllOnes;
    std::uint64_t window_bytes = 0;
    if (!open_top || carry) {
        value = mid;
        window_bytes = 8;
        for (std::uint64_t mask = 0xFF; window_bytes > 1 && (value | mask) < top;
             mask = (mask << 8) | 0xFF) {
            value |= mask;
            --window_bytes;
        }
    }
    return length == shifts + window_bytes && decoder.code == value - low;
}

}  // namespace wordperm
