// One model serves both directions: SetModel::code_line is written once over a coder adaptor
// that either codes a known decision (encoder) or returns the decoded one (decoder), so the two
// sides cannot drift apart. The line being coded is built up in `line_` in both directions,
// which is where every context reads it from.
#include "pack/set_model.h"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack/context_mixing.h"
#include "pack/front_coding.h"
#include "pack/match_model.h"
#include "rangecoder/frequency_coder.h"

namespace wordperm {
namespace {

constexpr int kTerminator = '\n';
constexpr int kByteContexts = 6;            // contexts of a byte; the first is a direct table
constexpr int kMatchByteContexts = 9;       // with the match model: the word, order 2, the match
constexpr int kMatchInputs = 132;           // the match input's counters: none, or by length
constexpr int kLengthContexts = 7;          // contexts of a prefix length
constexpr std::uint32_t kLongPrefix = 255;  // prefix lengths from here on leave the bit tree

struct EncodeBits {
    RangeEncoder& encoder;
    Stream& stream;
    int operator()(int bit, int p12) {
        encode_bit(encoder, stream, bit, static_cast<BitProbability>(p12) << 4);
        return bit;
    }
    std::uint32_t uniform(std::uint32_t value, std::uint32_t t) {
        encode_uniform(encoder, stream, value, t);
        return value;
    }
    static bool within_code() { return true; }
};

struct DecodeBits {
    RangeDecoder& decoder;
    Stream& stream;
    std::uint64_t most_past_end_reads;
    int operator()(int, int p12) {
        return decode_bit(decoder, stream, static_cast<BitProbability>(p12) << 4);
    }
    std::uint32_t uniform(std::uint32_t, std::uint32_t t) {
        return decode_uniform(decoder, stream, t);  // t for a code that does not fit
    }
    // A code read further past its end than the encoder can leave it is not one of the
    // encoder's: decoding stops there rather than run on into what the bounds alone allow.
    bool within_code() const { return stream.past_end_reads <= most_past_end_reads; }
};

WeightRule weight_rule(FormatVersion version) {
    return version == FormatVersion::v1 ? WeightRule::wrap : WeightRule::clamp;
}

class SetModel {
  public:
    SetModel(int table_bits, FormatVersion version, SetContexts kind)
        : byte_contexts_(kind == SetContexts::with_match ? kMatchByteContexts : kByteContexts),
          inputs_(kind == SetContexts::with_match ? kMatchByteContexts + 3 : kByteContexts + 2),
          byte_mask_((1u << table_bits) - 1),
          length_mask_((1u << (table_bits - 3)) - 1),
          position_(make_zeroed_array<Counter>(std::size_t{1} << 16)),
          gap_(make_zeroed_array<Counter>(std::size_t{512} << 8)),
          byte_mixer_(inputs_, kind == SetContexts::with_match ? 256 * 3 * 3 : 256 * 3, 1, 3,
                      weight_rule(version)),
          mixer2_mask_((1u << std::min(table_bits + 2, 16)) - 1),
          byte_mixer2_(inputs_, std::size_t{mixer2_mask_} + 1, 1, 3, weight_rule(version)),
          apm_mask_((1u << std::min(table_bits - 3, 16)) - 1),
          byte_apm1_(std::size_t{apm_mask_} + 1, 5),
          byte_apm2_(2 * (std::size_t{apm_mask_} + 1), 5),
          length_mixer_(kLengthContexts + 1, 64 * 16, 4, 0, weight_rule(version)),
          length_apm_(256, 7) {
        for (int i = 1; i < byte_contexts_; ++i)
            bytes_.emplace_back(std::size_t{1} << table_bits);
        if (kind == SetContexts::with_match) match_.emplace(table_bits);
        for (int i = 0; i < kLengthContexts; ++i)
            lengths_.emplace_back(std::size_t{1} << (table_bits - 3));
    }

