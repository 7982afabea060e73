// A block: consecutive lines of a list, coded on their own as three sections (the set of their
// distinct lines, how often each occurs, the order they came in), and the way back.
//
// Packing splits the block, codes the set with the context-mixing model and the order with each
// order model against the reference order that fits it best, and keeps the smallest; the header
// says which model coded each section, so the choice costs the reader nothing. Unpacking first
// checks that the header describes a block that can exist (block_plausible) and what decoding it
// may cost (block_memory_bound); then it decodes the set, the counts and the order in turn, and
// writes the lines as they are decoded: nothing of the size of the block's list is held but the
// set's own lines, and every array grows with what has been decoded, not with what the header
// claims. The block's CRC-64 is checked at the end. A version 1 archive is one block, coded by
// that version's rules.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "base/large_array.h"
#include "io/byte_io.h"
#include "pack/format_version.h"

namespace wordperm {

inline constexpr std::size_t kSections = 3;  // set, counts, order, in that order

enum class SetStage : std::uint8_t {
    none = 0,
    context_mixing = 1,  // variant: the tables' size, 2^variant counters
    // Version 1 only, variant 0: a library's stream of the set's front-coded form.
    bzip2 = 2,
    xz = 3,
    brotli = 4,
    zlib = 5,
    // Version 6: the context-mixing model with the match model; the variant as stage 1's.
    context_mixing_match = 6,
};
inline constexpr std::uint8_t kCountsAdaptive = 1;  // the counts section's one stage
// The order section's stages are the OrderModel values, with variant 2 * reference + reversed.

struct SectionEntry {
    std::uint8_t stage = 0;  // 0: the section is absent, and empty
    std::uint8_t variant = 0;
    std::uint64_t bytes = 0;
};

struct BlockHeader {
    FormatVersion version = FormatVersion::v2;
    bool bare_last_line = false;   // the block's list ends without a line feed
    std::uint64_t list_bytes = 0;  // S
    std::uint64_t lines = 0;       // N
    std::uint64_t distinct = 0;    // D
    std::uint64_t list_crc = 0;    // CRC-64 of the block's list
    std::array<SectionEntry, kSections> sections{};
};

struct PackedBlock {
    BlockHeader header;
    std::array<std::vector<std::uint8_t>, kSections> sections;
};

// What packing tries, set by the level.
struct BlockChoices {
    int max_table_bits = 22;  // the set model's largest tables: 2^max_table_bits counters
    // The newest version whose models packing may use, so that older readers can read it.
    FormatVersion newest_version = FormatVersion::v6;
};

// The sizes pack_block finds for each candidate, for tuning and for the benchmark's breakdown.
struct PackBreakdown {
    std::uint64_t set = 0;
    std::uint64_t counts = 0;
    std::uint64_t order_uniform = 0;
    std::uint64_t order_cursor = 0;           // against `reference`
    std::uint64_t order_cursor_distance = 0;  // against `reference`
    std::uint64_t order_context = 0;          // 0: not tried (lines mostly distinct, or too many)
    std::uint64_t order_rewrite = 0;  // against `reference`; 0: not tried (neighbours unalike)
    std::uint8_t reference = 0;               // ReferenceOrder
    bool reversed = false;
};

// Packs the block of `length` bytes (1 <= length < 2^32) at the start of `bytes`, which has room
// for kTailBytes more after them and is given up. With `two_threads` the set's model runs beside
// the other sections' candidates; the bytes are the same either way. The header's version is the
// least frame version that may hold the block. Throws std::bad_alloc.
PackedBlock pack_block(LargeArray<std::uint8_t> bytes, std::uint64_t length,
                       const BlockChoices& choices, bool two_threads,
                       PackBreakdown* breakdown = nullptr);

// 4 when the block's order is coded by the context model, which only version 4 frames may hold;
// 3 when it is coded against the numeric reference order, which version 3 frames and later
// may hold; 2 otherwise.
FormatVersion least_frame_version(const BlockHeader& header);

// Every relation between the header's numbers that a block of its version has: checked before
// anything is decoded, so that no later step meets an impossible combination.
bool block_plausible(const BlockHeader& header);

// The most memory that unpacking the block can take, from its header alone: what a reader
// compares with its memory limit before decoding anything.
std::uint64_t block_memory_bound(const BlockHeader& header);

enum class BlockStatus {
    ok,
    damaged,       // the sections do not decode to the block the header describes
    unsupported,   // a version 1 set stage this build has no library for
    write_failed,  // `sink` failed; its error() says why
};

// Decodes a plausible block and writes its list to `sink`, in order and in pieces. A damaged
// block may have written some of it by the time it is found out. Throws std::bad_alloc.
BlockStatus unpack_block(const BlockHeader& header,
                         const std::array<std::span<const std::uint8_t>, kSections>& sections,
                         ByteWriter& sink);

}  // namespace wordperm
