// The list file in memory, whole and unchanged, and where each of its lines starts.
//
// A line is the run of bytes from its start up to and including the next line feed (byte 10),
// or up to the end of the file for a last line without one; every other byte value, CR and NUL
// included, is an ordinary byte of a line. N = 1 + (line feeds) - (1 if the last byte is a line
// feed); an empty file has N = 0. Offsets and counts are 32-bit, so the file must be shorter
// than 2^31 bytes.
#pragma once

#include <cstdint>
#include <memory>

#include "base/large_array.h"
#include "driver/exit_status.h"
#include "io/byte_io.h"

namespace wordperm {

inline constexpr std::uint64_t kListLimitBytes = std::uint64_t{1} << 31;

struct WordTable {
    const std::uint8_t* data = nullptr;  // first byte of the list file's contents
    const std::uint8_t* end = nullptr;   // one past the last byte read
    std::uint32_t line_count = 0;        // N
    // N + 1 offsets from data, strictly increasing: line k is [line_start[k], line_start[k + 1]),
    // and line_start[N] is the file's length, whether or not the file ends with a line feed.
    const std::uint32_t* line_start = nullptr;

    LargeArray<std::uint8_t> bytes_storage;
    LargeArray<std::uint32_t> line_start_storage;
};

// True when the file's last line has no line feed (N >= 1 and the last byte is not 10).
inline bool last_line_is_bare(const WordTable& table) {
    return table.end != table.data && table.end[-1] != '\n';
}

// Reads `input` to its end and indexes its lines. On failure (read error, 2^31 bytes or more,
// out of memory) returns false with `failure` filled in.
bool load_word_table(WordTable& table, ByteReader& input, Failure& failure);

}  // namespace wordperm
