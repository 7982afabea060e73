// The checksums against their published check values and a bit-at-a-time reference, at every
// length around the eight-byte steps.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pack/checksums.h"

namespace wordperm {
namespace {

template <typename Crc>
Crc bitwise(const std::vector<std::uint8_t>& bytes, Crc polynomial) {
    Crc crc = ~Crc{0};
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ ((crc & 1) ? polynomial : Crc{0});
    }
    return ~crc;
}

TEST(Checksums, CheckValuesAndEveryLengthMatchTheBitwiseReference) {
    const std::string check = "123456789";
    const std::vector<std::uint8_t> nine(check.begin(), check.end());
    EXPECT_EQ(crc32(nine), 0xCBF43926u);
    EXPECT_EQ(crc64(nine), 0x995DC9BBDF1939FAull);
    std::vector<std::uint8_t> bytes;
    for (unsigned n = 0; n < 40; ++n) {
        EXPECT_EQ(crc32(bytes), bitwise<std::uint32_t>(bytes, 0xEDB88320u)) << n;
        EXPECT_EQ(crc64(bytes), bitwise<std::uint64_t>(bytes, 0xC96C5795D7870F42ull)) << n;
        // Continued from any split, the CRC is the whole's.
        const std::span<const std::uint8_t> all(bytes);
        for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
            EXPECT_EQ(crc32(all.subspan(cut), crc32(all.first(cut))), crc32(all)) << n;
            EXPECT_EQ(crc64(all.subspan(cut), crc64(all.first(cut))), crc64(all)) << n;
        }
        bytes.push_back(static_cast<std::uint8_t>(n * 37 + 255));
    }
}

}  // namespace
}  // namespace wordperm
