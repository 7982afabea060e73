// floor(a * b / c) of unsigned 64-bit values, the product taken at full width, modulo 2^64, and
// the interval split of the range coders built on it.
//
// Every interval split of the range encoder and decoder goes through split_point, so both sides
// compute bit-identical bounds from the same operands. muldiv64 uses the compiler's 128-bit
// integers where it has them; muldiv64_portable uses only 64-bit multiplication and division and
// gives the same result for every input with c != 0, and is what muldiv64 uses everywhere when
// WORDPERM_PORTABLE_MULDIV is defined. A quotient of 2^64 or more keeps only its low 64 bits (no
// saturation); the coders never ask for one.
#pragma once

#include <cassert>
#include <cstdint>

namespace wordperm {

// floor(a * b / c) mod 2^64 with 64-bit operations only. c must not be 0.
std::uint64_t muldiv64_portable(std::uint64_t a, std::uint64_t b, std::uint64_t c);

// The same value as muldiv64_portable, by the fastest means available. c must not be 0.
// A 128-bit division is a library call of some 40 cycles; x86-64 divides 128 by 64 bits in one
// instruction, which however faults when the quotient needs more than 64 bits, so it is used
// only when the product's high half is below c (always, for the coders' operands).
inline std::uint64_t muldiv64(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
#if defined(__SIZEOF_INT128__) && !defined(WORDPERM_PORTABLE_MULDIV)
    __extension__ using Wide = unsigned __int128;
    const Wide product = static_cast<Wide>(a) * b;
#if defined(__x86_64__) && defined(__GNUC__)
    const auto high = static_cast<std::uint64_t>(product >> 64);
    if (high < c) {
        std::uint64_t quotient, remainder;
        __asm__("divq %4"
                : "=a"(quotient), "=d"(remainder)
                : "a"(static_cast<std::uint64_t>(product)), "d"(high), "rm"(c));
        return quotient;
    }
#endif
    return static_cast<std::uint64_t>(product / c);
#else
    return muldiv64_portable(a, b, c);
#endif
}

// The range coders' interval: `range` is its size minus one, so the initial size 2^64 is held as
// kAllOnes, and renormalisation keeps the size at least kRangeFloor between symbols.
inline constexpr std::uint64_t kAllOnes = ~std::uint64_t{0};
inline constexpr std::uint64_t kRangeFloor = std::uint64_t{1} << 56;

// floor(k * (range + 1) / t) mod 2^64 for 0 <= k <= t and t >= 1: where share k of an interval
// of range + 1 values, cut into t equal shares, begins. An interval of 2^64 values is held as
// range = 2^64 - 1, whose size has no 64-bit form; then k * 2^64 / t is split as
// k * (2^64 - t) / t + k, whose quotient stays below 2^64. Its k = t split point, 2^64, comes
// out as 0; differences of split points are still right modulo 2^64.
inline std::uint64_t split_point(std::uint64_t range, std::uint64_t k, std::uint64_t t) {
    assert(t != 0 && k <= t);
    if (range != kAllOnes) return muldiv64(k, range + 1, t);
    return muldiv64(k, std::uint64_t{0} - t, t) + k;
}

// floor(code * t / (range + 1)) for code <= range and 1 <= t < 2^32: which of t equal shares of
// the interval holds `code`. When range + 1 is 2^64 the quotient is the upper half of code * t,
// taken from two 32 x 32-bit partial products without a division.
inline std::uint64_t share_of_code(std::uint64_t code, std::uint64_t range, std::uint32_t t) {
    if (range != kAllOnes) return muldiv64(code, t, range + 1);
    const std::uint64_t low_part = (code & 0xFFFFFFFF) * t;
    const std::uint64_t high_part = (code >> 32) * t;  // at most (2^32 - 1)^2
    return (high_part + (low_part >> 32)) >> 32;
}

}  // namespace wordperm