    // Codes line `index` after `previous` (empty for the first line). The encoder passes the
    // line; the decoder passes an empty view and finds the line in line() afterwards. Returns
    // false when a decoded line would exceed `room` bytes or cannot follow `previous`.
    template <typename Bits>
    bool code_line(Bits& bits, std::size_t index, std::string_view previous, std::string_view known,
                   std::size_t room) {
        std::size_t p = 0;
        if (index != 0) {
            p = code_prefix_length(bits, shared_prefix(previous, known), previous);
            if (p > previous.size() || p > room) return false;
        }
        line_.assign(previous.begin(), previous.begin() + static_cast<std::ptrdiff_t>(p));
        if (match_) {
            word_ = kWordStart;
            for (const char c : line_)
                push_text(static_cast<std::uint8_t>(c));
        }
        for (std::size_t j = p;; ++j) {
            const bool first = index != 0 && j == p;
            const int lower =
                first && p < previous.size() ? static_cast<std::uint8_t>(previous[p]) : -1;
            // A previous line with 0xFF at p leaves no byte above it: no set has this.
            if (lower == 0xFF) return false;
            const int actual = j < known.size() ? static_cast<std::uint8_t>(known[j]) : kTerminator;
            const int c = code_byte(bits, actual, j, j - p, first, lower, previous);
            if (c == kTerminator) {
                if (match_) match_->push(kTerminator);
                break;
            }
            if (line_.size() == room || !bits.within_code()) return false;
            line_.push_back(static_cast<char>(c));
            if (match_) push_text(static_cast<std::uint8_t>(c));
        }
        previous_prefix2_ = previous_prefix_;
        previous_prefix_ = p;
        return true;
    }

    const std::string& line() const { return line_; }

  private:
    template <typename Bits>
    int code_bit(Bits& bits, int bit, const std::uint32_t* index, std::uint32_t gap_index,
                 std::size_t match_index, std::size_t set, std::size_t set2, std::size_t apm1,
                 std::size_t apm2) {
        // The inputs: the direct context, the first five hashed ones, the gap, a bias, then with
        // the match model its three hashed contexts and the match.
        const auto set_input = [&](int i, int input) {
            byte_mixer_.set_input(i, input);
            byte_mixer2_.set_input(i, input);
        };
        set_input(0, stretch(counter_p(position_[index[0]])));
        for (int i = 1; i < kByteContexts; ++i)
            set_input(i, stretch(counter_p(bytes_[static_cast<std::size_t>(i - 1)][index[i]])));
        set_input(kByteContexts, stretch(counter_p(gap_[gap_index])));
        set_input(kByteContexts + 1, 256);
        if (match_) {
            for (int i = kByteContexts; i < kMatchByteContexts; ++i)
                set_input(i + 2,
                          stretch(counter_p(bytes_[static_cast<std::size_t>(i - 1)][index[i]])));
            set_input(kMatchByteContexts + 2, stretch(counter_p(match_inputs_[match_index])));
        }
        // Two weight sets, one chosen by the bits of the byte so far and its kind, one by those
        // bits and the byte before, averaged in the logistic domain.
        const int mixed =
            squash((stretch(byte_mixer_.mix(set)) + stretch(byte_mixer2_.mix(set2))) / 2);
        const int p1 = byte_apm1_.refine(mixed, apm1);
        const int p2 = byte_apm2_.refine(mixed, apm2);
        const int p = std::clamp((mixed + p1 + 2 * p2 + 2) >> 2, 1, 4095);
        bit = bits(bit, p);
        byte_mixer_.update(bit);
        byte_mixer2_.update(bit);
        byte_apm1_.update(bit);
        byte_apm2_.update(bit);
        counter_update(position_[index[0]], bit);
        counter_update(gap_[gap_index], bit);
        for (int i = 1; i < byte_contexts_; ++i)
            counter_update(bytes_[static_cast<std::size_t>(i - 1)][index[i]], bit);
        if (match_) counter_update(match_inputs_[match_index], bit);
        return bit;
    }

