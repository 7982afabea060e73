// The pieces of a context-mixing bit model, all in integer arithmetic so that the encoder and
// the decoder compute identical probabilities on every machine.
//
// Probabilities are 12-bit (1 to 4095, of 4096), in the logistic domain "stretch" values are
// ln(p / (1 - p)) in units of 1/256, clamped to +-2047. A model gives each context's adaptive
// probability (a Counter), stretches them, mixes them with weights trained online (Mixer), and
// refines the mix through adaptive probability maps (Apm) indexed by a small context.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "base/large_array.h"

namespace wordperm {

// squash(d) = 4096 / (1 + e^(-d / 256)), interpolated between 33 fixed points.
inline int squash(int d) {
    static constexpr int kPoints[33] = {1,    2,    4,    6,    10,   17,   27,   45,   74,
                                        120,  194,  311,  488,  747,  1102, 1546, 2048, 2550,
                                        2994, 3349, 3608, 3785, 3902, 3976, 4022, 4051, 4069,
                                        4079, 4086, 4090, 4092, 4094, 4095};
    if (d > 2047) d = 2047;
    if (d < -2047) d = -2047;
    const int x = d + 2048, i = x >> 7, w = x & 127;
    return (kPoints[i] * (128 - w) + kPoints[i + 1] * w + 64) >> 7;
}

// The inverse of squash on 0 to 4095: the smallest d with squash(d) >= p.
struct StretchTable {
    std::array<std::int16_t, 4096> value;
    StretchTable() {
        int p = 0;
        for (int d = -2047; d <= 2047; ++d)
            for (const int top = squash(d); p <= top; ++p)
                value[static_cast<std::size_t>(p)] = static_cast<std::int16_t>(d);
        for (; p < 4096; ++p)
            value[static_cast<std::size_t>(p)] = 2047;
    }
};

// Built once at start-up, so that the per-bit lookups need no guard.
inline const StretchTable kStretchTable;

inline int stretch(int p) {
    return kStretchTable.value[static_cast<std::size_t>(p)];
}

// An adaptive probability of a 1: 22 bits of probability above 10 bits of count. It moves by
// 1 / (count + 1.5) of the error, so a context seen a few times follows its few bits closely,
// and by a fixed small step once the count reaches kCounterLimit. It is kept with the top bit
// flipped (kCounterFlip), so that a counter of zero bits is the start, p = 1/2 and count 0: the
// tables begin as zero pages that take memory only where they are touched.
using Counter = std::uint32_t;
inline constexpr Counter kCounterFlip = Counter{1} << 31;
inline constexpr std::uint32_t kCounterLimit = 127;

inline int counter_p(Counter c) {
    const int p = static_cast<int>((c ^ kCounterFlip) >> 20);
    return p < 1 ? 1 : p > 4095 ? 4095 : p;
}

// 2^16 / (n + 1.5) for each count n.
struct CounterSteps {
    std::array<std::int32_t, kCounterLimit + 1> value;
    CounterSteps() {
        for (std::uint32_t n = 0; n <= kCounterLimit; ++n)
            value[n] = static_cast<std::int32_t>(65536 * 2 / (2 * n + 3));
    }
};
inline const CounterSteps kCounterSteps;

inline void counter_update(Counter& c, int bit) {
    const Counter held = c ^ kCounterFlip;
    const auto p = static_cast<std::int32_t>(held >> 10);
    std::uint32_t n = held & 1023;
    const std::int32_t target = bit ? (1 << 22) - 1 : 0;
    const auto step = static_cast<std::int32_t>(
        (static_cast<std::int64_t>(target - p) * kCounterSteps.value[n]) >> 16);
    if (n < kCounterLimit) ++n;
    c = ((static_cast<std::uint32_t>(p + step) << 10) | n) ^ kCounterFlip;
}

// A table of counters aligned to 64-byte cache lines, so that a block of 16 counters (the nodes
// of a nibble's bit tree) is one line: one miss per nibble and context, which a prefetch can
// start early. Its memory is taken as it is touched (make_zeroed_array).
class CounterTable {
  public:
    explicit CounterTable(std::size_t size) : counters_(make_zeroed_array<Counter>(size)) {}
    Counter& operator[](std::size_t i) { return counters_[i]; }
    void prefetch(std::size_t i) const { __builtin_prefetch(&counters_[i]); }

