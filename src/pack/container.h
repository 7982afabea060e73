// The archive's layout: a fixed header, three sections, and a checksum of all that precedes it.
// doc/wordpack-format.md describes every field; this file reads and writes them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace wordperm {

inline constexpr std::array<std::uint8_t, 4> kArchiveMagic = {0x89, 'W', 'P', 'K'};
inline constexpr std::uint8_t kArchiveVersion = 1;
inline constexpr std::uint8_t kFlagBareLastLine = 1;  // the list ends without a line feed
inline constexpr std::size_t kHeaderBytes = 48;
inline constexpr std::size_t kTrailerBytes = 4;

enum class SectionKind { set = 0, counts = 1, order = 2 };
inline constexpr std::size_t kSections = 3;

// The stage that coded a section (0: the section is absent) and its one parameter.
struct SectionEntry {
    std::uint8_t stage = 0;
    std::uint8_t variant = 0;
    std::uint32_t bytes = 0;
};

struct ArchiveHeader {
    std::uint8_t flags = 0;
    std::uint64_t original_bytes = 0;  // size of the list
    std::uint32_t lines = 0;           // N
    std::uint32_t distinct = 0;        // D
    std::uint64_t original_crc = 0;    // CRC-64 (ECMA-182, as xz computes it) of the list
    std::array<SectionEntry, kSections> sections{};
};

enum class ContainerStatus { ok, not_an_archive, unsupported_version, damaged };

// The archive: header, the sections' bytes in order, the CRC-32 of everything before it.
std::vector<std::uint8_t> write_archive(
    const ArchiveHeader& header,
    const std::array<std::span<const std::uint8_t>, kSections>& sections);

// Checks magic, version, flags, the archive's checksum and that the sections fill the archive
// exactly; on success fills `header` and `sections` (views into `archive`). Checks nothing about
// what the fields mean together; the unpacker does.
ContainerStatus read_archive(std::span<const std::uint8_t> archive, ArchiveHeader& header,
                             std::array<std::span<const std::uint8_t>, kSections>& sections);

// The checksums the archive uses.
std::uint64_t list_checksum(std::span<const std::uint8_t> list);
std::uint32_t archive_checksum(std::span<const std::uint8_t> bytes);

}  // namespace wordperm