    // What a byte's decisions are predicted from: computed once per byte, the hashed contexts'
    // blocks computed again once its high nibble is known.
    struct ByteContexts {
        std::uint64_t position;              // the direct context: position, first, near
        std::uint32_t hash[kMatchByteContexts];   // of the hashed contexts, from 1
        std::uint32_t block[kMatchByteContexts];  // their 16-counter block for the current nibble
        std::uint32_t gap;                   // the gap table's context
        std::size_t apm2_high;               // the second map's context above the bits so far
        std::uint64_t previous_byte;         // the byte before (c1), 256 at the line's start
        int kind;                            // 1: first byte after the prefix, 2: near it, 0
    };

    // Byte j of the line (jp = j - p), `first` when it is the first after the shared prefix.
    ByteContexts byte_contexts(std::size_t j, std::size_t jp, bool first, int lower,
                               std::string_view previous) {
        auto before = [&](std::size_t back) -> std::uint64_t {
            return j >= back ? static_cast<std::uint8_t>(line_[j - back]) : 256;
        };
        auto above = [&](std::size_t at) -> std::uint64_t {
            return at < previous.size() ? static_cast<std::uint8_t>(previous[at]) : 256;
        };
        const std::uint64_t c1 = before(1), c2 = before(2), c3 = before(3), c4 = before(4);
        const std::uint64_t f = first ? 1 : 0;
        const std::uint64_t near = std::min<std::size_t>(jp, 3);
        const std::uint64_t order3 = c1 | c2 << 9 | c3 << 18;
        std::uint64_t context[kMatchByteContexts] = {
            std::min<std::size_t>(j, 31) | f << 5 | near << 6,
            (order3 | f << 27) + (std::uint64_t{2} << 40),
            (order3 | c4 << 27 | f << 36) * 3 + (std::uint64_t{3} << 50),
            ((order3 | c4 << 27 | before(5) << 36 | before(6) << 45) * 5 + f) ^
                (std::uint64_t{4} << 58),
            (above(j) | above(j + 1) << 9 | c1 << 18 | f << 27 |
             std::uint64_t{std::min<std::size_t>(j, 20)} << 28) +
                (std::uint64_t{6} << 50),
            (static_cast<std::uint64_t>(first ? lower + 1 : 300) | c1 << 9 | c2 << 18 |
             near << 27) +
                (std::uint64_t{7} << 50),
        };
        if (match_) {
            const auto predicted =
                static_cast<std::uint64_t>(match_->predicted() < 0 ? 256 : match_->predicted());
            const std::uint64_t length = std::min<std::size_t>(match_->length(), 15);
            context[6] = word_ * 16 + 10 + f;
            context[7] = (c1 | c2 << 9) * 11 + (std::uint64_t{9} << 56);
            context[8] =
                (predicted | length << 9 | f << 13 | c1 << 14) * 13 + (std::uint64_t{11} << 58);
        }
        ByteContexts contexts;
        contexts.position = context[0];
        for (int i = 1; i < byte_contexts_; ++i) {
            contexts.hash[i] = hash_context(context[i]);
            contexts.block[i] = contexts.hash[i] << 4;
            bytes_[static_cast<std::size_t>(i - 1)].prefetch(contexts.block[i] & byte_mask_);
        }
        contexts.kind = first ? 1 : jp < 2 ? 2 : 0;
        contexts.gap = static_cast<std::uint32_t>(
            first ? lower + 1 : 256 + static_cast<int>(std::min<std::size_t>(jp, 255)));
        // The first byte's bound, or the byte two back: below 512 either way.
        contexts.apm2_high = first ? static_cast<std::size_t>(lower + 1) : 256 + (c2 & 0xFF);
        contexts.previous_byte = c1;
        return contexts;
    }

    // The hashed contexts' blocks for the low nibble, once the high one (in c0) is known.
    void rehash_for_low_nibble(ByteContexts& contexts, int c0) {
        for (int i = 1; i < byte_contexts_; ++i) {
            contexts.block[i] =
                hash_context(std::uint64_t{contexts.hash[i]} * 31 + static_cast<std::uint64_t>(c0))
                << 4;
            bytes_[static_cast<std::size_t>(i - 1)].prefetch(contexts.block[i] & byte_mask_);
        }
    }

