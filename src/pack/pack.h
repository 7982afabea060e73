// wordpack's core: a list into an archive and back, streamed block by block, and what an
// archive holds.
//
// Packing cuts the list into blocks of at most `block_bytes`, each ending at a line feed where
// the block holds one, codes each block on its own (pack/block.h), on as many threads as it is
// given, and writes them in order, then the index and the footer: one version 2 frame, or from
// the first block that needs the numeric order on, a version 3 one after it. The archive does not
// depend on the number of threads. Unpacking reads any number of frames one after another (a
// concatenation of archives is an archive of the concatenated lists), version 1 archives among
// them, checks each block's header and sections before decoding them and each block's list after,
// and writes each block's list as soon as it and every block before it are checked. What a run
// holds is a few blocks and their lists, whatever the archive's size; and nothing is allocated on
// a header's word: a block whose header asks for more than the memory limit is refused before it
// is read, and everything else grows with the bytes actually read and decoded.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "io/byte_io.h"
#include "pack/block.h"
#include "pack/reference_order.h"

namespace wordperm {

inline constexpr int kFastestLevel = 1;
inline constexpr int kBestLevel = 9;
inline constexpr int kDefaultLevel = 6;

inline constexpr std::uint64_t kDefaultBlockBytes = std::uint64_t{64} << 20;
inline constexpr std::uint64_t kSmallestBlockBytes = std::uint64_t{1} << 10;
inline constexpr std::uint64_t kLargestBlockBytes = std::uint64_t{1} << 30;

// What a level tries.
BlockChoices level_choices(int level);

// The most memory one block of `block_bytes` can take to pack at `level`, or to unpack when packed
// that way: the bounds that the memory limits and the man page state.
std::uint64_t pack_memory_bound(int level, std::uint64_t block_bytes);
std::uint64_t unpack_memory_bound(int level, std::uint64_t block_bytes);

// The same for a block whose number of lines is known.
std::uint64_t block_pack_memory(std::uint64_t block_bytes, std::uint64_t lines, int level);

// Unpacking refuses, by default, a block that may need more than a block of the largest size at
// the best level needs.
std::uint64_t default_memory_limit();

struct PackSettings {
    int level = kDefaultLevel;
    std::uint64_t block_bytes = kDefaultBlockBytes;
    unsigned threads = 1;
    std::uint64_t memory_limit = 0;  // 0: none; otherwise fewer threads, or a refusal
    // The newest version packing may write; an older one makes archives that the readers of
    // that version read, and gives the bytes the builds of that version wrote.
    FormatVersion newest_version = FormatVersion::v6;
};

enum class PackStatus {
    ok,
    read_failed,   // the list's error()
    write_failed,  // the archive's error()
    memory_limit,  // one block needs more than the limit (memory_needed)
    out_of_memory,
};

struct PackResult {
    PackStatus status = PackStatus::ok;
    std::uint64_t list_bytes = 0;
    std::uint64_t archive_bytes = 0;
    std::uint64_t memory_needed = 0;  // for memory_limit
};

PackResult pack_archive(ByteReader& list, ByteWriter& archive, const PackSettings& settings);

struct UnpackSettings {
    unsigned threads = 1;
    std::uint64_t memory_limit = default_memory_limit();  // 0: none
};

enum class UnpackStatus {
    ok,
    not_an_archive,  // no archive magic at the start
    unsupported,     // a version or a version 1 set stage this reader does not know
    damaged,         // damaged, truncated, or followed by bytes that are not an archive
    read_failed,     // the archive's error()
    write_failed,    // the list's error()
    memory_limit,    // a block needs more than the limit (memory_needed)
    out_of_memory,
};

struct UnpackResult {
    UnpackStatus status = UnpackStatus::ok;
    std::uint64_t list_bytes = 0;     // written
    std::uint64_t archive_bytes = 0;  // read
    std::uint64_t memory_needed = 0;  // for memory_limit
};

// Unpacks every frame of `archive` into `list`, or checks it and writes nothing when `list` is
// null. Bytes of a damaged archive may have been written by the time it is found out.
UnpackResult unpack_archive(ByteReader& archive, ByteWriter* list, const UnpackSettings& settings);

// What an archive holds, read from its headers without decoding anything.
struct BlockInfo {
    BlockHeader header;
    std::uint64_t packed_bytes = 0;
};

struct ArchiveInfo {
    std::uint64_t frames = 0;  // archives concatenated, version 1 ones included
    bool version1 = false;     // a version 1 archive is among them
    std::uint64_t lines = 0;
    std::uint64_t list_bytes = 0;
    std::uint64_t archive_bytes = 0;
    std::vector<BlockInfo> blocks;  // every block, in order
};

UnpackStatus describe_archive(ByteReader& archive, ArchiveInfo& info);

// The same in memory, for tests and fuzzing.
PackStatus pack(std::span<const std::uint8_t> list, std::vector<std::uint8_t>& archive,
                const PackSettings& settings = {});
UnpackStatus unpack(std::span<const std::uint8_t> archive, std::vector<std::uint8_t>& list,
                    const UnpackSettings& settings = {});
UnpackStatus describe(std::span<const std::uint8_t> archive, ArchiveInfo& info);

// Names for listings.
std::string_view set_stage_name(std::uint8_t stage);
std::string_view order_model_name(std::uint8_t model);
std::string_view reference_order_name(std::uint8_t order);

}  // namespace wordperm
