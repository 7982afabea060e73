// Unpacking an archive as it is read: frames one after another, each block checked, decoded on a
// worker thread and written in order; and listing an archive from its headers.
//
// Every length is read before the bytes it covers are asked for, and those are read in pieces
// into memory that grows as they arrive, so that a length that lies costs no more than the bytes
// that really follow it. A block's header is checked (its CRC-32, its plausibility, the memory it
// may need against the limit) before its sections are read, and its sections (their CRC-32)
// before they are decoded. Blocks decode on up to `threads` tasks into lists of their own, which
// are written in order once checked; with one thread, or a version 1 archive, a block's lines go
// straight to the output as they are decoded.
#include <algorithm>
#include <deque>
#include <future>
#include <new>
#include <span>
#include <system_error>

#include "io/memory_io.h"
#include "pack/checksums.h"
#include "pack/frame.h"
#include "pack/pack.h"

namespace wordperm {
namespace {

constexpr std::size_t kReadPieceBytes = std::size_t{1} << 20;

enum class Got { all, none, some, error };

constexpr std::size_t kBufferBytes = std::size_t{1} << 16;

// The archive, read exactly, through a buffer: each read asks for a given number of bytes, and
// tells whether the archive ended before any of them (between frames, the only place where it
// may) or after some. Headers are read a byte at a time from the buffer.
class ArchiveInput {
  public:
    explicit ArchiveInput(ByteReader& in) : in_(in), buffer_(kBufferBytes) {}

    Got read(std::uint8_t* bytes, std::size_t size) {
        std::size_t got = 0;
        while (got < size) {
            if (next_ == end_ && !refill())
                return error_ ? Got::error : got == 0 ? Got::none : Got::some;
            const std::size_t part = std::min(size - got, end_ - next_);
            std::copy_n(buffer_.data() + next_, part, bytes + got);
            next_ += part;
            got += part;
            offset_ += part;
        }
        return Got::all;
    }

    // Appends `size` bytes to `bytes`, which grows a piece at a time as they arrive, by an
    // eighth of what it holds at most, so that it never holds much more than has arrived.
    Got append(std::vector<std::uint8_t>& bytes, std::uint64_t size) {
        const std::uint64_t whole = bytes.size() + size;
        while (size != 0) {
            const std::size_t piece =
                static_cast<std::size_t>(std::min<std::uint64_t>(size, kReadPieceBytes));
            const std::size_t at = bytes.size();
            if (at + piece > bytes.capacity())
                bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(
                    whole, std::max<std::uint64_t>(at + piece, bytes.capacity() / 8 * 9))));
            bytes.resize(at + piece);
            const Got got = read(bytes.data() + at, piece);
            if (got != Got::all) return got == Got::none ? Got::some : got;
            size -= piece;
        }
        return Got::all;
    }

    bool byte(std::uint8_t& b) { return read(&b, 1) == Got::all; }

    bool skip(std::uint64_t size) {
        const std::size_t buffered = std::min<std::uint64_t>(size, end_ - next_);
        next_ += buffered;
        offset_ += buffered;
        size -= buffered;
        if (size == 0) return true;
        if (!in_.skip(size)) {
            error_ = true;
            return false;
        }
        offset_ += size;
        return true;
    }

    // A reader of the fields of a piece whose kind byte was just read.
    FieldReader fields(std::uint8_t kind) {
        return FieldReader([this](std::uint8_t& b) { return byte(b); }, kind);
    }

    // What the last read that came up short met: an error, or the end.
    Got shortfall() const { return error_ ? Got::error : Got::some; }
    std::uint64_t offset() const { return offset_; }

  private:
    bool refill() {
        const std::ptrdiff_t got = in_.read(buffer_.data(), buffer_.size());
        if (got < 0) error_ = true;
        if (got <= 0) return false;
        next_ = 0;
        end_ = static_cast<std::size_t>(got);
        return true;
    }

    ByteReader& in_;
    std::vector<std::uint8_t> buffer_;
    std::size_t next_ = 0, end_ = 0;  // the buffered bytes not yet taken
    std::uint64_t offset_ = 0;        // bytes taken from the start
    bool error_ = false;
};

