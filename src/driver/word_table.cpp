// Loading the list file: read it whole, then count and index its lines.
//
// The file is read to its end rather than to a length taken in advance, so pipes work and a
// file that changes while it is read gives a consistent table of what was read. Memory is checked
// before each large allocation (the contents, then the line starts with the caller's arrays), so
// that a list too large for the machine is refused with what it needs rather than half-built.
#include "driver/word_table.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <string>

#include "base/memory_budget.h"

namespace wordperm {
namespace {

constexpr std::uint64_t kNarrowLimitBytes = std::uint64_t{1} << 32;

// Checks that `bytes` more can be allocated; fills `failure` (status 9) when they cannot.
bool fits_in_memory(std::uint64_t bytes, const TableLimits& limits, const std::string& name,
                    Failure& failure) {
    const std::uint64_t available = limits.memory_bytes ? *limits.memory_bytes : memory_available();
    if (bytes <= available) return true;
    failure = {ExitStatus::out_of_memory, name,
               "out of memory (needs " + std::to_string(mebibytes_rounded_up(bytes)) + " MiB, " +
                   std::to_string(available / (1 << 20)) + " MiB available)"};
    return false;
}

LargeArray<std::uint8_t> allocate_contents(std::uint64_t capacity) {
    return make_large_array<std::uint8_t>(capacity + kTailBytes);
}

// Reads everything into one buffer, kTailBytes larger than the contents. The buffer starts one
// byte larger than a known size, so the read that finds the end needs no growth.
bool read_whole(ByteReader& input, LargeArray<std::uint8_t>& bytes, std::uint64_t& length,
                const TableLimits& limits, Failure& failure) {
    const std::string& name = input.name();
    std::optional<std::uint64_t> known = input.known_size();
    std::uint64_t capacity = known ? *known + 1 : std::uint64_t{1} << 16;
    if (!fits_in_memory(capacity + kTailBytes, limits, name, failure)) return false;
    bytes = allocate_contents(capacity);
    length = 0;
    for (;;) {
        if (length == capacity) {
            const std::uint64_t grown = capacity * 2;
            if (!fits_in_memory(grown + kTailBytes, limits, name, failure)) return false;
            auto larger = allocate_contents(grown);
            std::memcpy(larger.get(), bytes.get(), length);
            bytes = std::move(larger);
            capacity = grown;
        }
        const std::uint64_t room = capacity - length;
        const std::ptrdiff_t got =
            input.read(bytes.get() + length, std::min<std::uint64_t>(room, 1u << 30));
        if (got < 0) {
            failure = {ExitStatus::read_failed, name, input.error()};
            return false;
        }
        if (got == 0) return true;
        length += static_cast<std::uint64_t>(got);
    }
}

// The high bit of every byte of `word` that is a line feed, and no other bit. The sum stays
// inside each byte, so no carry makes up a line feed where there is none.
inline std::uint64_t line_feed_bits(std::uint64_t word) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
    const std::uint64_t x = word ^ 0x0A0A0A0A0A0A0A0A;
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

std::uint64_t load_word(const std::uint8_t* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
}

// The line feeds among `length` bytes, eight bytes at a time: the multiplication adds up the
// eight flags (0 or 1 each, in the bytes' low bits) in its top byte.
std::uint64_t count_line_feeds(const std::uint8_t* data, std::uint64_t length) {
    std::uint64_t count = 0;
    std::uint64_t i = 0;
    for (; i + 8 <= length; i += 8)
        count += ((line_feed_bits(load_word(data + i)) >> 7) * 0x0101010101010101) >> 56;
    for (; i < length; ++i)
        count += data[i] == '\n';
    return count;
}

// Eight bytes at a time: a line feed at offset i starts a line at i + 1. The last start, N, is
// the length whether or not the file ends with a line feed.
template <typename Offset>
void index_lines(const std::uint8_t* data, std::uint64_t length, Offset* starts, std::uint64_t n) {
    starts[0] = 0;
    std::uint64_t k = 1;
    std::uint64_t i = 0;
    for (; i + 8 <= length; i += 8) {
        for (std::uint64_t bits = line_feed_bits(load_word(data + i)); bits != 0; bits &= bits - 1)
            starts[k++] =
                static_cast<Offset>(i + static_cast<unsigned>(std::countr_zero(bits)) / 8 + 1);
    }
    for (; i < length; ++i)
        if (data[i] == '\n') starts[k++] = static_cast<Offset>(i + 1);
    starts[n] = static_cast<Offset>(length);
}

}  // namespace

bool load_word_table(WordTable& table, ByteReader& input, Failure& failure,
                     const TableLimits& limits) {
    try {
        std::uint64_t length = 0;
        if (!read_whole(input, table.bytes_storage, length, limits, failure)) return false;
        std::uint8_t* data = table.bytes_storage.get();
        std::memset(data + length, 0, kTailBytes);
        data[length] = '\n';
        const std::uint8_t* end = data + length;

        const std::uint64_t line_feeds = count_line_feeds(data, length);
        const std::uint64_t n = line_feeds + (length != 0 && end[-1] != '\n' ? 1u : 0u);
        if (n > limits.max_lines) {
            failure = {ExitStatus::list_too_large, input.name(),
                       "more than " + std::to_string(limits.max_lines) + " lines"};
            return false;
        }
        const bool wide = limits.wide_offsets || length >= kNarrowLimitBytes;
        const std::uint64_t start_bytes = (n + 1) * (wide ? 8 : 4);
        if (!fits_in_memory(start_bytes + n * limits.caller_bytes_per_line, limits, input.name(),
                            failure))
            return false;

        if (wide) {
            table.line_start_wide_storage = make_large_array<std::uint64_t>(n + 1);
            index_lines(data, length, table.line_start_wide_storage.get(), n);
            table.line_start_wide = table.line_start_wide_storage.get();
        } else {
            table.line_start_storage = make_large_array<std::uint32_t>(n + 1);
            index_lines(data, length, table.line_start_storage.get(), n);
            table.line_start = table.line_start_storage.get();
        }
        table.data = data;
        table.end = end;
        table.line_count = static_cast<std::uint32_t>(n);
        return true;
    } catch (const std::bad_alloc&) {
        failure = {ExitStatus::out_of_memory, input.name(), "out of memory"};
        return false;
    }
}

void release_line_starts(WordTable& table) {
    table.line_start = nullptr;
    table.line_start_wide = nullptr;
    table.line_start_storage.reset();
    table.line_start_wide_storage.reset();
}

}  // namespace wordperm
