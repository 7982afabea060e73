// The two coder bodies end to end: the worked examples byte for byte, round trips of special word
// files (random ones of every kind are the plain twin's), resumption at every byte, and code files
// that do not fit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <string>

#include "perm/sorted_list_check.h"
#include "support/coding.h"
#include "support/lines.h"
#include "support/random_words.h"
#include "support/word_tables.h"

namespace wordperm {
namespace {

using testing::closed_lines;
using testing::decode_in_memory;
using testing::encode;
using testing::hex;
using testing::random_word_file;
using testing::sorted_closed_lines;
using testing::WordFileShape;

std::string numbered_lines(int n, bool descending) {
    std::string file;
    for (int i = 0; i < n; ++i) {
        int k = descending ? n - 1 - i : i;
        file += "w" + std::string(9 - std::to_string(k).size(), '0') + std::to_string(k) + "\n";
    }
    return file;
}

struct EncodeCase {
    const char* words;
    const char* sorted;
    const char* code;  // hex
};

// The sorted list and the code byte for byte, and the code decoding back to the word file. The
// word file's bare last line gets a line feed when it does not sort last, and the sorted list
// then ends without one; the order of the lines is the sort's either way.
TEST(PermutationCoder, WorkedExamplesByteForByteBothWays) {
    const EncodeCase cases[] = {
        {"", "", ""},
        {"a\n", "a\n", ""},
        {"a\nb\n", "a\nb\n", "40"},
        {"b\na\n", "a\nb\n", ""},
        {"a\nb\nc\n", "a\nb\nc\n", "15"},
        {"a\nc\nb\n", "a\nb\nc\n", "40"},
        {"b\na\nc\n", "a\nb\nc\n", "6A"},
        {"b\nc\na\n", "a\nb\nc\n", "95"},
        {"c\na\nb\n", "a\nb\nc\n", "C0"},
        {"c\nb\na\n", "a\nb\nc\n", ""},
        {"x\nx\nx\n", "x\nx\nx\n", "C0"},
        {"0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n", "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n", "00 00 02"},
        {"\n", "\n", ""},
        {"b\nc\na", "a\nb\nc", "95"},
        {"a\nb\nc", "a\nb\nc", "15"},
        {"c\na\nb", "a\nb\nc", "C0"},
        {"a", "a", ""},
        {"ab\nab", "ab\nab", ""},
        {"abc\nab", "ab\nabc", ""},
        // An empty line sorting last would vanish without its line feed: the bare line goes last.
        {"\n\t", "\n\t", "40"},
        {"\t\n\n\x05", "\t\n\n\x05", "15"},
        {"\n\x01\n\t", "\x01\n\n\t", "6A"},
    };
    for (const EncodeCase& c : cases) {
        SCOPED_TRACE(c.words);
        auto encoded = encode(c.words);
        EXPECT_EQ(encoded.sorted, c.sorted);
        EXPECT_EQ(hex(encoded.code), c.code);
        auto decoded = decode_in_memory(encoded.sorted, encoded.code);
        EXPECT_EQ(decoded.status, ExitStatus::success);
        EXPECT_EQ(decoded.restored, c.words);
    }
}

TEST(PermutationEncoder, ProgressMessagesEvenWithoutLines) {
    EXPECT_EQ(encode("").console, "Sorting 0 words...\b\b Done\n");
    EXPECT_EQ(encode("a\n").console, "Sorting 1 words...\b\b Done\n");
    EXPECT_EQ(encode("b\na\nc\n").console, "Sorting 3 words...\b\b Done\n");
}

TEST(PermutationEncoder, StrictlyDescendingGivesEmptyCode) {
    for (int n : {2, 22, 23, 1000, 20000, 1000000}) {
        SCOPED_TRACE(n);
        const std::string words = numbered_lines(n, true);
        const auto encoded = encode(words);
        EXPECT_EQ(encoded.code, "");
        EXPECT_TRUE(decode_in_memory(encoded.sorted, encoded.code).restored == words);
    }
}

// The encoder writes one byte per shift and at most two more (none without a symbol): a code
// file one byte longer is refused, unread beyond what the decoder needs.
TEST(PermutationDecoder, CodeLongerThanAnyForTheListIsRefused) {
    struct Case {
        std::string sorted;
        std::string code;
        ExitStatus status;
        std::string restored;
    };
    const Case cases[] = {
        {"", "", ExitStatus::success, ""},
        {"", std::string(1, '\0'), ExitStatus::code_misfit, ""},
        {"only\n", "", ExitStatus::success, "only\n"},
        {"only\n", "\x12", ExitStatus::code_misfit, ""},
        {"a\nb\nc\n", "\x15", ExitStatus::success, "a\nb\nc\n"},
        {"a\nb\nc\n", std::string("\x15\x00", 2), ExitStatus::success, "a\nb\nc\n"},
        {"a\nb\nc\n", std::string("\x15\x00\x00", 3), ExitStatus::code_misfit, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(hex(c.sorted + "|" + c.code));
        auto decoded = decode_in_memory(c.sorted, c.code);
        EXPECT_EQ(decoded.status, c.status);
        EXPECT_EQ(decoded.restored, c.restored);
    }
    auto decoded = decode_in_memory("", "0123456789", {.in_bytes = 4});
    EXPECT_EQ(decoded.status, ExitStatus::code_misfit);
    EXPECT_EQ(decoded.code_reads, 2u);  // 8 bytes in blocks of 4, not a third block
}

TEST(PermutationDecoder, AllOnesCodeTakesTheLastLineEachTime) {
    std::string sorted = numbered_lines(300, false);
    std::string descending = numbered_lines(300, true);
    for (std::size_t ones : {0u, 1u, 5u, 40u, 250u}) {
        SCOPED_TRACE(ones);
        EXPECT_EQ(decode_in_memory(sorted, std::string(ones, '\xFF')).restored, descending);
    }
    // The code of 300 lines takes about 255 bytes: 400 cannot be one.
    EXPECT_EQ(decode_in_memory(sorted, std::string(400, '\xFF')).status, ExitStatus::code_misfit);
}

// Lists in the shapes the encoder writes pass; others name a line that sorts before the one
// above it. b is the bare last line of the word file; E the lines that start with it.
TEST(SortedListCheck, AcceptsTheEncodersShapesOnly) {
    struct Case {
        const char* what;
        std::string list;
        std::optional<std::uint64_t> line;  // the index of the line reported
    };
    const Case cases[] = {
        {"in order", "a\nb\nb\nc\n", std::nullopt},
        {"out of order", "a\nc\nb\n", 2},
        {"bytes below the line feed sort first", "a\x05\na\n", std::nullopt},
        {"and not after", "a\na\x05\n", 1},
        {"bare, in order", "a\nb\nc", std::nullopt},
        {"bare, out of order", "b\na", 1},
        {"b and E in an order of their own", "a\nbz\nb\nba\nc", std::nullopt},
        {"E before b", "bz\nba\nb", std::nullopt},
        {"E out of order, b missing", "bz\nba\nc", 1},
        {"E out of order, not a bare list", "bz\nb\nba\n", 1},
        {"two runs out of order, no common start", "bz\nba\nb\ncz\nca", 4},
        {"b moved after the empty line that sorts last", "\x01\n\n\t", std::nullopt},
        {"and E before them out of order", "\tb\n\ta\n\n\t", std::nullopt},
        {"but only E", "\x02\n\x01\n\n\t", 1},
        {"a last line below the one above", "a\n\x05", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(first_line_out_of_order(make_word_table(c.list)), c.line);
    }
}

// Every list the encoder writes passes the check. The lists that test it are those of small word
// files whose bare last line starts many of the others, with empty lines and bytes below the line
// feed: their sorted lists leave lines out of byte order, and move the bare line after an empty
// line that sorts last. Both are counted, so that the test cannot pass without meeting them.
TEST(SortedListCheck, PassesEveryListTheEncoderWrites) {
    std::mt19937_64 random(16);
    const std::string alphabets[] = {{'\x01', '\x05', 'a', 'b'}, {'\x01', '\x05'}};
    const auto word = [&](const std::string& alphabet, std::size_t most) {
        std::string bytes(random() % (most + 1), ' ');
        for (char& byte : bytes)
            byte = alphabet[random() % alphabet.size()];
        return bytes;
    };
    int out_of_byte_order = 0;
    int moved_last = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string& alphabet = alphabets[round % 2];
        const std::string bare = alphabet[random() % alphabet.size()] + word(alphabet, 1);
        std::string words;
        for (std::uint64_t n = 1 + random() % 30; n != 0; --n)
            words += (random() % 2 ? bare : std::string()) + word(alphabet, 2) + "\n";
        words += bare;
        SCOPED_TRACE(hex(words));
        const auto encoded = encode(words);
        ASSERT_EQ(first_line_out_of_order(make_word_table(encoded.sorted)), std::nullopt)
            << hex(encoded.sorted);
        ASSERT_EQ(decode_in_memory(encoded.sorted, encoded.code).restored, words);
        const std::vector<std::string> lines = closed_lines(encoded.sorted);
        out_of_byte_order += !std::is_sorted(lines.begin(), lines.end());
        moved_last += lines.size() >= 2 && lines[lines.size() - 2] == "\n" &&
                      lines.back() < lines[lines.size() - 2];
    }
    EXPECT_GT(out_of_byte_order, 0);
    EXPECT_GT(moved_last, 0);
}

void expect_round_trip(const std::string& words) {
    auto encoded = encode(words);
    auto decoded = decode_in_memory(encoded.sorted, encoded.code);
    ASSERT_EQ(decoded.status, ExitStatus::success);
    ASSERT_EQ(decoded.restored, words);
    auto again = encode(words);
    ASSERT_EQ(again.sorted, encoded.sorted);
    ASSERT_EQ(again.code, encoded.code);
}

TEST(RoundTrip, SpecialOrdersAndLines) {
    expect_round_trip(numbered_lines(1000, false));
    expect_round_trip(std::string(1000, '\n'));
    expect_round_trip("x\nx\nx\nx\nx\nx\nx\nx\nx\nx\nx\nx");
    expect_round_trip("a\r\nb\nb\r\n\ta\n\t\n");
    std::string long_lines = std::string(70000, 'z') + "\n" + std::string(140000, 'a') + "\nm\n" +
                             std::string(65536, 'q');
    expect_round_trip(long_lines);
}

// log2(N!) / 8 bytes, rounded up, is the least any code of N lines can take on average.
TEST(RoundTrip, CodeLengthIsWithinTwoBytesOfTheBound) {
    for (std::uint32_t n : {2u, 3u, 10u, 100u, 1000u, 12345u, 100000u}) {
        SCOPED_TRACE(n);
        WordFileShape shape{.lines = n, .alphabet = 26, .max_length = 12};
        auto encoded = encode(random_word_file(n, shape));
        double bytes = std::lgamma(n + 1.0) / std::log(2.0) / 8;
        EXPECT_LE(encoded.code.size(), static_cast<std::size_t>(std::ceil(bytes)) + 2);
        EXPECT_GE(encoded.code.size() + 8, static_cast<std::size_t>(std::floor(bytes)));
        // Trailing 0xFF bytes are left out: the decoder makes them up itself.
        EXPECT_TRUE(encoded.code.empty() || encoded.code.back() != '\xFF');
    }
}

TEST(RoundTrip, SameBytesWhateverTheBlockSizes) {
    WordFileShape shape{.lines = 400, .alphabet = 4, .max_length = 5, .final_line_feed = false};
    std::string words = random_word_file(99, shape) + "\n" + std::string(3000, 'k');
    auto reference = encode(words);
    for (std::size_t block : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{4096}}) {
        SCOPED_TRACE(block);
        auto encoded = encode(words, {.out_bytes = block});
        EXPECT_EQ(encoded.code, reference.code);
        EXPECT_EQ(encoded.sorted, reference.sorted);
        auto decoded = decode_in_memory(reference.sorted, reference.code,
                                        {.in_bytes = block, .out_bytes = block});
        EXPECT_EQ(decoded.restored, words);
    }
}

// Lines all ending with a line feed and holding no byte below 10 sort as plain byte strings.
TEST(RoundTrip, SortedListIsInPlainByteOrder) {
    for (std::uint64_t seed : {5u, 6u, 7u}) {
        SCOPED_TRACE(seed);
        WordFileShape shape{.lines = 3000, .alphabet = 26, .max_length = 6, .distinct = 500};
        std::string words = random_word_file(seed, shape);
        std::string expected;
        for (const std::string& line : sorted_closed_lines(words))
            expected += line;
        EXPECT_EQ(encode(words).sorted, expected);
    }
}

// A code file that was changed, cut or made for another list either decodes to some order of
// the same lines or is refused; it never reads outside the list.
TEST(CorruptCode, EndsWithSuccessOrMisfit) {
    WordFileShape shape{.lines = 300, .alphabet = 26, .max_length = 6, .distinct = 100};
    std::string words = random_word_file(11, shape);
    auto encoded = encode(words);
    std::string other_sorted = encode(random_word_file(12, shape)).sorted;
    std::string smaller_sorted = encode(random_word_file(13, {.lines = 40})).sorted;
    std::mt19937_64 random(2024);
    auto check = [&](const std::string& sorted, const std::string& code) {
        auto decoded = decode_in_memory(sorted, code);
        ASSERT_TRUE(decoded.status == ExitStatus::success ||
                    decoded.status == ExitStatus::code_misfit);
        if (decoded.status == ExitStatus::success) {
            ASSERT_EQ(sorted_closed_lines(decoded.restored), sorted_closed_lines(sorted));
        }
    };
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        std::string changed = encoded.code;
        changed[random() % changed.size()] ^= static_cast<char>(1 + random() % 255);
        check(encoded.sorted, changed);
        check(encoded.sorted, encoded.code.substr(0, random() % encoded.code.size()));
        check(encoded.sorted,
              encoded.code + std::string(1 + random() % 9, static_cast<char>(random())));
    }
    check(other_sorted, encoded.code);
    check(smaller_sorted, encoded.code);
    check(encoded.sorted + encoded.sorted, encoded.code);
}

// A code value on the edge between two symbols' shares belongs to neither. For four lines the
// first symbol's edges are k * 2^62: the codes 00.., 40 00.., 80 00.. and C0 00.. sit on them.
TEST(CorruptCode, ValueOnAShareEdgeIsRefused) {
    for (char top : {'\x00', '\x40', '\x80', '\xC0'}) {
        SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(top)));
        std::string code = top + std::string(12, '\0');
        auto decoded = decode_in_memory("a\nb\nc\nd\n", code);
        EXPECT_EQ(decoded.status, ExitStatus::code_misfit);
        EXPECT_EQ(decoded.restored, "");
    }
}

}  // namespace
}  // namespace wordperm
