// word_sort with the workspace it takes beside the permutation: a table's lines in the order the
// encoder writes them.
#pragma once

#include <cstdint>
#include <vector>

#include "order/word_sort.h"

namespace wordperm::testing {

inline std::vector<std::uint32_t> word_sorted(const WordTable& table) {
    std::vector<std::uint32_t> work(2 * std::size_t{table.line_count});
    word_sort(table, work);
    work.resize(table.line_count);
    return work;
}

}  // namespace wordperm::testing
