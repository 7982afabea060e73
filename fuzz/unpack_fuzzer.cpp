// Fuzzes unpack with arbitrary archives: every input must end in a status, never a crash, a read
// out of bounds (the sanitizers watch), a hang or an allocation beyond what the archive really
// decodes to. An input that unpacks must pack back into an archive that unpacks to the same list.
//
// Arbitrary bytes almost never carry valid CRC-32s, which would stop the decoders before they
// start. So the first byte chooses: an even one hands the rest over as it is, to the container's
// readers; an odd one builds a one-block archive of version 1, 2 or 3 around the rest, with every
// checksum right, so that the decoders meet the sections themselves. Its fields come from the
// input: flags, list size S, lines N, distinct lines D (4 bytes each, little-endian), the
// three sections' stages and variants, and their lengths (2 bytes each); the sections follow.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "pack/checksums.h"
#include "pack/frame.h"
#include "pack/pack.h"

namespace {

using namespace wordperm;
using Bytes = std::vector<std::uint8_t>;

// Blocks that may need up to this much memory are decoded: lists up to a default block's size.
constexpr std::uint64_t kMemoryLimitBytes = std::uint64_t{512} << 20;
constexpr std::size_t kFieldBytes = 1 + 1 + 12 + 6 + 6;

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "unpack_fuzzer: %s\n", what);
    std::abort();
}

std::uint64_t little_endian(const std::uint8_t* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

void put(Bytes& out, std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The archive the odd first byte asks for, or nothing when the input is too short.
Bytes built_archive(const std::uint8_t* data, std::size_t size) {
    if (size < kFieldBytes) return {};
    const bool version1 = (data[0] & 2) != 0;
    BlockHeader header;
    const FormatVersion frame_version = (data[0] & 4) != 0 ? FormatVersion::v3 : FormatVersion::v2;
    header.version = version1 ? FormatVersion::v1 : frame_version;
    header.bare_last_line = (data[1] & 1) != 0;
    header.list_bytes = little_endian(data + 2, 4);
    header.lines = little_endian(data + 6, 4);
    header.distinct = little_endian(data + 10, 4);
    std::size_t rest = size - kFieldBytes;
    for (std::size_t s = 0; s < kSections; ++s) {
        header.sections[s].stage = data[14 + 2 * s];
        header.sections[s].variant = data[15 + 2 * s];
        header.sections[s].bytes =
            std::min<std::uint64_t>(little_endian(data + 20 + 2 * s, 2), rest);
        rest -= header.sections[s].bytes;
    }
    const std::uint8_t* sections = data + kFieldBytes;
    const std::size_t section_bytes = size - kFieldBytes - rest;
    Bytes archive(kArchiveMagic.begin(), kArchiveMagic.end());
    if (version1) {
        archive.push_back(1);
        archive.push_back(header.bare_last_line ? 1 : 0);
        put(archive, header.list_bytes, 8);
        put(archive, header.lines, 4);
        put(archive, header.distinct, 4);
        put(archive, header.list_crc, 8);
        for (const SectionEntry& section : header.sections) {
            archive.push_back(section.stage);
            archive.push_back(section.variant);
            put(archive, section.bytes, 4);
        }
        archive.insert(archive.end(), sections, sections + section_bytes);
        put(archive, crc32(archive), 4);
        return archive;
    }
    archive.push_back(static_cast<std::uint8_t>(frame_version));
    archive.push_back(0);
    const Bytes block = block_header_bytes(header);
    archive.insert(archive.end(), block.begin(), block.end());
    archive.insert(archive.end(), sections, sections + section_bytes);
    put(archive, crc32({sections, section_bytes}), 4);
    const IndexEntry entry{header.list_bytes, header.lines, packed_block_bytes(header),
                           header.list_crc};
    const Bytes index = index_bytes({&entry, 1});
    archive.insert(archive.end(), index.begin(), index.end());
    const auto footer = footer_bytes(index.size());
    archive.insert(archive.end(), footer.begin(), footer.end());
    return archive;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Bytes archive =
        data[0] & 1 ? built_archive(data + 1, size - 1) : Bytes(data + 1, data + size);
    Bytes list;
    const UnpackStatus status =
        unpack(archive, list, {.threads = 1, .memory_limit = kMemoryLimitBytes});
    ArchiveInfo info;
    const UnpackStatus described = describe(archive, info);
    if (status != UnpackStatus::ok) return 0;
    require(described == UnpackStatus::ok && info.list_bytes == list.size(),
            "an archive that unpacks is not described as it unpacks");
    Bytes again, restored;
    require(pack(list, again) == PackStatus::ok, "a restored list does not pack");
    require(unpack(again, restored) == UnpackStatus::ok && restored == list,
            "a restored list does not round trip");
    return 0;
}
