// The steps of the word sort, generic over the comparison, so that other comparisons (counting
// ones, integer keys, an adversary in the tests) can drive exactly the same exchanges as the line
// order does.
//
// The procedure is an in-place quicksort: median of three, lines equal to the pivot trimmed off,
// ranges of up to 8 entries finished by selection, pending ranges on a fixed 30-entry stack with
// the smaller part sorted first. Its exact steps are part of the output, because the order that
// equal entries end in is whatever it leaves. A median-of-three quicksort can be driven into
// quadratic time by a crafted order of distinct words, so each range carries its partitioning
// depth, and a range found deeper than a bound is finished by a caller-given sort instead. The
// bound lies well above the depth that random inputs reach, and on a range of distinct entries
// every correct sort leaves the same order, so the bound changes the output only for a crafted
// input with repeated lines.
//
// Positions are unsigned 32-bit throughout, and the one place where that is surprising is on
// purpose: with an empty right part (i = hi + 1) the difference hi - i wraps to the largest value,
// so that part counts as the larger one and the left part is sorted next.
#pragma once

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <span>
#include <utility>

namespace wordperm {

// A compare(a, b) below is called with two entries of perm and returns negative, zero or positive
// for entry a less than, equal to or greater than entry b. Swapping a and b must negate the sign;
// transitivity is not needed (the line order lacks it for a last line without a line feed): every
// partition leaves two parts strictly smaller than its range, so the procedure ends regardless.

// Ranges of at most this many entries are finished by selection instead of being partitioned.
inline constexpr std::uint32_t kSelectionMaxEntries = 8;

// Smaller part first keeps the current range at most N / 2^d entries while d ranges wait, so
// floor(log2(N / 9)) + 1 <= 29 ranges are ever held for N below 2^32.
inline constexpr std::uint32_t kPendingCapacity = 30;

// One pass of the selection sort of small ranges: moves the greatest entry of `range` to its last
// position by one exchange. Among equal greatest entries the one at the lowest position is moved.
template <typename Entry, typename Compare>
void selection_pass(std::span<Entry> range, Compare& compare) {
    assert(!range.empty());
    std::size_t m = 0;
    for (std::size_t x = 1; x < range.size(); ++x)
        if (compare(range[x], range[m]) > 0) m = x;
    std::swap(range[m], range.back());
}

// The deepest partitioning depth at which word_sort still partitions a range of n entries:
// 2 floor(log2 n) + 16, far above what random inputs reach.
constexpr std::uint32_t sort_depth_limit(std::uint32_t n) {
    return n == 0 ? 16 : 2 * static_cast<std::uint32_t>(std::bit_width(n) - 1) + 16;
}

namespace sort_detail {

// Where a partition leaves its range: the left part is lo ... k, the right part i ... hi (empty
// when i = hi + 1), and everything between equals the pivot and is already final.
struct Split {
    std::uint32_t k;
    std::uint32_t i;
};

template <typename Entry, typename Compare>
Split partition(Entry* perm, std::uint32_t lo, std::uint32_t hi, Compare& compare) {
    const std::uint32_t count = hi - lo + 1;
    const std::uint32_t mid = lo + count / 2;
    // Only strictly greater entries are exchanged, so equal entries keep their places here.
    if (compare(perm[lo], perm[mid]) > 0) std::swap(perm[lo], perm[mid]);
    if (compare(perm[lo], perm[hi]) > 0) std::swap(perm[lo], perm[hi]);
    if (compare(perm[mid], perm[hi]) > 0) std::swap(perm[mid], perm[hi]);

    // The pivot is an entry, not a position: p follows it when an exchange moves it.
    std::uint32_t p = mid;
    std::uint32_t i = lo;
    std::uint32_t j = hi;
    for (;;) {
        do {
            ++i;
        } while (i <= hi && (i == p || compare(perm[i], perm[p]) <= 0));
        // The downward scan never goes below p, and never compares the pivot with itself.
        do {
            --j;
        } while (j > p && compare(perm[j], perm[p]) > 0);
        if (j < i) break;
        std::swap(perm[i], perm[j]);
        if (j == p) p = i;
    }

    std::uint32_t k = j;
    while (k > lo && (k == p || compare(perm[k], perm[p]) == 0))
        --k;
    assert(k < hi && i > lo);
    return {k, i};
}

}  // namespace sort_detail

// Rearranges perm into ascending order by compare with the steps described above. A range of more
// than 8 entries reached at a partitioning depth above depth_limit (the whole of perm has depth
// start_depth, each part of a partition one more than its range) is handed to
// finish_range(std::span of the range) instead, which must leave it sorted. The steps depend only
// on positions relative to the range, so a part of an earlier partition, sorted on its own with
// that part's depth, ends exactly as it would inside the whole. Allocates nothing itself and
// does not recurse. Returns the most ranges it held pending at once, so that tests can check
// the bound of kPendingCapacity in any build.
template <typename Entry, typename Compare, typename FinishRange>
std::uint32_t sort_procedure(std::span<Entry> perm, Compare&& compare, std::uint32_t depth_limit,
                             FinishRange&& finish_range, std::uint32_t start_depth = 0) {
    if (perm.size() < 2) return 0;
    assert(perm.size() <= UINT32_MAX);

    Entry* const entries = perm.data();
    std::uint32_t pending_lo[kPendingCapacity];
    std::uint32_t pending_hi[kPendingCapacity];
    std::uint32_t pending_depth[kPendingCapacity];
    std::uint32_t pending_count = 0;
    std::uint32_t pending_peak = 0;
    std::uint32_t lo = 0;
    std::uint32_t hi = static_cast<std::uint32_t>(perm.size() - 1);
    std::uint32_t depth = start_depth;

    for (;;) {
        if (hi - lo + 1 <= kSelectionMaxEntries) {
            for (std::uint32_t last = hi; last > lo; --last)
                selection_pass(std::span<Entry>(entries + lo, last - lo + 1), compare);
        } else if (depth > depth_limit) {
            finish_range(std::span<Entry>(entries + lo, hi - lo + 1));
        } else {
            const auto [k, i] = sort_detail::partition(entries, lo, hi, compare);
            ++depth;
            // A part of fewer than two entries is already in place: neither pushed nor continued.
            if (hi - i > k - lo) {
                if (hi > i) {
                    assert(pending_count < kPendingCapacity);
                    pending_lo[pending_count] = i;
                    pending_hi[pending_count] = hi;
                    pending_depth[pending_count] = depth;
                    pending_peak = std::max(pending_peak, ++pending_count);
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
                    pending_depth[pending_count] = depth;
                    pending_peak = std::max(pending_peak, ++pending_count);
                }
                if (hi > i) {
                    lo = i;
                    continue;
                }
            }
        }

        if (pending_count == 0) return pending_peak;
        --pending_count;
        lo = pending_lo[pending_count];
        hi = pending_hi[pending_count];
        depth = pending_depth[pending_count];
    }
}

// sort_procedure with the depth limit of word_sort, finishing too-deep ranges with a merge sort
// (std::stable_sort, which may take a temporary buffer). A merge sort bounds its scans by the ends
// of the runs it merges, so even a non-transitive compare cannot take it outside the range.
template <typename Entry, typename Compare>
void depth_bounded_sort(std::span<Entry> perm, Compare&& compare) {
    const auto less = [&compare](Entry a, Entry b) { return compare(a, b) < 0; };
    const auto finish = [&less](std::span<Entry> range) {
        std::stable_sort(range.begin(), range.end(), less);
    };
    sort_procedure(perm, compare, sort_depth_limit(static_cast<std::uint32_t>(perm.size())),
                   finish);
}

}  // namespace wordperm
