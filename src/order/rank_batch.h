// The rank tree's two conversions done for a whole permutation at once, when every position (the
// encoder) or every rank (the decoder) is known before the first result is needed. Line i takes
// sorted position x[i]; its rank s[i] is the number of positions below x[i] that lines 0 to i - 1
// have not taken, which is what tree_rank_remove gives when called for x[0], x[1], ... in turn,
// and the positions are what tree_select_remove gives for s[0], s[1], ... in turn.
//
// Working in batch lets each conversion read and write memory in order instead of walking a
// tree far larger than the caches once per line: the positions are split by their high bits into
// buckets, each bucket keeping its lines in input order, and each bucket is then solved the same
// way on its own, small enough to stay in cache.
//
// Extra memory: one array of 32-bit values a little larger than N (N + N/4096 + ... at the default
// level width), plus 32 KiB, allocated per call and released before it returns. Allocation
// failure throws std::bad_alloc.
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
// x must be a permutation of 0 to N - 1, N = x.size() = s.size() < 2^31. s may be x itself
// (the conversion is then done in place) but must not otherwise overlap it. 1 <= level_bits <=
// kRankBatchLevelBits.
void ranks_from_positions(std::span<const std::uint32_t> x, std::span<std::uint32_t> s,
                          int level_bits = kRankBatchLevelBits);

// x[i] = the position not among x[0], ..., x[i - 1] that has exactly d[i] such positions below
// it. Every d[i] must be smaller than N - i, N = d.size() = x.size() < 2^31; then x is a
// permutation of 0 to N - 1. x may be d itself (in place) but must not otherwise overlap it.
// level_bits as above.
void positions_from_ranks(std::span<const std::uint32_t> d, std::span<std::uint32_t> x,
                          int level_bits = kRankBatchLevelBits);

}  // namespace wordperm
