// Packing a list as it is read: blocks cut from the input, packed on worker threads, written in
// order.
//
// Each block is packed by a task of its own; up to `threads` tasks run at once, and the oldest is
// written as soon as it is done, so the threads stay busy while the output keeps the blocks'
// order. A list that is one block gets both of a block's own threads instead (its set's model
// beside its other candidates). A memory limit keeps fewer tasks running, so that the blocks
// held at once fit in it.
#include <algorithm>
#include <cstring>
#include <deque>
#include <future>
#include <new>
#include <system_error>

#include "list/word_table.h"
#include "pack/checksums.h"
#include "pack/frame.h"
#include "pack/pack.h"

namespace wordperm {
namespace {

constexpr std::size_t kReadBytes = std::size_t{1} << 20;

// Cuts the list into blocks: each at most block_bytes, ending right after its last line feed
// when the list goes on beyond it and it holds one.
class BlockCutter {
  public:
    BlockCutter(ByteReader& list, std::uint64_t block_bytes)
        : list_(list), block_bytes_(block_bytes) {}

    // The next block into `bytes` (with kTailBytes of room after it) and its length; false at
    // the end of the list or on a read error (failed()).
    bool next(LargeArray<std::uint8_t>& bytes, std::uint64_t& length) {
        // One byte beyond a block tells whether the list goes on after it.
        while (!end_ && pending_.size() <= block_bytes_) {
            const std::size_t size = pending_.size();
            const std::size_t part = static_cast<std::size_t>(
                std::min<std::uint64_t>(kReadBytes, block_bytes_ + 1 - size));
            pending_.resize(size + part);
            const std::ptrdiff_t got = list_.read(pending_.data() + size, part);
            pending_.resize(size + static_cast<std::size_t>(std::max<std::ptrdiff_t>(got, 0)));
            if (got < 0) failed_ = true;
            if (got <= 0) end_ = true;
        }
        if (failed_ || pending_.empty()) return false;
        length = pending_.size();
        if (length > block_bytes_) {
            const auto* last = static_cast<const std::uint8_t*>(
                ::memrchr(pending_.data(), '\n', static_cast<std::size_t>(block_bytes_)));
            length = last ? static_cast<std::uint64_t>(last - pending_.data()) + 1 : block_bytes_;
        }
        bytes = make_large_array<std::uint8_t>(length + kTailBytes);
        std::memcpy(bytes.get(), pending_.data(), length);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
        read_ += length;
        return true;
    }

    bool failed() const { return failed_; }
    // Nothing follows the blocks handed out so far.
    bool exhausted() const { return end_ && pending_.empty(); }
    std::uint64_t bytes_read() const { return read_; }

  private:
    ByteReader& list_;
    std::uint64_t block_bytes_;
    std::vector<std::uint8_t> pending_;  // read and not yet handed out
    std::uint64_t read_ = 0;
    bool end_ = false;
    bool failed_ = false;
};

std::uint64_t count_lines(const std::uint8_t* bytes, std::uint64_t length) {
    std::uint64_t lines = static_cast<std::uint64_t>(std::count(bytes, bytes + length, '\n'));
    return lines + (length != 0 && bytes[length - 1] != '\n' ? 1 : 0);
}

// Writes the frames: each one's header with its first block, each block as it comes, the index
// and footer last. A frame is version 2 until a block needs version 3 (the numeric order): that
// block ends it and starts a version 3 frame, which takes every block after it. Frames joined
// are the list of their blocks, so the archive holds the same list, and the versions depend on
// the blocks alone, not on how many threads packed them.
class FrameWriter {
  public:
    explicit FrameWriter(ByteWriter& archive) : archive_(archive) {}

    bool add(const PackedBlock& block) {
        if (started_ && block.header.version > version_ && !finish()) return false;
        if (!started_) {
            version_ = std::max(version_, block.header.version);
            const auto frame = frame_header(version_);
            if (!put(frame.data(), frame.size())) return false;
            started_ = true;
        }
        const auto header = block_header_bytes(block.header);
        std::uint32_t crc = 0;
        for (const auto& section : block.sections)
            crc = crc32(section, crc);
        std::uint8_t trailer[kBlockTrailerBytes];
        for (std::size_t i = 0; i < kBlockTrailerBytes; ++i)
            trailer[i] = static_cast<std::uint8_t>(crc >> (8 * i));
        if (!put(header.data(), header.size())) return false;
        for (const auto& section : block.sections)
            if (!put(section.data(), section.size())) return false;
        if (!put(trailer, sizeof trailer)) return false;
        index_.push_back({block.header.list_bytes, block.header.lines,
                          packed_block_bytes(block.header), block.header.list_crc});
        return true;
    }

