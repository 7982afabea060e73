// An adaptive model of a small alphabet: a count per symbol, bumped by kStep each time the
// symbol occurs and halved (staying at least 1) once their sum passes kLimit, so the model
// follows drifts. Symbols can be left out of one coding step (`allowed`), their counts then
// taking no share; a symbol left out must not be coded.
#pragma once

#include <cstdint>
#include <vector>

#include "rangecoder/frequency_coder.h"
#include "stream/byte_stream.h"

namespace wordperm {

class FrequencyTable {
  public:
    static constexpr std::uint32_t kStep = 24;
    static constexpr std::uint32_t kLimit = 1u << 16;

    explicit FrequencyTable(std::uint32_t symbols) : count_(symbols, 1), total_(symbols) {}

    std::uint32_t size() const { return static_cast<std::uint32_t>(count_.size()); }

    // Codes `symbol`; `allowed` (a bit per symbol, or all when empty) says which may occur.
    void encode(RangeEncoder& encoder, Stream& stream, std::uint32_t symbol,
                std::uint32_t allowed = ~0u) {
        std::uint32_t cum = 0, total = 0;
        for (std::uint32_t s = 0; s < size(); ++s) {
            if (!(allowed >> s & 1)) continue;
            if (s < symbol) cum += count_[s];
            total += count_[s];
        }
        if (total != count_[symbol]) encode_frequency(encoder, stream, cum, count_[symbol], total);
        bump(symbol);
    }

    // Decodes a symbol, or returns size() when the code does not fit.
    std::uint32_t decode(RangeDecoder& decoder, Stream& stream, std::uint32_t allowed = ~0u) {
        std::uint32_t total = 0, only = size();
        for (std::uint32_t s = 0; s < size(); ++s)
            if (allowed >> s & 1) total += count_[s], only = s;
        if (only == size()) return size();
        if (total == count_[only]) {
            bump(only);
            return only;
        }
        const std::uint32_t share = decode_share(decoder, total);
        std::uint32_t cum = 0;
        for (std::uint32_t s = 0; s < size(); ++s) {
            if (!(allowed >> s & 1)) continue;
            if (share < cum + count_[s]) {
                if (!decode_frequency(decoder, stream, cum, count_[s], total)) return size();
                bump(s);
                return s;
            }
            cum += count_[s];
        }
        return size();
    }

  private:
    void bump(std::uint32_t symbol) {
        count_[symbol] += kStep;
        total_ += kStep;
        if (total_ > kLimit) {
            total_ = 0;
            for (auto& c : count_)
                total_ += c = (c + 1) / 2;
        }
    }

    std::vector<std::uint32_t> count_;
    std::uint32_t total_;  // sum of every count, allowed or not
};

}  // namespace wordperm
