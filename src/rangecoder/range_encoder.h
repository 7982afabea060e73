// Range encoder for uniformly distributed symbols, with a 64-bit interval.
//
// Each symbol s out of t (t given per symbol) narrows the interval [low, low + range] to the s-th
// of t equal shares, less the share's first value: the split points floor(k * (range + 1) / t)
// belong to no symbol, which lets the decoder find a symbol with one division and no correction
// step. The interval is renormalised a whole byte at a time whenever its size drops below 2^56.
// A carry out of `low` may still reach bytes already shifted out, so the oldest of them waits in
// `cache` and the 0xFF bytes after it are only counted (`pending_ff`) until a carry, or a byte
// other than 0xFF, settles them.
//
// Code file: the bytes, most significant first, of a number inside the final interval, read as
// if followed by an endless run of 0xFF bytes. The flush picks a final value whose trailing bytes
// are 0xFF and leaves them out; when the interval reaches the top of the initial one (the last
// symbols were each the largest), it leaves out every pending 0xFF byte as well, so a run of any
// length of symbols s = t - 1 costs nothing. No header, no length: the reader must know how many
// symbols there are and each one's t.
#pragma once

#include <cassert>
#include <cstdint>

#include "rangecoder/muldiv.h"
#include "stream/byte_stream.h"

namespace wordperm {

struct RangeEncoder {
    // Bottom of the interval, within the 8-byte window that follows the bytes shifted out.
    std::uint64_t low = 0;
    // Carries out of `low` since `cache` was set: 0 or 1. They belong to `cache` and turn the
    // pending bytes from 0xFF into 0x00. Never 1 while `cache` is -1.
    std::uint64_t carry_count = 0;
    // Size of the interval minus one; 2^64 - 1 stands for a size of 2^64. At least 2^56 between
    // symbols.
    std::uint64_t range = ~std::uint64_t{0};
    // Bytes shifted out after `cache`, each 0xFF unless a carry arrives (then 0x00). 64-bit: a
    // list of 2^32 - 1 lines has about 2^34 bytes of code, and every one of them can be pending
    // (a list that starts in strictly descending order).
    std::uint64_t pending_ff = 0;
    // The oldest byte shifted out and not yet written (0 to 255), or -1 before the first shift
    // that was not a pending 0xFF. A carry never reaches a cache of 0xFF, so cache + carry_count
    // always fits in a byte.
    std::int32_t cache = -1;
};

// Starts an empty code: the interval of all 2^64 window values. Writes nothing.
void encoder_init(RangeEncoder& encoder);

// Codes symbol s out of t equally likely ones; requires t >= 2 and s < t. Writes 0 or more bytes
// through put_byte, so it may suspend the body while the output buffer is drained.
void encode_uniform(RangeEncoder& encoder, Stream& stream, std::uint32_t s, std::uint32_t t);

// Moves the top byte of `low` out to the stream (or holds it back while a carry may still reach
// it). Called by narrow_interval; other symbol kinds reach it only through that.
void encoder_shift_byte(RangeEncoder& encoder, Stream& stream);

// The step that ends every symbol: the interval becomes [low + first, low + first + range],
// which must lie inside the current one, and is renormalised to at least 2^56 values. Every
// kind of symbol (uniform, frequency, binary) narrows through here, so they share one carry and
// byte discipline and may be mixed freely in one code.
inline void narrow_interval(RangeEncoder& encoder, Stream& stream, std::uint64_t first,
                            std::uint64_t range) {
    encoder.low += first;
    if (encoder.low < first) {
        // The interval never reaches above the initial one, so only an existing cache below a
        // byte other than 0xFF can take a carry, and at most one.
        assert(encoder.cache >= 0 && encoder.cache < 0xFF && encoder.carry_count == 0);
        ++encoder.carry_count;
    }
    encoder.range = range;
    while (encoder.range < kRangeFloor) {
        encoder.range = (encoder.range << 8) | 0xFF;
        encoder_shift_byte(encoder, stream);
    }
    assert(encoder.carry_count <= 1);
}

// How a code ends when its interval reaches the top of the initial one: wordperm's code files
// and version 1 archives leave out the pending 0xFF bytes too (any number of them), version 2
// archives keep them, so that a reader never makes up more than the eight bytes of the window and
// a code's end can be checked byte for byte (decoder_ends_code).
enum class CodeEnd { trim_pending, keep_pending };

// Writes the last bytes of the code; called once, after the last symbol, also when there was
// none (the code is then empty). The state is of no further use afterwards.
void encoder_flush(RangeEncoder& encoder, Stream& stream, CodeEnd end = CodeEnd::trim_pending);

}  // namespace wordperm
