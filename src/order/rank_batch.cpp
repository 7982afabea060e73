// Both conversions split the positions of a node (a range of m consecutive positions, numbered
// from 0 inside it) into up to 2^L children of 2^shift positions each, the last one possibly
// shorter. Every position is taken exactly once, so a child receives exactly as many lines as it
// has positions: the buckets' bounds are known before any line is looked at, and the lines of
// every bucket, copied in input order, form the same problem again, one level smaller. A node
// whose positions need no more than L bits is solved directly, each line with one walk down a
// tree of counts over single positions. L is the level width, level_bits.
//
// A node's lines are converted in place: on entry the array holds their positions (or ranks)
// inside the node, on exit their ranks (or positions). A node that splits does it in two passes
// over that array with the children solved in between, inside the scratch area:
//   ranks: the first pass copies each position's low bits into its child's bucket; the second
//   walks the counts of the children, which gives the lines left in the children to the left,
//   and adds the rank that the child found for the line, taken from the front of its bucket.
//   positions: the first pass walks the counts of the children, which picks the child and leaves
//   the rank inside it, copies that rank into the child's bucket and keeps the child's number in
//   the array; the second adds the child's first position to the position the child found.
// In both, the lines of a bucket come back in the order they went in, so a cursor per bucket is
// all the second pass needs to find a line's answer.
//
// A node of m lines needs m scratch values for its buckets, and its children, solved one after
// another, share the scratch beyond those; at the default width the levels are few (three at
// most below 2^31), so the scratch is little more than N values.
#include "order/rank_batch.h"

#include "base/large_array.h"

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

// The present positions in the children left of child c; takes one position of child c.
// Written without branches on the counts, which would be mispredicted half the time.
inline std::uint32_t rank_remove_child(Workspace& work, int child_bits, std::uint32_t c) {
    std::uint32_t rank = 0;
    std::uint32_t node = 1;
    for (int k = child_bits - 1; k >= 0; --k) {
        const std::uint32_t bit = (c >> k) & 1u;
        const std::uint32_t left = work.counts[node];
        rank += left & (0u - bit);
        work.counts[node] = left - (bit ^ 1u);
        node = 2 * node + bit;
    }
    return rank;
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

void solve_ranks(std::uint32_t* lines, std::uint32_t m, std::uint32_t* scratch, Workspace& work) {
    if (m < 2) {
        if (m == 1) lines[0] = 0;
        return;
    }
    const Split split = split_of(m, work.level_bits);
    if (split.shift != 0) {
        const std::uint32_t low_mask = (std::uint32_t{1} << split.shift) - 1;
        start_cursors(work, m, split);
        for (std::uint32_t i = 0; i < m; ++i) {
            const std::uint32_t x = lines[i];
            assert(x < m);
            const std::uint32_t c = x >> split.shift;
            assert(work.cursor[c] <
                   std::min<std::uint64_t>(m, std::uint64_t{c + 1} << split.shift));
            scratch[work.cursor[c]++] = x & low_mask;
        }
        const std::uint32_t children = child_count(m, split);
        for (std::uint32_t c = 0; c < children; ++c) {
            const std::uint32_t first = c << split.shift;
            const std::uint32_t size = std::min(m - first, low_mask + 1);
            solve_ranks(scratch + first, size, scratch + m, work);
        }
        start_cursors(work, m, split);
    }
    build_counts(work, split);
    if (split.shift == 0) {
        for (std::uint32_t i = 0; i < m; ++i) {
            assert(lines[i] < m);
            lines[i] = rank_remove_child(work, split.child_bits, lines[i]);
        }
        return;
    }
    for (std::uint32_t i = 0; i < m; ++i) {
        const std::uint32_t c = lines[i] >> split.shift;
        lines[i] = rank_remove_child(work, split.child_bits, c) + scratch[work.cursor[c]++];
    }
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

// Copies the input to the output unless they are the same array, then converts in place.
template <void (*solve)(std::uint32_t*, std::uint32_t, std::uint32_t*, Workspace&)>
void convert(std::span<const std::uint32_t> in, std::span<std::uint32_t> out, int level_bits) {
    assert(in.size() == out.size());
    assert(in.size() < (std::size_t{1} << 31));
    assert(level_bits >= 1 && level_bits <= kRankBatchLevelBits);
    if (in.data() != out.data()) std::copy(in.begin(), in.end(), out.begin());
    const auto n = static_cast<std::uint32_t>(out.size());
    const LargeArray<std::uint32_t> scratch =
        make_large_array<std::uint32_t>(scratch_needed(n, level_bits));
    const auto work = std::make_unique<Workspace>();
    work->level_bits = level_bits;
    solve(out.data(), n, scratch.get(), *work);
}

}  // namespace

void ranks_from_positions(std::span<const std::uint32_t> x, std::span<std::uint32_t> s,
                          int level_bits) {
    convert<solve_ranks>(x, s, level_bits);
}

void positions_from_ranks(std::span<const std::uint32_t> d, std::span<std::uint32_t> x,
                          int level_bits) {
    convert<solve_positions>(d, x, level_bits);
}

}  // namespace wordperm
