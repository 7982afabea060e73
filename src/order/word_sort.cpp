// The line order, and the word sort as the sort procedure driven by it.
#include "order/word_sort.h"

#include <cassert>

#include "order/sort_procedure.h"

namespace wordperm {

int line_compare(const WordTable& table, std::uint32_t a, std::uint32_t b) {
    assert(a < table.line_count && b < table.line_count);
    // Only the later line can be a last line without a line feed; the earlier one always meets
    // its line feed before the later line starts, so it needs no end test.
    const bool a_is_later = a > b;
    const std::uint8_t* earlier = table.data + table.line_start[a_is_later ? b : a];
    const std::uint8_t* later = table.data + table.line_start[a_is_later ? a : b];
    for (;; ++earlier, ++later) {
        if (later == table.end) return 0;
        const int e = *earlier;
        const int l = *later;
        if (e != l) return a_is_later ? l - e : e - l;
        if (e == '\n') return 0;
    }
}

void word_sort(const WordTable& table, std::span<std::uint32_t> perm) {
    assert(perm.size() == table.line_count);
    depth_bounded_sort(perm, [&table](std::uint32_t a, std::uint32_t b) {
        return line_compare(table, a, b);
    });
}

}  // namespace wordperm
