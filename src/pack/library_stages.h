// Version 1 archives may hold their set as the byte form (front_coding.h) compressed by one of
// the general-purpose compressors a fresh machine has as libraries: bzip2, xz (LZMA2 without a
// container), brotli or zlib. Version 2 archives code every set with the context-mixing model,
// which a reader on any machine can decode: these stages are read, never written.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace wordperm {

enum class LibraryStage : std::uint8_t {
    bzip2 = 2,
    xz = 3,
    brotli = 4,
    zlib = 5,
};

// Whether this build has the libraries: a build without them (a cross build whose target lacks
// them) refuses version 1 archives that used one.
bool library_stages_built();

// Decompresses into `form`; false when the data is damaged or would exceed `limit` bytes.
// Never writes more than `limit` bytes. Throws std::bad_alloc.
bool library_decompress(LibraryStage stage, std::span<const std::uint8_t> packed, std::size_t limit,
                        std::vector<std::uint8_t>& form);

}  // namespace wordperm
