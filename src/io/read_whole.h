// Reading an input to its end into memory, for programs that work on a whole file at once.
//
// The input is read to its end rather than to a length taken in advance, so pipes work, and a
// file that grows while it is read gives what was read.
#pragma once

#include <cstdint>
#include <vector>

#include "io/byte_io.h"

namespace wordperm {

enum class ReadWhole { ok, read_failed, too_large };

// Appends nothing on failure that the caller should use: read_failed leaves the error in
// input.error(); too_large stops as soon as more than `limit` bytes are seen. Throws
// std::bad_alloc when memory runs out.
ReadWhole read_whole(ByteReader& input, std::vector<std::uint8_t>& bytes, std::uint64_t limit);

}  // namespace wordperm
