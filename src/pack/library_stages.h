// The set's byte form (front_coding.h) through the general-purpose compressors a fresh machine
// has as libraries: bzip2, xz (LZMA2 without a container), brotli and zlib, each at its
// strongest setting. They win on sets too small for the context-mixing model to learn, and
// bzip2's sorting of contexts on some large sorted lists. xz and brotli at their strongest take
// several seconds a megabyte, so they are tried on forms up to kSlowStageLimitBytes only.
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

// Whether this build has the libraries: a build without them (a cross build whose target lacks
// them) neither tries the stages nor reads archives that used one.
bool library_stages_built();

inline constexpr std::size_t kSlowStageLimitBytes = std::size_t{1} << 20;

// Whether `stage` is worth trying on a form of `form_bytes`.
inline bool library_stage_fits(LibraryStage stage, std::size_t form_bytes) {
    return form_bytes <= kSlowStageLimitBytes ||
           (stage != LibraryStage::xz && stage != LibraryStage::brotli);
}

// The compressed form, or nothing when the library fails. Throws std::bad_alloc.
std::optional<std::vector<std::uint8_t>> library_compress(LibraryStage stage,
                                                          std::span<const std::uint8_t> form);

// Decompresses into `form`; false when the data is damaged or would exceed `limit` bytes.
// Never writes more than `limit` bytes. Throws std::bad_alloc.
bool library_decompress(LibraryStage stage, std::span<const std::uint8_t> packed, std::size_t limit,
                        std::vector<std::uint8_t>& form);

}  // namespace wordperm
