// The word sort the slow way: the procedure run on line_compare itself. The tests check word_sort
// against it; the programs never call it, and a file of its own keeps it out of them.
#include "order/sort_procedure.h"
#include "order/word_sort.h"

namespace wordperm {

void word_sort_by_line_compare(const WordTable& table, std::span<std::uint32_t> perm) {
    assert(perm.size() == table.line_count);
    for (std::uint32_t i = 0; i < perm.size(); ++i)
        perm[i] = i;
    depth_bounded_sort(
        perm, [&table](std::uint32_t a, std::uint32_t b) { return line_compare(table, a, b); });
}

}  // namespace wordperm
