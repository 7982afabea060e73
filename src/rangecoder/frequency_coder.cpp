// Frequency symbols: the uniform symbol's arithmetic over a run of shares.
#include "rangecoder/frequency_coder.h"

#include <cassert>

#include "rangecoder/muldiv.h"

namespace wordperm {

void encode_frequency(RangeEncoder& encoder, Stream& stream, std::uint32_t cum, std::uint32_t freq,
                      std::uint32_t total) {
    assert(freq >= 1 && total >= 2 && std::uint64_t{cum} + freq <= total);
    const std::uint64_t lo = split_point(encoder.range, cum, total);
    const std::uint64_t hi = split_point(encoder.range, std::uint64_t{cum} + freq, total);
    narrow_interval(encoder, stream, lo + 1, hi - 1 - (lo + 1));
}

std::uint32_t decode_share(const RangeDecoder& decoder, std::uint32_t total) {
    if (decoder.code > decoder.range) return total;
    return static_cast<std::uint32_t>(share_of_code(decoder.code, decoder.range, total));
}

bool decode_frequency(RangeDecoder& decoder, Stream& stream, std::uint32_t cum, std::uint32_t freq,
                      std::uint32_t total) {
    assert(freq >= 1 && total >= 2 && std::uint64_t{cum} + freq <= total);
    const std::uint64_t lo = split_point(decoder.range, cum, total);
    const std::uint64_t hi = split_point(decoder.range, std::uint64_t{cum} + freq, total);
    return decoder_narrow(decoder, stream, lo + 1, hi - 1 - (lo + 1));
}

}  // namespace wordperm