    // Which values decision b may take, given the bits so far (the byte is at least `low`): a
    // 0 keeps [low, middle - 1], a 1 keeps [middle, ...]. The first byte after the prefix is
    // above `lower` (least = lower + 1) and is never the terminator; other bytes take any value.
    static void allowed_bits(int b, int low, int least, bool first, bool& zero_allowed,
                             bool& one_allowed) {
        const int middle = low + (1 << b);
        zero_allowed = middle - 1 >= least && !(first && b == 0 && low == kTerminator);
        one_allowed = !(first && b == 0 && low + 1 == kTerminator);
    }

    // Codes byte j of the line (jp = j - p), `lower` the exclusive lower bound of the first
    // byte after the shared prefix, or -1: 8 decisions, high bit first, each either settled by
    // the bounds or coded with the mix of the byte's contexts.
    template <typename Bits>
    int code_byte(Bits& bits, int actual, std::size_t j, std::size_t jp, bool first, int lower,
                  std::string_view previous) {
        ByteContexts contexts = byte_contexts(j, jp, first, lower, previous);
        const std::uint64_t c1 = contexts.previous_byte;
        const int least = first ? lower + 1 : 0;  // the smallest value the byte may take
        const int predicted = match_ ? match_->predicted() : -1;
        const std::size_t match_length = match_ ? match_->length() : 0;
        int c0 = 1, nibble = 1, low = 0;
        for (int b = 7; b >= 0; --b) {
            bool zero_allowed, one_allowed;
            allowed_bits(b, low, least, first, zero_allowed, one_allowed);
            if (b != 0) {
                // The next decision's weights and maps, whichever way this one goes: the
                // decoder cannot look ahead as the encoder's processor does by itself.
                const std::size_t next = static_cast<std::size_t>(c0) * 2 | (c1 & 0xFF) << 8;
                byte_mixer2_.prefetch(next & mixer2_mask_);
                byte_mixer2_.prefetch((next + 1) & mixer2_mask_);
                byte_apm1_.prefetch(next & apm_mask_);
                byte_apm1_.prefetch((next + 1) & apm_mask_);
            }
            int bit;
            if (zero_allowed && one_allowed) {
                std::uint32_t index[kMatchByteContexts];
                index[0] = static_cast<std::uint32_t>(contexts.position << 8 |
                                                      static_cast<std::uint64_t>(c0));
                for (int i = 1; i < byte_contexts_; ++i)
                    index[i] =
                        (contexts.block[i] + static_cast<std::uint32_t>(nibble)) & byte_mask_;
                // The match speaks for this decision while its byte agrees with the bits so
                // far; the mixer's weights then depend on how long it is.
                std::size_t match_index = 0, match_weights = 0;
                if (predicted >= 0 && ((predicted | 256) >> (b + 1)) == c0) {
                    match_index =
                        4 + (std::min<std::size_t>(match_length, 31) << 2 | (first ? 2u : 0u) |
                             static_cast<std::size_t>((predicted >> b) & 1));
                    match_weights = match_length < 16 ? 1 : 2;
                }
                const auto low_bits = static_cast<std::size_t>(c0) | (c1 & 0xFF) << 8;
                bit = code_bit(
                    bits, (actual >> b) & 1, index,
                    contexts.gap << 8 | static_cast<std::uint32_t>(c0), match_index,
                    static_cast<std::size_t>(c0 + 256 * contexts.kind) + 768 * match_weights,
                    low_bits & mixer2_mask_, low_bits & apm_mask_,
                    (static_cast<std::size_t>(c0) | contexts.apm2_high << 8) & (2 * apm_mask_ + 1));
            } else {
                bit = zero_allowed ? 0 : 1;
            }
            if (bit) low += 1 << b;
            c0 = c0 * 2 + bit;
            nibble = nibble * 2 + bit;
            if (b == 4) {
                rehash_for_low_nibble(contexts, c0);
                nibble = 1;
            }
        }
        return c0 & 0xFF;
    }

