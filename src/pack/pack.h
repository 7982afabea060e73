// wordpack's core, in memory: a list into an archive and back, and what an archive holds.
//
// pack splits the list into its set of distinct lines, their counts and their order, codes the
// set with the context-mixing model and with each library stage, the order with each order
// model against the reference order that fits it best, and keeps the smallest of each. unpack
// refuses any archive that is damaged, truncated or not one of ours, checking the archive's
// CRC-32 before it decodes anything and the list's CRC-64 after, and allocates only what the
// decoded data really needs, never what a header merely claims.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "pack/reference_order.h"

namespace wordperm {

// Lists must be shorter than this (the line offsets are 32-bit).
inline constexpr std::uint64_t kPackLimitBytes = std::uint64_t{1} << 31;

enum class PackStatus { ok, too_large, out_of_memory };

struct PackOptions {
    // Try the library stages on the set as well as the context-mixing model.
    bool library_stages = true;
};

PackStatus pack(std::span<const std::uint8_t> list, std::vector<std::uint8_t>& archive,
                const PackOptions& options = {});

enum class UnpackStatus {
    ok,
    not_an_archive,  // no archive magic
    unsupported,  // a format version this reader does not know, or a set stage it was built without
    damaged,      // checksums, sizes or codes do not fit: damaged or truncated
    too_large,    // the list would exceed the caller's limit
    out_of_memory,
};

// Restores the list into `list`. `limit` bounds the list's size (at most kPackLimitBytes - 1).
UnpackStatus unpack(std::span<const std::uint8_t> archive, std::vector<std::uint8_t>& list,
                    std::uint64_t limit = kPackLimitBytes - 1);

// The set stage of an archive: 1 context mixing, 2 to 5 the library stages (LibraryStage).
std::string_view set_stage_name(std::uint8_t stage);
// The order model of an archive (OrderModel; 0: no order to code).
std::string_view order_model_name(std::uint8_t model);
std::string_view reference_order_name(ReferenceOrder order);

struct ArchiveInfo {
    std::uint64_t original_bytes = 0;
    std::uint64_t packed_bytes = 0;
    std::uint32_t lines = 0;
    std::uint32_t distinct = 0;
    bool final_line_feed = true;
    std::uint8_t set_stage = 0;    // 0 when there is no line
    std::uint8_t order_model = 0;  // 0 when the order needs no code
    ReferenceOrder reference = ReferenceOrder::byte;
    bool reversed = false;
    std::uint32_t set_bytes = 0, counts_bytes = 0, order_bytes = 0;
};

// Reads the header of a checksum-intact archive, decoding nothing.
UnpackStatus describe(std::span<const std::uint8_t> archive, ArchiveInfo& info);

// The sizes pack finds for each candidate, for tuning and for the benchmark's breakdown.
struct PackBreakdown {
    std::uint64_t set_model = 0;        // the context-mixing set coder
    std::uint64_t set_library[4] = {};  // bzip2, xz, brotli, zlib (0: not tried)
    std::uint64_t counts = 0;
    std::uint64_t order_uniform = 0;
    std::uint64_t order_cursor = 0;           // against `reference`
    std::uint64_t order_cursor_distance = 0;  // against `reference`
    ReferenceOrder reference = ReferenceOrder::byte;
    bool reversed = false;
    std::uint64_t reference_steps[kReferenceOrders][2] = {};  // lines that follow their predecessor
};

PackStatus pack(std::span<const std::uint8_t> list, std::vector<std::uint8_t>& archive,
                const PackOptions& options, PackBreakdown& breakdown);

}  // namespace wordperm
