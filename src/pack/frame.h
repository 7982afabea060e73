// The byte layout of archives: the frames, blocks, index and footer of versions 2 and 3, and
// version 1's single list. doc/wordpack-format.md describes every field; this file writes and reads them.
//
// A version 2 archive is one or more frames, each a list: a frame header, blocks of consecutive
// lines, an index of the blocks, and a footer that says how long the index is, so that the index
// can be found from the end. Numbers are unsigned LEB128 where they vary (7 bits a byte, low
// group first, the high bit set on every byte but the last, in the fewest bytes), fixed-width and
// little-endian otherwise. Every block header and the index carry a CRC-32 of themselves, so that
// no length or count is used before it is known to be what was written; a block's sections carry
// one too.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "pack/block.h"

namespace wordperm {

inline constexpr std::array<std::uint8_t, 4> kArchiveMagic = {0x89, 'W', 'P', 'K'};
inline constexpr std::array<std::uint8_t, 4> kFooterMagic = {'K', 'P', 'W', 0x89};

// What follows the magic: the version byte.
inline constexpr std::size_t kMagicAndVersionBytes = 5;

// Versions 2 and 3, whose frames differ in the version byte only.
inline constexpr std::size_t kFrameHeaderBytes = 6;   // magic, version, flags (0)
inline constexpr std::uint8_t kIndexKind = 0;         // the first byte of an index
inline constexpr std::uint8_t kBlockKind = 1;         // the first byte of a block
inline constexpr std::size_t kBlockTrailerBytes = 4;  // the sections' CRC-32
inline constexpr std::size_t kFooterBytes = 12;       // the index's size and kFooterMagic

// Version 1.
inline constexpr std::size_t kVersion1HeaderBytes = 48;
inline constexpr std::size_t kVersion1TrailerBytes = 4;

// Pulls the fields of a header or an index one byte at a time from wherever they come, keeping
// the bytes for the CRC-32 that ends them. `next` gives the next byte, or false when there is
// none (the caller knows why: the end of the input, or an error).
class FieldReader {
  public:
    // `kind`: the piece's first byte, read already to tell what the piece is.
    FieldReader(std::function<bool(std::uint8_t&)> next, std::uint8_t kind)
        : next_(std::move(next)), bytes_{kind} {}

    bool byte(std::uint8_t& value);
    // An unsigned LEB128 number in its fewest bytes, at most `most`.
    bool number(std::uint64_t& value, std::uint64_t most = UINT64_MAX);
    bool fixed(std::uint64_t& value, int bytes);
    // Reads the CRC-32 that follows and checks it against every byte read before it.
    bool checksum();

    // False when the last failure was a byte that could not be had, rather than a bad value.
    bool ran_out() const { return ran_out_; }
    // The piece's bytes read so far, its kind byte first.
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  private:
    std::function<bool(std::uint8_t&)> next_;
    std::vector<std::uint8_t> bytes_;
    bool ran_out_ = false;
};

// A version 2 or 3 frame's header.
std::array<std::uint8_t, kFrameHeaderBytes> frame_header(FormatVersion version);

std::vector<std::uint8_t> block_header_bytes(const BlockHeader& header);

// Reads a block header of a frame of `version` (2 or 3) after its kind byte. False when a byte is
// missing, its CRC-32 does not match or a field holds a value the format never writes;
// block_plausible judges the rest.
bool read_block_header(FieldReader& fields, FormatVersion version, BlockHeader& header);

// A block's whole size in an archive: header, sections and trailer.
std::uint64_t packed_block_bytes(const BlockHeader& header);

struct IndexEntry {
    std::uint64_t list_bytes = 0;
    std::uint64_t lines = 0;
    std::uint64_t packed_bytes = 0;  // packed_block_bytes
    std::uint64_t list_crc = 0;
    bool operator==(const IndexEntry&) const = default;
};

std::vector<std::uint8_t> index_bytes(std::span<const IndexEntry> entries);

// Reads an index after its kind byte: first the number of blocks, which must be `blocks` (those
// read before it), then the entries and the CRC-32.
bool read_index(FieldReader& fields, std::uint64_t blocks, std::vector<IndexEntry>& entries);

std::array<std::uint8_t, kFooterBytes> footer_bytes(std::uint64_t index_size);

bool read_footer(std::span<const std::uint8_t, kFooterBytes> bytes, std::uint64_t& index_size);

// A version 1 archive's whole size, from its first kVersion1HeaderBytes.
std::uint64_t version1_archive_bytes(std::span<const std::uint8_t, kVersion1HeaderBytes> header);

enum class Version1Read { ok, empty_list, damaged };

// Checks a whole version 1 archive (its CRC-32 and every rule its header's fields keep) and
// gives its one block, or empty_list for an archive of no lines.
Version1Read read_version1(std::span<const std::uint8_t> archive, BlockHeader& header,
                           std::array<std::span<const std::uint8_t>, kSections>& sections);

}  // namespace wordperm
