// The rank tree's two conversions done for a whole permutation at once, when every position (the
// encoder) or every rank (the decoder) is known before the first result is needed. Line i takes
// sorted position x[i]; its rank s[i] is the number of positions below x[i] that lines 0 to i - 1
// have not taken, which is what tree_rank_remove gives when called for x[0], x[1], ... in turn,
// and the positions are what tree_select_remove gives for s[0], s[1], ... in turn.
//
// Positions to ranks takes one pass over the lines with a bitmap of the positions taken and a
// tree of counts per block of 128 positions (ranks_by_bitmap.cpp): N/8 bytes and N/32 more, small
// enough to stay in the caches that a tree over single positions outgrows, and quickest where
// lines come nearly in order. Ranks to positions must find the position that has a given count
// below it, which a bitmap answers slowly; it works in batch instead (rank_batch.cpp): the
// positions are split by their high bits into buckets, each keeping its lines in input order,
// and each bucket is solved the same way on its own, small enough to stay in cache. That takes an
// array of 32-bit values a little larger than N (N + N/4096 + ... at the default level width),
// plus 32 KiB. Both allocate per call and release before they return; allocation failure throws
// std::bad_alloc. Both notice the identity and the reversal, which sorted and reversed lists
// give, and answer them in one pass.
#pragma once

#include <cstdint>
#include <span>

namespace wordperm {

// A node of the split has at most 2^level_bits children, and a node of at most 2^level_bits
// positions is solved without splitting. The default keeps a node's counts in the first-level
// cache; any width from 1 to the default gives the same results, narrower ones through more
// levels, which is how tests reach deep splits with few lines.
inline constexpr int kRankBatchLevelBits = 12;

// s[i] = the number of positions below x[i] not among x[0], ..., x[i - 1]; so 0 <= s[i] < N - i.
// x must be a permutation of 0 to N - 1, N = x.size() = s.size() < 2^32. s may be x itself
// (the conversion is then done in place) but must not otherwise overlap it.
void ranks_from_positions(std::span<const std::uint32_t> x, std::span<std::uint32_t> s);

// x[i] = the position not among x[0], ..., x[i - 1] that has exactly d[i] such positions below
// it. Every d[i] must be smaller than N - i, N = d.size() = x.size() < 2^32; then x is a
// permutation of 0 to N - 1. x may be d itself (in place) but must not otherwise overlap it.
// 1 <= level_bits <= kRankBatchLevelBits.
void positions_from_ranks(std::span<const std::uint32_t> d, std::span<std::uint32_t> x,
                          int level_bits = kRankBatchLevelBits);

}  // namespace wordperm
