// The line order, and the word sort: the exact procedure's result, found quickly.
//
// Running the procedure by line_compare costs a walk through two lines' bytes, far apart in
// memory, per comparison: about 400 ns a line. Instead every line is first given the number of
// its class of equal lines by a fast sort on cached 8-byte prefixes. If no two lines are equal,
// the order is unique and that sort has found it. Otherwise the procedure is replayed on
// (class, line) pairs, comparing class numbers: each comparison answers exactly as line_compare
// would, so the exchanges, and with them the order of equal lines, are the procedure's own.
// A bare last line (no line feed) is left out of the classes: it compares equal to every line
// that starts with its bytes, which no class number can express, so the replay asks
// line_compare whenever it is involved.
#include "order/word_sort.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <memory>

#include "base/large_array.h"
#include "base/run_both.h"
#include "order/sort_procedure.h"

namespace wordperm {
namespace {

// 12 bytes, so that the prefix sort's working set stays small.
struct KeyedLine {
    std::uint32_t key_high;  // the line's first 8 bytes, big-endian, zero after its line feed
    std::uint32_t key_low;
    std::uint32_t line;
};

std::uint64_t key_of(const KeyedLine& keyed) {
    return std::uint64_t{keyed.key_high} << 32 | keyed.key_low;
}

KeyedLine keyed_line(const WordTable& table, std::uint32_t line) {
    const std::uint8_t* bytes = table.data + line_offset(table, line);
    const auto size = static_cast<std::uint32_t>(line_size(table, line));
    std::uint64_t key = 0;
    if (size >= 8) {
        std::memcpy(&key, bytes, 8);
        if constexpr (std::endian::native == std::endian::little) key = __builtin_bswap64(key);
    } else {
        for (std::uint32_t k = 0; k < size; ++k)
            key |= std::uint64_t{bytes[k]} << (56 - 8 * k);
    }
    return {static_cast<std::uint32_t>(key >> 32), static_cast<std::uint32_t>(key), line};
}

// line_compare for lines that end with a line feed. Equal prefixes that hold the line feed mean
// equal lines; otherwise both lines are longer than 8 bytes and the rest decides, the shorter
// line's line feed meeting the other line's byte at the same place.
int compare_keyed(const WordTable& table, const KeyedLine& a, const KeyedLine& b) {
    const std::uint64_t key_a = key_of(a);
    const std::uint64_t key_b = key_of(b);
    if (key_a != key_b) return key_a < key_b ? -1 : 1;
    const auto size_a = static_cast<std::uint32_t>(line_size(table, a.line));
    if (size_a <= 8) return 0;
    const std::uint32_t shorter =
        std::min(size_a, static_cast<std::uint32_t>(line_size(table, b.line)));
    return std::memcmp(table.data + line_offset(table, a.line) + 8,
                       table.data + line_offset(table, b.line) + 8, shorter - 8);
}

constexpr std::uint32_t kBareClass = UINT32_MAX;

// Ascending by compare_keyed. With two threads the lower and the upper half by key (split by
// nth_element) are sorted at the same time.
void sort_keyed(const WordTable& table, std::span<KeyedLine> keyed) {
    const auto less = [&table](const KeyedLine& a, const KeyedLine& b) {
        return compare_keyed(table, a, b) < 0;
    };
    if (keyed.size() < kTwoThreadsFromItems) {
        std::sort(keyed.begin(), keyed.end(), less);
        return;
    }
    const auto middle = keyed.begin() + static_cast<std::ptrdiff_t>(keyed.size() / 2);
    std::nth_element(keyed.begin(), middle, keyed.end(), less);
    run_both(
        keyed.size(), [&] { std::sort(keyed.begin(), middle, less); },
        [&] { std::sort(middle, keyed.end(), less); });
}

}  // namespace

int line_compare(const WordTable& table, std::uint32_t a, std::uint32_t b) {
    assert(a < table.line_count && b < table.line_count);
    // Only the later line can be a last line without a line feed; the earlier one always meets
    // its line feed before the later line starts, so it needs no end test.
    const bool a_is_later = a > b;
    const std::uint8_t* earlier = table.data + line_offset(table, a_is_later ? b : a);
    const std::uint8_t* later = table.data + line_offset(table, a_is_later ? a : b);
    for (;; ++earlier, ++later) {
        if (later == table.end) return 0;
        const int e = *earlier;
        const int l = *later;
        if (e != l) return a_is_later ? l - e : e - l;
        if (e == '\n') return 0;
    }
}

void word_sort(const WordTable& table, std::span<std::uint32_t> perm) {
    const std::uint32_t n = table.line_count;
    assert(perm.size() == n);
    const bool bare = last_line_is_bare(table);
    const std::uint32_t keyed_count = bare ? n - 1 : n;

    if (n < 2) {
        if (n == 1) perm[0] = 0;
        return;
    }

    // Classes of equal lines, numbered in ascending order; perm holds each line's class for now.
    {
        auto keyed = make_large_array<KeyedLine>(keyed_count);
        for (std::uint32_t line = 0; line < keyed_count; ++line)
            keyed[line] = keyed_line(table, line);
        sort_keyed(table, {keyed.get(), keyed_count});
        if (!bare) {
            std::uint32_t j = 1;
            while (j < n && compare_keyed(table, keyed[j - 1], keyed[j]) != 0)
                ++j;
            if (j >= n) {
                // No two lines are equal: there is only one ascending order.
                for (std::uint32_t k = 0; k < n; ++k)
                    perm[k] = keyed[k].line;
                return;
            }
        }
        std::uint32_t class_number = 0;
        for (std::uint32_t j = 0; j < keyed_count; ++j) {
            if (j > 0 && compare_keyed(table, keyed[j - 1], keyed[j]) != 0) ++class_number;
            perm[keyed[j].line] = class_number;
        }
    }
    if (bare) perm[n - 1] = kBareClass;

    // The replay: entries carry their class above their line index.
    auto entries = make_large_array<std::uint64_t>(n);
    for (std::uint32_t line = 0; line < n; ++line)
        entries[line] = std::uint64_t{perm[line]} << 32 | line;
    depth_bounded_sort(
        std::span<std::uint64_t>(entries.get(), n),
        [&table](std::uint64_t a, std::uint64_t b) {
            const auto class_a = static_cast<std::uint32_t>(a >> 32);
            const auto class_b = static_cast<std::uint32_t>(b >> 32);
            if (class_a == kBareClass || class_b == kBareClass)
                return line_compare(table, static_cast<std::uint32_t>(a),
                                    static_cast<std::uint32_t>(b));
            return class_a < class_b ? -1 : class_a > class_b ? 1 : 0;
        },
        /*two_threads=*/true);
    for (std::uint32_t j = 0; j < n; ++j)
        perm[j] = static_cast<std::uint32_t>(entries[j]);
}

}  // namespace wordperm
