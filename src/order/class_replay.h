// The replay: the word sort's procedure (order/sort_procedure.h) run on class numbers, which
// fixes where equal lines end. Every line carries the number of its class of equal lines, the
// sorted position of the class's first line, so comparing two numbers answers as line_compare
// would, and the exchanges, equal lines' included, are the procedure's own.
//
// Comparing plain numbers lets a partition be done in blocks without a branch per entry: the
// entries to exchange are found 64 at a time, and they are paired exactly as the procedure's two
// scans would pair them. Ranges are independent once split, so they are taken in any order. A
// range in which no two lines are equal (the marks tell) has one correct order, and its lines
// are put there directly: at its class number, or at the range's start for a class that begins
// before it.
//
// The bare last line, when some line starts with its bytes, equals lines that differ among
// themselves; it carries kBareClass and is compared with line_compare. Ranges that hold it run
// the procedure's own steps, and no range is put in place directly (the lines that equal the
// bare one may end in no sorted order).
#pragma once

#include <cstdint>
#include <span>

#include "list/word_table.h"
#include "order/equal_marks.h"

namespace wordperm {

inline constexpr std::uint32_t kBareClass = UINT32_MAX;

// Rearranges `entries` (class << 32 | line, in the order the procedure starts from) into the
// order that depth_bounded_sort by line_compare leaves. `equal` marks the sorted positions that
// equal their predecessor; null when a line has kBareClass. With two_threads, the two parts of
// the first partition are done at the same time.
void replay_on_classes(const WordTable& table, std::span<std::uint64_t> entries,
                       const EqualMarks* equal, bool two_threads);

}  // namespace wordperm
