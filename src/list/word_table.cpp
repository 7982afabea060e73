// Loading the list file: read it whole, then count and index its lines.
//
// The file is read to its end rather than to a length taken in advance, so pipes work and a
// file that changes while it is read gives a consistent table of what was read. Memory is checked
// before each large allocation (the contents, then the line starts with the caller's arrays), so
// that a list too large for the machine is refused with what it needs rather than half-built.
#include "list/word_table.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/memory_budget.h"

namespace wordperm {
namespace {

constexpr std::uint64_t kNarrowLimitBytes = std::uint64_t{1} << 32;

// Checks that `bytes` more can be allocated; fills `failure` when they cannot.
bool fits_in_memory(std::uint64_t bytes, const TableLimits& limits, LoadFailure& failure) {
    const std::uint64_t available = limits.memory_bytes ? *limits.memory_bytes : memory_available();
    if (bytes <= available) return true;
    failure = {LoadError::out_of_memory, bytes, available};
    return false;
}

LargeArray<std::uint8_t> allocate_contents(std::uint64_t capacity) {
    return make_large_array<std::uint8_t>(capacity + kTailBytes);
}

// Reads everything into one buffer, kTailBytes larger than the contents. The buffer starts one
// byte larger than a known size, so the read that finds the end needs no growth.
bool read_whole(ByteReader& input, LargeArray<std::uint8_t>& bytes, std::uint64_t& length,
                const TableLimits& limits, LoadFailure& failure) {
    std::optional<std::uint64_t> known = input.known_size();
    std::uint64_t capacity = known ? *known + 1 : std::uint64_t{1} << 16;
    if (!fits_in_memory(capacity + kTailBytes, limits, failure)) return false;
    bytes = allocate_contents(capacity);
    length = 0;
    for (;;) {
        if (length == capacity) {
            const std::uint64_t grown = capacity * 2;
            if (!fits_in_memory(grown + kTailBytes, limits, failure)) return false;
            auto larger = allocate_contents(grown);
            std::memcpy(larger.get(), bytes.get(), length);
            bytes = std::move(larger);
            capacity = grown;
        }
        const std::uint64_t room = capacity - length;
        const std::ptrdiff_t got =
            input.read(bytes.get() + length, std::min<std::uint64_t>(room, 1u << 30));
        if (got < 0) {
            failure.error = LoadError::read_failed;
            return false;
        }
        if (got == 0) return true;
        length += static_cast<std::uint64_t>(got);
    }
}

// The line feeds among `length` bytes. With SSE2 (every x86-64 processor has it) 16 bytes at a
// time: each chunk's matches are subtracted (-1 each) into byte lanes, which are summed every
// 255 chunks, before they could wrap. The rest, or everything elsewhere, a byte at a time.
std::uint64_t count_line_feeds(const std::uint8_t* data, std::uint64_t length) {
    std::uint64_t count = 0;
    std::uint64_t i = 0;
#if defined(__SSE2__)
    const __m128i line_feed = _mm_set1_epi8('\n');
    while (length - i >= 16) {
        __m128i lanes = _mm_setzero_si128();
        const std::uint64_t stop = i + std::min<std::uint64_t>((length - i) / 16, 255) * 16;
        for (; i < stop; i += 16) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(chunk, line_feed));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
                 static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
#endif
    for (; i < length; ++i)
        count += data[i] == '\n';
    return count;
}

// A line feed at offset i starts a line at i + 1. With SSE2 64 bytes at a time: their line feeds
// as the bits of one mask, taken lowest first. The last start, N, is the length whether or not
// the file ends with a line feed.
template <typename Offset>
void index_lines(const std::uint8_t* data, std::uint64_t length, Offset* starts, std::uint64_t n) {
    starts[0] = 0;
    std::uint64_t k = 1;
    std::uint64_t i = 0;
#if defined(__SSE2__)
    const __m128i line_feed = _mm_set1_epi8('\n');
    for (; length - i >= 64; i += 64) {
        std::uint64_t mask = 0;
        for (int part = 0; part < 4; ++part) {
            const __m128i chunk =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 16 * part));
            const auto bits =
                static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, line_feed)));
            mask |= std::uint64_t{bits} << (16 * part);
        }
        for (; mask != 0; mask &= mask - 1)
            starts[k++] =
                static_cast<Offset>(i + static_cast<unsigned>(std::countr_zero(mask)) + 1);
    }
#endif
    for (; i < length; ++i)
        if (data[i] == '\n') starts[k++] = static_cast<Offset>(i + 1);
    starts[n] = static_cast<Offset>(length);
}

// Indexes the `length` bytes of contents already in table.bytes_storage.
bool index_contents(WordTable& table, std::uint64_t length, LoadFailure& failure,
                    const TableLimits& limits) {
    std::uint8_t* data = table.bytes_storage.get();
    std::memset(data + length, 0, kTailBytes);
    data[length] = '\n';
    const std::uint8_t* end = data + length;

    const std::uint64_t line_feeds = count_line_feeds(data, length);
    const std::uint64_t n = line_feeds + (length != 0 && end[-1] != '\n' ? 1u : 0u);
    if (n > limits.max_lines) {
        failure.error = LoadError::too_many_lines;
        return false;
    }
    const bool wide = limits.wide_offsets || length >= kNarrowLimitBytes;
    const std::uint64_t start_bytes = (n + 1) * (wide ? 8 : 4);
    if (!fits_in_memory(start_bytes + n * limits.caller_bytes_per_line, limits, failure))
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
}

}  // namespace

bool load_word_table(WordTable& table, ByteReader& input, LoadFailure& failure,
                     const TableLimits& limits) {
    try {
        std::uint64_t length = 0;
        return read_whole(input, table.bytes_storage, length, limits, failure) &&
               index_contents(table, length, failure, limits);
    } catch (const std::bad_alloc&) {
        failure = {LoadError::out_of_memory, 0, 0};
        return false;
    }
}

bool index_word_table(WordTable& table, LargeArray<std::uint8_t> bytes, std::uint64_t length,
                      LoadFailure& failure, const TableLimits& limits) {
    table.bytes_storage = std::move(bytes);
    try {
        return index_contents(table, length, failure, limits);
    } catch (const std::bad_alloc&) {
        failure = {LoadError::out_of_memory, 0, 0};
        return false;
    }
}

}  // namespace wordperm
