// Checks both multiply-divides against a slow bit-by-bit reference, and the interval split
// built on them, including the interval of 2^64 values that has no 64-bit size.
#include "rangecoder/muldiv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace wordperm {
namespace {

constexpr std::uint64_t kTwo32 = std::uint64_t{1} << 32;
constexpr std::uint64_t kTwo63 = std::uint64_t{1} << 63;

struct Words128 {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
};

Words128 add(Words128 x, Words128 y) {
    const std::uint64_t low = x.low + y.low;
    return {x.high + y.high + (low < x.low ? 1 : 0), low};
}

Words128 shift_left(Words128 x, int bits) {
    if (bits == 0) return x;
    return {(x.high << bits) | (x.low >> (64 - bits)), x.low << bits};
}

// Shift-and-add: the sum of a << i over the set bits i of b.
Words128 reference_product(std::uint64_t a, std::uint64_t b) {
    Words128 product;
    for (int i = 0; i < 64; ++i)
        if ((b >> i) & 1) product = add(product, shift_left(Words128{0, a}, i));
    return product;
}

// Restoring division, one dividend bit at a time from the top; the quotient keeps its low 64
// bits. The remainder is below c, so doubling it needs one extra bit, kept in `overflow`.
std::uint64_t reference_divide(Words128 dividend, std::uint64_t c) {
    std::uint64_t quotient = 0, remainder = 0;
    for (int i = 127; i >= 0; --i) {
        const std::uint64_t bit =
            i >= 64 ? (dividend.high >> (i - 64)) & 1 : (dividend.low >> i) & 1;
        const bool overflow = (remainder >> 63) != 0;
        remainder = (remainder << 1) | bit;
        quotient <<= 1;
        if (overflow || remainder >= c) {
            remainder -= c;
            quotient |= 1;
        }
    }
    return quotient;
}

std::uint64_t reference_muldiv(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
    return reference_divide(reference_product(a, b), c);
}

struct MulDivCase {
    std::uint64_t a, b, c, expected;
};

TEST(MulDiv, WorkedExamplesIncludingWrappedQuotients) {
    const MulDivCase cases[] = {
        {0, 12345, 7, 0},
        {12345, 0, 7, 0},
        {0, kAllOnes, kAllOnes, 0},
        {5, 7, 7, 5},
        {0x123456789ABCDEF0, 0xFEDCBA9876543210, 0xFEDCBA9876543210, 0x123456789ABCDEF0},
        {1, kAllOnes, 3, 0x5555555555555555},
        {2, kAllOnes, 3, 0xAAAAAAAAAAAAAAAA},
        {kAllOnes, kAllOnes, kAllOnes, kAllOnes},
        {kAllOnes, 0x100000001, 0x200000003, 0x7FFFFFFFBFFFFFFF},
        {kAllOnes, 3, 2, 0x7FFFFFFFFFFFFFFE},
        {kTwo63, 6, 3, 0},
        {kAllOnes, kAllOnes, 1, 1},
    };
    for (const MulDivCase& k : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << k.a << " * " << k.b << " / " << k.c);
        EXPECT_EQ(reference_muldiv(k.a, k.b, k.c), k.expected);
        EXPECT_EQ(muldiv64(k.a, k.b, k.c), k.expected);
        EXPECT_EQ(muldiv64_portable(k.a, k.b, k.c), k.expected);
    }
}

// Operands chosen to reach every path: zero remainders, divisors on both sides of 2^32, and
// long divisions whose digit estimates need corrections (divisor digits of all ones, remainders
// just below the divisor).
TEST(MulDiv, PortableAndFastMatchReferenceOnEdgeAndRandomOperands) {
    const std::uint64_t edges[] = {0,          1,          2,      kTwo32 - 1, kTwo32,
                                   kTwo32 + 1, kTwo63 - 1, kTwo63, kTwo63 + 1, kAllOnes - 1,
                                   kAllOnes};
    for (const std::uint64_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        std::mt19937_64 random(seed);
        auto edge = [&] { return edges[random() % std::size(edges)]; };
        auto divisor = [&]() -> std::uint64_t {
            switch (random() % 6) {
                case 0:
                    return edge();
                case 1:
                    return random() % kTwo32;  // below 2^32, the coders' t
                case 2:
                    return kTwo32 + random() % kTwo32;
                case 3:
                    return random() >> (random() % 64);
                case 4:
                    return (random() | kTwo63) | (kTwo32 - 1);
                default:
                    return random();
            }
        };
        for (int i = 0; i < 10000; ++i) {
            std::uint64_t c = divisor();
            if (c == 0) c = 1;
            auto operand = [&]() -> std::uint64_t {
                switch (random() % 5) {
                    case 0:
                        return edge();
                    case 1:
                        return c - 1 - random() % 4;
                    case 2:
                        return c * (random() % 1000) + (c - 1);
                    case 3:
                        return random() >> (random() % 64);
                    default:
                        return random();
                }
            };
            const std::uint64_t a = operand(), b = operand();
            SCOPED_TRACE(::testing::Message() << std::hex << a << " * " << b << " / " << c);
            const std::uint64_t expected = reference_muldiv(a, b, c);
            ASSERT_EQ(muldiv64_portable(a, b, c), expected);
            ASSERT_EQ(muldiv64(a, b, c), expected);
        }
    }
}

// The full interval's split points go through 2^64 - t instead of its size; they must still
// be floor(k * 2^64 / t) modulo 2^64, the last one wrapping to 0.
TEST(SplitPoint, MatchesExactSplitForFullAndPartialIntervals) {
    std::mt19937_64 random(7);
    const std::uint64_t ranges[] = {kAllOnes, kAllOnes - 1, std::uint64_t{1} << 56,
                                    (std::uint64_t{1} << 57) + 1, 0x0123456789ABCDEF};
    for (const std::uint64_t range : ranges) {
        for (int i = 0; i < 300; ++i) {
            const std::uint64_t t =
                i < 3 ? std::uint64_t{2} + static_cast<std::uint64_t>(i) * (kTwo32 / 2 - 2)
                      : 2 + random() % (kTwo32 - 2);
            for (const std::uint64_t k : {std::uint64_t{0}, std::uint64_t{1}, t / 2, t - 1, t}) {
                SCOPED_TRACE(::testing::Message()
                             << std::hex << "range " << range << " k " << k << " t " << t);
                const Words128 dividend =
                    range == kAllOnes ? Words128{k, 0} : reference_product(k, range + 1);
                ASSERT_EQ(split_point(range, k, t), reference_divide(dividend, t));
            }
        }
    }
}

}  // namespace
}  // namespace wordperm
