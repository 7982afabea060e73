// Growing the buffer geometrically; a known size sizes it once, one byte over, so that the read
// which finds the end needs no growth.
#include "io/read_whole.h"

#include <algorithm>

namespace wordperm {

ReadWhole read_whole(ByteReader& input, std::vector<std::uint8_t>& bytes, std::uint64_t limit) {
    bytes.clear();
    const std::optional<std::uint64_t> known = input.known_size();
    if (known && *known > limit) return ReadWhole::too_large;
    std::size_t length = 0;
    bytes.resize(known ? static_cast<std::size_t>(*known) + 1 : std::size_t{1} << 16);
    for (;;) {
        if (length == bytes.size()) bytes.resize(bytes.size() * 2);
        const std::size_t room = std::min<std::size_t>(bytes.size() - length, std::size_t{1} << 30);
        const std::ptrdiff_t got = input.read(bytes.data() + length, room);
        if (got < 0) return ReadWhole::read_failed;
        if (got == 0) break;
        length += static_cast<std::size_t>(got);
        if (length > limit) return ReadWhole::too_large;
    }
    bytes.resize(length);
    return ReadWhole::ok;
}

}  // namespace wordperm
