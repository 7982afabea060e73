// The tree of counts that turns a line's sorted position into its rank among the lines not yet
// taken, turns such a rank back into a position, and marks positions as taken, one line at a
// time. It is the reference, not what the programs run: the coders convert all their lines at
// once with rank_batch.h, which is several times faster once the tree outgrows the caches, and
// the tests check those batch conversions against this plain form of the same steps.
//
// The tree is a heap-indexed complete binary tree whose lowest stored level is D; the leaves
// below it, numbers 0 to 2^(D+1) - 1, are not stored. Leaf x is the line at sorted position x;
// leaves N and above are spare leaves that stand for nothing, lie right of every line and are
// never removed, so no rank counts them and no valid selection reaches them. Node i holds the
// number of leaves in its left subtree not yet removed, spare leaves included. D is taken from
// N + 1, not N, so when N + 1 is a power of two the tree has one level more than N leaves need.
// The array is cut off right after the level-D parent of leaf N - 1: a few stored nodes above
// spare leaves only are filled but never reached.
//
// Every operation is one walk of D + 1 steps from the root; none of them allocates or checks its
// argument. A position that is not present, or a rank not below the number of present lines,
// walks outside the stored nodes or corrupts the counts; debug builds assert against that.
#pragma once

#include <cstdint>
#include <vector>

namespace wordperm {

struct RankTree {
    // Exactly tree_node_count entries; entry i (i >= 1) is the number of present leaves in the
    // left subtree of node i; entry 0 is never read or written.
    std::vector<std::uint32_t> tree_nodes;
    // S = 2^D + floor((N + 1) / 2), the size of tree_nodes; S - 1 is the parent of leaf N - 1.
    std::uint32_t tree_node_count = 0;
    // D = floor(log2(N + 1)), the level of the lowest stored nodes, 0 to 31.
    std::int32_t tree_depth = 0;
};

// Builds the tree over n < 2^31 lines, all present. Allocation failure throws std::bad_alloc.
void tree_build(RankTree& tree, std::uint32_t n);

// The number of present positions below x; x < N must be present.
std::uint32_t tree_rank(const RankTree& tree, std::uint32_t x);

// The present position with exactly d present positions below it; d must be smaller than the
// number of present positions.
std::uint32_t tree_select(const RankTree& tree, std::uint32_t d);

// Marks the present position x < N as taken.
void tree_remove(RankTree& tree, std::uint32_t x);

// tree_rank(x) followed by tree_remove(x).
std::uint32_t tree_rank_remove(RankTree& tree, std::uint32_t x);

// x = tree_select(d) followed by tree_remove(x); returns x.
std::uint32_t tree_select_remove(RankTree& tree, std::uint32_t d);

}  // namespace wordperm
