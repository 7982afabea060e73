// Loading the list file: read it whole, then count and index its lines.
//
// The file is read to its end rather than to a length taken in advance, so pipes work and a
// file that changes while it is read gives a consistent table of what was read.
#include "driver/word_table.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace wordperm {
namespace {

// Reads everything into one buffer. The buffer starts one byte larger than a known size, so
// the read that finds the end needs no growth.
bool read_whole(ByteReader& input, LargeArray<std::uint8_t>& bytes, std::uint64_t& length,
                Failure& failure) {
    const std::string& name = input.name();
    std::optional<std::uint64_t> known = input.known_size();
    if (known && *known >= kListLimitBytes) {
        failure = {ExitStatus::list_too_large, name, "file too large (2 GiB or more)"};
        return false;
    }
    std::uint64_t capacity = known ? *known + 1 : std::uint64_t{1} << 16;
    bytes = make_large_array<std::uint8_t>(capacity);
    length = 0;
    for (;;) {
        if (length == capacity) {
            std::uint64_t grown = capacity * 2 < kListLimitBytes ? capacity * 2 : kListLimitBytes;
            auto larger = make_large_array<std::uint8_t>(grown);
            std::memcpy(larger.get(), bytes.get(), length);
            bytes = std::move(larger);
            capacity = grown;
        }
        std::uint64_t room = capacity - length;
        std::ptrdiff_t got =
            input.read(bytes.get() + length, room < (1u << 30) ? room : (1u << 30));
        if (got < 0) {
            failure = {ExitStatus::read_failed, name, input.error()};
            return false;
        }
        if (got == 0) return true;
        length += static_cast<std::uint64_t>(got);
        if (length >= kListLimitBytes) {
            failure = {ExitStatus::list_too_large, name, "file too large (2 GiB or more)"};
            return false;
        }
    }
}

}  // namespace

bool load_word_table(WordTable& table, ByteReader& input, Failure& failure) {
    try {
        std::uint64_t length = 0;
        if (!read_whole(input, table.bytes_storage, length, failure)) return false;
        const std::uint8_t* data = table.bytes_storage.get();
        const std::uint8_t* end = data + length;

        const auto line_feeds = static_cast<std::uint32_t>(std::count(data, end, '\n'));
        std::uint32_t n = line_feeds + (length != 0 && end[-1] != '\n' ? 1u : 0u);

        table.line_start_storage = make_large_array<std::uint32_t>(std::size_t{n} + 1);
        std::uint32_t* starts = table.line_start_storage.get();
        // Without a branch per byte: every byte stores the next line's start, and only a line
        // feed moves on to the next entry. The last store lands on entry N at most.
        starts[0] = 0;
        std::uint32_t k = 1;
        for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(length); ++i) {
            starts[k] = i + 1;
            k += data[i] == '\n';
        }
        // A bare last line ends at the end of the file; with a final line feed the entry is set.
        starts[n] = static_cast<std::uint32_t>(length);

        table.data = data;
        table.end = end;
        table.line_count = n;
        table.line_start = starts;
        return true;
    } catch (const std::bad_alloc&) {
        failure = {ExitStatus::out_of_memory, input.name(), "out of memory"};
        return false;
    }
}

}  // namespace wordperm