UnpackStatus status_of(Got got) {
    return got == Got::error ? UnpackStatus::read_failed : UnpackStatus::damaged;
}

UnpackStatus status_of(BlockStatus status) {
    switch (status) {
        case BlockStatus::ok:
            return UnpackStatus::ok;
        case BlockStatus::unsupported:
            return UnpackStatus::unsupported;
        case BlockStatus::write_failed:
            return UnpackStatus::write_failed;
        case BlockStatus::damaged:
            break;
    }
    return UnpackStatus::damaged;
}

// A block read whole: its header and the bytes of its sections.
struct ReadBlock {
    BlockHeader header;
    std::vector<std::uint8_t> bytes;

    std::array<std::span<const std::uint8_t>, kSections> sections() const {
        std::array<std::span<const std::uint8_t>, kSections> views;
        std::size_t at = 0;
        for (std::size_t s = 0; s < kSections; ++s) {
            views[s] = std::span(bytes).subspan(at, header.sections[s].bytes);
            at += header.sections[s].bytes;
        }
        return views;
    }
};

// A writer that only counts, for checking an archive without writing its list.
class CountingWriter final : public ByteWriter {
  public:
    CountingWriter() : ByteWriter("(test)") {}
    bool write(const std::uint8_t*, std::size_t size) override {
        bytes += size;
        return true;
    }
    std::string error() const override { return {}; }
    std::uint64_t bytes = 0;
};

struct Decoded {
    BlockStatus status = BlockStatus::ok;
    std::vector<std::uint8_t> list;  // the block's list, unless it went straight out
    std::uint64_t list_bytes = 0;
};

struct Task {
    std::future<Decoded> decoded;
    std::uint64_t memory;
};

// Walks an archive's frames and blocks, checking every header and index on the way, and either
// decodes each block or, when it describes the archive, notes the block and skips its sections.
class Unpacker {
  public:
    Unpacker(ByteReader& archive, ByteWriter* list, const UnpackSettings& settings)
        : in_(archive),
          list_(list ? *list : counter_),
          settings_(settings),
          threads_(std::max(1u, settings.threads)) {}

    // Describes rather than unpacks: reads no section, decodes nothing.
    Unpacker(ByteReader& archive, ArchiveInfo& info)
        : in_(archive), list_(counter_), info_(&info), threads_(1) {}

    UnpackResult run() {
        UnpackResult result;
        try {
            result.status = frames();
        } catch (const std::bad_alloc&) {
            tasks_.clear();
            result.status = UnpackStatus::out_of_memory;
        }
        result.list_bytes = written_;
        result.archive_bytes = in_.offset();
        result.memory_needed = memory_needed_;
        return result;
    }

  private:
    UnpackStatus frames() {
        for (std::uint64_t frame = 0;; ++frame) {
            std::array<std::uint8_t, kMagicAndVersionBytes> start;
            const Got got = in_.read(start.data(), start.size());
            if (got == Got::none && frame != 0) return UnpackStatus::ok;
            if (got == Got::error) return UnpackStatus::read_failed;
            if (got != Got::all ||
                !std::equal(kArchiveMagic.begin(), kArchiveMagic.end(), start.begin()))
                return frame == 0 ? UnpackStatus::not_an_archive : UnpackStatus::damaged;
            UnpackStatus status;
            if (start[4] == static_cast<std::uint8_t>(FormatVersion::v1))
                status = version1(start);
            else if (start[4] >= static_cast<std::uint8_t>(FormatVersion::v2) &&
                     start[4] <= static_cast<std::uint8_t>(FormatVersion::v6))
                status = blocks_frame(static_cast<FormatVersion>(start[4]));
            else
                status = UnpackStatus::unsupported;
            if (status != UnpackStatus::ok) return status;
            if (info_) ++info_->frames;
        }
    }

