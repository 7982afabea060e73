// Archives made by a stranger: every lie a header, an index or a footer can tell, each with its
// checksums made right so that the reader meets the lie itself. Each must be refused with its
// status, at once: nothing is sized by a claim, and a claim of more memory than the limit allows
// is refused before anything is read behind it (a hang or an allocation of the claim would show
// as a test that does not end, or ends out of memory).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pack/checksums.h"
#include "pack/frame.h"
#include "pack/order_models.h"
#include "pack/pack.h"

namespace wordperm {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

Bytes version1(std::uint64_t size, std::uint32_t lines, std::uint32_t distinct,
               std::array<SectionEntry, kSections> entries, const Bytes& sections = {}) {
    Bytes out = {0x89, 'W', 'P', 'K', 1, 0};
    put(out, size, 8);
    put(out, lines, 4);
    put(out, distinct, 4);
    put(out, 0, 8);
    for (const SectionEntry& entry : entries) {
        out.push_back(entry.stage);
        out.push_back(entry.variant);
        put(out, entry.bytes, 4);
    }
    out.insert(out.end(), sections.begin(), sections.end());
    put(out, crc32(out), 4);
    return out;
}

// What a crafted version 2 archive changes of what the header says.
struct Lies {
    std::uint64_t index_blocks = 1;       // what the index says
    std::uint64_t index_size_change = 0;  // added to the footer's index size
    std::uint64_t index_list_bytes_change = 0;
    std::uint8_t kind = kBlockKind;
    std::uint8_t flags = 0;  // set besides the header's own
};

Bytes version2(const BlockHeader& header, const Bytes& sections, const Lies& lies = {}) {
    Bytes out = {0x89, 'W', 'P', 'K', static_cast<std::uint8_t>(header.version), 0};
    Bytes block = block_header_bytes(header);
    if (lies.kind != kBlockKind || lies.flags != 0) {
        block[0] = lies.kind;
        block[1] |= lies.flags;
        block.erase(block.end() - 4, block.end());  // the header CRC, made again below
        put(block, crc32(block), 4);
    }
    out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), sections.begin(), sections.end());
    put(out, crc32(sections), 4);
    const IndexEntry entry{header.list_bytes + lies.index_list_bytes_change, header.lines,
                           packed_block_bytes(header), header.list_crc};
    const std::vector<IndexEntry> entries(lies.index_blocks, entry);
    const Bytes index = index_bytes(entries);
    out.insert(out.end(), index.begin(), index.end());
    const auto footer = footer_bytes(index.size() + lies.index_size_change);
    out.insert(out.end(), footer.begin(), footer.end());
    return out;
}

// A block of one distinct line: the stages and lengths given, the sections empty unless given.
BlockHeader block(std::uint64_t size, std::uint64_t lines, std::uint64_t distinct,
                  std::uint64_t set_bytes = 0) {
    BlockHeader header;
    header.list_bytes = size;
    header.lines = lines;
    header.distinct = distinct;
    header.sections[0] = {static_cast<std::uint8_t>(SetStage::context_mixing), 22, set_bytes};
    if (distinct < lines) header.sections[1] = {kCountsAdaptive, 0, 0};
    if (distinct >= 2) header.sections[2] = {static_cast<std::uint8_t>(OrderModel::uniform), 0, 0};
    return header;
}

struct Crafted {
    const char* name;
    Bytes archive;
    UnpackStatus status;
};

