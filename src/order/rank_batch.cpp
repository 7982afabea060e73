// Ranks to positions in batch. The conversion splits the positions of a node (a range of m
// consecutive positions, numbered from 0 inside it) into up to 2^L children of 2^shift positions
// each, the last one possibly shorter. Every position is taken exactly once, so a child receives
// exactly as many lines as it has positions: the buckets' bounds are known before any line is
// looked at, and the lines of every bucket, copied in input order, form the same problem again,
// one level smaller. A node whose positions need no more than L bits is solved directly, each
// line with one walk down a tree of counts over single positions. L is the level width,
// level_bits.
//
// A node's lines are converted in place: on entry the array holds their ranks inside the node, on
// exit their positions. A node that splits does it in two passes over that array with the
// children solved in between, inside the scratch area: the first pass walks the counts of the
// children, which picks the child and leaves the rank inside it, copies that rank into the
// child's bucket and keeps the child's number in the array; the second adds the child's first
// position to the position the child found. The lines of a bucket come back in the order they went
// in, so a cursor per bucket is all the second pass needs to find a line's answer.
//
// A node of m lines needs m scratch values for its buckets, and its children, solved one after
// another, share the scratch beyond those; at the default width the levels are few (three at
// most below 2^32), so the scratch is little more than N values.
#include "order/rank_batch.h"

#include "base/large_array.h"
#include "order/trivial_orders.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <memory>

namespace wordperm {

namespace {

constexpr std::uint32_t kMaxChildren = std::uint32_t{1} << kRankBatchLevelBits;

// How a node of m >= 2 positions divides them.
struct Split {
    int child_bits;  // the node has at most 2^child_bits children, 1 to level_bits
    int shift;       // each child but the last has 2^shift positions; 0 when they are single
};

// The bits above the leaves are shared out as evenly as the per-level limit allows, so the tree
// of counts is no larger than it must be at any level.
Split split_of(std::uint32_t m, int level_bits) {
    assert(m >= 2);
    const int bits = static_cast<int>(std::bit_width(m - 1));
    const int levels = (bits + level_bits - 1) / level_bits;
    const int child_bits = (bits + levels - 1) / levels;
    return {child_bits, bits - child_bits};
}

std::uint32_t child_count(std::uint32_t m, Split split) {
    return ((m - 1) >> split.shift) + 1;
}

// Scratch values that solving a node of m positions needs, its descendants' included.
std::size_t scratch_needed(std::uint32_t m, int level_bits) {
    if (m < 2) return 0;
    const Split split = split_of(m, level_bits);
    if (split.shift == 0) return 0;
    // A shorter last child never splits into wider levels, so it needs no more than a full one.
    return m + scratch_needed(std::uint32_t{1} << split.shift, level_bits);
}

// Per-call state shared by all nodes: a node's counts and cursors are only in use while that
// node is between its own passes' lines, never across the solving of its children.
struct Workspace {
    int level_bits;  // the level width, 1 to kRankBatchLevelBits
    // Heap-indexed like the rank tree: entry j (1 <= j < 2^child_bits) is the number of present
    // positions, spare ones included, in the left half of node j's children; entry 0 is unused.
    std::uint32_t counts[kMaxChildren] = {};
    // Per child, the index in the scratch area of the next value of its bucket.
    std::uint32_t cursor[kMaxChildren] = {};
};

// Fills the counts as if the node had all 2^(child_bits + shift) positions present. Those at m and
// beyond are spare, like the rank tree's spare leaves: they lie right of every real position, so
// no rank counts them, and a selection below the number of real positions left never reaches them.
void build_counts(Workspace& work, Split split) {
    for (int depth = 0; depth < split.child_bits; ++depth) {
        const std::uint32_t first = std::uint32_t{1} << depth;
        const std::uint32_t half = std::uint32_t{1} << (split.child_bits - depth - 1 + split.shift);
        std::fill(work.counts + first, work.counts + 2 * first, half);
    }
}

void start_cursors(Workspace& work, std::uint32_t m, Split split) {
    const std::uint32_t children = child_count(m, split);
    for (std::uint32_t c = 0; c < children; ++c)
        work.cursor[c] = c << split.shift;
}

// The child holding the present position with d present positions below it; takes that
// position and leaves in d its rank among the present positions of the child.
inline std::uint32_t select_remove_child(Workspace& work, int child_bits, std::uint32_t& d) {
    std::uint32_t node = 1;
    for (int k = 0; k < child_bits; ++k) {
        const std::uint32_t left = work.counts[node];
        const std::uint32_t right = d >= left ? 1u : 0u;
        d -= left & (0u - right);
        work.counts[node] = left - (right ^ 1u);
        node = 2 * node + right;
    }
    return node - (std::uint32_t{1} << child_bits);
}

void solve_positions(std::uint32_t* lines, std::uint32_t m, std::uint32_t* scratch,
                     Workspace& work) {
    if (m < 2) {
        assert(m == 0 || lines[0] == 0);
        return;
    }
    const Split split = split_of(m, work.level_bits);
    build_counts(work, split);
    if (split.shift == 0) {
        for (std::uint32_t i = 0; i < m; ++i) {
            std::uint32_t d = lines[i];
            assert(d < m - i);
            lines[i] = select_remove_child(work, split.child_bits, d);
        }
        return;
    }
    start_cursors(work, m, split);
    for (std::uint32_t i = 0; i < m; ++i) {
        std::uint32_t d = lines[i];
        assert(d < m - i);
        const std::uint32_t c = select_remove_child(work, split.child_bits, d);
        scratch[work.cursor[c]++] = d;
        lines[i] = c;
    }
    const std::uint32_t children = child_count(m, split);
    for (std::uint32_t c = 0; c < children; ++c) {
        const std::uint32_t first = c << split.shift;
        const std::uint32_t size = std::min(m - first, std::uint32_t{1} << split.shift);
        solve_positions(scratch + first, size, scratch + m, work);
    }
    start_cursors(work, m, split);
    for (std::uint32_t i = 0; i < m; ++i) {
        const std::uint32_t c = lines[i];
        lines[i] = (c << split.shift) + scratch[work.cursor[c]++];
    }
}

}  // namespace

void positions_from_ranks(std::span<const std::uint32_t> d, std::span<std::uint32_t> x,
                          int level_bits) {
    assert(d.size() == x.size() && d.size() <= UINT32_MAX);
    assert(level_bits >= 1 && level_bits <= kRankBatchLevelBits);
    const auto n = static_cast<std::uint32_t>(x.size());
    switch (trivial_order_of_ranks(d)) {
        case TrivialOrder::identity:
            for (std::uint32_t i = 0; i < n; ++i)
                x[i] = i;
            return;
        case TrivialOrder::reversal:
            for (std::uint32_t i = 0; i < n; ++i)
                x[i] = n - 1 - i;
            return;
        case TrivialOrder::neither:
            break;
    }
    if (d.data() != x.data()) std::copy(d.begin(), d.end(), x.begin());
    const LargeArray<std::uint32_t> scratch =
        make_large_array<std::uint32_t>(scratch_needed(n, level_bits));
    const auto work = std::make_unique<Workspace>();
    work->level_bits = level_bits;
    solve_positions(x.data(), n, scratch.get(), *work);
}

}  // namespace wordperm