    UnpackStatus version1(const std::array<std::uint8_t, kMagicAndVersionBytes>& start) {
        std::vector<std::uint8_t> archive(start.begin(), start.end());
        if (const Got got = in_.append(archive, kVersion1HeaderBytes - start.size());
            got != Got::all)
            return status_of(got);
        const std::uint64_t total =
            version1_archive_bytes(std::span(archive).first<kVersion1HeaderBytes>());
        if (const Got got = in_.append(archive, total - kVersion1HeaderBytes); got != Got::all)
            return status_of(got);
        BlockHeader header;
        std::array<std::span<const std::uint8_t>, kSections> sections;
        if (info_) info_->version1 = true;
        switch (read_version1(archive, header, sections)) {
            case Version1Read::empty_list:
                return UnpackStatus::ok;
            case Version1Read::damaged:
                return UnpackStatus::damaged;
            case Version1Read::ok:
                break;
        }
        if (info_) return note(header, total);
        if (!within_limit(block_memory_bound(header))) return UnpackStatus::memory_limit;
        return decode_here(header, sections);
    }

    // A frame of version 2, 3 or 4, which differ only in the models their blocks may name. A
    // frame of version 3 or 4 starts with a block that needs it, so that a frame's version byte
    // is never one a writer would not have written.
    UnpackStatus blocks_frame(FormatVersion version) {
        std::uint8_t flags;
        if (const Got got = in_.read(&flags, 1); got != Got::all) return status_of(got);
        if (flags != 0) return UnpackStatus::unsupported;
        std::vector<IndexEntry> seen;
        for (;;) {
            std::uint8_t kind;
            if (const Got got = in_.read(&kind, 1); got != Got::all) return status_of(got);
            if (kind == kIndexKind) {
                if (version != FormatVersion::v2 && seen.empty()) return UnpackStatus::damaged;
                const UnpackStatus status = drain();
                return status == UnpackStatus::ok ? index(seen) : status;
            }
            if (kind != kBlockKind) return UnpackStatus::damaged;
            FieldReader fields = in_.fields(kind);
            ReadBlock block;
            if (!read_block_header(fields, version, block.header))
                return fields.ran_out() ? status_of(in_.shortfall()) : UnpackStatus::damaged;
            if (!block_plausible(block.header) ||
                (seen.empty() && least_frame_version(block.header) != version))
                return UnpackStatus::damaged;
            seen.push_back({block.header.list_bytes, block.header.lines,
                            packed_block_bytes(block.header), block.header.list_crc});
            if (info_) {
                if (!in_.skip(seen.back().packed_bytes - fields.bytes().size()))
                    return UnpackStatus::damaged;
                note(block.header, seen.back().packed_bytes);
                continue;
            }
            const std::uint64_t memory = block_memory_bound(block.header);
            if (!within_limit(memory)) return UnpackStatus::memory_limit;
            if (const UnpackStatus status = read_sections(block); status != UnpackStatus::ok)
                return status;
            const UnpackStatus status = threads_ == 1 ? decode_here(block.header, block.sections())
                                                      : decode_beside(std::move(block), memory);
            if (status != UnpackStatus::ok) return status;
        }
    }

    UnpackStatus read_sections(ReadBlock& block) {
        std::uint64_t size = kBlockTrailerBytes;
        for (const SectionEntry& section : block.header.sections)
            size += section.bytes;
        if (const Got got = in_.append(block.bytes, size); got != Got::all) return status_of(got);
        const std::size_t body = block.bytes.size() - kBlockTrailerBytes;
        std::uint32_t stored = 0;
        for (std::size_t i = 0; i < kBlockTrailerBytes; ++i)
            stored |= std::uint32_t{block.bytes[body + i]} << (8 * i);
        if (stored != crc32(std::span(block.bytes).first(body))) return UnpackStatus::damaged;
        block.bytes.resize(body);
        return UnpackStatus::ok;
    }

    // The index must list exactly the blocks read, and the footer give the index's size.
    UnpackStatus index(const std::vector<IndexEntry>& seen) {
        FieldReader fields = in_.fields(kIndexKind);
        std::vector<IndexEntry> entries;
        if (!read_index(fields, seen.size(), entries))
            return fields.ran_out() ? status_of(in_.shortfall()) : UnpackStatus::damaged;
        if (entries != seen) return UnpackStatus::damaged;
        std::array<std::uint8_t, kFooterBytes> footer;
        if (const Got got = in_.read(footer.data(), footer.size()); got != Got::all)
            return status_of(got);
        std::uint64_t index_size = 0;
        if (!read_footer(footer, index_size) || index_size != fields.bytes().size())
            return UnpackStatus::damaged;
        return UnpackStatus::ok;
    }