TEST(HostileArchives, EveryLieIsRefusedAtOnce) {
    constexpr std::uint64_t kMost32 = UINT32_MAX;
    constexpr std::uint32_t kMost31 = (1u << 31) - 1;
    const SectionEntry cm22{static_cast<std::uint8_t>(SetStage::context_mixing), 22, 0};
    const SectionEntry uniform{static_cast<std::uint8_t>(OrderModel::uniform), 0, 0};
    const Crafted cases[] = {
        {"version 1: every count 2^31 - 1",
         version1(kMost31, kMost31, kMost31, {cm22, SectionEntry{}, uniform}),
         UnpackStatus::memory_limit},
        {"version 1: an empty set section for a list of 2 GiB",
         version1(kMost31, 1, 1, {cm22, SectionEntry{}, SectionEntry{}}),
         UnpackStatus::memory_limit},
        {"version 1: an empty set section for a list of 1 MiB",
         version1(1 << 20, 1, 1, {cm22, SectionEntry{}, SectionEntry{}}), UnpackStatus::damaged},
        {"version 1: sections longer than the archive",
         version1(1 << 20, 1, 1, {SectionEntry{1, 22, 0xFFFFFFFF}, SectionEntry{}, SectionEntry{}}),
         UnpackStatus::damaged},
        {"every count 2^32 - 1", version2(block(kMost32, kMost32, kMost32), {}),
         UnpackStatus::memory_limit},
        {"an empty set section for a list of 1 MiB", version2(block(1 << 20, 1, 1), {}),
         UnpackStatus::damaged},
        {"a set section of 2^60 bytes", version2(block(1 << 20, 1, 1, std::uint64_t{1} << 60), {}),
         UnpackStatus::memory_limit},
        {"a set section of 2^20 bytes, and none", version2(block(1 << 20, 1, 1, 1 << 20), {}),
         UnpackStatus::damaged},
        {"a list of 2^40 bytes", version2(block(std::uint64_t{1} << 40, 1, 1), {}),
         UnpackStatus::damaged},
        {"an index of more blocks", version2(block(1 << 20, 1, 1), {}, {.index_blocks = 5}),
         UnpackStatus::damaged},
        {"an index of other sizes",
         version2(block(1 << 20, 1, 1), {}, {.index_list_bytes_change = 1}), UnpackStatus::damaged},
        {"a footer with another index size",
         version2(block(1 << 20, 1, 1), {}, {.index_size_change = 1}), UnpackStatus::damaged},
        {"a kind of piece no version has", version2(block(1 << 20, 1, 1), {}, {.kind = 7}),
         UnpackStatus::damaged},
        {"a block flag no version has", version2(block(1 << 20, 1, 1), {}, {.flags = 2}),
         UnpackStatus::damaged},
        {"a frame flag no version has", {0x89, 'W', 'P', 'K', 2, 1}, UnpackStatus::unsupported},
        {"a later version", {0x89, 'W', 'P', 'K', 7, 0}, UnpackStatus::unsupported},
        {"a frame that ends after its header", {0x89, 'W', 'P', 'K', 2, 0}, UnpackStatus::damaged},
    };
    for (const Crafted& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes list;
        EXPECT_EQ(unpack(c.archive, list, {.threads = 2}), c.status);
        EXPECT_TRUE(list.empty());
    }
}

// A version 2 code has one form: bytes after any section's code are damage. The lists are each
// number twice in numeric order, with all three sections, coded with the set's match model, and
// without it in a version 2 and a version 3 frame.
TEST(HostileArchives, BytesAfterASectionsCodeAreDamage) {
    const struct {
        bool numeric;
        FormatVersion newest, frame;
    } cases[] = {{false, FormatVersion::v5, FormatVersion::v2},
                 {true, FormatVersion::v5, FormatVersion::v3},
                 {true, FormatVersion::v6, FormatVersion::v6}};
    for (const auto& [numeric, newest, frame] : cases) {
        Bytes list;
        for (int i = 1; i <= 300; ++i)
            for (int copy = 0; copy < 2; ++copy) {
                const std::string number = std::to_string(i);
                // Padded, the numbers' order is byte order, which needs no version 3.
                const std::string line =
                    (numeric ? number : std::string(3 - number.size(), '0') + number) + "\n";
                list.insert(list.end(), line.begin(), line.end());
            }
        Bytes packed;
        ASSERT_EQ(pack(list, packed, {.newest_version = newest}), PackStatus::ok);
        ArchiveInfo info;
        ASSERT_EQ(describe(packed, info), UnpackStatus::ok);
        ASSERT_EQ(info.blocks.size(), 1u);
        const BlockHeader& header = info.blocks[0].header;
        ASSERT_EQ(header.version, frame);
        const std::size_t at = kFrameHeaderBytes + block_header_bytes(header).size();
        for (std::size_t spoilt = 0; spoilt < kSections; ++spoilt) {
            SCOPED_TRACE(::testing::Message()
                         << "version " << static_cast<int>(frame) << ", section " << spoilt);
            ASSERT_GT(header.sections[spoilt].bytes, 0u);
            BlockHeader longer = header;
            Bytes sections;
            std::size_t from = at;
            for (std::size_t s = 0; s < kSections; ++s) {
                const std::size_t length = header.sections[s].bytes;
                sections.insert(sections.end(), packed.begin() + static_cast<std::ptrdiff_t>(from),
                                packed.begin() + static_cast<std::ptrdiff_t>(from + length));
                from += length;
                if (s == spoilt) sections.insert(sections.end(), {0x12, 0x34, 0x56});
            }
            longer.sections[spoilt].bytes += 3;
            Bytes unpacked;
            EXPECT_EQ(unpack(version2(longer, sections), unpacked), UnpackStatus::damaged);
            EXPECT_TRUE(unpacked.empty());
        }
    }
}

