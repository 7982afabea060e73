// The range encoder byte for byte on worked examples and hand-built carry states, the decoder on
// fixed codes, round trips of random symbol sequences checked against an exact big-integer model
// of the interval, misfit detection on damaged codes, and suspensions at every byte.
//
// Streams run in memory, without a coroutine, unless a test needs suspensions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "driver/run_loop.h"
#include "rangecoder/muldiv.h"
#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"
#include "stream/memory_stream.h"

namespace wordperm {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t kLargestT = ~std::uint32_t{0};

struct Symbol {
    std::uint32_t s, t;
};

struct Coded {
    Bytes code;
    std::vector<std::uint64_t> ranges;  // the encoder's range after each symbol
};

Coded encode_from(RangeEncoder encoder, const std::vector<Symbol>& symbols) {
    MemoryStream output;
    Coded coded;
    for (const Symbol& symbol : symbols) {
        encode_uniform(encoder, output.stream(), symbol.s, symbol.t);
        coded.ranges.push_back(encoder.range);
    }
    encoder_flush(encoder, output.stream());
    coded.code = output.take_written();
    return coded;
}

Bytes encode(const std::vector<Symbol>& symbols) {
    RangeEncoder encoder;
    encoder_init(encoder);
    return encode_from(encoder, symbols).code;
}

// Decodes one symbol per t; `start_range`, when given, replaces the initial interval.
std::vector<std::uint32_t> decode(const Bytes& code, const std::vector<std::uint32_t>& ts,
                                  std::uint64_t start_range = kAllOnes,
                                  std::vector<std::uint64_t>* ranges = nullptr) {
    MemoryStream input(code);
    RangeDecoder decoder;
    decoder_init(decoder, input.stream());
    decoder.range = start_range;
    std::vector<std::uint32_t> symbols;
    for (const std::uint32_t t : ts) {
        symbols.push_back(decode_uniform(decoder, input.stream(), t));
        if (ranges) ranges->push_back(decoder.range);
    }
    return symbols;
}

std::vector<std::uint32_t> counts_of(const std::vector<Symbol>& symbols) {
    std::vector<std::uint32_t> ts;
    for (const Symbol& symbol : symbols)
        ts.push_back(symbol.t);
    return ts;
}

std::vector<std::uint32_t> values_of(const std::vector<Symbol>& symbols) {
    std::vector<std::uint32_t> values;
    for (const Symbol& symbol : symbols)
        values.push_back(symbol.s);
    return values;
}

std::vector<Symbol> random_symbols(std::mt19937_64& random, std::size_t count,
                                   std::uint32_t max_t) {
    std::vector<Symbol> symbols;
    for (std::size_t i = 0; i < count; ++i) {
        // Mostly spread over all magnitudes, sometimes the largest t.
        const std::uint64_t magnitude = std::uint64_t{2} << (random() % 32);
        std::uint64_t t = random() % 8 == 0 ? max_t : 2 + random() % magnitude;
        if (t > max_t) t = max_t;
        const std::uint64_t s = random() % 4 == 0 ? t - 1 - random() % 2 : random() % t;
        symbols.push_back({static_cast<std::uint32_t>(s), static_cast<std::uint32_t>(t)});
    }
    return symbols;
}

// --- The exact interval: a big number, and 0xFF bytes after the code ----------------------

__extension__ using U128 = unsigned __int128;

// Follows the encoder's interval with exact arithmetic: the bottom as a big-endian number of
// 8 + (shifts) bytes, the size as a 128-bit value. No cache, no pending bytes, no carries.
class IntervalModel {
  public:
    void code(Symbol symbol) {
        const U128 lo = U128{symbol.s} * size_ / symbol.t;
        const U128 hi = (U128{symbol.s} + 1) * size_ / symbol.t;
        add(static_cast<std::uint64_t>(lo + 1));
        size_ = hi - lo - 1;
        while (size_ <= (U128{1} << 56)) {
            size_ <<= 8;
            bottom_.push_back(0);
        }
    }

    std::size_t digits() const { return bottom_.size(); }  // 8 + the shifts so far

