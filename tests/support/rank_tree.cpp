// Building and walking the rank tree.
//
// A walk to leaf x reads the bits of x from bit D down to bit 0 and steps from node i to 2i + bit,
// so after the last step it holds 2^(D+1) + x, a 33-bit number when D = 31. The walks keep the
// node index in std::size_t: on a 64-bit target that is wide enough for every D, and on a 32-bit
// target no array of more than 2^30 entries can be allocated, which keeps D at 29 or below.
#include "support/rank_tree.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>

namespace wordperm {

namespace {

// The leaf number that a walk ending at `node` (just past level D) has reached.
std::uint32_t leaf_of(const RankTree& tree, std::size_t node) {
    return static_cast<std::uint32_t>(node - (std::size_t{2} << tree.tree_depth));
}

// A stored node exists for the parent of leaf x exactly when x < N, or x = N with N odd, so
// this catches every position at or beyond N except that one spare leaf.
[[maybe_unused]] bool leaf_has_stored_parent(const RankTree& tree, std::uint32_t x) {
    const std::uint64_t parent = (std::uint64_t{1} << tree.tree_depth) + (x >> 1);
    return parent < tree.tree_node_count;
}

}  // namespace

void tree_build(RankTree& tree, std::uint32_t n) {
    assert(n < (std::uint32_t{1} << 31));
    const std::int32_t depth = static_cast<std::int32_t>(std::bit_width(n + 1)) - 1;
    const std::uint32_t node_count = (std::uint32_t{1} << depth) + (n + 1) / 2;

    // Filled level by level straight into reserved space, so a large tree's pages are written
    // once rather than cleared first.
    std::vector<std::uint32_t> nodes;
    nodes.reserve(node_count);
    nodes.push_back(0);
    for (std::int32_t level = 0; level <= depth; ++level) {
        const std::uint32_t first = std::uint32_t{1} << level;
        const std::uint32_t past = level == depth ? node_count : first * 2;
        nodes.insert(nodes.end(), past - first, std::uint32_t{1} << (depth - level));
    }
    assert(nodes.size() == node_count);

    tree.tree_nodes = std::move(nodes);
    tree.tree_node_count = node_count;
    tree.tree_depth = depth;
}

std::uint32_t tree_rank(const RankTree& tree, std::uint32_t x) {
    assert(leaf_has_stored_parent(tree, x));
    const std::uint32_t* counts = tree.tree_nodes.data();
    std::uint32_t rank = 0;
    std::size_t node = 1;
    for (std::int32_t k = tree.tree_depth; k >= 0; --k) {
        assert(node < tree.tree_node_count);
        const std::uint32_t bit = (x >> k) & 1u;
        if (bit != 0) rank += counts[node];
        node = 2 * node + bit;
    }
    return rank;
}

std::uint32_t tree_select(const RankTree& tree, std::uint32_t d) {
    const std::uint32_t* counts = tree.tree_nodes.data();
    std::size_t node = 1;
    for (std::int32_t k = tree.tree_depth; k >= 0; --k) {
        assert(node < tree.tree_node_count);
        const std::uint32_t left = counts[node];
        if (d >= left) {
            d -= left;
            node = 2 * node + 1;
        } else {
            node = 2 * node;
        }
    }
    return leaf_of(tree, node);
}

void tree_remove(RankTree& tree, std::uint32_t x) {
    assert(leaf_has_stored_parent(tree, x));
    std::uint32_t* counts = tree.tree_nodes.data();
    std::size_t node = 1;
    for (std::int32_t k = tree.tree_depth; k >= 0; --k) {
        assert(node < tree.tree_node_count);
        const std::uint32_t bit = (x >> k) & 1u;
        if (bit == 0) {
            assert(counts[node] != 0);
            --counts[node];
        }
        node = 2 * node + bit;
    }
}

// The oracle's combined steps are its single steps in turn: slower than one walk, and plainly
// right.
std::uint32_t tree_rank_remove(RankTree& tree, std::uint32_t x) {
    const std::uint32_t rank = tree_rank(tree, x);
    tree_remove(tree, x);
    return rank;
}

std::uint32_t tree_select_remove(RankTree& tree, std::uint32_t d) {
    const std::uint32_t x = tree_select(tree, d);
    tree_remove(tree, x);
    return x;
}

}  // namespace wordperm