// Every stage and variant a section entry may name, in the versions that allow it, and the
// nearest that it may not: a header that names one of those is refused before anything is read.
TEST(HostileArchives, StagesAndVariantsOutsideTheirVersionsAreRefused) {
    struct Row {
        const char* name;
        FormatVersion version;
        int section;
        SectionEntry entry;
        bool plausible;
    };
    const auto cm = static_cast<std::uint8_t>(SetStage::context_mixing);
    const auto match = static_cast<std::uint8_t>(SetStage::context_mixing_match);
    const auto xz = static_cast<std::uint8_t>(SetStage::xz);
    const auto uniform = static_cast<std::uint8_t>(OrderModel::uniform);
    const auto cursor = static_cast<std::uint8_t>(OrderModel::cursor);
    const auto context = static_cast<std::uint8_t>(OrderModel::context);
    const auto rewrite = static_cast<std::uint8_t>(OrderModel::rewrite);
    const Row rows[] = {
        {"tables of 2^22", FormatVersion::v2, 0, {cm, 22, 9}, true},
        {"tables of 2^23", FormatVersion::v2, 0, {cm, 23, 9}, false},
        {"tables of 2^11", FormatVersion::v2, 0, {cm, 11, 9}, false},
        {"the match model in version 5", FormatVersion::v5, 0, {match, 22, 9}, false},
        {"the match model in version 6", FormatVersion::v6, 0, {match, 12, 9}, true},
        {"the match model with tables of 2^23", FormatVersion::v6, 0, {match, 23, 9}, false},
        {"a set stage past the match model", FormatVersion::v6, 0, {7, 22, 9}, false},
        {"a library stage in version 1", FormatVersion::v1, 0, {xz, 0, 9}, true},
        {"a library stage with a variant", FormatVersion::v1, 0, {xz, 1, 9}, false},
        {"a library stage in version 2", FormatVersion::v2, 0, {xz, 0, 9}, false},
        {"counts with a variant", FormatVersion::v2, 1, {kCountsAdaptive, 1, 9}, false},
        {"a uniform order with a variant", FormatVersion::v2, 2, {uniform, 1, 9}, false},
        {"the numeric order in version 2", FormatVersion::v2, 2, {cursor, 8, 9}, false},
        {"the numeric order in version 3", FormatVersion::v3, 2, {cursor, 9, 9}, true},
        {"an order past the numeric one", FormatVersion::v4, 2, {cursor, 10, 9}, false},
        {"the context model in version 3", FormatVersion::v3, 2, {context, 0, 9}, false},
        {"the context model in version 4", FormatVersion::v4, 2, {context, 0, 9}, true},
        {"the context model with a variant", FormatVersion::v4, 2, {context, 1, 9}, false},
        {"the rewrite model in version 4", FormatVersion::v4, 2, {rewrite, 0, 9}, false},
        {"the rewrite model in version 5", FormatVersion::v5, 2, {rewrite, 9, 9}, true},
        {"the rewrite model past the numeric order", FormatVersion::v5, 2, {rewrite, 10, 9}, false},
        {"an order stage past the rewrite model", FormatVersion::v6, 2, {6, 0, 9}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BlockHeader header = block(1000, 100, 50, 9);
        header.version = row.version;
        header.sections[static_cast<std::size_t>(row.section)] = row.entry;
        EXPECT_EQ(block_plausible(header), row.plausible);
    }
    // Without repeated lines the counts section is absent, stage and variant 0.
    BlockHeader distinct = block(1000, 50, 50, 9);
    distinct.sections[2] = {uniform, 0, 9};
    EXPECT_TRUE(block_plausible(distinct));
    distinct.sections[1] = {0, 1, 0};
    EXPECT_FALSE(block_plausible(distinct));
}

// The bounds a reader compares with its limit, and the default limit, to the byte as the format
// document gives them: a changed bound refuses archives that earlier builds unpacked.
TEST(HostileArchives, MemoryBoundsAreTheDocumentedOnes) {
    EXPECT_EQ(default_memory_limit(), 1797669354u);
    BlockHeader header = block(1000, 100, 50, 300);
    header.sections[0].variant = 12;
    header.sections[1].bytes = 20;
    header.sections[2].bytes = 80;
    // 4 MiB + 2 (S - N) + 64 D + the sections, and the tables of 2^12 counters.
    EXPECT_EQ(block_memory_bound(header), 5970200u);
    header.sections[2].stage = static_cast<std::uint8_t>(OrderModel::context);
    EXPECT_EQ(block_memory_bound(header), 5970200u + 144 * 100 + 40 * 50 + 16384);
    header.sections[2].stage = static_cast<std::uint8_t>(OrderModel::rewrite);
    EXPECT_EQ(block_memory_bound(header), 5970200u + 240 * 100 + 56 * 50 + 2 * 1000 + 4096);
    // The match model: four more tables of 2^12, the second mixer's 2^14 sets of four more
    // weights, and the set's text (S - N + D bytes) twice.
    header.sections[0].stage = static_cast<std::uint8_t>(SetStage::context_mixing_match);
    EXPECT_EQ(block_memory_bound(header),
              5970200u + 240 * 100 + 56 * 50 + 2 * 1000 + 4096 + 16 * 4096 + 16 * 16384 + 2 * 950);
    header.version = FormatVersion::v1;
    header.sections[0] = {static_cast<std::uint8_t>(SetStage::xz), 0, 300};
    header.sections[2].stage = static_cast<std::uint8_t>(OrderModel::uniform);
    // The tables give way to the library's form and window.
    EXPECT_EQ(block_memory_bound(header), 5970200u - 1770496 + 900 + 6 * 50 + (64 << 20));
}

// Each varint is read in its fewest bytes and within its field's range: longer forms, and
// numbers past 64 bits or past a field's 32, are damage, not numbers.
TEST(HostileArchives, NumbersInOtherFormsAreRefused) {
    struct Case {
        Bytes bytes;
        std::uint64_t most;
        bool read;
        std::uint64_t value;
    };
    const Case cases[] = {
        {{0x00}, UINT64_MAX, true, 0},
        {{0x7F}, UINT64_MAX, true, 127},
        {{0x80, 0x01}, UINT64_MAX, true, 128},
        {{0x80, 0x00}, UINT64_MAX, false, 0},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, UINT32_MAX, true, UINT32_MAX},
        {{0x80, 0x80, 0x80, 0x80, 0x10}, UINT32_MAX, false, 0},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01},
         UINT64_MAX,
         true,
         UINT64_MAX},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02}, UINT64_MAX, false, 0},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x00}, UINT64_MAX, false, 0},
        {{0x80}, UINT64_MAX, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        std::size_t at = 0;
        FieldReader fields(
            [&](std::uint8_t& b) {
                if (at == c.bytes.size()) return false;
                b = c.bytes[at++];
                return true;
            },
            kBlockKind);
        std::uint64_t value = 0;
        EXPECT_EQ(fields.number(value, c.most), c.read);
        if (c.read) {
            EXPECT_EQ(value, c.value);
        }
    }
}

}  // namespace
}  // namespace wordperm