    // Ends the frame; an empty list is a frame of no blocks.
    bool finish() {
        if (!started_) {
            const auto frame = frame_header(version_);
            if (!put(frame.data(), frame.size())) return false;
        }
        const std::vector<std::uint8_t> index = index_bytes(index_);
        const auto footer = footer_bytes(index.size());
        index_.clear();
        started_ = false;
        return put(index.data(), index.size()) && put(footer.data(), footer.size());
    }

    std::uint64_t bytes_written() const { return written_; }

  private:
    bool put(const std::uint8_t* bytes, std::size_t size) {
        written_ += size;
        return size == 0 || archive_.write(bytes, size);
    }

    ByteWriter& archive_;
    FormatVersion version_ = FormatVersion::v2;  // the current frame's, or the next one's
    bool started_ = false;                       // the current frame's header is written
    std::vector<IndexEntry> index_;
    std::uint64_t written_ = 0;
};

struct Task {
    std::future<PackedBlock> block;
    std::uint64_t memory;  // what packing it may take
};

}  // namespace

PackResult pack_archive(ByteReader& list, ByteWriter& archive, const PackSettings& settings) {
    PackResult result;
    BlockChoices choices = level_choices(settings.level);
    choices.newest_version = settings.newest_version;
    const unsigned threads = std::max(1u, settings.threads);
    BlockCutter cutter(list,
                       std::clamp(settings.block_bytes, kSmallestBlockBytes, kLargestBlockBytes));
    FrameWriter frame(archive);
    std::deque<Task> tasks;
    std::uint64_t memory_in_use = 0;
    auto fail = [&](PackStatus status) {
        result.status = status;
        result.list_bytes = cutter.bytes_read();
        result.archive_bytes = frame.bytes_written();
        return result;
    };
    // Writes the oldest block once it is packed.
    auto write_oldest = [&]() -> bool {
        Task task = std::move(tasks.front());
        tasks.pop_front();
        memory_in_use -= task.memory;
        return frame.add(task.block.get());
    };
    try {
        LargeArray<std::uint8_t> bytes;
        std::uint64_t length = 0;
        bool first = true;
        while (cutter.next(bytes, length)) {
            const std::uint64_t memory =
                block_pack_memory(length, count_lines(bytes.get(), length), settings.level);
            if (settings.memory_limit != 0 && memory > settings.memory_limit) {
                result.memory_needed = memory;
                return fail(PackStatus::memory_limit);
            }
            // A list of one block packs it with both of a block's threads.
            const bool alone = first && cutter.exhausted() && threads >= 2;
            first = false;
            while (!tasks.empty() &&
                   (tasks.size() >= threads ||
                    (settings.memory_limit != 0 && memory_in_use + memory > settings.memory_limit)))
                if (!write_oldest()) return fail(PackStatus::write_failed);
            auto job = [bytes = std::move(bytes), length, choices, alone]() mutable {
                return pack_block(std::move(bytes), length, choices, alone);
            };
            std::future<PackedBlock> block;
            if (threads > 1) {
                try {
                    block = std::async(std::launch::async, std::move(job));
                } catch (const std::system_error&) {
                    // No thread to be had: the block waits for its turn to be written instead.
                }
            }
            if (!block.valid()) block = std::async(std::launch::deferred, std::move(job));
            tasks.push_back({std::move(block), memory});
            memory_in_use += memory;
        }
        if (cutter.failed()) {
            while (!tasks.empty()) {
                tasks.front().block.wait();
                tasks.pop_front();
            }
            return fail(PackStatus::read_failed);
        }
        while (!tasks.empty())
            if (!write_oldest()) return fail(PackStatus::write_failed);
        if (!frame.finish()) return fail(PackStatus::write_failed);
    } catch (const std::bad_alloc&) {
        // Every task still running owns what it uses; their futures wait for them as they go.
        return fail(PackStatus::out_of_memory);
    }
    result.list_bytes = cutter.bytes_read();
    result.archive_bytes = frame.bytes_written();
    return result;
}

}  // namespace wordperm
