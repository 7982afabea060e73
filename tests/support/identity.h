// The identity permutation, which the sorts start from and their results are checked against.
#pragma once

#include <cstdint>
#include <numeric>
#include <vector>

namespace wordperm::testing {

inline std::vector<std::uint32_t> identity(std::size_t n) {
    std::vector<std::uint32_t> perm(n);
    std::iota(perm.begin(), perm.end(), 0u);
    return perm;
}

}  // namespace wordperm::testing