    // Whether the code followed by 0xFF bytes is a value from bottom to bottom + size - 1.
    ::testing::AssertionResult contains(const Bytes& code) const {
        if (code.size() > bottom_.size())
            return ::testing::AssertionFailure() << "code longer than the interval's digits";
        Bytes difference = code;  // becomes (code, then 0xFF bytes) - bottom
        difference.resize(bottom_.size(), 0xFF);
        int borrow = 0;
        for (std::size_t i = difference.size(); i-- > 0;) {
            const int digit = difference[i] - bottom_[i] - borrow;
            borrow = digit < 0 ? 1 : 0;
            difference[i] = static_cast<std::uint8_t>(digit + 256 * borrow);
        }
        if (borrow) return ::testing::AssertionFailure() << "code below the interval";
        U128 offset = 0;
        for (std::size_t i = 0; i < difference.size(); ++i) {
            if (difference.size() - i > 16 && difference[i] != 0)
                return ::testing::AssertionFailure() << "code far above the interval";
            offset = (offset << 8) | difference[i];
        }
        if (offset >= size_) return ::testing::AssertionFailure() << "code above the interval";
        return ::testing::AssertionSuccess();
    }

  private:
    void add(std::uint64_t addend) {
        std::uint64_t carry = 0;
        for (std::size_t i = bottom_.size(); i-- > 0;) {
            const std::uint64_t sum = bottom_[i] + (addend & 0xFF) + carry;
            bottom_[i] = static_cast<std::uint8_t>(sum);
            carry = sum >> 8;
            addend >>= 8;
            if (addend == 0 && carry == 0) return;
        }
        ADD_FAILURE() << "interval bottom left the initial interval";
    }

    Bytes bottom_ = Bytes(8, 0);
    U128 size_ = U128{1} << 64;
};

// --- Encoder ------------------------------------------------------------------------------

struct EncoderExample {
    const char* name;
    std::vector<Symbol> symbols;
    Bytes code;
};

// Each example's code byte for byte, and the code decoding back to its symbols.
TEST(RangeCoder, WorkedExamplesByteForByteBothWays) {
    const EncoderExample examples[] = {
        {"no symbol", {}, {}},
        {"0 of 2", {{0, 2}}, {0x40}},
        {"1 of 2", {{1, 2}}, {}},
        {"0 of 3, 0 of 2", {{0, 3}, {0, 2}}, {0x15}},
        {"0 of 3, 1 of 2", {{0, 3}, {1, 2}}, {0x40}},
        {"1 of 3, 0 of 2", {{1, 3}, {0, 2}}, {0x6A}},
        {"1 of 3, 1 of 2", {{1, 3}, {1, 2}}, {0x95}},
        {"2 of 3, 0 of 2", {{2, 3}, {0, 2}}, {0xC0}},
        {"2 of 3, 1 of 2", {{2, 3}, {1, 2}}, {}},
        {"0 of 10 down to 0 of 2",
         {{0, 10}, {0, 9}, {0, 8}, {0, 7}, {0, 6}, {0, 5}, {0, 4}, {0, 3}, {0, 2}},
         {0x00, 0x00, 0x02}},
    };
    for (const EncoderExample& example : examples) {
        SCOPED_TRACE(example.name);
        EXPECT_EQ(encode(example.symbols), example.code);
        EXPECT_EQ(decode(example.code, counts_of(example.symbols)), values_of(example.symbols));
    }
}

TEST(RangeEncoder, LargestSymbolsOnlyGiveEmptyCodeWhateverTheirNumber) {
    std::mt19937_64 random(11);
    RangeEncoder encoder;
    encoder_init(encoder);
    std::vector<Symbol> symbols;
    for (int i = 0; i < 5000; ++i) {
        const auto t = static_cast<std::uint32_t>(2 + random() % kLargestT);
        symbols.push_back({t - 1, t});
    }
    EXPECT_EQ(encode(symbols), Bytes{});
}

struct StateCase {
    const char* name;
    RangeEncoder state;
    std::vector<Symbol> symbols;
    Bytes code;
};

// Each state has cache 0x12 and pending 0xFF bytes under an interval that reaches past the
// window, so that the number's digits are 12 FF FF (FF) followed by `low`.
TEST(RangeEncoder, CarryTurnsCacheAndPendingBytesIntoNextValueAndZeros) {
    const std::uint64_t two61 = std::uint64_t{1} << 61;
    const StateCase cases[] = {
        {"carry settled by the flush",
         {0xF000000000000000, 0, two61, 3, 0x12},
         {{1, 2}},
         {0x13, 0x00, 0x00, 0x00, 0x08}},
        {"carry settled by a shift",
         {0xF000000000000000, 0, two61, 3, 0x12},
         {{63, 64}},
         {0x13, 0x00, 0x00, 0x00, 0x0F}},
        {"carry into a top byte 0xFF, which becomes the cache",
         {0xFFF0000000000000, 0, kAllOnes - 1, 2, 0x12},
         {{kLargestT - 1, kLargestT}},
         {0x13, 0x00, 0x00, 0xFF, 0xEF, 0xFF, 0xFF, 0x7F}},
        {"flush whose start value wraps past the window",
         {0xF000000000000000, 0, two61, 2, 0x12},
         {},
         {0x13, 0x00, 0x00, 0x00}},
    };
    for (const StateCase& k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(encode_from(k.state, k.symbols).code, k.code);
    }
}

// Writes nothing anywhere: counts the bytes it is given and checks them against the cache byte
// and the run of pending bytes that must follow it.
class PendingRunChecker final : public ByteWriter {
  public:
    PendingRunChecker(std::uint8_t cache, std::uint8_t pending)
        : ByteWriter("checked"), cache_(cache), run_(kBufferBytes, pending) {}
    bool write(const std::uint8_t* bytes, std::size_t size) override {
        if (count == 0 && size != 0) {
            right = bytes[0] == cache_;
            ++bytes;
            --size;
            ++count;
        }
        for (std::size_t done = 0; done < size; done += kBufferBytes) {
            const std::size_t part = std::min(size - done, kBufferBytes);
            right = right && std::memcmp(bytes + done, run_.data(), part) == 0;
        }
        count += size;
        return true;
    }
    std::string error() const override { return {}; }

