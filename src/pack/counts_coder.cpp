// One model serves both directions: CountsModel::code_count takes a coder adaptor that either
// codes a known value (encoder) or returns the decoded one (decoder).
#include "pack/counts_coder.h"

#include <bit>
#include <vector>

#include "pack/context_mixing.h"
#include "pack/frequency_table.h"
#include "rangecoder/frequency_coder.h"

namespace wordperm {
namespace {

constexpr std::uint32_t kLengths = 32;  // bit lengths 1 to 32, coded as 0 to 31
constexpr std::uint32_t kTreeBits = 4;  // the low bits whose predecessors choose their context
constexpr std::uint32_t kTreeNodes = 1 << kTreeBits;

class CountsModel {
  public:
    explicit CountsModel(FormatVersion version)
        : version_(version),
          lengths_(kLengths + 1, FrequencyTable(kLengths)),
          low_bits_(version != FormatVersion::v1 ? kLengths * kLengths * kTreeNodes : 0) {}

    void encode(RangeEncoder& encoder, Stream& stream, std::uint32_t m) {
        const auto length = static_cast<std::uint32_t>(std::bit_width(m));
        lengths_[context_].encode(encoder, stream, length - 1);
        context_ = length - 1;
        if (length < 2) return;
        const std::uint32_t lead = 1u << (length - 1);
        if (version_ == FormatVersion::v1) {
            encode_uniform(encoder, stream, m - lead, lead);
            return;
        }
        std::uint32_t node = 1;
        for (int b = static_cast<int>(length) - 2; b >= 0; --b) {
            const int bit = static_cast<int>(m >> b & 1);
            Counter& counter = low_bit(length, static_cast<std::uint32_t>(b), node);
            encode_bit(encoder, stream, bit, probability(counter));
            counter_update(counter, bit);
            if (node < kTreeNodes) node = node * 2 + static_cast<std::uint32_t>(bit);
        }
    }

    // The count, or 0 when the code does not fit.
    std::uint32_t decode(RangeDecoder& decoder, Stream& stream) {
        const std::uint32_t symbol = lengths_[context_].decode(decoder, stream);
        if (symbol == kLengths) return 0;
        context_ = symbol;
        const std::uint32_t length = symbol + 1;
        const std::uint32_t lead = 1u << (length - 1);
        if (length < 2) return lead;
        if (version_ == FormatVersion::v1) {
            const std::uint32_t low = decode_uniform(decoder, stream, lead);
            return low == lead ? 0 : lead + low;
        }
        std::uint32_t m = lead, node = 1;
        for (int b = static_cast<int>(length) - 2; b >= 0; --b) {
            Counter& counter = low_bit(length, static_cast<std::uint32_t>(b), node);
            const int bit = decode_bit(decoder, stream, probability(counter));
            counter_update(counter, bit);
            m |= static_cast<std::uint32_t>(bit) << b;
            if (node < kTreeNodes) node = node * 2 + static_cast<std::uint32_t>(bit);
        }
        return m;
    }

  private:
    // The counter of low bit `b` of a count of `length` bits, after the bits above it: the
    // first kTreeBits of them by their values (node, a bit tree's index), the rest by place only.
    Counter& low_bit(std::uint32_t length, std::uint32_t b, std::uint32_t node) {
        const std::uint32_t tree = node < kTreeNodes ? node : 0;
        return low_bits_[((length - 1) * kLengths + b) * kTreeNodes + tree];
    }

    static BitProbability probability(Counter counter) {
        return static_cast<BitProbability>(counter_p(counter)) << 4;
    }

    FormatVersion version_;
    std::vector<FrequencyTable> lengths_;  // by the previous count's bit length (kLengths: none)
    std::uint32_t context_ = kLengths;
    std::vector<Counter> low_bits_;  // version 2's low-bit probabilities
};

}  // namespace

void encode_counts(RangeEncoder& encoder, Stream& stream, std::span<const std::uint32_t> counts,
                   FormatVersion version) {
    CountsModel model(version);
    for (const std::uint32_t m : counts)
        model.encode(encoder, stream, m);
}

bool decode_counts(RangeDecoder& decoder, Stream& stream, std::uint32_t lines,
                   FormatVersion version, std::uint64_t most_past_end_reads,
                   std::span<std::uint32_t> counts) {
    CountsModel model(version);
    std::uint64_t sum = 0;
    for (std::uint32_t& m : counts) {
        m = model.decode(decoder, stream);
        if (m == 0 || stream.past_end_reads > most_past_end_reads) return false;
        sum += m;
        if (sum > lines) return false;
    }
    return sum == lines;
}

}  // namespace wordperm
