// The list file in memory, whole and unchanged, and where each of its lines starts.
//
// A line is the run of bytes from its start up to and including the next line feed (byte 10),
// or up to the end of the file for a last line without one; every other byte value, CR and NUL
// included, is an ordinary byte of a line. N = 1 + (line feeds) - (1 if the last byte is a line
// feed); an empty file has N = 0, and N is at most 2^32 - 1 (line numbers are 32-bit).
//
// Line starts take 4 bytes a line for a file below 4 GiB, the usual case, and 8 beyond: exactly
// one of line_start and line_start_wide is set, and line_offset() reads either. The contents are
// followed by kTailBytes bytes that belong to no line: a line feed, then zeros. A reader of a few
// bytes at a time never leaves the buffer, and a bare last line reads as if it ended with a line
// feed wherever a reader looks for one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "base/large_array.h"
#include "io/byte_io.h"

namespace wordperm {

inline constexpr std::uint64_t kMaxLines = UINT32_MAX;
inline constexpr std::size_t kTailBytes = 16;

struct WordTable {
    const std::uint8_t* data = nullptr;  // first byte of the list file's contents
    const std::uint8_t* end = nullptr;   // one past the last byte read; kTailBytes follow
    std::uint32_t line_count = 0;        // N
    // N + 1 offsets from data, strictly increasing: line k is [start k, start k + 1), and start N
    // is the file's length, whether or not the file ends with a line feed. 32-bit below 4 GiB
    // (line_start), 64-bit otherwise (line_start_wide); the other pointer is null.
    const std::uint32_t* line_start = nullptr;
    const std::uint64_t* line_start_wide = nullptr;

    LargeArray<std::uint8_t> bytes_storage;
    LargeArray<std::uint32_t> line_start_storage;
    LargeArray<std::uint64_t> line_start_wide_storage;
};

// Where line k starts (k <= N); line_offset(table, N) is the file's length.
inline std::uint64_t line_offset(const WordTable& table, std::uint64_t k) {
    return table.line_start ? table.line_start[k] : table.line_start_wide[k];
}

// The bytes of line k, its line feed included.
inline std::uint64_t line_size(const WordTable& table, std::uint32_t k) {
    return line_offset(table, std::uint64_t{k} + 1) - line_offset(table, k);
}

// True when the file's last line has no line feed (N >= 1 and the last byte is not 10).
inline bool last_line_is_bare(const WordTable& table) {
    return table.end != table.data && table.end[-1] != '\n';
}

// What a load may take, and the knobs that let tests reach the limits with small inputs.
struct TableLimits {
    // Bytes per line that the caller allocates once the table stands: checked together with the
    // table's own line starts against the memory available, before any of them is allocated.
    std::uint64_t caller_bytes_per_line = 0;
    // The memory the run may still take; memory_available() when not set.
    std::optional<std::uint64_t> memory_bytes = std::nullopt;
    std::uint64_t max_lines = kMaxLines;
    bool wide_offsets = false;  // 64-bit line starts whatever the file's size
};

// Why a load failed. Each program reports it in its own words, with its own status.
enum class LoadError {
    none,
    read_failed,     // the input's error() says why
    too_many_lines,  // more than max_lines
    out_of_memory,   // found before allocating (needed and available set), or an allocation failed
};

struct LoadFailure {
    LoadError error = LoadError::none;
    std::uint64_t needed_bytes = 0;     // out_of_memory found before allocating: what was asked
    std::uint64_t available_bytes = 0;  // and what there was; both 0 when an allocation failed
};

// Reads `input` to its end and indexes its lines. On failure returns false with `failure` set.
bool load_word_table(WordTable& table, ByteReader& input, LoadFailure& failure,
                     const TableLimits& limits = {});

// Indexes the lines of a list already in memory: `length` bytes of contents at the start of
// `bytes`, which has room for kTailBytes more. The table takes the memory over.
bool index_word_table(WordTable& table, LargeArray<std::uint8_t> bytes, std::uint64_t length,
                      LoadFailure& failure, const TableLimits& limits = {});

}  // namespace wordperm