    std::uint64_t count = 0;  // bytes written
    bool right = true;        // each was the one expected

  private:
    std::uint8_t cache_;
    Bytes run_;
};

// A list of 2^32 - 1 lines has about 2^34 bytes of code, and a list that starts in strictly
// descending order makes them all pending 0xFF bytes. Started just below 2^32, the count passes
// it, and the settling shift writes every one of them (a 32-bit count would wrap to none).
TEST(RangeEncoder, PendingBytesPastTwoToTheThirtyTwoAllComeOut) {
    constexpr std::uint64_t kPending = (std::uint64_t{1} << 32) - 1;
    struct Job {
        RangeEncoder encoder{0xFF00000000000000, 0, kAllOnes, kPending, 0x12};
        RunState run;
    };
    auto job = std::make_unique<Job>();
    const auto body = [](void* argument) {
        Job& j = *static_cast<Job*>(argument);
        encoder_shift_byte(j.encoder, j.run.stream);  // one more pending 0xFF: 2^32
        j.encoder.low = 0x3400000000000000;
        encoder_shift_byte(j.encoder, j.run.stream);  // settles them; 0x34 becomes the cache
    };
    PendingRunChecker checker(0x12, 0xFF);
    ASSERT_TRUE(run_loop(job->run, body, job.get(), nullptr, checker));
    EXPECT_EQ(checker.count, 1 + kPending + 1);
    EXPECT_TRUE(checker.right);
    EXPECT_EQ(job->encoder.pending_ff, 0u);
    EXPECT_EQ(job->encoder.cache, 0x34);
}

// The interval ends at 0x20FFFFFFFFFFFFFE: the start value 0x203FFFFFFFFFFFFE takes six
// trailing 0xFF bytes, but the seventh would give the first value past the interval.
TEST(RangeEncoder, FlushNeverPicksTheValueJustPastTheInterval) {
    const RangeEncoder state = {0x1F7FFFFFFFFFFFFE, 0, 0x0180000000000000, 0, -1};
    EXPECT_EQ(encode_from(state, {}).code, (Bytes{0x20, 0x3F}));
}

TEST(RangeEncoder, RenormalisationToFullRangeTakesWideBranchNext) {
    RangeEncoder encoder;
    encoder.range = (std::uint64_t{1} << 57) + 1;  // the halves are 2^56 + 1 values: range 2^56 - 1
    MemoryStream output;
    encode_uniform(encoder, output.stream(), 0, 2);
    EXPECT_EQ(encoder.range, kAllOnes);
    EXPECT_EQ(encoder.low, 0x100u);
    encode_uniform(encoder, output.stream(), 2, 3);
    EXPECT_EQ(encoder.low, 0xAAAAAAAAAAAAABABu);
    EXPECT_EQ(encoder.range, 0x5555555555555554u);
    encoder_flush(encoder, output.stream());
    EXPECT_EQ(output.take_written(), Bytes{0x00});
}

// --- Decoder ------------------------------------------------------------------------------

TEST(RangeDecoder, EmptyCodeDecodesLargestSymbolForAnyT) {
    for (const std::uint32_t t : {2u, 3u, 10u, 255u, 256u, 1000003u, kLargestT - 1, kLargestT}) {
        SCOPED_TRACE(t);
        EXPECT_EQ(decode({}, {t}), std::vector<std::uint32_t>{t - 1});
    }
}

struct FixedCode {
    const char* name;
    Bytes code;
    std::vector<std::uint32_t> ts;
    std::vector<std::uint32_t> symbols;  // t marks a misfit
};

// Offsets on a split point belong to no symbol: the lower one of a share wraps the code below
// the narrowed interval, the upper one (which the division assigns to the share below) lands
// just past it. Both must be reported, the offsets next to them decoded.
TEST(RangeDecoder, CodeOnSplitPointIsMisfitAndNeighboursDecode) {
    const FixedCode codes[] = {
        {"zero: split point 0", Bytes(8, 0x00), {2, 3}, {2, 3}},
        {"one: smallest offset of symbol 0", {0, 0, 0, 0, 0, 0, 0, 1}, {kLargestT}, {0}},
        // ...which is offset 0, a split point, of the next interval; the misfit then stays.
        {"one, then more symbols", {0, 0, 0, 0, 0, 0, 0, 1}, {2, 3, 1000}, {0, 3, 1000}},
        {"upper split point of 0 of 3", Bytes(8, 0x55), {3}, {3}},
        {"just below it", {0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x54}, {3}, {0}},
        {"upper split point of 1 of 3", Bytes(8, 0xAA), {3}, {3}},
        {"just above it", {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAB}, {3}, {2}},
        {"lower split point of 1 of 4", {0x40, 0, 0, 0, 0, 0, 0, 0}, {4}, {4}},
        {"just above it", {0x40, 0, 0, 0, 0, 0, 0, 1}, {4}, {1}},
        {"split point of the second symbol",
         {0x2A, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAB},
         {2, 3, 5},
         {0, 3, 5}},
    };
    for (const FixedCode& k : codes) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(decode(k.code, k.ts), k.symbols);
    }
}

