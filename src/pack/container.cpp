// Fields are little-endian and fixed-width; the sections follow in a fixed order, so the header
// needs no offsets and a reader knows every field's place before reading it.
#include "pack/container.h"

#include <algorithm>

#include "pack/checksums.h"

namespace wordperm {
namespace {

void put_le(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint64_t get_le(const std::uint8_t* in, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | in[i];
    return value;
}

}  // namespace

std::uint64_t list_checksum(std::span<const std::uint8_t> list) {
    return crc64(list);
}

std::uint32_t archive_checksum(std::span<const std::uint8_t> bytes) {
    return crc32(bytes);
}

std::vector<std::uint8_t> write_archive(
    const ArchiveHeader& header,
    const std::array<std::span<const std::uint8_t>, kSections>& sections) {
    std::vector<std::uint8_t> out(kArchiveMagic.begin(), kArchiveMagic.end());
    out.push_back(kArchiveVersion);
    out.push_back(header.flags);
    put_le(out, header.original_bytes, 8);
    put_le(out, header.lines, 4);
    put_le(out, header.distinct, 4);
    put_le(out, header.original_crc, 8);
    for (std::size_t s = 0; s < kSections; ++s) {
        out.push_back(header.sections[s].stage);
        out.push_back(header.sections[s].variant);
        put_le(out, sections[s].size(), 4);
    }
    for (const auto& section : sections)
        out.insert(out.end(), section.begin(), section.end());
    put_le(out, archive_checksum(out), 4);
    return out;
}

ContainerStatus read_archive(std::span<const std::uint8_t> archive, ArchiveHeader& header,
                             std::array<std::span<const std::uint8_t>, kSections>& sections) {
    if (archive.size() < kArchiveMagic.size() ||
        !std::equal(kArchiveMagic.begin(), kArchiveMagic.end(), archive.begin()))
        return ContainerStatus::not_an_archive;
    if (archive.size() < kArchiveMagic.size() + 1) return ContainerStatus::damaged;
    if (archive[4] != kArchiveVersion) return ContainerStatus::unsupported_version;
    if (archive.size() < kHeaderBytes + kTrailerBytes) return ContainerStatus::damaged;
    const std::size_t body = archive.size() - kTrailerBytes;
    if (get_le(archive.data() + body, 4) != archive_checksum(archive.first(body)))
        return ContainerStatus::damaged;
    const std::uint8_t* in = archive.data();
    header.flags = in[5];
    if (header.flags & ~kFlagBareLastLine) return ContainerStatus::damaged;
    header.original_bytes = get_le(in + 6, 8);
    header.lines = static_cast<std::uint32_t>(get_le(in + 14, 4));
    header.distinct = static_cast<std::uint32_t>(get_le(in + 18, 4));
    header.original_crc = get_le(in + 22, 8);
    std::size_t at = kHeaderBytes;
    for (std::size_t s = 0; s < kSections; ++s) {
        const std::uint8_t* entry = in + 30 + 6 * s;
        header.sections[s] = {entry[0], entry[1], static_cast<std::uint32_t>(get_le(entry + 2, 4))};
        if (header.sections[s].bytes > body - at) return ContainerStatus::damaged;
        sections[s] = archive.subspan(at, header.sections[s].bytes);
        at += header.sections[s].bytes;
    }
    return at == body ? ContainerStatus::ok : ContainerStatus::damaged;
}

}  // namespace wordperm
