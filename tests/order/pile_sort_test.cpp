// The pile sort against a plain sort of the lines' texts, on lists made of a few interleaved
// ascending sequences (with repeats and a bare last line), on lists already in order, and at the
// limit on the number of piles.
#include "order/pile_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/lines.h"
#include "support/word_tables.h"

namespace wordperm {
namespace {

struct Sorted {
    bool taken;
    std::vector<std::uint32_t> lines;
    std::vector<bool> equal;
};

Sorted pile_sort(const WordTable& table) {
    Sorted result;
    result.lines.resize(table.line_count);
    std::vector<std::uint32_t> next(table.line_count);
    EqualMarks equal(table.line_count);
    result.taken = pile_sort_lines(table, result.lines, next, equal);
    for (std::size_t j = 0; j < table.line_count; ++j)
        result.equal.push_back(equal.test(j));
    return result;
}

// The line order: the texts with their line feeds, so that a tab sorts below the end of a line.
bool by_line_order(const std::string& a, const std::string& b) {
    return a + '\n' < b + '\n';
}

// `sequences` ascending runs of random words from a small alphabet, dealt into one list at random.
std::vector<std::string> interleaved(std::uint64_t seed, int sequences, int lines) {
    std::mt19937_64 random(seed);
    std::vector<std::vector<std::string>> runs(static_cast<std::size_t>(sequences));
    for (int k = 0; k < lines; ++k) {
        std::string word(1 + random() % 6, 'a');
        for (char& byte : word)
            byte = "abc\t"[random() % 4];
        runs[random() % runs.size()].push_back(word);
    }
    std::vector<std::string> list;
    for (auto& run : runs)
        std::sort(run.begin(), run.end(), by_line_order);
    std::vector<std::size_t> at(runs.size());
    while (list.size() < static_cast<std::size_t>(lines)) {
        const std::size_t r = random() % runs.size();
        if (at[r] < runs[r].size()) list.push_back(runs[r][at[r]++]);
    }
    return list;
}

TEST(PileSort, ByteOrderAndEqualNeighboursMarked) {
    for (std::uint64_t seed = 1; seed <= 60; ++seed) {
        const int sequences = static_cast<int>(1 + seed % 20);
        std::vector<std::string> lines = interleaved(seed, sequences, 2000);
        // Descending, taken as it is.
        if (seed % 7 == 0) std::sort(lines.rbegin(), lines.rend(), by_line_order);
        const bool bare_last = seed % 2 == 0 && !lines.back().empty();
        SCOPED_TRACE("seed " + std::to_string(seed) + ", sequences " + std::to_string(sequences));
        const WordTable table = make_word_table(testing::join_lines(lines, bare_last));
        const Sorted sorted = pile_sort(table);
        ASSERT_TRUE(sorted.taken);
        // With line feeds, so that the tab sorts below the end of a line as the line order has it.
        std::vector<std::string> expected, got;
        for (const std::string& line : lines)
            expected.push_back(line + '\n');
        for (const std::uint32_t line : sorted.lines)
            got.push_back(expected[line]);
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(got, expected);
        for (std::size_t j = 1; j < got.size(); ++j)
            ASSERT_EQ(sorted.equal[j], got[j] == got[j - 1]) << "position " << j;
    }
}

// A descending sequence of k lines needs k piles; one line at the end keeps the list from being
// taken as it is.
TEST(PileSort, GivesUpBeyondTheMostPiles) {
    for (const std::size_t piles : {kMaxPiles, kMaxPiles + 1}) {
        std::vector<std::string> lines;
        for (std::size_t k = piles; k-- > 0;)
            lines.push_back("w" + std::to_string(1000 + k));
        lines.push_back("zz");
        const WordTable table = make_word_table(testing::join_lines(lines, false));
        EXPECT_EQ(pile_sort(table).taken, piles <= kMaxPiles) << piles << " piles";
    }
}

}  // namespace
}  // namespace wordperm