TEST(RangeDecoder, AllOnesCodeDecodesLargestSymbolsAndKeepsCodeAtTop) {
    std::mt19937_64 random(5);
    const Bytes code(40, 0xFF);
    MemoryStream input(code);
    RangeDecoder decoder;
    decoder_init(decoder, input.stream());
    for (int i = 0; i < 2000; ++i) {
        const auto t = static_cast<std::uint32_t>(2 + random() % kLargestT);
        ASSERT_EQ(decode_uniform(decoder, input.stream(), t), t - 1) << "symbol " << i;
        ASSERT_EQ(decoder.code, decoder.range) << "symbol " << i;
    }
}

// --- Round trips --------------------------------------------------------------------------

// Whether the decoder, once it has decoded a symbol for each t, finds `code` longer than any
// code of those symbols.
bool surplus_after(const Bytes& code, const std::vector<std::uint32_t>& ts) {
    MemoryStream input(code);
    RangeDecoder decoder;
    decoder_init(decoder, input.stream());
    for (const std::uint32_t t : ts)
        decode_uniform(decoder, input.stream(), t);
    return decoder_found_surplus(input.past_end_reads(), !ts.empty());
}

// Checks everything a round trip can: symbols back, ranges in step, the code inside the exact
// interval, no more than two bytes beyond the information content, and no longer than the
// decoder allows. True when the code takes all the length allowed.
bool check_round_trip(const std::vector<Symbol>& symbols) {
    RangeEncoder encoder;
    encoder_init(encoder);
    const Coded coded = encode_from(encoder, symbols);
    std::vector<std::uint64_t> ranges;
    EXPECT_EQ(decode(coded.code, counts_of(symbols), kAllOnes, &ranges), values_of(symbols));
    EXPECT_EQ(ranges, coded.ranges);
    IntervalModel model;
    double bits = 0;
    for (const Symbol& symbol : symbols) {
        model.code(symbol);
        bits += std::log2(static_cast<double>(symbol.t));
    }
    EXPECT_TRUE(model.contains(coded.code));
    EXPECT_LE(static_cast<double>(coded.code.size()), std::ceil(bits / 8 - 1e-9) + 2);
    // The length the decoder allows: one byte per shift (the model's digits beyond the window)
    // and two more after a symbol. The code keeps to it, and padding it with the 0xFF bytes the
    // reader makes up anyway finds a surplus exactly one byte past it.
    const std::size_t most = symbols.empty() ? 0 : model.digits() - 8 + 2;
    EXPECT_LE(coded.code.size(), most);
    Bytes padded = coded.code;
    padded.resize(most, 0xFF);
    EXPECT_FALSE(surplus_after(padded, counts_of(symbols)));
    padded.push_back(0xFF);
    EXPECT_TRUE(surplus_after(padded, counts_of(symbols)));
    return coded.code.size() == most;
}

