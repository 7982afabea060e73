// Range decoder for uniformly distributed symbols, the mirror of the range encoder.
//
// It narrows the same interval as the encoder, step for step, but keeps no bottom: `code` is the
// code value's offset above the interval's bottom. `range` follows the symbols alone, never the
// bytes read, so the decoder shifts exactly where the encoder shifted and reads 8 bytes plus one
// per shift. Bytes past the end of the code file are 0xFF without limit (get_byte makes them up
// once the stream's input is exhausted): the encoder leaves out every trailing 0xFF byte it can,
// however many, and the reader must supply them all.
//
// Misfit detection: the split points floor(k * (range + 1) / t) belong to no symbol, so a code
// file the encoder wrote never puts `code` on one. A code file that was altered, cut short or
// made for another symbol sequence can; after the narrowing `code` is then above `range`, and
// decode_uniform reports it by returning t. While code <= range holds before a symbol, the
// symbol found is below t without further checks. Once every symbol is decoded,
// decoder_found_surplus tells a code file longer than the encoder writes for them.
#pragma once

#include <cstdint>

#include "rangecoder/muldiv.h"
#include "stream/byte_stream.h"

namespace wordperm {

struct RangeDecoder {
    // The code value minus the bottom of the interval; at most `range` while the code fits.
    std::uint64_t code = 0;
    // Size of the interval minus one, 2^64 - 1 standing for 2^64; at least 2^56 between symbols.
    // The same value as the encoder's after the same symbols.
    std::uint64_t range = ~std::uint64_t{0};
    // The encoder's `low` and whether a carry out of it is pending (its carry_count), followed
    // step for step, so that the end of a code can be checked against what the encoder writes.
    std::uint64_t low = 0;
    std::uint32_t carry = 0;
};

// Starts decoding: the whole interval, and the first 8 code bytes (big-endian) as the code value.
// Called once, before anything else is read, whatever the number of symbols (also none). May
// suspend the body through get_byte.
void decoder_init(RangeDecoder& decoder, Stream& stream);

// The decoder's side of narrow_interval: the interval becomes [first, first + range] relative to
// the current bottom. Returns false, reading nothing, when the code value falls outside it (the
// code does not fit); otherwise renormalises, reading a byte per shift, and returns true.
inline bool decoder_narrow(RangeDecoder& decoder, Stream& stream, std::uint64_t first,
                           std::uint64_t range) {
    decoder.code -= first;
    decoder.low += first;
    if (decoder.low < first) decoder.carry = 1;
    decoder.range = range;
    if (decoder.code > decoder.range) return false;
    while (decoder.range < kRangeFloor) {
        decoder.range = (decoder.range << 8) | 0xFF;
        // Every shift settles a pending carry, or finds none.
        decoder.carry = 0;
        decoder.low <<= 8;
        decoder.code = (decoder.code << 8) | get_byte(stream);
    }
    return true;
}

// After the last symbol of a code that the encoder ended with CodeEnd::keep_pending: true when
// the code is exactly the encoder's, `length` bytes long of which the decoder has read
// `bytes_read` (the made-up ones past the end included), with the value the encoder's flush
// chooses. A code with bytes left over, or any other bytes that would decode to the same
// symbols, is refused, so that each sequence of symbols has one code. Such a code also never
// has the decoder read more than 8 bytes past its end.
bool decoder_ends_code(const RangeDecoder& decoder, std::uint64_t bytes_read, std::uint64_t length);

// True, once every symbol of a code that the encoder ended with CodeEnd::trim_pending has been
// decoded, when the code is longer than any code the encoder writes for these symbols. The
// encoder writes one byte for each shift of the interval, K in all, and at the end at most 2
// more: after a symbol the interval holds at least 2^56 values, so its flush can make every byte
// of its final value below the top two 0xFF and leave them out (fewer when trailing 0xFF bytes
// before those are left out too), and with no symbol it writes nothing. The decoder shifts where
// the encoder shifted and reads 8 + K bytes, so it makes up at least 6 bytes past the end of a
// code the encoder wrote (8 with no symbol); `made_up_bytes` fewer mean more bytes in the code
// than the encoder writes. `symbols_decoded` says whether there was any symbol.
bool decoder_found_surplus(std::uint64_t made_up_bytes, bool symbols_decoded);

// Returns the next symbol, below t, for a code that fits; requires t >= 2 and the same t as the
// encoder used for this symbol. Returns t itself once the code value has landed on a split point
// (the code file does not fit the symbol sequence asked for), and keeps returning t for every
// later symbol, reading nothing more. Reads the bytes the renormalisation needs, possibly none,
// and may suspend through get_byte.
std::uint32_t decode_uniform(RangeDecoder& decoder, Stream& stream, std::uint32_t t);

}  // namespace wordperm
