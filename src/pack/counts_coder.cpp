#include "pack/counts_coder.h"

#include <bit>
#include <vector>

#include "pack/frequency_table.h"

namespace wordperm {
namespace {

constexpr std::uint32_t kLengths = 32;  // bit lengths 1 to 32, coded as 0 to 31

std::vector<FrequencyTable> make_models() {
    return std::vector<FrequencyTable>(kLengths + 1, FrequencyTable(kLengths));
}

}  // namespace

void encode_counts(RangeEncoder& encoder, Stream& stream, std::span<const std::uint32_t> counts) {
    std::vector<FrequencyTable> models = make_models();
    std::uint32_t context = kLengths;
    for (const std::uint32_t m : counts) {
        const auto length = static_cast<std::uint32_t>(std::bit_width(m));
        models[context].encode(encoder, stream, length - 1);
        if (length >= 2) {
            const std::uint32_t lead = 1u << (length - 1);
            encode_uniform(encoder, stream, m - lead, lead);
        }
        context = length - 1;
    }
}

bool decode_counts(RangeDecoder& decoder, Stream& stream, std::uint32_t lines,
                   std::span<std::uint32_t> counts) {
    std::vector<FrequencyTable> models = make_models();
    std::uint32_t context = kLengths;
    std::uint64_t sum = 0;
    for (std::uint32_t& m : counts) {
        const std::uint32_t symbol = models[context].decode(decoder, stream);
        if (symbol == kLengths) return false;
        const std::uint32_t length = symbol + 1;
        m = 1u << (length - 1);
        if (length >= 2) {
            const std::uint32_t lead = m;
            const std::uint32_t low = decode_uniform(decoder, stream, lead);
            if (low == lead) return false;
            m += low;
        }
        sum += m;
        if (sum > lines) return false;
        context = symbol;
    }
    return sum == lines;
}

}  // namespace wordperm