    UnpackStatus note(const BlockHeader& header, std::uint64_t packed_bytes) {
        info_->lines += header.lines;
        info_->list_bytes += header.list_bytes;
        info_->blocks.push_back({header, packed_bytes});
        return UnpackStatus::ok;
    }

    bool within_limit(std::uint64_t memory) {
        if (settings_.memory_limit == 0 || memory <= settings_.memory_limit) return true;
        memory_needed_ = memory;
        return false;
    }

    // Decodes on this thread, the lines going straight out, once the blocks before are out.
    UnpackStatus decode_here(const BlockHeader& header,
                             const std::array<std::span<const std::uint8_t>, kSections>& sections) {
        if (const UnpackStatus status = drain(); status != UnpackStatus::ok) return status;
        const BlockStatus status = unpack_block(header, sections, list_);
        if (status == BlockStatus::ok) written_ += header.list_bytes;
        return status_of(status);
    }

    // Decodes on a task of its own; as many tasks run at once as there are threads and the
    // memory limit allows. The oldest task writes its lines straight out, as does every task of
    // a test (which only counts them); the others hold theirs until the blocks before are out.
    UnpackStatus decode_beside(ReadBlock block, std::uint64_t memory) {
        const bool counted = &list_ == &counter_;
        // A list held until its turn counts with what the block takes; the oldest holds none.
        auto needs = [&] {
            return memory + (tasks_.empty() || counted ? 0 : block.header.list_bytes);
        };
        while (!tasks_.empty() &&
               (tasks_.size() >= threads_ ||
                (settings_.memory_limit != 0 && in_flight_ + needs() > settings_.memory_limit)))
            if (const UnpackStatus status = write_oldest(); status != UnpackStatus::ok)
                return status;
        memory = needs();
        ByteWriter* straight = tasks_.empty() && !counted ? &list_ : nullptr;
        auto job = [block = std::move(block), straight, counted]() {
            Decoded decoded;
            if (straight || counted) {
                CountingWriter count;
                decoded.status =
                    unpack_block(block.header, block.sections(), straight ? *straight : count);
            } else {
                VectorWriter out(decoded.list);
                decoded.status = unpack_block(block.header, block.sections(), out);
            }
            decoded.list_bytes = block.header.list_bytes;
            return decoded;
        };
        try {
            tasks_.push_back({std::async(std::launch::async, std::move(job)), memory});
        } catch (const std::system_error&) {
            return UnpackStatus::out_of_memory;
        }
        in_flight_ += memory;
        return UnpackStatus::ok;
    }

    UnpackStatus write_oldest() {
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        in_flight_ -= task.memory;
        Decoded decoded = task.decoded.get();
        if (decoded.status != BlockStatus::ok) return status_of(decoded.status);
        if (!decoded.list.empty() && !list_.write(decoded.list.data(), decoded.list.size()))
            return UnpackStatus::write_failed;
        written_ += decoded.list_bytes;
        return UnpackStatus::ok;
    }

    UnpackStatus drain() {
        while (!tasks_.empty())
            if (const UnpackStatus status = write_oldest(); status != UnpackStatus::ok)
                return status;
        return UnpackStatus::ok;
    }

    ArchiveInput in_;
    CountingWriter counter_;
    ByteWriter& list_;
    ArchiveInfo* info_ = nullptr;  // describing: where the blocks are noted
    UnpackSettings settings_;
    unsigned threads_;
    std::deque<Task> tasks_;
    std::uint64_t in_flight_ = 0;  // the memory bounds of the tasks running
    std::uint64_t written_ = 0;
    std::uint64_t memory_needed_ = 0;
};

}  // namespace

UnpackResult unpack_archive(ByteReader& archive, ByteWriter* list, const UnpackSettings& settings) {
    return Unpacker(archive, list, settings).run();
}

UnpackStatus describe_archive(ByteReader& archive, ArchiveInfo& info) {
    info = ArchiveInfo{};
    const UnpackResult result = Unpacker(archive, info).run();
    info.archive_bytes = result.archive_bytes;
    return result.status;
}

}  // namespace wordperm
