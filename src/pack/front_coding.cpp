// The reader checks every length against the line before, so that it never reads or copies
// outside what it holds.
#include "pack/front_coding.h"

#include <cstring>

namespace wordperm {

std::uint64_t front_coded_size(const LineSet& set) {
    std::uint64_t size = 0;
    std::string_view previous;
    for (std::size_t k = 0; k < set.distinct(); ++k) {
        const std::string_view line = set.line(k);
        const std::size_t p = shared_prefix(previous, line);
        std::uint64_t leb128_bytes = 1;
        for (std::size_t v = p; v >= 0x80; v >>= 7)
            ++leb128_bytes;
        size += leb128_bytes + (line.size() - p) + 1;
        previous = line;
    }
    return size;
}

bool front_decode(std::span<const std::uint8_t> form, std::uint32_t distinct,
                  std::uint64_t byte_limit, LineSet& set) {
    set.bytes.clear();
    set.start.assign(1, 0);
    std::size_t at = 0;
    for (std::uint32_t k = 0; k < distinct; ++k) {
        std::uint64_t p = 0;
        for (int shift = 0;; shift += 7) {
            if (at == form.size() || shift > 28) return false;
            const std::uint8_t byte = form[at++];
            p |= std::uint64_t{byte & 0x7Fu} << shift;
            if (!(byte & 0x80)) {
                // A last byte of zero after others is a longer form than the writer's.
                if (byte == 0 && shift != 0) return false;
                break;
            }
        }
        const std::size_t previous_start = k == 0 ? 0 : set.start[k - 1];
        const std::size_t previous_size = set.bytes.size() - previous_start;
        if (p > previous_size) return false;
        const auto* end =
            static_cast<const std::uint8_t*>(std::memchr(form.data() + at, '\n', form.size() - at));
        if (end == nullptr) return false;
        const std::size_t rest = static_cast<std::size_t>(end - (form.data() + at));
        if (set.bytes.size() + p + rest > byte_limit) return false;
        const std::size_t line_start = set.bytes.size();
        for (std::size_t j = 0; j < p; ++j)
            set.bytes.push_back(set.bytes[previous_start + j]);
        set.bytes.insert(set.bytes.end(), form.begin() + static_cast<std::ptrdiff_t>(at),
                         form.begin() + static_cast<std::ptrdiff_t>(at + rest));
        at += rest + 1;
        set.start.push_back(static_cast<std::uint32_t>(set.bytes.size()));
        if (k != 0) {
            const std::string_view previous(
                reinterpret_cast<const char*>(set.bytes.data()) + previous_start, previous_size);
            const std::string_view line(
                reinterpret_cast<const char*>(set.bytes.data()) + line_start,
                set.bytes.size() - line_start);
            // p must be the whole of what the two lines share, as the writer gives it.
            if (!(previous < line) || shared_prefix(previous, line) != p) return false;
        }
    }
    return at == form.size();
}

}  // namespace wordperm
