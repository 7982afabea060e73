// The word table: what a line is, N, and where each line starts, for every way a file can end.
#include "list/word_table.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/memory_io.h"
#include "support/word_tables.h"

namespace wordperm {
namespace {

using testing::MemoryReader;

std::vector<std::uint64_t> starts_of(const WordTable& table) {
    std::vector<std::uint64_t> starts;
    for (std::uint64_t k = 0; k <= table.line_count; ++k)
        starts.push_back(line_offset(table, k));
    return starts;
}

struct TableCase {
    const char* name;
    std::string contents;
    std::uint32_t n;
    std::vector<std::uint64_t> starts;  // all N + 1 entries
};

TEST(WordTable, LinesAndStartsOfEachExample) {
    const TableCase cases[] = {
        {"bare line", "a", 1, {0, 1}},
        {"one line", "a\n", 1, {0, 2}},
        {"bare second line", "a\nb", 2, {0, 2, 3}},
        {"two lines", "a\nb\n", 2, {0, 2, 4}},
        {"empty second line", "a\n\n", 2, {0, 2, 3}},
        {"lone line feed", "\n", 1, {0, 1}},
        {"carriage return stays in the line", "a\r\nb", 2, {0, 3, 4}},
        {"NUL is an ordinary byte", std::string("a\0b\n\0", 5), 2, {0, 4, 5}},
        {"empty file", "", 0, {0}},
    };
    for (const TableCase& c : cases) {
        for (bool wide : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (wide ? ", 64-bit starts" : ""));
            const WordTable table = make_word_table(c.contents, {.wide_offsets = wide});
            EXPECT_EQ(table.line_count, c.n);
            EXPECT_EQ(starts_of(table), c.starts);
            EXPECT_EQ(table.line_start == nullptr, wide);
            EXPECT_EQ(static_cast<std::size_t>(table.end - table.data), c.contents.size());
            EXPECT_EQ(last_line_is_bare(table), !c.contents.empty() && c.contents.back() != '\n');
            // The tail reads as a line feed after the contents, then zeros.
            EXPECT_EQ(std::string(table.end, table.end + kTailBytes),
                      '\n' + std::string(kTailBytes - 1, '\0'));
        }
    }
}

// Files of every length across the 16- and 64-byte pieces the scan reads at once, line feeds
// dense and sparse, against the starts found one byte at a time.
TEST(WordTable, StartsMatchAPlainScanAtEveryLength) {
    std::mt19937_64 random(9);
    for (std::size_t length = 0; length <= 300; ++length) {
        for (const std::uint64_t one_in : {2u, 17u}) {
            std::string contents(length, 'a');
            for (char& byte : contents)
                if (random() % one_in == 0) byte = '\n';
            std::vector<std::uint64_t> starts{0};
            for (std::size_t i = 0; i < length; ++i)
                if (contents[i] == '\n' && i + 1 < length) starts.push_back(i + 1);
            if (length != 0) starts.push_back(length);
            SCOPED_TRACE("length " + std::to_string(length) + ", one in " + std::to_string(one_in));
            const WordTable table = make_word_table(contents);
            EXPECT_EQ(starts_of(table), starts);
        }
    }
}

TEST(WordTable, UnsizedInputReadInSmallBlocksGivesTheSameTable) {
    std::string contents;
    for (int i = 0; i < 5000; ++i)
        contents += "word" + std::to_string(i * 7919 % 1000) + "\n";
    contents += "bare";
    WordTable whole = make_word_table(contents);
    for (std::size_t block : {std::size_t{1}, std::size_t{3}, std::size_t{65536}}) {
        SCOPED_TRACE(block);
        MemoryReader pipe(contents, block, /*sized=*/false);
        WordTable table;
        LoadFailure failure;
        ASSERT_TRUE(load_word_table(table, pipe, failure));
        EXPECT_EQ(std::string(table.data, table.end), contents);
        EXPECT_EQ(starts_of(table), starts_of(whole));
    }
}

TEST(WordTable, ReadErrorIsNotTakenForTheEnd) {
    MemoryReader reader("abc\ndef\n", 2);
    reader.fail_at_offset = 4;
    WordTable table;
    LoadFailure failure;
    EXPECT_FALSE(load_word_table(table, reader, failure));
    EXPECT_EQ(failure.error, LoadError::read_failed);
}

// Claims a size of 2^40 bytes without holding them, so nothing large is ever allocated.
class HugeFile final : public ByteReader {
  public:
    HugeFile() : ByteReader("huge") {}
    std::ptrdiff_t read(std::uint8_t*, std::size_t) override { return -1; }
    std::optional<std::uint64_t> known_size() const override { return std::uint64_t{1} << 40; }
    std::string error() const override { return "unexpected read"; }
};

TEST(WordTable, FileLargerThanMemoryIsRefusedBeforeReading) {
    HugeFile huge;
    WordTable table;
    LoadFailure failure;
    EXPECT_FALSE(load_word_table(table, huge, failure, {.memory_bytes = std::uint64_t{1} << 30}));
    EXPECT_EQ(failure.error, LoadError::out_of_memory);
    EXPECT_EQ(failure.needed_bytes, (std::uint64_t{1} << 40) + 1 + kTailBytes);
    EXPECT_EQ(failure.available_bytes, std::uint64_t{1} << 30);
}

// Ten lines in 20 bytes: the starts and the caller's arrays, not the contents, are what the
// limits below refuse; one line more than allowed is refused whatever the memory.
TEST(WordTable, LinesBeyondTheLimitsAreRefusedBeforeTheirArrays) {
    std::string contents;
    for (int i = 0; i < 10; ++i)
        contents += "a\n";
    struct Case {
        const char* name;
        TableLimits limits;
        LoadError error;
        std::uint64_t needed_bytes;
    };
    const Case cases[] = {
        {"one line too many", {.max_lines = 9}, LoadError::too_many_lines, 0},
        {"exactly the most lines", {.max_lines = 10}, LoadError::none, 0},
        {"starts and arrays beyond memory",
         {.caller_bytes_per_line = std::uint64_t{1} << 20, .memory_bytes = std::uint64_t{1} << 20},
         LoadError::out_of_memory,
         11 * 4 + 10 * (std::uint64_t{1} << 20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryReader reader(contents);
        WordTable table;
        LoadFailure failure;
        EXPECT_EQ(load_word_table(table, reader, failure, c.limits), c.error == LoadError::none);
        EXPECT_EQ(failure.error, c.error);
        EXPECT_EQ(failure.needed_bytes, c.needed_bytes);
        EXPECT_EQ(table.line_start == nullptr, c.error != LoadError::none);
    }
}

}  // namespace
}  // namespace wordperm
