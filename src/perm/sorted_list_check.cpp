// One pass over adjacent lines, and, only for a bare list with pairs out of order, one more to
// find the line "b\n". Lines are compared a word at a time (order/line_bytes.h); the word
// table's tail makes a bare last line read as if it ended with a line feed.
#include "perm/sorted_list_check.h"

#include <algorithm>
#include <cstring>

#include "order/line_bytes.h"

namespace wordperm {
namespace {

const std::uint8_t* line_at(const WordTable& table, std::uint64_t k) {
    return table.data + line_offset(table, k);
}

// The bytes of line k before its line feed, whether or not the line has one.
std::uint64_t bytes_before_line_feed(const WordTable& table, std::uint64_t k) {
    const bool bare = k + 1 == table.line_count && last_line_is_bare(table);
    return line_size(table, static_cast<std::uint32_t>(k)) - (bare ? 0 : 1);
}

bool starts_with(const WordTable& table, std::uint64_t k, const std::uint8_t* prefix,
                 std::uint64_t size) {
    return bytes_before_line_feed(table, k) >= size &&
           std::memcmp(line_at(table, k), prefix, size) == 0;
}

}  // namespace

std::optional<std::uint64_t> first_line_out_of_order(const WordTable& table) {
    const std::uint64_t n = table.line_count;
    if (n < 2) return std::nullopt;
    const bool bare = last_line_is_bare(table);

    // The bare line moved after an empty line that sorted last: b is the last line, and the
    // pairs out of order before the two must all start with it.
    const bool moved_last = bare && bytes_before_line_feed(table, n - 2) == 0 &&
                            compare_line_bytes(line_at(table, n - 2), line_at(table, n - 1)) > 0;
    const std::uint64_t pairs_end = moved_last ? n - 1 : n;
    const std::uint8_t* const last = line_at(table, n - 1);
    const std::uint64_t last_size = bytes_before_line_feed(table, n - 1);

    std::uint64_t first_unordered = 0;     // the first line below the one above it; 0 for none
    const std::uint8_t* common = nullptr;  // what every line of those pairs starts with
    std::uint64_t common_size = 0;
    for (std::uint64_t k = 1; k < pairs_end; ++k) {
        const std::uint8_t* above = line_at(table, k - 1);
        const std::uint8_t* below = line_at(table, k);
        bool equal;
        const std::uint64_t same = common_bytes(above, below, UINT64_MAX, equal);
        if (equal || above[same] < below[same]) [[likely]]
            continue;
        if (!bare) return k;
        if (moved_last) {
            if (!starts_with(table, k - 1, last, last_size) ||
                !starts_with(table, k, last, last_size))
                return k;
            continue;
        }
        if (first_unordered == 0) {
            first_unordered = k;
            common = above;
            common_size = same;
        } else {
            bool unused;
            common_size = std::min(same, common_bytes(common, below, common_size, unused));
        }
        if (common_size == 0) return k;
    }
    if (first_unordered == 0) return std::nullopt;

    // b starts every line of those pairs, so it is a start of `common`, and "b\n" is a line.
    for (std::uint64_t k = 0; k < n; ++k) {
        const std::uint64_t size = bytes_before_line_feed(table, k);
        if (size != 0 && size <= common_size && std::memcmp(line_at(table, k), common, size) == 0)
            return std::nullopt;
    }
    return first_unordered;
}

}  // namespace wordperm
