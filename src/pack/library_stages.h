// The set's byte form (front_coding.h) through the general-purpose compressors a fresh machine
// has as libraries: bzip2, xz (LZMA2 without a container), brotli and zlib, each at its
// strongest setting. They win on sets too small for the context-mixing model to learn.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace wordperm {

enum class LibraryStage : std::uint8_t {
    bzip2 = 2,
    xz = 3,
    brotli = 4,
    zlib = 5,
};

inline constexpr LibraryStage kLibraryStages[] = {LibraryStage::bzip2, LibraryStage::xz,
                                                  LibraryStage::brotli, LibraryStage::zlib};

// The compressed form, or nothing when the library fails. Throws std::bad_alloc.
std::optional<std::vector<std::uint8_t>> library_compress(LibraryStage stage,
                                                          std::span<const std::uint8_t> form);

// Decompresses into `form`; false when the data is damaged or would exceed `limit` bytes.
// Never writes more than `limit` bytes. Throws std::bad_alloc.
bool library_decompress(LibraryStage stage, std::span<const std::uint8_t> packed, std::size_t limit,
                        std::vector<std::uint8_t>& form);

}  // namespace wordperm
