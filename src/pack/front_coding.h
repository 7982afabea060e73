// Front coding: each line of a set as the length of the prefix it shares with the line before,
// and the bytes after that prefix.
//
// The byte form gives each line as its shared-prefix length (an unsigned LEB128 number: 7 bits
// a byte, low group first, high bit set on every byte but the last), then its remaining bytes,
// then a line feed; lines never contain one, so it ends them. The first line shares nothing.
// Version 1 archives may hold it compressed by a general-purpose library; its size is what the
// context-mixing model's tables are sized by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "pack/line_set.h"

namespace wordperm {

inline std::size_t shared_prefix(std::string_view a, std::string_view b) {
    const std::size_t limit = a.size() < b.size() ? a.size() : b.size();
    std::size_t p = 0;
    while (p < limit && a[p] == b[p])
        ++p;
    return p;
}

// The size of the byte form of set's lines (counts are not part of it).
std::uint64_t front_coded_size(const LineSet& set);

// Reads exactly `distinct` lines from the byte form into set.bytes and set.start (set.count is
// left alone), refusing a form that is malformed, has bytes left over, makes lines that are not
// strictly ascending, or would hold more than `byte_limit` bytes of lines. Throws std::bad_alloc.
bool front_decode(std::span<const std::uint8_t> form, std::uint32_t distinct,
                  std::uint64_t byte_limit, LineSet& set);

}  // namespace wordperm
