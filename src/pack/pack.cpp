// Levels, the memory bounds they imply, the in-memory forms of packing and unpacking, and the
// names listings give to stages.
#include "pack/pack.h"

#include <algorithm>

#include "io/memory_io.h"
#include "pack/context_order.h"
#include "pack/library_stages.h"
#include "pack/order_models.h"
#include "pack/rewrite_order.h"
#include "pack/set_model.h"

namespace wordperm {
namespace {

// What each level lets the set's model grow to: the largest tables of the best levels, then a
// size class less a level below the default.
constexpr int kTableBitsOfLevel[] = {0, 16, 17, 18, 19, 20, 22, 22, 22, 22};

// A block of `block_bytes` holds at most this many distinct lines: all of them differ, so all
// but 256 of them hold at least two bytes and a line feed.
std::uint64_t most_distinct_lines(std::uint64_t block_bytes) {
    return std::min(block_bytes, 256 + block_bytes / 3);
}

}  // namespace

BlockChoices level_choices(int level) {
    BlockChoices choices;
    choices.max_table_bits = kTableBitsOfLevel[std::clamp(level, kFastestLevel, kBestLevel)];
    return choices;
}

// Packing holds the block, its line starts and the sort's records (16 bytes a line with the
// lines' places in the set), the set's copy of the lines and its arrays, the candidates' codes
// and ranks, and the models' tables, the context or rewrite order model's where it is tried.
std::uint64_t block_pack_memory(std::uint64_t block_bytes, std::uint64_t lines, int level) {
    BlockHeader header;
    header.list_bytes = block_bytes;
    header.lines = lines;
    header.distinct = std::min(lines, most_distinct_lines(block_bytes));
    header.sections[0] = {static_cast<std::uint8_t>(SetStage::context_mixing_match),
                          static_cast<std::uint8_t>(level_choices(level).max_table_bits), 0};
    // The models are tried one after the other.
    const auto tried = [](std::uint64_t memory) {
        return memory <= kOrderModelMemoryMost ? memory : 0;
    };
    const std::uint64_t models =
        std::max(tried(context_order_memory(lines, header.distinct)),
                 tried(rewrite_order_memory(lines, header.distinct, block_bytes)));
    return 2 * block_bytes + 16 * lines + block_memory_bound(header) + models;
}

std::uint64_t pack_memory_bound(int level, std::uint64_t block_bytes) {
    return block_pack_memory(block_bytes, block_bytes, level);
}

// A block's header bounds its own needs; this bound is the largest any block of that size can
// claim, the list it gives held too (as it is when blocks are decoded side by side).
std::uint64_t unpack_memory_bound(int level, std::uint64_t block_bytes) {
    BlockHeader header;
    header.list_bytes = block_bytes;
    header.lines = block_bytes;
    header.distinct = most_distinct_lines(block_bytes);
    header.sections[0] = {static_cast<std::uint8_t>(SetStage::context_mixing_match),
                          static_cast<std::uint8_t>(level_choices(level).max_table_bits),
                          block_bytes};
    return block_memory_bound(header) + block_bytes;
}

std::uint64_t default_memory_limit() {
    return unpack_memory_bound(kBestLevel, kDefaultBlockBytes);
}

PackStatus pack(std::span<const std::uint8_t> list, std::vector<std::uint8_t>& archive,
                const PackSettings& settings) {
    archive.clear();
    SpanReader in(list);
    VectorWriter out(archive);
    return pack_archive(in, out, settings).status;
}

UnpackStatus unpack(std::span<const std::uint8_t> archive, std::vector<std::uint8_t>& list,
                    const UnpackSettings& settings) {
    list.clear();
    SpanReader in(archive);
    VectorWriter out(list);
    const UnpackStatus status = unpack_archive(in, &out, settings).status;
    if (status != UnpackStatus::ok) list.clear();
    return status;
}

UnpackStatus describe(std::span<const std::uint8_t> archive, ArchiveInfo& info) {
    SpanReader in(archive);
    return describe_archive(in, info);
}

std::string_view set_stage_name(std::uint8_t stage) {
    switch (static_cast<SetStage>(stage)) {
        case SetStage::context_mixing:
            return "context-mixing";
        case SetStage::context_mixing_match:
            return "context-mixing with matches";
        case SetStage::bzip2:
            return "bzip2";
        case SetStage::xz:
            return "xz";
        case SetStage::brotli:
            return "brotli";
        case SetStage::zlib:
            return "zlib";
        case SetStage::none:
            break;
    }
    return "none";
}

std::string_view order_model_name(std::uint8_t model) {
    switch (static_cast<OrderModel>(model)) {
        case OrderModel::uniform:
            return "uniform";
        case OrderModel::cursor:
            return "cursor";
        case OrderModel::cursor_distance:
            return "cursor-distance";
        case OrderModel::context:
            return "context";
        case OrderModel::rewrite:
            return "rewrite";
    }
    return "none";
}

std::string_view reference_order_name(std::uint8_t order) {
    switch (static_cast<ReferenceOrder>(order)) {
        case ReferenceOrder::byte:
            return "byte";
        case ReferenceOrder::dictionary:
            return "dictionary";
        case ReferenceOrder::dictionary_folded:
            return "dictionary-folded";
        case ReferenceOrder::accents_folded:
            return "accents-folded";
        case ReferenceOrder::numeric:
            return "numeric";
    }
    return "none";
}

}  // namespace wordperm
