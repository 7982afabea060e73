// The encoder's output pinned byte for byte: golden files made once by the encoder, committed,
// and compared on every build, machine and lane, since the code file is a format and may not
// depend on any of them. The plain twins move with the product when both share a step; these
// do not move at all.
//
// Each list comes from support/golden_lists.h. An output of up to 65,537 bytes is committed as
// tests/golden/<list>.sorted or .code; a larger one by its SHA-256 in tests/golden/SHA256SUMS.
// To make them again, on purpose only, after a change that is meant to change the format:
//     WORDPERM_WRITE_GOLDEN=1 build/tests/wordperm_tests --gtest_filter='Golden.*'
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "support/coding.h"
#include "support/golden_lists.h"
#include "support/sha256.h"

namespace wordperm {
namespace {

using testing::decode_in_memory;
using testing::encode;
using testing::golden_list;
using testing::GoldenListShape;
using testing::sha256_hex;

constexpr std::size_t kLargestCommittedBytes = 65537;
constexpr std::size_t kAnySize = SIZE_MAX;
constexpr std::string_view kLowercase = "abcdefghijklmnopqrstuvwxyz";

const std::filesystem::path kGoldenDirectory = WORDPERM_GOLDEN_DIR;
const std::filesystem::path kDigestsFile = kGoldenDirectory / "SHA256SUMS";

std::string descending_lines(int n) {
    std::string list;
    for (int k = n - 1; k >= 0; --k)
        list += "line " + std::to_string(100000 + k) + "\n";
    return list;
}

struct GoldenCase {
    const char* name;
    std::string words;
    std::size_t code_bytes = kAnySize;  // the size the list was made to give
};

std::vector<GoldenCase> golden_cases() {
    return {
        {"empty", "", 0},
        {"one_line", "wordperm\n", 0},
        {"descending", descending_lines(2000), 0},
        {"repeated_lines", golden_list(3, {300, 4, 0, "ab", 3, true})},
        {"no_final_line_feed", golden_list(4, {200, 20, 20, kLowercase, 5, false})},
        {"bytes_above_127", golden_list(5, {300, 0, 0, "az\x80\x81\xC3\xA9\xFE\xFF", 4, true})},
        {"repeats_100000",
         golden_list(7, {100000, 3000, 10, "abcdefghijklmnopqrstuvwxyzAZ09-'\t\r\x01\x80\xE9\xFF",
                         10, false})},
        // Code files of exactly one output buffer and one byte more.
        {"code_65536", golden_list(1, {38064, 0, 0, kLowercase, 6, true}), 65536},
        {"code_65537", golden_list(1, {38065, 0, 0, kLowercase, 6, true}), 65537},
    };
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// SHA256SUMS as `sha256sum` writes it: the digest, two spaces, the file name.
std::map<std::string, std::string> read_digests() {
    std::map<std::string, std::string> digests;
    std::ifstream in(kDigestsFile);
    std::string digest, name;
    while (in >> digest >> name)
        digests[name] = digest;
    return digests;
}

::testing::AssertionResult matches_golden(const std::string& name, const std::string& actual,
                                          const std::map<std::string, std::string>& digests) {
    const std::filesystem::path path = kGoldenDirectory / name;
    if (std::filesystem::exists(path)) {
        const std::string expected = read_file(path);
        if (actual == expected) return ::testing::AssertionSuccess();
        const auto differ =
            std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
        return ::testing::AssertionFailure()
               << name << ": " << actual.size() << " bytes, golden " << expected.size()
               << ", first difference at byte " << differ.first - actual.begin();
    }
    const auto digest = digests.find(name);
    if (digest == digests.end())
        return ::testing::AssertionFailure() << name << ": no golden file and no digest";
    if (sha256_hex(actual) == digest->second) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name << ": " << actual.size() << " bytes of SHA-256 "
                                         << sha256_hex(actual) << ", golden " << digest->second;
}

// Commits the output as a file or as a digest, whichever its size calls for.
void write_golden(const std::string& name, const std::string& actual, std::string& digests) {
    if (actual.size() <= kLargestCommittedBytes) {
        std::ofstream(kGoldenDirectory / name, std::ios::binary) << actual;
    } else {
        digests += sha256_hex(actual) + "  " + name + "\n";
    }
}

TEST(Golden, EncoderGivesTheCommittedBytesAndTheyDecode) {
    const bool writing = std::getenv("WORDPERM_WRITE_GOLDEN") != nullptr;
    const std::map<std::string, std::string> digests = read_digests();
    std::string new_digests;
    for (const GoldenCase& c : golden_cases()) {
        SCOPED_TRACE(c.name);
        const auto encoded = encode(c.words);
        if (c.code_bytes != kAnySize) {
            EXPECT_EQ(encoded.code.size(), c.code_bytes);
        }
        const std::string sorted_name = std::string(c.name) + ".sorted";
        const std::string code_name = std::string(c.name) + ".code";
        if (writing) {
            write_golden(sorted_name, encoded.sorted, new_digests);
            write_golden(code_name, encoded.code, new_digests);
        } else {
            EXPECT_TRUE(matches_golden(sorted_name, encoded.sorted, digests));
            EXPECT_TRUE(matches_golden(code_name, encoded.code, digests));
        }
        const auto decoded = decode_in_memory(encoded.sorted, encoded.code);
        EXPECT_EQ(decoded.status, ExitStatus::success);
        EXPECT_TRUE(decoded.restored == c.words) << "the golden pair does not restore the list";
    }
    if (writing) std::ofstream(kDigestsFile) << new_digests;
}

}  // namespace
}  // namespace wordperm
