// The replay on class numbers against the procedure itself on the same numbers: the same
// entries in the same places, whether ranges are split in blocks, put in place directly, finished
// past the depth limit or done on two threads.
#include "order/class_replay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "order/quicksort_adversary.h"
#include "order/sort_procedure.h"
#include "support/word_tables.h"

namespace wordperm {
namespace {

using Entries = std::vector<std::uint64_t>;

int compare_high_halves(std::uint64_t a, std::uint64_t b) {
    const auto x = static_cast<std::uint32_t>(a >> 32);
    const auto y = static_cast<std::uint32_t>(b >> 32);
    return x < y ? -1 : x > y ? 1 : 0;
}

// Entries for lines of the given classes (any numbers), renumbered as the replay needs: each
// class by the sorted position of its first line. Marks the sorted positions that repeat a class.
Entries entries_of(const std::vector<std::uint32_t>& classes, EqualMarks& equal) {
    std::vector<std::uint32_t> sorted = classes;
    std::sort(sorted.begin(), sorted.end());
    Entries entries;
    for (std::uint32_t line = 0; line < classes.size(); ++line) {
        const auto first = std::lower_bound(sorted.begin(), sorted.end(), classes[line]);
        entries.push_back(std::uint64_t(first - sorted.begin()) << 32 | line);
    }
    for (std::size_t j = 1; j < sorted.size(); ++j)
        if (sorted[j] == sorted[j - 1]) equal.set_range(j, j + 1);
    return entries;
}

// The replay, with and without the marks, must leave what the procedure leaves.
void expect_replay_matches_procedure(const std::vector<std::uint32_t>& classes) {
    const WordTable no_lines = make_word_table("");
    EqualMarks equal(classes.size());
    const Entries start = entries_of(classes, equal);
    Entries expected = start;
    depth_bounded_sort(std::span<std::uint64_t>(expected), compare_high_halves);
    const EqualMarks* const choices[] = {nullptr, &equal};
    for (const EqualMarks* marks : choices) {
        SCOPED_TRACE(marks ? "with marks" : "without marks");
        Entries replayed = start;
        replay_on_classes(no_lines, replayed, marks, /*two_threads=*/true);
        ASSERT_EQ(replayed, expected);
    }
}

TEST(ClassReplay, SameEntriesAsTheProcedureOnRandomClasses) {
    struct Shape {
        std::uint32_t max_lines;
        std::uint32_t classes;  // drawn from 0 to classes - 1
    };
    // Few lines (selection only), a few blocks, and enough for two threads; one class, few,
    // about half of the lines distinct, nearly all distinct.
    const Shape shapes[] = {{12, 3},      {300, 1},   {300, 4},    {300, 200},    {3000, 30},
                            {3000, 2900}, {70000, 1}, {70000, 50}, {70000, 40000}};
    std::uint64_t seed = 1;
    for (const Shape& shape : shapes) {
        for (int round = 0; round < (shape.max_lines > 5000 ? 2 : 100); ++round, ++seed) {
            SCOPED_TRACE("seed " + std::to_string(seed));
            std::mt19937_64 random(seed);
            std::vector<std::uint32_t> classes(random() % (shape.max_lines + 1));
            for (std::uint32_t& c : classes)
                c = static_cast<std::uint32_t>(random() % shape.classes);
            // Some inputs sorted or reversed, where the partitions exchange least or most.
            if (round % 5 == 1) std::sort(classes.begin(), classes.end());
            if (round % 5 == 2) std::sort(classes.rbegin(), classes.rend());
            expect_replay_matches_procedure(classes);
        }
    }
}

// The adversary's order for the bounded procedure, with every two neighbouring values made one
// class, still takes ranges past the depth limit: the replay's merge sort there must match.
TEST(ClassReplay, RangesPastTheDepthLimitMatchTheProcedure) {
    constexpr std::uint32_t n = 5000;
    const testing::KillerInput killer = testing::killer_for_depth_bounded_sort(n);
    std::vector<std::uint32_t> classes;
    for (std::uint32_t rank : killer.ranks)
        classes.push_back(rank / 2);
    std::size_t finished = 0;
    std::vector<std::uint32_t> perm(n);
    for (std::uint32_t i = 0; i < n; ++i)
        perm[i] = i;
    sort_procedure(
        std::span<std::uint32_t>(perm),
        [&](std::uint32_t a, std::uint32_t b) {
            return classes[a] < classes[b] ? -1 : classes[a] > classes[b] ? 1 : 0;
        },
        sort_depth_limit(n),
        [&](std::span<std::uint32_t> range) {
            ++finished;
            std::stable_sort(range.begin(), range.end(), [&](std::uint32_t a, std::uint32_t b) {
                return classes[a] < classes[b];
            });
        });
    ASSERT_GT(finished, 0u) << "the depth limit was never reached";
    expect_replay_matches_procedure(classes);
}

}  // namespace
}  // namespace wordperm
