// Word tables built from strings, for tests of everything that reads lines.
#pragma once

#include <stdexcept>
#include <string_view>

#include "list/word_table.h"
#include "support/memory_io.h"

namespace wordperm::testing {

// The table of `contents` under `limits` (wide_offsets for 64-bit line starts); a load that
// fails throws, and so fails the test.
inline WordTable make_word_table(std::string_view contents, const TableLimits& limits = {}) {
    WordTable table;
    MemoryReader reader(contents);
    LoadFailure failure;
    if (!load_word_table(table, reader, failure, limits))
        throw std::runtime_error("make_word_table");
    return table;
}

}  // namespace wordperm::testing

namespace wordperm {
using testing::make_word_table;
}
