// Table-driven, eight bytes a step ("slicing by 8"): each of the eight tables advances the CRC
// by one more byte of zeros, so a step combines eight lookups that do not wait on one another.
#include "pack/checksums.h"

#include <array>

namespace wordperm {
namespace {

template <typename Crc>
struct Tables {
    std::array<std::array<Crc, 256>, 8> t;
    explicit Tables(Crc polynomial) {
        for (unsigned b = 0; b < 256; ++b) {
            Crc crc = b;
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ ((crc & 1) ? polynomial : 0);
            t[0][b] = crc;
        }
        for (std::size_t s = 1; s < 8; ++s)
            for (unsigned b = 0; b < 256; ++b)
                t[s][b] = (t[s - 1][b] >> 8) ^ t[0][t[s - 1][b] & 0xFF];
    }
};

template <typename Crc>
Crc crc_of(const Tables<Crc>& tables, std::span<const std::uint8_t> bytes, Crc before) {
    const auto& t = tables.t;
    Crc crc = ~before;
    std::size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        std::uint64_t word = 0;
        for (int i = 7; i >= 0; --i)
            word = word << 8 | bytes[at + static_cast<std::size_t>(i)];
        word ^= crc;
        crc = t[7][word & 0xFF] ^ t[6][word >> 8 & 0xFF] ^ t[5][word >> 16 & 0xFF] ^
              t[4][word >> 24 & 0xFF] ^ t[3][word >> 32 & 0xFF] ^ t[2][word >> 40 & 0xFF] ^
              t[1][word >> 48 & 0xFF] ^ t[0][word >> 56];
    }
    for (; at < bytes.size(); ++at)
        crc = (crc >> 8) ^ t[0][(crc ^ bytes[at]) & 0xFF];
    return ~crc;
}

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t before) {
    static const Tables<std::uint32_t> tables(0xEDB88320u);
    return crc_of(tables, bytes, before);
}

std::uint64_t crc64(std::span<const std::uint8_t> bytes, std::uint64_t before) {
    static const Tables<std::uint64_t> tables(0xC96C5795D7870F42ull);
    return crc_of(tables, bytes, before);
}

}  // namespace wordperm
