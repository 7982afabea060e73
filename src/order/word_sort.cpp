// The line order and the quicksort of perm.
//
// Positions are unsigned 32-bit throughout, and the one place where that is surprising is on
// purpose: with an empty right part (i = hi + 1) the difference hi - i wraps to the largest value,
// so that part counts as the larger one and the left part is sorted next. The partition never
// relies on transitivity, because a last line without a line feed breaks it; each partition
// leaves two parts strictly smaller than its range, so the sort ends for every input.
#include "order/word_sort.h"

#include <cassert>
#include <utility>

namespace wordperm {

namespace {

// Ranges of at most this many entries are finished by selection instead of being partitioned.
constexpr std::uint32_t kSelectionMaxEntries = 8;

// Smaller part first keeps the current range at most N / 2^d entries while d ranges wait, so
// floor(log2(N / 9)) + 1 <= 29 ranges are ever held for N below 2^32.
constexpr std::uint32_t kPendingCapacity = 30;

bool line_greater(const WordTable& table, std::uint32_t a, std::uint32_t b) {
    return line_compare(table, a, b) > 0;
}

// Where a partition leaves its range: the left part is lo ... k, the right part i ... hi (empty
// when i = hi + 1), and everything between equals the pivot's line and is already final.
struct Split {
    std::uint32_t k;
    std::uint32_t i;
};

Split partition(const WordTable& table, std::uint32_t* perm, std::uint32_t lo, std::uint32_t hi) {
    const std::uint32_t count = hi - lo + 1;
    const std::uint32_t mid = lo + count / 2;
    // Only strictly greater lines are exchanged, so equal lines keep their places here.
    if (line_greater(table, perm[lo], perm[mid])) std::swap(perm[lo], perm[mid]);
    if (line_greater(table, perm[lo], perm[hi])) std::swap(perm[lo], perm[hi]);
    if (line_greater(table, perm[mid], perm[hi])) std::swap(perm[mid], perm[hi]);

    // The pivot is a line, not a position: p follows it when an exchange moves it.
    std::uint32_t p = mid;
    std::uint32_t i = lo;
    std::uint32_t j = hi;
    for (;;) {
        do {
            ++i;
        } while (i <= hi && (i == p || !line_greater(table, perm[i], perm[p])));
        // The downward scan never goes below p, and never compares the pivot with itself.
        do {
            --j;
        } while (j > p && line_greater(table, perm[j], perm[p]));
        if (j < i) break;
        std::swap(perm[i], perm[j]);
        if (j == p) p = i;
    }

    std::uint32_t k = j;
    while (k > lo && (k == p || line_compare(table, perm[k], perm[p]) == 0))
        --k;
    assert(k < hi && i > lo);
    return {k, i};
}

void selection_sort(const WordTable& table, std::uint32_t* perm, std::uint32_t lo,
                    std::uint32_t hi) {
    for (; hi > lo; --hi)
        selection_pass(table, std::span<std::uint32_t>(perm + lo, hi - lo + 1));
}

}  // namespace

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

void selection_pass(const WordTable& table, std::span<std::uint32_t> range) {
    assert(!range.empty());
    std::size_t m = 0;
    for (std::size_t x = 1; x < range.size(); ++x)
        if (line_greater(table, range[x], range[m])) m = x;
    std::swap(range[m], range.back());
}

void word_sort(const WordTable& table, std::span<std::uint32_t> perm) {
    assert(perm.size() == table.line_count);
    if (table.line_count < 2) return;

    std::uint32_t* const entries = perm.data();
    std::uint32_t pending_lo[kPendingCapacity];
    std::uint32_t pending_hi[kPendingCapacity];
    std::uint32_t pending_count = 0;
    std::uint32_t lo = 0;
    std::uint32_t hi = table.line_count - 1;

    for (;;) {
        if (hi - lo + 1 > kSelectionMaxEntries) {
            const auto [k, i] = partition(table, entries, lo, hi);
            // A part of fewer than two entries is already in place: neither pushed nor continued.
            if (hi - i > k - lo) {
                if (hi > i) {
                    assert(pending_count < kPendingCapacity);
                    pending_lo[pending_count] = i;
                    pending_hi[pending_count] = hi;
                    ++pending_count;
                }
                if (k > lo) {
                    hi = k;
                    continue;
                }
            } else {
                if (k > lo) {
                    assert(pending_count < kPendingCapacity);
                    pending_lo[pending_count] = lo;
                    pending_hi[pending_count] = k;
                    ++pending_count;
                }
                if (hi > i) {
                    lo = i;
                    continue;
                }
            }
        } else {
            selection_sort(table, entries, lo, hi);
        }

        if (pending_count == 0) return;
        --pending_count;
        lo = pending_lo[pending_count];
        hi = pending_hi[pending_count];
    }
}

}  // namespace wordperm