    // The byte of `line` at `at`, or 256 past either end (`at` may have wrapped below 0).
    static std::uint64_t byte_at(std::string_view line, std::size_t at) {
        return at < line.size() ? static_cast<std::uint8_t>(line[at]) : 256;
    }

    // The previous line's bytes from where it parted from the line before it: the ending that
    // the next line most likely drops or keeps, with its length.
    std::uint64_t ending_context(std::string_view previous) const {
        const std::size_t from = std::min(previous_prefix_, previous.size());
        std::uint64_t h = 0x9E37;
        for (std::size_t j = from; j < previous.size(); ++j)
            h = (h + static_cast<std::uint8_t>(previous[j]) + 1) * 0x100000001B3ULL;
        return h * 8 + 5 + (std::uint64_t{std::min<std::size_t>(previous.size() - from, 15)} << 50);
    }

    // Codes p, at most previous.size(), as min(p, kLongPrefix) through an 8-level bit tree, and
    // a longer one's excess uniformly.
    template <typename Bits>
    std::size_t code_prefix_length(Bits& bits, std::size_t actual, std::string_view previous) {
        const std::uint64_t length = std::min<std::size_t>(previous.size(), 63);
        const std::uint64_t last = std::min<std::size_t>(previous_prefix_, 63);
        const std::uint64_t last2 = std::min<std::size_t>(previous_prefix2_, 63);
        const std::uint64_t end1 =
            previous.empty() ? 256 : static_cast<std::uint8_t>(previous.back());
        const std::uint64_t end2 =
            previous.size() < 2 ? 256 : static_cast<std::uint8_t>(previous[previous.size() - 2]);
        const std::uint64_t context[kLengthContexts] = {
            last,
            length << 6 | std::uint64_t{1} << 20,
            (length << 6 | last) | std::uint64_t{2} << 20,
            (last << 6 | last2) | std::uint64_t{3} << 20 | length << 30,
            (end1 | end2 << 9 | (length - std::min(length, last)) << 18) | std::uint64_t{4} << 30,
            ending_context(previous),
            (byte_at(previous, previous_prefix_ - 1) | byte_at(previous, previous_prefix_) << 9 |
             last << 18) *
                    8 +
                6,
        };
        std::uint32_t hash[kLengthContexts];
        for (int i = 0; i < kLengthContexts; ++i)
            hash[i] = hash_context(context[i]) << 8;
        const std::uint32_t most =
            static_cast<std::uint32_t>(std::min<std::size_t>(previous.size(), kLongPrefix));
        const std::uint32_t wanted =
            static_cast<std::uint32_t>(std::min<std::size_t>(actual, kLongPrefix));
        std::uint32_t c0 = 1, value = 0;
        for (int b = 7; b >= 0; --b) {
            const std::uint32_t middle = value + (1u << b);
            int bit = 0;
            if (middle <= most) {
                std::uint32_t index[kLengthContexts];
                for (int i = 0; i < kLengthContexts; ++i) {
                    index[i] = (hash[i] + c0) & length_mask_;
                    length_mixer_.set_input(
                        i, stretch(counter_p(lengths_[static_cast<std::size_t>(i)][index[i]])));
                }
                length_mixer_.set_input(kLengthContexts, 256);
                const int mixed = length_mixer_.mix(
                    last + 64 * std::min<std::uint64_t>(length - std::min(length, last), 15));
                const int refined = length_apm_.refine(mixed, c0);
                const int p = std::clamp((mixed + 3 * refined) >> 2, 1, 4095);
                bit = bits(static_cast<int>((wanted >> b) & 1), p);
                length_mixer_.update(bit);
                length_apm_.update(bit);
                for (int i = 0; i < kLengthContexts; ++i)
                    counter_update(lengths_[static_cast<std::size_t>(i)][index[i]], bit);
            }
            if (bit) value = middle;
            c0 = c0 * 2 + static_cast<std::uint32_t>(bit);
        }
        if (value < kLongPrefix) return value;
        // Here previous.size() >= kLongPrefix: the excess is below previous.size() - 254.
        const auto choices = static_cast<std::uint32_t>(previous.size() - kLongPrefix + 1);
        if (choices < 2) return value;
        return value + bits.uniform(static_cast<std::uint32_t>(actual - kLongPrefix), choices);
    }

