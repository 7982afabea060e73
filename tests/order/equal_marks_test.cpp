// The equal marks' range queries against a plain array of bits: ranges that start and end inside
// a word, on a word's edge, or span words, over marks set by ranges of every length.
#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <vector>

#include "order/equal_marks.h"

namespace wordperm {
namespace {

TEST(EqualMarks, RangeQueriesAgreeWithAPlainArray) {
    constexpr std::size_t kPositions = 300;
    std::mt19937_64 random(3);
    for (int round = 0; round < 50; ++round) {
        EqualMarks marks(kPositions);
        std::vector<bool> plain(kPositions, false);
        for (int set = 0; set < 1 + round % 6; ++set) {
            const std::size_t first = random() % kPositions;
            const std::size_t last = first + random() % (kPositions - first + 1);
            marks.set_range(first, last);
            for (std::size_t p = first; p < last; ++p)
                plain[p] = true;
        }
        for (int query = 0; query < 200; ++query) {
            const std::size_t first = random() % (kPositions + 1);
            const std::size_t last = first + random() % (kPositions - first + 1);
            bool any = false, all = true;
            for (std::size_t p = first; p < last; ++p) {
                any = any || plain[p];
                all = all && plain[p];
            }
            SCOPED_TRACE(::testing::Message()
                         << "round " << round << ", " << first << " to " << last);
            EXPECT_EQ(marks.any_in(first, last), any);
            EXPECT_EQ(marks.all_in(first, last), all);
        }
    }
}

}  // namespace
}  // namespace wordperm
