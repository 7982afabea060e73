// Taking the order as it is, dealing and merging. A pile is a chain through `next` from its first
// line to its last; the piles are kept in ascending order of their last lines, so the pile a line
// goes onto is found by a binary search, and a new pile (a line below every last line) goes in
// front. The merge keeps the piles' current heads in a binary heap.
#include "order/pile_sort.h"

#include <array>
#include <cassert>
#include <utility>

#include "order/line_bytes.h"

namespace wordperm {
namespace {

// A line with its first 8 bytes as a key.
struct KeyedLine {
    std::uint64_t key;
    std::uint32_t line;
};

class LineOrder {
  public:
    explicit LineOrder(const WordTable& table) : table_(table) {}

    KeyedLine keyed(std::uint32_t line) const { return {key_at<std::uint64_t>(bytes(line)), line}; }

    // -1, 0 or 1 by the lines' bytes.
    int compare(const KeyedLine& a, const KeyedLine& b) const {
        if (a.key != b.key) return a.key < b.key ? -1 : 1;
        if (key_ends_line(a.key)) return 0;
        return compare_line_bytes(bytes(a.line) + 8, bytes(b.line) + 8);
    }

  private:
    const std::uint8_t* bytes(std::uint32_t line) const {
        return table_.data + line_offset(table_, line);
    }

    const WordTable& table_;
};

struct Pile {
    KeyedLine last;
    std::uint32_t first;
};

// Restores the heap below `at` (the smallest head at the top).
void sift_down(std::array<KeyedLine, kMaxPiles>& heap, std::size_t size, std::size_t at,
               const LineOrder& order) {
    for (;;) {
        std::size_t least = at;
        for (const std::size_t child : {2 * at + 1, 2 * at + 2})
            if (child < size && order.compare(heap[child], heap[least]) < 0) least = child;
        if (least == at) return;
        std::swap(heap[at], heap[least]);
        at = least;
    }
}

// Lines already in order need no sorting: one pass over neighbours in the file, which lie next
// to each other in memory, tells whether they ascend or descend. It stops as soon as both fail,
// which for most lists is within the first lines. When one holds, `sorted` gets that order and
// `equal` its marks: those of the ascending order are set on the way, run by run of equal lines,
// and cleared again if that order fails.
bool take_order_as_it_is(const WordTable& table, std::span<std::uint32_t> sorted,
                         EqualMarks& equal) {
    const std::size_t n = sorted.size();
    bool ascending = true;
    bool descending = true;
    std::size_t run_start = 0;  // the first line of the current run of equal lines
    const std::uint8_t* line = table.data;
    for (std::size_t k = 1; k < n && (ascending || descending); ++k) {
        const std::uint8_t* next = table.data + line_offset(table, k);
        bool same;
        const std::uint64_t shared = common_bytes(line, next, UINT64_MAX, same);
        if (!same) {
            const bool rises = line[shared] < next[shared];
            ascending = ascending && rises;
            descending = descending && !rises;
            equal.set_range(run_start + 1, k);
            run_start = k;
        }
        line = next;
    }
    if (!ascending && !descending) {
        equal.clear();
        return false;
    }
    equal.set_range(run_start + 1, n);
    if (!ascending) {
        // Equal neighbours in the file are equal neighbours in the descending order too, at the
        // mirrored positions.
        equal.clear();
        run_start = 0;
        line = table.data;
        for (std::size_t k = 1; k < n; ++k) {
            const std::uint8_t* next = table.data + line_offset(table, k);
            bool same;
            common_bytes(line, next, UINT64_MAX, same);
            if (!same) {
                equal.set_range(n - k + 1, n - run_start);
                run_start = k;
            }
            line = next;
        }
        equal.set_range(1, n - run_start);
    }
    for (std::size_t j = 0; j < n; ++j)
        sorted[j] = static_cast<std::uint32_t>(ascending ? j : n - 1 - j);
    return true;
}

}  // namespace

bool pile_sort_lines(const WordTable& table, std::span<std::uint32_t> sorted,
                     std::span<std::uint32_t> next, EqualMarks& equal) {
    const std::uint32_t n = table.line_count;
    assert(sorted.size() == n && next.size() == n);
    if (take_order_as_it_is(table, sorted, equal)) return true;
    const LineOrder order(table);
    std::array<Pile, kMaxPiles> piles;
    std::size_t pile_count = 0;
    for (std::uint32_t line = 0; line < n; ++line) {
        const KeyedLine keyed = order.keyed(line);
        // How many piles end with a line not above this one.
        std::size_t low = 0, high = pile_count;
        while (low < high) {
            const std::size_t middle = (low + high) / 2;
            if (order.compare(piles[middle].last, keyed) <= 0)
                low = middle + 1;
            else
                high = middle;
        }
        if (low == 0) {
            if (pile_count == kMaxPiles) return false;
            for (std::size_t p = pile_count; p > 0; --p)
                piles[p] = piles[p - 1];
            piles[0] = {keyed, line};
            ++pile_count;
        } else {
            Pile& pile = piles[low - 1];
            next[pile.last.line] = line;
            pile.last = keyed;
        }
    }
    for (std::size_t p = 0; p < pile_count; ++p)
        next[piles[p].last.line] = UINT32_MAX;  // no line after a pile's last

    std::array<KeyedLine, kMaxPiles> heap;
    for (std::size_t p = 0; p < pile_count; ++p)
        heap[p] = order.keyed(piles[p].first);
    std::size_t heap_size = pile_count;
    for (std::size_t at = heap_size / 2; at-- > 0;)
        sift_down(heap, heap_size, at, order);
    KeyedLine previous{};
    for (std::uint32_t j = 0; j < n; ++j) {
        const KeyedLine head = heap[0];
        sorted[j] = head.line;
        if (j > 0 && order.compare(previous, head) == 0) equal.set_range(j, j + 1);
        previous = head;
        const std::uint32_t following = next[head.line];
        if (following == UINT32_MAX)
            heap[0] = heap[--heap_size];
        else
            heap[0] = order.keyed(following);
        sift_down(heap, heap_size, 0, order);
    }
    return true;
}

}  // namespace wordperm
