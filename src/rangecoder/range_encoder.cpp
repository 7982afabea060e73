// The range encoder's arithmetic. Interval bounds come from split_point, the same function the
// decoder uses, so both sides narrow identically.
#include "rangecoder/range_encoder.h"

#include <cassert>

#include "rangecoder/muldiv.h"

namespace wordperm {
namespace {

// Writes `cache` and the pending bytes with the carry, if any, added in; they can no longer
// change once the byte that follows them is known not to take a carry further.
void write_settled(RangeEncoder& encoder, Stream& stream) {
    const auto carry = static_cast<std::uint8_t>(encoder.carry_count);
    if (encoder.cache >= 0) put_byte(stream, static_cast<std::uint8_t>(encoder.cache + carry));
    const auto pending = static_cast<std::uint8_t>(0xFF + carry);  // 0xFF, or 0x00 after a carry
    put_repeated(stream, pending, encoder.pending_ff);
    encoder.pending_ff = 0;
    encoder.carry_count = 0;
}

}  // namespace

// Moves the top byte of `low` out of the window. A 0xFF without a carry may still become 0x00
// through a later carry, so it only waits as a pending byte; any other byte settles the bytes
// before it and becomes the new `cache`. A carry has already been added to the top byte inside
// `low` (wrapping 0xFF to 0x00), so the top byte itself is final here.
void encoder_shift_byte(RangeEncoder& encoder, Stream& stream) {
    const auto top = static_cast<std::uint8_t>(encoder.low >> 56);
    if (top == 0xFF && encoder.carry_count == 0) {
        ++encoder.pending_ff;
    } else {
        write_settled(encoder, stream);
        encoder.cache = top;
    }
    encoder.low <<= 8;
}

void encoder_init(RangeEncoder& encoder) {
    encoder = RangeEncoder{};
}

void encode_uniform(RangeEncoder& encoder, Stream& stream, std::uint32_t s, std::uint32_t t) {
    assert(t >= 2 && s < t);
    assert(encoder.range >= kRangeFloor);
    const std::uint64_t lo = split_point(encoder.range, s, t);
    const std::uint64_t hi = split_point(encoder.range, std::uint64_t{s} + 1, t);
    // Each share is at least 2^24 values wide, so dropping its first value leaves it non-empty.
    assert(hi - lo >= 2);
    narrow_interval(encoder, stream, lo + 1, hi - 1 - (lo + 1));
}

void encoder_flush(RangeEncoder& encoder, Stream& stream, CodeEnd end) {
    const std::uint64_t last = encoder.low + encoder.range;  // the interval's last value
    const bool open_top = last < encoder.low || last == kAllOnes;
    // One past the interval; when the start value below carries, this is the top in the frame
    // 2^64 higher, where the comparisons stay right.
    const std::uint64_t top = last + 1;
    const std::uint64_t mid = encoder.low + encoder.range / 2;
    if (mid < encoder.low) {
        assert(encoder.carry_count == 0);
        encoder.carry_count = 1;
    }
    std::uint64_t value = mid;
    int window_bytes = 8;
    if (open_top && encoder.carry_count == 0) {
        // Every window value from mid up lies inside, so the final value is all ones: it and the
        // pending bytes before it are all 0xFF, and the reader makes them up.
        if (end == CodeEnd::trim_pending) encoder.pending_ff = 0;
        window_bytes = 0;
    } else {
        // Starting from the middle leaves the most room below the top for trailing 0xFF bytes.
        // The candidates only grow, so the first refused mask ends the search.
        for (std::uint64_t mask = 0xFF; window_bytes > 1 && (value | mask) < top;
             mask = (mask << 8) | 0xFF) {
            value |= mask;
            --window_bytes;
        }
    }
    write_settled(encoder, stream);
    for (int i = 0; i < window_bytes; ++i)
        put_byte(stream, static_cast<std::uint8_t>(value >> (56 - 8 * i)));
}

}  // namespace wordperm
