// The portable wide multiply-divide.
//
// It rests on the identity a * b = c * (q1 * b + r1 * q2) + r1 * r2, where q1, r1 and q2, r2 are
// the quotients and remainders of a and b by c. Only r1 * r2 needs a wide division, and its
// quotient is below c. When either remainder is 0 or c fits in 32 bits the product r1 * r2 fits
// in 64 bits; otherwise the 128-bit product is divided by long division in base 2^32 (Knuth's
// algorithm D) after scaling divisor and dividend by the same factor so that the divisor's top
// bit is set, which bounds each quotient digit's estimate to at most two corrections.
#include "rangecoder/muldiv.h"

#include <cassert>

namespace wordperm {
namespace {

constexpr std::uint64_t kDigitBase = std::uint64_t{1} << 32;
constexpr std::uint64_t kLowDigit = kDigitBase - 1;

struct Wide {
    std::uint64_t high;
    std::uint64_t low;
};

Wide multiply_wide(std::uint64_t x, std::uint64_t y) {
    const std::uint64_t x0 = x & kLowDigit, x1 = x >> 32;
    const std::uint64_t y0 = y & kLowDigit, y1 = y >> 32;
    const std::uint64_t p00 = x0 * y0, p01 = x0 * y1, p10 = x1 * y0, p11 = x1 * y1;
    // At most 3 * (2^32 - 1): no overflow.
    const std::uint64_t middle = (p00 >> 32) + (p01 & kLowDigit) + (p10 & kLowDigit);
    return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & kLowDigit)};
}

// One quotient digit of (remainder * 2^32 + digit) / divisor, which is below 2^32 because
// remainder < divisor; divisor >= 2^63. Leaves the new partial remainder in `remainder`.
std::uint64_t divide_digit(std::uint64_t& remainder, std::uint64_t digit, std::uint64_t divisor) {
    assert(remainder < divisor && divisor >= (std::uint64_t{1} << 63) && digit < kDigitBase);
    const std::uint64_t divisor_high = divisor >> 32, divisor_low = divisor & kLowDigit;
    std::uint64_t q = remainder / divisor_high;
    std::uint64_t r = remainder % divisor_high;
    // The estimate from the top digits is never too small and at most 2 too large.
    while (q >= kDigitBase || (r < kDigitBase && q * divisor_low > ((r << 32) | digit))) {
        --q;
        r += divisor_high;
    }
    // The true difference is below divisor, so computing it modulo 2^64 is exact.
    remainder = ((remainder << 32) | digit) - q * divisor;
    return q;
}

// floor(x * y / c) for x, y < c and c >= 2^32; the quotient is below c.
std::uint64_t divide_wide_product(std::uint64_t x, std::uint64_t y, std::uint64_t c) {
    // Multiplying, not shifting, brings the divisor's top bit up: the quotient is unchanged and
    // x * scale < c * scale still fits in 64 bits.
    const std::uint64_t scale = ~std::uint64_t{0} / c;
    const std::uint64_t divisor = c * scale;
    const Wide product = multiply_wide(x * scale, y);
    std::uint64_t remainder = product.high;
    const std::uint64_t high_digit = divide_digit(remainder, product.low >> 32, divisor);
    const std::uint64_t low_digit = divide_digit(remainder, product.low & kLowDigit, divisor);
    return (high_digit << 32) | low_digit;
}

}  // namespace

std::uint64_t muldiv64_portable(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
    assert(c != 0);
    const std::uint64_t q1 = a / c, r1 = a % c;
    const std::uint64_t q2 = b / c, r2 = b % c;
    const std::uint64_t whole = q1 * b + r1 * q2;
    if (r1 == 0 || r2 == 0) return whole;
    if (c < kDigitBase) return whole + r1 * r2 / c;
    return whole + divide_wide_product(r1, r2, c);
}

}  // namespace wordperm
