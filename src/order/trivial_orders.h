// The two permutations the rank conversions answer without working: the identity (a sorted list,
// or lines all equal), whose ranks are all 0, and the reversal (a list in descending order), whose
// ranks are N - 1 - i like its positions. One pass tells either from its positions or its ranks.
#pragma once

#include <cstdint>
#include <span>

namespace wordperm {

enum class TrivialOrder { identity, reversal, neither };

// From positions (identity_value(i) = i) or from ranks (identity_value(i) = 0).
template <typename IdentityValue>
TrivialOrder trivial_order_of(std::span<const std::uint32_t> values, IdentityValue identity_value) {
    const std::size_t n = values.size();
    bool identity = true;
    bool reversal = true;
    for (std::size_t i = 0; i < n && (identity || reversal); ++i) {
        identity = identity && values[i] == identity_value(i);
        reversal = reversal && values[i] == n - 1 - i;
    }
    return identity   ? TrivialOrder::identity
           : reversal ? TrivialOrder::reversal
                      : TrivialOrder::neither;
}

inline TrivialOrder trivial_order_of_positions(std::span<const std::uint32_t> x) {
    return trivial_order_of(x, [](std::size_t i) { return i; });
}

inline TrivialOrder trivial_order_of_ranks(std::span<const std::uint32_t> s) {
    return trivial_order_of(s, [](std::size_t) { return std::size_t{0}; });
}

}  // namespace wordperm
