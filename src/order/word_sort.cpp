// The line order, and the word sort: the exact procedure's result, found quickly.
//
// Running the procedure by line_compare costs a walk through two lines' bytes, far apart in
// memory, per comparison. Instead the lines are first put into byte order by a radix sort that
// marks equal neighbours (order/line_radix_sort.h). If no two lines are equal, the order is
// unique and that sort has found it. Otherwise every line is given the number of its class of
// equal lines and the procedure is replayed on those numbers (order/class_replay.h): each
// comparison answers exactly as line_compare would, so the exchanges, and with them the order of
// equal lines, are the procedure's own.
//
// A bare last line (no line feed) compares equal to every line that starts with its bytes. When
// no line does, it behaves like any other line, as if it ended with a line feed; otherwise it
// takes part in the replay with a class of its own that the replay compares by line_compare.
//
// Both steps work in place, in perm and spare taken together as N 64-bit entries. The entries
// change meaning between the steps (sorted records, class numbers, line indices), always in
// place and in an order of positions that never overwrites a value before it is read, and
// always through memcpy, which is how C++ lets memory change its type.
#include "order/word_sort.h"

#include <cassert>
#include <cstring>

#include "order/class_replay.h"
#include "order/equal_marks.h"
#include "order/line_radix_sort.h"
#include "order/pile_sort.h"
#include "order/sort_procedure.h"

namespace wordperm {
namespace {

// The 32-bit value at index k of `words` viewed as 32-bit values, and the 64-bit one at index
// k viewed as 64-bit values.
inline std::uint32_t load32(const void* words, std::size_t k) {
    std::uint32_t value;
    std::memcpy(&value, static_cast<const std::byte*>(words) + 4 * k, 4);
    return value;
}
inline void store32(void* words, std::size_t k, std::uint32_t value) {
    std::memcpy(static_cast<std::byte*>(words) + 4 * k, &value, 4);
}
inline std::uint64_t load64(const void* words, std::size_t k) {
    std::uint64_t value;
    std::memcpy(&value, static_cast<const std::byte*>(words) + 8 * k, 8);
    return value;
}
inline void store64(void* words, std::size_t k, std::uint64_t value) {
    std::memcpy(static_cast<std::byte*>(words) + 8 * k, &value, 8);
}

// Entry k's low half into 32-bit value k, in ascending k: value k is written over bytes that
// entries k / 2 and below held, all read already.
void keep_low_halves(void* words, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k)
        store32(words, k, static_cast<std::uint32_t>(load64(words, k)));
}

// The bare last line, sorted as if it ended with a line feed, needs the replay's care when a
// neighbour in byte order starts with all of its bytes: the lines that do are next to it.
bool bare_line_is_equal_to_some(const WordTable& table, const void* sorted, std::size_t n) {
    const std::uint32_t bare = table.line_count - 1;
    std::size_t at = 0;
    while (load32(sorted, at) != bare)
        ++at;
    const std::uint8_t* bytes = table.data + line_offset(table, bare);
    const std::uint64_t size = line_size(table, bare);
    for (std::size_t neighbour : {at - 1, at + 1}) {
        if (neighbour >= n) continue;  // at - 1 wraps when at is 0
        const std::uint32_t line = load32(sorted, neighbour);
        if (line_size(table, line) >= size &&
            std::memcmp(table.data + line_offset(table, line), bytes, size) == 0)
            return true;
    }
    return false;
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

void word_sort(const WordTable& table, std::span<std::uint32_t> work) {
    const std::size_t n = table.line_count;
    assert(work.size() == 2 * n);
    assert(reinterpret_cast<std::uintptr_t>(work.data()) % 8 == 0);
    if (n < 2) {
        if (n == 1) work[0] = 0;
        return;
    }
    void* const words = work.data();
    // Line indices in byte order in the first n 32-bit values: dealt onto a few piles when the
    // list allows, otherwise radix sorted as records and reduced to their low halves.
    EqualMarks equal(n);
    if (!pile_sort_lines(table, work.first(n), work.subspan(n), equal)) {
        radix_sort_lines(table, {reinterpret_cast<std::uint64_t*>(words), n}, equal,
                         /*two_threads=*/true);
        keep_low_halves(words, n);
    }
    if (n > kSelectionMaxEntries && equal.all_in(1, n)) {
        // Every comparison finds equal lines, so the procedure's one partition moves nothing and
        // leaves every line final: the identity.
        for (std::size_t k = 0; k < n; ++k)
            store32(words, k, static_cast<std::uint32_t>(k));
        return;
    }
    const bool bare_is_special =
        last_line_is_bare(table) && bare_line_is_equal_to_some(table, words, n);
    if (!bare_is_special && !equal.any()) return;  // only one ascending order

    // Every line's class, indexed by line, in the second n 32-bit values: the sorted position of
    // the first line of its class.
    std::uint32_t class_number = 0;
    for (std::size_t j = 0; j < n; ++j) {
        if (!equal.test(j)) class_number = static_cast<std::uint32_t>(j);
        store32(words, n + load32(words, j), class_number);
    }
    if (bare_is_special) store32(words, n + n - 1, kBareClass);
    // Entries (class << 32 | line) in line order, in ascending order: entry k is written over
    // class values 2k - n and 2k - n + 1, both at or below k and so read already.
    for (std::size_t k = 0; k < n; ++k)
        store64(words, k, std::uint64_t{load32(words, n + k)} << 32 | k);
    replay_on_classes(table, {reinterpret_cast<std::uint64_t*>(words), n},
                      bare_is_special ? nullptr : &equal, /*two_threads=*/true);
    keep_low_halves(words, n);
}

}  // namespace wordperm