TEST(RangeCoderRoundTrip, RandomSymbolsComeBackFromShortCodeInsideInterval) {
    int longest_allowed = 0;
    for (const std::uint64_t seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u}) {
        for (const std::uint32_t max_t : {3u, 300u, 70000u, kLargestT}) {
            SCOPED_TRACE(::testing::Message() << "seed " << seed << " max_t " << max_t);
            std::mt19937_64 random(seed);
            longest_allowed += check_round_trip(random_symbols(random, 1 + random() % 1500, max_t));
        }
    }
    EXPECT_GT(longest_allowed, 0);  // the bound is met, not only kept
}

TEST(RangeCoderRoundTrip, LongTailOfLargestSymbolsNeedsUnlimitedPadding) {
    for (const std::uint64_t seed : {1u, 2u, 3u}) {
        for (const std::size_t head : {0u, 1u, 40u}) {
            SCOPED_TRACE(::testing::Message() << "seed " << seed << " head " << head);
            std::mt19937_64 random(seed);
            std::vector<Symbol> symbols = random_symbols(random, head, kLargestT);
            for (int i = 0; i < 1000; ++i) {
                const auto t = static_cast<std::uint32_t>(2 + random() % 100000);
                symbols.push_back({t - 1, t});
            }
            check_round_trip(symbols);
        }
    }
}

// Round trips from a chosen first range: the largest t, whose shares are narrowest (2^24 + 1
// values at the smallest interval), at the full and the smallest range; and a range that the
// first symbol renormalises to the full one, so that the next takes the wide branch.
TEST(RangeCoderRoundTrip, LargestTAndRenormalisationToFullRange) {
    const std::uint32_t t = kLargestT;
    std::vector<std::pair<std::uint64_t, std::vector<Symbol>>> cases;
    for (const std::uint64_t start_range : {kAllOnes, std::uint64_t{1} << 56}) {
        for (const std::uint32_t s :
             {0u, 1u, 2u, t / 2, t / 2 + 1, t - 3, t - 2, t - 1, 0x12345678u})
            cases.push_back({start_range, {{s, t}, {s, t}, {t - 1 - s, t}}});
    }
    std::mt19937_64 random(9);
    for (const std::uint32_t s : {0u, 1u, 2u}) {
        std::vector<Symbol> symbols = {{0, 2}, {s, 3}};
        for (const Symbol& more : random_symbols(random, 20, kLargestT))
            symbols.push_back(more);
        cases.push_back({(std::uint64_t{1} << 57) + 1, symbols});
    }
    for (const auto& [start_range, symbols] : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << "range " << start_range << " s "
                                          << symbols[0].s << " " << symbols[1].s);
        RangeEncoder encoder;
        encoder.range = start_range;
        const Coded coded = encode_from(encoder, symbols);
        std::vector<std::uint64_t> ranges;
        EXPECT_EQ(decode(coded.code, counts_of(symbols), start_range, &ranges), values_of(symbols));
        EXPECT_EQ(ranges, coded.ranges);
    }
}

// --- Damaged codes ------------------------------------------------------------------------