    // Appends a byte of the line to the match model's text and the word it is in: the bytes
    // since the last separator, with that separator.
    void push_text(std::uint8_t byte) {
        match_->push(byte);
        const bool separator =
            byte == '/' || byte == '.' || byte == '@' || byte == '-' || byte == '_' || byte == ' ';
        word_ = separator ? kWordStart + byte : (word_ + byte + 1) * 0x100000001B3ULL;
    }

    static constexpr std::uint64_t kWordStart = 0x5555;

    int byte_contexts_;  // kByteContexts, or kMatchByteContexts with the match model
    int inputs_;         // the byte mixers' inputs
    std::uint32_t byte_mask_, length_mask_;
    LargeArray<Counter> position_;  // direct: position, first-byte flag, distance from p
    // direct: the first byte's lower bound, or how far the byte is from p
    LargeArray<Counter> gap_;
    std::vector<CounterTable> bytes_;    // the hashed contexts of a byte, 2^table_bits each
    std::vector<CounterTable> lengths_;  // of a prefix length, 2^(table_bits - 3) each
    Mixer byte_mixer_;
    std::uint32_t mixer2_mask_;  // the second mixer's weight sets less one
    Mixer byte_mixer2_;
    std::uint32_t apm_mask_;  // the first map's contexts less one; the second has twice as many
    Apm byte_apm1_, byte_apm2_;
    Mixer length_mixer_;
    Apm length_apm_;
    std::optional<MatchModel> match_;                   // with the match model only
    std::array<Counter, kMatchInputs> match_inputs_{};  // no match, or by length, first, bit
    std::uint64_t word_ = kWordStart;                   // the hash of the line's last word
    std::string line_;                  // the line being coded, up to the current byte
    std::size_t previous_prefix_ = 0;   // p of the line before
    std::size_t previous_prefix2_ = 0;  // and of the one before that
};

}  // namespace

int set_table_bits(std::uint64_t form_bytes) {
    const int bits = static_cast<int>(std::bit_width(form_bytes)) + 1;
    return std::clamp(bits, kSetTableBitsMin, kSetTableBitsMax);
}

void encode_set(RangeEncoder& encoder, Stream& stream, const LineSet& set, int table_bits,
                FormatVersion version, SetContexts kind) {
    SetModel model(table_bits, version, kind);
    EncodeBits bits{encoder, stream};
    std::string_view previous;
    for (std::size_t k = 0; k < set.distinct(); ++k) {
        const std::string_view line = set.line(k);
        model.code_line(bits, k, previous, line, line.size());
        previous = line;
    }
}

bool decode_set(RangeDecoder& decoder, Stream& stream, std::uint32_t distinct,
                std::uint64_t byte_limit, int table_bits, FormatVersion version, SetContexts kind,
                std::uint64_t most_past_end_reads, LineSet& set) {
    SetModel model(table_bits, version, kind);
    DecodeBits bits{decoder, stream, most_past_end_reads};
    set.bytes.clear();
    set.start.assign(1, 0);
    for (std::uint32_t k = 0; k < distinct; ++k) {
        const std::size_t previous_start = k == 0 ? 0 : set.start[k - 1];
        const std::string_view previous(
            reinterpret_cast<const char*>(set.bytes.data()) + previous_start,
            set.bytes.size() - previous_start);
        const std::size_t room = static_cast<std::size_t>(byte_limit - set.bytes.size());
        if (!model.code_line(bits, k, previous, {}, room) || !bits.within_code()) return false;
        const std::string& line = model.line();
        set.bytes.insert(set.bytes.end(), line.begin(), line.end());
        set.start.push_back(static_cast<std::uint32_t>(set.bytes.size()));
    }
    return true;
}

}  // namespace wordperm
