// Each piece is checked whole (its CRC-32) before any of its fields is used: the readers pull
// the fields one at a time, and judge them only once the checksum that ends them matches.
#include "pack/frame.h"

#include <algorithm>

#include "pack/checksums.h"
#include "pack/format_version.h"

namespace wordperm {
namespace {

constexpr std::uint8_t kFlagBareLastLine = 1;

std::uint64_t get_le(const std::uint8_t* in, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | in[i];
    return value;
}

SectionEntry get_entry(const std::uint8_t* in, int length_bytes) {
    return {in[0], in[1], get_le(in + 2, length_bytes)};
}

void put_number(std::vector<std::uint8_t>& out, std::uint64_t value) {
    for (; value >= 0x80; value >>= 7)
        out.push_back(static_cast<std::uint8_t>(value | 0x80));
    out.push_back(static_cast<std::uint8_t>(value));
}

void put_fixed(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void put_checksum(std::vector<std::uint8_t>& out) {
    put_fixed(out, crc32(out), 4);
}

}  // namespace

bool FieldReader::byte(std::uint8_t& value) {
    if (!next_(value)) {
        ran_out_ = true;
        return false;
    }
    bytes_.push_back(value);
    return true;
}

bool FieldReader::number(std::uint64_t& value, std::uint64_t most) {
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        std::uint8_t b;
        if (!byte(b)) return false;
        const std::uint64_t group = b & 0x7Fu;
        // The tenth byte has room for one bit; a last byte of zero would be a longer form.
        if (shift == 63 && group > 1) return false;
        value |= group << shift;
        if (!(b & 0x80)) return (b != 0 || shift == 0) && value <= most;
    }
    return false;
}

bool FieldReader::fixed(std::uint64_t& value, int bytes) {
    value = 0;
    for (int i = 0; i < bytes; ++i) {
        std::uint8_t b;
        if (!byte(b)) return false;
        value |= std::uint64_t{b} << (8 * i);
    }
    return true;
}

bool FieldReader::checksum() {
    const std::uint32_t expected = crc32(bytes_);
    std::uint64_t stored = 0;
    return fixed(stored, 4) && stored == expected;
}

std::array<std::uint8_t, kFrameHeaderBytes> frame_header(FormatVersion version) {
    return {kArchiveMagic[0],
            kArchiveMagic[1],
            kArchiveMagic[2],
            kArchiveMagic[3],
            static_cast<std::uint8_t>(version),
            0};
}

// kind, flags, S, N, D, CRC-64 (8 bytes), each section's stage, variant and length, CRC-32.
std::vector<std::uint8_t> block_header_bytes(const BlockHeader& header) {
    std::vector<std::uint8_t> out{
        kBlockKind, static_cast<std::uint8_t>(header.bare_last_line ? kFlagBareLastLine : 0)};
    put_number(out, header.list_bytes);
    put_number(out, header.lines);
    put_number(out, header.distinct);
    put_fixed(out, header.list_crc, 8);
    for (const SectionEntry& section : header.sections) {
        out.push_back(section.stage);
        out.push_back(section.variant);
        put_number(out, section.bytes);
    }
    put_checksum(out);
    return out;
}

bool read_block_header(FieldReader& fields, FormatVersion version, BlockHeader& header) {
    std::uint8_t flags;
    if (!fields.byte(flags) || (flags & ~kFlagBareLastLine)) return false;
    header.version = version;
    header.bare_last_line = (flags & kFlagBareLastLine) != 0;
    if (!fields.number(header.list_bytes) || !fields.number(header.lines, UINT32_MAX) ||
        !fields.number(header.distinct, UINT32_MAX) || !fields.fixed(header.list_crc, 8))
        return false;
    for (SectionEntry& section : header.sections)
        if (!fields.byte(section.stage) || !fields.byte(section.variant) ||
            !fields.number(section.bytes))
            return false;
    return fields.checksum();
}

std::uint64_t packed_block_bytes(const BlockHeader& header) {
    std::uint64_t bytes = block_header_bytes(header).size() + kBlockTrailerBytes;
    for (const SectionEntry& section : header.sections)
        bytes += section.bytes;
    return bytes;
}

// kind, the number of blocks, then each block's list bytes, lines, packed bytes and CRC-64
// (8 bytes), and the CRC-32 of all that.
std::vector<std::uint8_t> index_bytes(std::span<const IndexEntry> entries) {
    std::vector<std::uint8_t> out{kIndexKind};
    put_number(out, entries.size());
    for (const IndexEntry& entry : entries) {
        put_number(out, entry.list_bytes);
        put_number(out, entry.lines);
        put_number(out, entry.packed_bytes);
        put_fixed(out, entry.list_crc, 8);
    }
    put_checksum(out);
    return out;
}

bool read_index(FieldReader& fields, std::uint64_t blocks, std::vector<IndexEntry>& entries) {
    std::uint64_t count = 0;
    if (!fields.number(count) || count != blocks) return false;
    entries.clear();
    for (std::uint64_t b = 0; b < count; ++b) {
        IndexEntry entry;
        if (!fields.number(entry.list_bytes) || !fields.number(entry.lines) ||
            !fields.number(entry.packed_bytes) || !fields.fixed(entry.list_crc, 8))
            return false;
        entries.push_back(entry);
    }
    return fields.checksum();
}

std::array<std::uint8_t, kFooterBytes> footer_bytes(std::uint64_t index_size) {
    std::array<std::uint8_t, kFooterBytes> out{};
    for (int i = 0; i < 8; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(index_size >> (8 * i));
    std::copy(kFooterMagic.begin(), kFooterMagic.end(), out.begin() + 8);
    return out;
}

bool read_footer(std::span<const std::uint8_t, kFooterBytes> bytes, std::uint64_t& index_size) {
    if (!std::equal(kFooterMagic.begin(), kFooterMagic.end(), bytes.begin() + 8)) return false;
    index_size = get_le(bytes.data(), 8);
    return true;
}

// Version 1: magic 4, version 1, flags 1, S 8, N 4, D 4, CRC-64 8, three entries of 1 + 1 + 4,
// the sections, and the CRC-32 of everything before it.
std::uint64_t version1_archive_bytes(std::span<const std::uint8_t, kVersion1HeaderBytes> header) {
    std::uint64_t total = kVersion1HeaderBytes + kVersion1TrailerBytes;
    for (std::size_t s = 0; s < kSections; ++s)
        total += get_le(header.data() + 32 + 6 * s, 4);
    return total;
}

Version1Read read_version1(std::span<const std::uint8_t> archive, BlockHeader& header,
                           std::array<std::span<const std::uint8_t>, kSections>& sections) {
    if (archive.size() < kVersion1HeaderBytes + kVersion1TrailerBytes ||
        archive.size() != version1_archive_bytes(archive.first<kVersion1HeaderBytes>()))
        return Version1Read::damaged;
    const std::size_t body = archive.size() - kVersion1TrailerBytes;
    if (get_le(archive.data() + body, 4) != crc32(archive.first(body)))
        return Version1Read::damaged;
    const std::uint8_t* in = archive.data();
    if (in[5] & ~kFlagBareLastLine) return Version1Read::damaged;
    header.version = FormatVersion::v1;
    header.bare_last_line = (in[5] & kFlagBareLastLine) != 0;
    header.list_bytes = get_le(in + 6, 8);
    header.lines = get_le(in + 14, 4);
    header.distinct = get_le(in + 18, 4);
    header.list_crc = get_le(in + 22, 8);
    std::size_t at = kVersion1HeaderBytes;
    for (std::size_t s = 0; s < kSections; ++s) {
        header.sections[s] = get_entry(in + 30 + 6 * s, 4);
        sections[s] = archive.subspan(at, header.sections[s].bytes);
        at += header.sections[s].bytes;
    }
    // The empty list: no lines, no sections, no flag; its CRC-64 is that of no bytes.
    if (header.list_bytes == 0 || header.lines == 0 || header.distinct == 0) {
        const bool empty =
            header.list_bytes == 0 && header.lines == 0 && header.distinct == 0 &&
            !header.bare_last_line && header.list_crc == crc64({}) &&
            std::all_of(header.sections.begin(), header.sections.end(), [](const SectionEntry& e) {
                return e.stage == 0 && e.variant == 0 && e.bytes == 0;
            });
        return empty ? Version1Read::empty_list : Version1Read::damaged;
    }
    return block_plausible(header) ? Version1Read::ok : Version1Read::damaged;
}

}  // namespace wordperm