TEST(RangeDecoder, AlteredOrCutCodeGivesSymbolsBelowTOrStickyMisfit) {
    for (const std::uint64_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        std::mt19937_64 random(seed);
        const std::vector<Symbol> symbols = random_symbols(random, 400, kLargestT);
        const std::vector<std::uint32_t> ts = counts_of(symbols);
        const Bytes code = encode(symbols);
        ASSERT_FALSE(code.empty());
        for (int trial = 0; trial < 200; ++trial) {
            SCOPED_TRACE(::testing::Message() << "trial " << trial);
            Bytes damaged = code;
            if (trial % 2 == 0) {
                damaged[random() % damaged.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
            } else {
                damaged.resize(random() % damaged.size());
            }
            const std::vector<std::uint32_t> decoded = decode(damaged, ts);
            bool misfit = false;
            for (std::size_t i = 0; i < ts.size(); ++i) {
                if (misfit) {
                    ASSERT_EQ(decoded[i], ts[i]) << "symbol " << i;
                } else {
                    ASSERT_LE(decoded[i], ts[i]) << "symbol " << i;
                    misfit = decoded[i] == ts[i];
                }
            }
        }
    }
}

// --- Suspensions --------------------------------------------------------------------------

struct EncoderJob {
    Stream* stream;
    const std::vector<Symbol>* symbols;
};

void run_encoder(void* argument) {
    auto& job = *static_cast<EncoderJob*>(argument);
    RangeEncoder encoder;
    encoder_init(encoder);
    for (const Symbol& symbol : *job.symbols)
        encode_uniform(encoder, *job.stream, symbol.s, symbol.t);
    encoder_flush(encoder, *job.stream);
}

// The run loop's state serves as the coroutine and its buffers; the loop itself is left out, so
// that the test hands over the blocks.
Bytes encode_in_coroutine(const std::vector<Symbol>& symbols, std::size_t buffer_bytes) {
    auto run = std::make_unique<RunState>();
    Stream& stream = run->stream;
    EncoderJob job{&stream, &symbols};
    Bytes code;
    for (;;) {
        stream.out_begin = stream.out_ptr = run->out_buffer;
        stream.out_end = run->out_buffer + buffer_bytes;
        const std::uint32_t yielded = coro_call(run->coroutine, &run_encoder, &job);
        code.insert(code.end(), stream.out_begin, stream.out_ptr);
        if (yielded == YIELD_DONE) return code;
        EXPECT_EQ(yielded, YIELD_OUTPUT_FULL);
        if (yielded != YIELD_OUTPUT_FULL) return {};
    }
}

struct DecoderJob {
    Stream* stream;
    const std::vector<std::uint32_t>* ts;
    std::vector<std::uint32_t> symbols;
};

void run_decoder(void* argument) {
    auto& job = *static_cast<DecoderJob*>(argument);
    RangeDecoder decoder;
    decoder_init(decoder, *job.stream);
    for (const std::uint32_t t : *job.ts)
        job.symbols.push_back(decode_uniform(decoder, *job.stream, t));
}

// Hands the code over `block_bytes` at a time, then the padding, as the run loop does.
std::vector<std::uint32_t> decode_in_coroutine(const Bytes& code,
                                               const std::vector<std::uint32_t>& ts,
                                               std::size_t block_bytes) {
    auto run = std::make_unique<RunState>();
    Stream& stream = run->stream;
    DecoderJob job{&stream, &ts, {}};
    std::size_t next = 0;
    for (;;) {
        const std::uint32_t yielded = coro_call(run->coroutine, &run_decoder, &job);
        if (yielded == YIELD_DONE) return job.symbols;
        EXPECT_EQ(yielded, YIELD_NEED_INPUT);
        if (yielded != YIELD_NEED_INPUT || stream.eof) return {};
        if (next < code.size()) {
            const std::size_t size = std::min(block_bytes, code.size() - next);
            stream.in_ptr = code.data() + next;
            stream.in_end = stream.in_ptr + size;
            next += size;
        } else {
            stream.in_ptr = eof_padding;
            stream.in_end = eof_padding + sizeof eof_padding;
            stream.eof = 1;
        }
    }
}

TEST(RangeCoderSuspension, SameCodeAndSymbolsWhateverBufferSizeDownToOneByte) {
    std::mt19937_64 random(21);
    std::vector<Symbol> symbols = random_symbols(random, 600, kLargestT);
    for (int i = 0; i < 50; ++i)
        symbols.push_back({kLargestT - 1, kLargestT});
    const Bytes expected = encode(symbols);
    const std::vector<std::uint32_t> ts = counts_of(symbols);
    for (const std::size_t bytes : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7},
                                    std::size_t{64}, expected.size(), expected.size() + 1}) {
        SCOPED_TRACE(::testing::Message() << "buffer of " << bytes);
        EXPECT_EQ(encode_in_coroutine(symbols, bytes), expected);
        EXPECT_EQ(decode_in_coroutine(expected, ts, bytes), values_of(symbols));
    }
}

}  // namespace
}  // namespace wordperm
