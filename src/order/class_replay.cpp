// The replay's steps. The partition by class is sort_detail::partition with its comparisons
// read as numbers; why that gives the same exchanges:
//
// After the median of three, the procedure's upward scan stops at entries above the pivot
// ("big") and its downward scan at entries not above it ("small"). It skips the pivot on the way
// up and stops at it on the way down, which is how a small entry is treated anyway, so with
// numbers the pivot needs no tracking. Each exchange takes the next big entry from the left and
// the next small one from the right, and both scans only pass positions no exchange has touched,
// so the k-th exchange pairs the k-th big entry from the left with the k-th small one from the
// right, in the array as it was, until the first pair in which the big one lies right of the
// small one: there the scans have crossed and the partition ends. The block phase finds the big
// entries of a left block and the small ones of a right block and exchanges them pairwise; while
// the blocks do not overlap no pair can cross, and the rest is the procedure's scans, continued
// from the unpaired entries the blocks left.
#include "order/class_replay.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

#include "base/run_both.h"
#include "order/sort_procedure.h"
#include "order/word_sort.h"

namespace wordperm {
namespace {

constexpr std::uint32_t kBlock = 64;
constexpr std::uint32_t kNowhere = UINT32_MAX;

inline std::uint32_t class_of(std::uint64_t entry) {
    return static_cast<std::uint32_t>(entry >> 32);
}

inline int compare_classes(std::uint64_t a, std::uint64_t b) {
    return class_of(a) < class_of(b) ? -1 : class_of(a) > class_of(b) ? 1 : 0;
}

sort_detail::Split partition_by_class(std::uint64_t* a, std::uint32_t lo, std::uint32_t hi) {
    const std::uint32_t mid = lo + (hi - lo + 1) / 2;
    if (class_of(a[lo]) > class_of(a[mid])) std::swap(a[lo], a[mid]);
    if (class_of(a[lo]) > class_of(a[hi])) std::swap(a[lo], a[hi]);
    if (class_of(a[mid]) > class_of(a[hi])) std::swap(a[mid], a[hi]);
    const std::uint32_t pivot = class_of(a[mid]);

    std::uint32_t left = lo + 1;   // the next position the upward scan looks at
    std::uint32_t right = hi - 1;  // the next position the downward scan looks at
    std::uint8_t left_offsets[kBlock];
    std::uint8_t right_offsets[kBlock];
    std::uint32_t left_base = 0, left_count = 0, left_next = 0;
    std::uint32_t right_base = 0, right_count = 0, right_next = 0;
    while (right + 1 - left >= 2 * kBlock) {
        if (left_next == left_count) {
            left_base = left;
            left_count = left_next = 0;
            for (std::uint32_t t = 0; t < kBlock; ++t) {
                left_offsets[left_count] = static_cast<std::uint8_t>(t);
                left_count += class_of(a[left + t]) > pivot;
            }
            left += kBlock;
        }
        if (right_next == right_count) {
            right_base = right;
            right_count = right_next = 0;
            for (std::uint32_t t = 0; t < kBlock; ++t) {
                right_offsets[right_count] = static_cast<std::uint8_t>(t);
                right_count += class_of(a[right - t]) <= pivot;
            }
            right -= kBlock;
        }
        const std::uint32_t pairs = std::min(left_count - left_next, right_count - right_next);
        for (std::uint32_t p = 0; p < pairs; ++p)
            std::swap(a[left_base + left_offsets[left_next + p]],
                      a[right_base - right_offsets[right_next + p]]);
        left_next += pairs;
        right_next += pairs;
    }

    // The scans themselves, from the first entry the blocks found and left unpaired, if any: they
    // look at the array as it is, since once one scan passes into the block the other scanned,
    // its exchanges change entries there that the block's offsets no longer describe. The upward
    // scan gives hi + 1 when it runs off the range; the downward one always stops, at the pivot
    // at the latest.
    if (left_next < left_count) left = left_base + left_offsets[left_next];
    if (right_next < right_count) right = right_base - right_offsets[right_next];
    for (;;) {
        while (left <= hi && class_of(a[left]) <= pivot)
            ++left;
        const std::uint32_t big = left++;
        while (class_of(a[right]) > pivot)
            --right;
        const std::uint32_t small = right--;
        if (small < big) {
            std::uint32_t k = small;
            while (k > lo && class_of(a[k]) == pivot)
                --k;
            return {k, big};
        }
        std::swap(a[big], a[small]);
    }
}

class Replay {
  public:
    Replay(const WordTable& table, std::uint64_t* entries, const EqualMarks* equal,
           std::uint32_t depth_limit, std::uint32_t bare_at)
        : table_(table), a_(entries), equal_(equal), depth_limit_(depth_limit), bare_at_(bare_at) {}

    // Splits lo ... hi once, as the procedure's first step on a range of that depth would.
    sort_detail::Split split(std::uint32_t lo, std::uint32_t hi) {
        const bool bare_inside = holds_bare(lo, hi);
        if (!bare_inside) return partition_by_class(a_, lo, hi);
        auto compare = [this](std::uint64_t x, std::uint64_t y) { return compare_any(x, y); };
        const sort_detail::Split parts = sort_detail::partition(a_, lo, hi, compare);
        for (std::uint32_t x = lo; x <= hi; ++x)
            if (class_of(a_[x]) == kBareClass) bare_at_ = x;
        return parts;
    }

