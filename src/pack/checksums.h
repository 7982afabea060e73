// The archive's two checksums, computed here so that every build has them, with or without the
// compression libraries: CRC-32 as zlib computes it (ISO-HDLC: reflected polynomial 0xEDB88320,
// initial value and final XOR all ones) and CRC-64 as xz computes it (ECMA-182 reflected,
// 0xC96C5795D7870F42, initial value and final XOR all ones).
#pragma once

#include <cstdint>
#include <span>

namespace wordperm {

// The CRC of `bytes`; given the CRC of the bytes before them as `before`, the CRC of the whole.
std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t before = 0);
std::uint64_t crc64(std::span<const std::uint8_t> bytes, std::uint64_t before = 0);

}  // namespace wordperm
