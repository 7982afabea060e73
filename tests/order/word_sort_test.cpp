// Tests of the line order and the word sort: worked examples value for value (the order of
// equal lines is part of the output), and seeded random inputs against plain models of the
// order.
#include "order/word_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "order/sort_procedure.h"
#include "support/identity.h"
#include "support/lines.h"
#include "support/word_sorted.h"
#include "support/word_tables.h"

namespace wordperm {
namespace {

using testing::identity;
using testing::join_lines;
using testing::word_sorted;

using Perm = std::vector<std::uint32_t>;

Perm sorted_perm(std::string_view contents) {
    return word_sorted(make_word_table(contents));
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

// The bytes of line k, its line feed included when it has one.
std::string line_text(const WordTable& table, std::uint32_t k) {
    const std::uint8_t* first = table.data + line_offset(table, k);
    const std::uint8_t* last = first;
    while (last != table.end && *last != '\n')
        ++last;
    if (last != table.end) ++last;
    return std::string(first, last);
}

// The line order stated the other way round from the byte walk: plain unsigned string order,
// except that a bare last line equals every line that starts with its bytes.
int model_compare(const WordTable& table, std::uint32_t a, std::uint32_t b) {
    const std::string text_a = line_text(table, a);
    const std::string text_b = line_text(table, b);
    const bool a_bare = text_a.empty() || text_a.back() != '\n';
    const bool b_bare = text_b.empty() || text_b.back() != '\n';
    if (a_bare && text_b.starts_with(text_a)) return 0;
    if (b_bare && text_a.starts_with(text_b)) return 0;
    return sign(text_a.compare(text_b));
}

// ---------------------------------------------------------------------------------------------
// line_compare

struct CompareCase {
    const char* name;
    std::string contents;
    std::uint32_t a;
    std::uint32_t b;
    int expected;  // sign of line_compare(a, b)
};

TEST(LineCompareTest, OrdersByUnsignedBytesWithBareLastLineRule) {
    const std::vector<CompareCase> cases = {
        {"BareLastLineEqualsSameTextWithLineFeed", "ab\nab", 0, 1, 0},
        {"BareLastLineEqualsLongerLineStartingWithIt", "abc\nab", 0, 1, 0},
        {"BareLastLineExtendingEarlierLineIsGreater", "ab\nabc", 1, 0, 1},
        {"BareLastLineDifferingInsideIsOrdered", "ab\naa", 1, 0, -1},
        {"TabAfterCommonStartSortsBeforeLineFeed", "a\na\tb\n", 1, 0, -1},
        {"NulAfterCommonStartSortsBeforeLineFeed", std::string("a\na\0\n", 5), 1, 0, -1},
        {"ByteAboveTenAfterCommonStartSortsAfterLineFeed", "a\na\x0b\n", 1, 0, 1},
        {"ByteAbove127IsUnsignedAndLarger", "\xe9\nz\n", 0, 1, 1},
        {"Byte255IsLargest", "\xff\n\xfe\n", 0, 1, 1},
        {"EmptyLineIsSmallerThanLetter", "a\n\n", 1, 0, -1},
        {"TabLineIsSmallerThanEmptyLine", "\t\n\n", 0, 1, -1},
        {"CarriageReturnIsAnOrdinaryByte", "a\r\na\n", 0, 1, 1},
        {"EqualLinesWithLineFeedsAreEqual", "abc\nabc\n", 0, 1, 0},
        {"LineEqualsItself", "xyz\n", 0, 0, 0},
        {"BareLineEqualsItself", "xyz\nx", 1, 1, 0},
        {"EmptyBareLastLineAfterLineFeedIsNotALine", "b\na\n", 1, 0, -1},
        {"FirstDifferenceDecidesNotLength", "b\naaaa\n", 0, 1, 1},
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE(c.name);
        const WordTable table = make_word_table(c.contents);
        ASSERT_LT(std::max(c.a, c.b), table.line_count);
        EXPECT_EQ(sign(line_compare(table, c.a, c.b)), c.expected);
        EXPECT_EQ(sign(line_compare(table, c.b, c.a)), -c.expected);
    }
}

TEST(LineCompareTest, MatchesStringModelOnRandomTables) {
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937_64 random(seed);
        // Few distinct short lines over a small alphabet, so prefixes and repeats are common.
        const std::string alphabet = std::string("\0\t\x0b\rab\xe9\xff", 8);
        std::vector<std::string> lines(1 + random() % 12);
        for (std::string& line : lines) {
            line.resize(random() % 4);
            for (char& byte : line)
                byte = alphabet[random() % alphabet.size()];
        }
        const WordTable table = make_word_table(join_lines(lines, random() % 2 == 0));
        for (std::uint32_t a = 0; a < table.line_count; ++a) {
            for (std::uint32_t b = 0; b < table.line_count; ++b) {
                ASSERT_EQ(sign(line_compare(table, a, b)), model_compare(table, a, b))
                    << "a " << a << ", b " << b;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// selection_pass

TEST(SelectionPassTest, PearAppleFigPassesLeaveEachIntermediateState) {
    const WordTable table = make_word_table("pear\napple\nfig\napple\nfig\nap");
    const auto compare = [&table](std::uint32_t a, std::uint32_t b) {
        return line_compare(table, a, b);
    };
    Perm perm = identity(6);
    const std::vector<Perm> states = {
        {5, 1, 2, 3, 4, 0}, {5, 1, 4, 3, 2, 0}, {5, 1, 3, 4, 2, 0},
        {3, 1, 5, 4, 2, 0}, {1, 3, 5, 4, 2, 0},
    };
    for (std::size_t pass = 0; pass < states.size(); ++pass) {
        SCOPED_TRACE("pass " + std::to_string(pass + 1));
        selection_pass(std::span<std::uint32_t>(perm).first(perm.size() - pass), compare);
        EXPECT_EQ(perm, states[pass]);
    }
}

// ---------------------------------------------------------------------------------------------
// word_sort: worked examples

std::string repeated_lines(const std::string& line, std::uint32_t n) {
    std::string contents;
    for (std::uint32_t x = 0; x < n; ++x)
        contents += line;
    return contents;
}

struct SortCase {
    std::string name;
    std::string contents;
    Perm expected;
};

std::vector<SortCase> worked_sort_cases() {
    std::vector<SortCase> cases = {
        {"EmptyFileLeavesEmptyPerm", "", {}},
        {"OneLineLeftAlone", "a\n", {0}},
        {"OneBareLineLeftAlone", "a", {0}},
        {"TwoEqualLinesSwapBecauseFirstMaximumMoves", "a\na\n", {1, 0}},
        {"TwoLinesGreaterFirstSwap", "b\na\n", {1, 0}},
        {"TwoLinesInOrderStay", "a\nb\n", {0, 1}},
        {"NineIncreasingLinesStay", "a\nb\nc\nd\ne\nf\ng\nh\ni\n", identity(9)},
        {"NineDecreasingLinesReverse", "i\nh\ng\nf\ne\nd\nc\nb\na\n", {8, 7, 6, 5, 4, 3, 2, 1, 0}},
        {"BareLastLineEqualToEarlierText", "ab\nab", {1, 0}},
        {"BareLastLineProperStartOfEarlier", "abc\nab", {1, 0}},
        {"BareLastLineExtendingEarlier", "ab\nabc", {0, 1}},
        {"TabMakesLineSmallerThanShorterLine", "a\na\tb\n", {1, 0}},
        {"Byte233AfterAllAscii", "\xe9\nz\n", {1, 0}},
        {"EmptyLineBeforeLetters", "a\n\n", {1, 0}},
        {"PearAppleFigSelection", "pear\napple\nfig\napple\nfig\nap", {1, 3, 5, 4, 2, 0}},
        {"NineLinesPartitionWithMovingPivot",
         "b\nb\nc\nd\na\na\nd\nc\nb\n",
         {5, 4, 1, 0, 8, 7, 2, 6, 3}},
        {"ThirteenLinesWithEqualLinesAndBareLastLine",
         "m\nb\nm\na\nz\nm\nb\na\nm\nc\nm\nb\nm",
         {7, 3, 1, 11, 6, 9, 2, 8, 5, 0, 10, 12, 4}},
    };
    // Traced by hand: the bare line a is the pivot and equals ab, abb and aab, so aab stays
    // final between the parts while abb, in the left part, ends before it.
    cases.push_back({"BareLastLinePivotLeavesLinesStartingWithItUnsorted",
                     "ab\nabb\nab\n\nbba\n\nbaa\naab\na",
                     {5, 3, 2, 8, 0, 1, 7, 6, 4}});
    // Traced by hand: the downward scan stops at the first line not greater than the pivot a
    // (position 6), the exchange brings that a to position 1, and the trim then walks over the
    // pivot and three lines equal to it down to position 0, leaving them final.
    cases.push_back({"DownwardScanStopsAtLineEqualToPivot",
                     "a\nc\na\na\nc\nc\na\nb\na\n",
                     {0, 6, 2, 3, 8, 7, 1, 4, 5}});
    for (std::uint32_t n = 2; n <= 8; ++n) {
        Perm rotated = identity(n);
        std::rotate(rotated.begin(), rotated.begin() + 1, rotated.end());
        cases.push_back({"AllEqualSelectionMovesFirstToEnd" + std::to_string(n),
                         repeated_lines("w\n", n), rotated});
    }
    for (std::uint32_t n : {9u, 10u, 17u, 100u}) {
        cases.push_back({"AllEqualOnePartitionKeepsIdentity" + std::to_string(n),
                         repeated_lines("w\n", n), identity(n)});
    }
    return cases;
}

TEST(WordSortTest, WorkedExamplesGiveExactPermutation) {
    for (const SortCase& c : worked_sort_cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sorted_perm(c.contents), c.expected);
    }
}

// ---------------------------------------------------------------------------------------------
// word_sort: seeded random inputs

struct RandomShape {
    std::uint32_t max_lines;
    std::uint32_t max_length;
    std::string alphabet;  // empty: every byte value except the line feed
    bool allow_bare_last;
};

std::vector<std::string> random_lines(std::mt19937_64& random, const RandomShape& shape) {
    std::vector<std::string> lines(random() % (shape.max_lines + 1));
    for (std::string& line : lines) {
        line.resize(random() % (shape.max_length + 1));
        for (char& byte : line) {
            if (shape.alphabet.empty()) {
                const auto value = static_cast<unsigned char>(random() % 255);
                byte = static_cast<char>(value >= '\n' ? value + 1 : value);
            } else {
                byte = shape.alphabet[random() % shape.alphabet.size()];
            }
        }
    }
    return lines;
}

// The order that the sort can promise. A bare last line equals every line starting with its
// bytes, while those lines differ among themselves, so a partition around the bare line may leave
// them in any order between them; they form one contiguous block of the byte order, though, so
// taken as one class (bare line included) the order is a weak order that the output must follow.
class ClassOrder {
  public:
    explicit ClassOrder(const WordTable& table) : table_(table) {
        if (!last_line_is_bare(table)) return;
        bare_ = table.line_count - 1;
        const std::string bare_text = line_text(table, bare_);
        for (std::uint32_t k = 0; k < table.line_count; ++k)
            in_bare_class_.push_back(line_text(table, k).starts_with(bare_text));
    }

    int compare(std::uint32_t a, std::uint32_t b) const {
        if (in_bare_class_.empty()) return line_compare(table_, a, b);
        const bool a_in = in_bare_class_[a];
        const bool b_in = in_bare_class_[b];
        if (a_in && b_in) return 0;
        return line_compare(table_, a_in ? bare_ : a, b_in ? bare_ : b);
    }

  private:
    const WordTable& table_;
    std::uint32_t bare_ = 0;
    std::vector<bool> in_bare_class_;
};

void expect_permutation(const Perm& perm) {
    Perm seen = perm;
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, identity(static_cast<std::uint32_t>(perm.size())));
}

TEST(WordSortTest, RandomInputsStayPermutationsInNonDecreasingClassOrder) {
    const std::vector<RandomShape> shapes = {
        {12, 3, "ab", true},                            // many duplicates, selection only
        {60, 3, std::string("\0\tab\r\xe9", 6), true},  // duplicates, low bytes, prefixes
        {300, 6, "", true},                             // every byte value
        {300, 2, "xy", true},                           // long runs of equal lines
        {300, 0, "", true},                             // empty lines only
    };
    for (std::size_t s = 0; s < shapes.size(); ++s) {
        for (std::uint64_t seed = 1; seed <= 60; ++seed) {
            SCOPED_TRACE("shape " + std::to_string(s) + ", seed " + std::to_string(seed));
            std::mt19937_64 random(seed * 1000 + s);
            const std::vector<std::string> lines = random_lines(random, shapes[s]);
            const bool bare_last = shapes[s].allow_bare_last && random() % 2 == 0;
            const WordTable table = make_word_table(join_lines(lines, bare_last));
            const Perm perm = word_sorted(table);
            expect_permutation(perm);
            const ClassOrder order(table);
            for (std::size_t x = 0; x + 1 < perm.size(); ++x) {
                ASSERT_LE(order.compare(perm[x], perm[x + 1]), 0) << "position " << x;
            }
        }
    }
}

TEST(WordSortTest, LinesWithLineFeedsAndNoLowBytesMatchPlainByteSort) {
    for (std::uint64_t seed = 1; seed <= 100; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937_64 random(seed);
        RandomShape shape{400, 5, "", false};
        std::vector<std::string> lines = random_lines(random, shape);
        const bool few_letters = seed % 2 == 0;
        for (std::string& line : lines) {
            for (char& byte : line) {
                // Above the line feed only; half the seeds squeeze the bytes into a few letters.
                const auto value = static_cast<unsigned char>(byte);
                byte = few_letters ? static_cast<char>('a' + value % 3)
                                   : static_cast<char>(value < 11 ? value + 11 : value);
            }
        }
        const WordTable table = make_word_table(join_lines(lines, false));
        const Perm perm = word_sorted(table);

        std::vector<std::string> by_sort;
        for (std::uint32_t index : perm)
            by_sort.push_back(lines[index]);
        std::sort(lines.begin(), lines.end());
        EXPECT_EQ(by_sort, lines);
    }
}

// Smaller part first keeps at most floor(log2(N / 9)) + 1 ranges pending, 29 below 2^32: the
// stack's 30 entries hold. Ascending distinct lines split evenly and reach the bound; the others
// are the mixtures a word list holds.
TEST(WordSortTest, PendingRangesStayWithinTheBoundAndLargeInputsSort) {
    std::mt19937_64 random(20240601);
    std::vector<std::string> mixture(100000);
    for (std::size_t x = 0; x < mixture.size(); ++x) {
        // Random words, runs of one repeated word, and an ascending stretch.
        if (x % 7 == 0) {
            mixture[x] = "repeat";
        } else if (x >= 60000 && x < 70000) {
            mixture[x] = "k" + std::to_string(100000 + x);
        } else {
            mixture[x].resize(1 + random() % 8);
            for (char& byte : mixture[x])
                byte = static_cast<char>('a' + random() % 26);
        }
    }
    std::vector<std::string> ascending(100000);
    for (std::size_t x = 0; x < ascending.size(); ++x)
        ascending[x] = std::to_string(1000000 + x);
    const struct {
        const char* name;
        std::vector<std::string> lines;
        bool reaches_bound;
    } cases[] = {
        {"Mixture", mixture, false},
        {"AscendingDistinct", ascending, true},
        {"DescendingDistinct", {ascending.rbegin(), ascending.rend()}, false},
        {"AllEqual", std::vector<std::string>(100000, "same"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WordTable table = make_word_table(join_lines(c.lines, false));
        const auto n = static_cast<std::uint32_t>(c.lines.size());
        Perm perm = identity(n);
        const std::uint32_t peak = sort_procedure(
            std::span<std::uint32_t>(perm),
            [&table](std::uint32_t a, std::uint32_t b) { return line_compare(table, a, b); },
            sort_depth_limit(n), [](std::span<std::uint32_t>) { FAIL() << "depth limit reached"; });
        const auto bound = static_cast<std::uint32_t>(std::bit_width(n / 9));
        EXPECT_LE(peak, bound);
        if (c.reaches_bound) {
            EXPECT_EQ(peak, bound);
        }

        perm = word_sorted(table);
        expect_permutation(perm);
        for (std::size_t x = 0; x + 1 < perm.size(); ++x) {
            ASSERT_LE(c.lines[perm[x]], c.lines[perm[x + 1]]) << "position " << x;
        }
    }
    // These peaks are far below the stack's size: what must fit is the bound at the most lines.
    EXPECT_LT(static_cast<std::uint32_t>(std::bit_width(kMaxLines / 9)), kPendingCapacity);
}

}  // namespace
}  // namespace wordperm