    std::uint32_t bare_at() const { return bare_at_; }

    // Sorts lo ... hi, a range at `depth`, and everything it splits into.
    void sort(std::uint32_t lo, std::uint32_t hi, std::uint32_t depth);

  private:
    bool holds_bare(std::uint32_t lo, std::uint32_t hi) const {
        return bare_at_ != kNowhere && lo <= bare_at_ && bare_at_ <= hi;
    }

    int compare_any(std::uint64_t x, std::uint64_t y) const {
        if (class_of(x) == kBareClass || class_of(y) == kBareClass)
            return line_compare(table_, static_cast<std::uint32_t>(x),
                                static_cast<std::uint32_t>(y));
        return compare_classes(x, y);
    }

    // A range with no two lines alike: each line to its own place.
    void place(std::uint32_t lo, std::uint32_t hi) {
        for (std::uint32_t x = lo; x <= hi; ++x) {
            for (;;) {
                const std::uint32_t target = std::max(lo, class_of(a_[x]));
                assert(target <= hi);
                if (target == x) break;
                std::swap(a_[x], a_[target]);
            }
        }
    }

    // A range the procedure finishes without partitioning: by selection, or by the merge sort
    // past the depth limit.
    template <typename Compare>
    void finish(std::uint32_t lo, std::uint32_t hi, bool by_selection, Compare compare) {
        if (by_selection) {
            for (std::uint32_t last = hi; last > lo; --last)
                selection_pass(std::span<std::uint64_t>(a_ + lo, last - lo + 1), compare);
        } else {
            std::stable_sort(a_ + lo, a_ + hi + 1, [&compare](std::uint64_t x, std::uint64_t y) {
                return compare(x, y) < 0;
            });
        }
    }

    const WordTable& table_;
    std::uint64_t* a_;
    const EqualMarks* equal_;
    std::uint32_t depth_limit_;
    std::uint32_t bare_at_;  // where the kBareClass entry is, kNowhere when not in these ranges
};

void Replay::sort(std::uint32_t lo, std::uint32_t hi, std::uint32_t depth) {
    struct Range {
        std::uint32_t lo, hi, depth;
    };
    // The smaller part goes first, so each waiting range is at least twice the size of the next
    // one to wait: at most 32 of them below 2^32 entries.
    Range pending[32];
    std::uint32_t pending_count = 0;
    for (;;) {
        if (hi > lo) {
            const std::uint32_t count = hi - lo + 1;
            const bool bare_inside = holds_bare(lo, hi);
            if (count <= kSelectionMaxEntries || depth > depth_limit_) {
                const bool by_selection = count <= kSelectionMaxEntries;
                if (bare_inside)
                    finish(lo, hi, by_selection,
                           [this](std::uint64_t x, std::uint64_t y) { return compare_any(x, y); });
                else
                    finish(lo, hi, by_selection, compare_classes);
            } else if (equal_ && !equal_->any_in(lo + 1, std::size_t{hi} + 1)) {
                place(lo, hi);
            } else {
                const sort_detail::Split parts = split(lo, hi);
                ++depth;
                const Range left{lo, parts.k, depth};
                const Range right{parts.i, hi, depth};
                const bool left_smaller = parts.k - lo < hi - parts.i + 1 || parts.i > hi;
                const Range& first = left_smaller ? left : right;
                const Range& second = left_smaller ? right : left;
                if (second.hi > second.lo) {
                    assert(pending_count < std::size(pending));
                    pending[pending_count++] = second;
                }
                lo = first.lo;
                hi = first.hi;
                continue;
            }
        }
        if (pending_count == 0) return;
        --pending_count;
        lo = pending[pending_count].lo;
        hi = pending[pending_count].hi;
        depth = pending[pending_count].depth;
    }
}

}  // namespace

void replay_on_classes(const WordTable& table, std::span<std::uint64_t> entries,
                       const EqualMarks* equal, bool two_threads) {
    const std::size_t n = entries.size();
    if (n < 2) return;
    assert(n <= UINT32_MAX);
    std::uint32_t bare_at = kNowhere;
    for (std::size_t x = 0; x < n && equal == nullptr; ++x)
        if (class_of(entries[x]) == kBareClass) bare_at = static_cast<std::uint32_t>(x);
    const auto last = static_cast<std::uint32_t>(n - 1);
    const std::uint32_t limit = sort_depth_limit(static_cast<std::uint32_t>(n));
    Replay whole(table, entries.data(), equal, limit, bare_at);
    if (!two_threads || n < kTwoThreadsFromItems) {
        whole.sort(0, last, 0);
        return;
    }
    const sort_detail::Split parts = whole.split(0, last);
    Replay left(table, entries.data(), equal, limit, whole.bare_at());
    Replay right(table, entries.data(), equal, limit, whole.bare_at());
    run_both(
        n, [&] { left.sort(0, parts.k, 1); }, [&] { right.sort(parts.i, last, 1); });
}

}  // namespace wordperm