  private:
    LargeArray<Counter> counters_;
};

// What keeps a mixer's weights in range. Version 1 archives let a weight wrap around as a 32-bit
// two's-complement number, which no list has been seen to reach; version 2 holds each weight
// within +-kWeightLimit (256.0), far beyond any weight a model learns, so that the arithmetic is
// defined for every input.
enum class WeightRule { wrap, clamp };
inline constexpr std::int32_t kWeightLimit = std::int32_t{1} << 24;

// Mixes up to kMaxInputs stretched probabilities with one of `sets` weight vectors (16.16 fixed
// point). The learning rate starts at floor + extra and decays towards floor as updates
// accumulate (after 2^18 updates it is floor + extra / 2): large steps while the weights are far
// off, small ones once they have settled.
class Mixer {
  public:
    static constexpr int kMaxInputs = 12;

    Mixer(int inputs, std::size_t sets, int rate_floor, int rate_extra, WeightRule rule)
        : inputs_(inputs),
          rate_floor_(rate_floor),
          rate_extra_(rate_extra),
          rate_(256 * (rate_floor + rate_extra)),
          clamp_(rule == WeightRule::clamp),
          weights_(static_cast<std::size_t>(inputs) * sets, 1 << 14) {}

    void set_input(int i, int stretched) { input_[i] = stretched; }

    // Starts loading the weights of `set` for a later mix.
    void prefetch(std::size_t set) const {
        __builtin_prefetch(&weights_[set * static_cast<std::size_t>(inputs_)]);
    }

    // The mixed 12-bit probability, with the weights of `set`.
    int mix(std::size_t set) {
        weight_ = &weights_[set * static_cast<std::size_t>(inputs_)];
        std::int64_t dot = 0;
        for (int i = 0; i < inputs_; ++i)
            dot += static_cast<std::int64_t>(input_[i]) * weight_[i];
        p_ = squash(static_cast<int>(dot >> 16));
        return p_;
    }

    // Moves the weights of the last mix towards the bit that followed.
    void update(int bit) {
        if ((++updates_ & 1023) == 0 && rate_extra_ != 0)
            rate_ = static_cast<int>(256 * rate_floor_ + std::int64_t{256} * rate_extra_ * 65536 /
                                                             (65536 + updates_ / 4));
        const int error = (((bit << 12) - p_) * rate_) >> 8;
        for (int i = 0; i < inputs_; ++i) {
            const std::int32_t step = (input_[i] * error) >> 10;
            if (clamp_)
                weight_[i] = std::clamp(weight_[i] + step, -kWeightLimit, kWeightLimit);
            else
                weight_[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(weight_[i]) +
                                                       static_cast<std::uint32_t>(step));
        }
    }

  private:
    int inputs_;
    int rate_floor_, rate_extra_;
    int rate_;    // the learning rate in units of 1/256
    bool clamp_;  // WeightRule::clamp
    std::int64_t updates_ = 0;
    std::vector<std::int32_t> weights_;
    std::int32_t* weight_ = nullptr;  // the set of the last mix
    int input_[kMaxInputs] = {};
    int p_ = 2048;
};

// Refines a probability given a context: per context, 33 points over the stretch domain whose
// values are learnt; the result interpolates the two points around the input, and the nearer
// one is trained.
class Apm {
  public:
    Apm(std::size_t contexts, int rate) : rate_(rate), table_(contexts * 33) {
        for (std::size_t c = 0; c < contexts; ++c)
            for (int j = 0; j < 33; ++j)
                table_[c * 33 + static_cast<std::size_t>(j)] =
                    static_cast<std::uint16_t>(squash((j - 16) * 128) * 16);
    }

    // Starts loading the points of `context` for a later refine.
    void prefetch(std::size_t context) const { __builtin_prefetch(&table_[context * 33 + 16]); }

    int refine(int p, std::size_t context) {
        const int s = stretch(p) + 2048;
        const int w = s & 127;
        const std::size_t base = context * 33 + static_cast<std::size_t>(s >> 7);
        index_ = base + static_cast<std::size_t>(w >> 6);
        return (table_[base] * (128 - w) + table_[base + 1] * w) >> 11;
    }

    void update(int bit) {
        const int target = bit ? 65535 : 0;
        auto& v = table_[index_];
        v = static_cast<std::uint16_t>(v + ((target - v) >> rate_));
    }

  private:
    int rate_;
    std::vector<std::uint16_t> table_;  // probabilities in units of 2^-16
    std::size_t index_ = 0;
};

inline std::uint32_t hash_context(std::uint64_t x) {
    x ^= x >> 29;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 32;
    return static_cast<std::uint32_t>(x);
}

}  // namespace wordperm
