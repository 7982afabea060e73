// The reference orders against plain sorts by keys written out from their definitions: sort -d's
// (letters, digits, blanks), sort -df's (the same, lower case as upper), and the accent-folded
// one (every Latin-1 letter of UTF-8 as its base letters, the signs × and ÷ kept as the bytes
// they are, ß as ss, æ as ae, œ as oe, other bytes above 127 kept), lines with equal keys in byte
// order; each reversed too. The numeric order against a comparison of lines cut into pieces:
// runs of digits, each as a number of arbitrary length, and single other bytes.
#include "pack/reference_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "pack/line_set.h"
#include "support/lines.h"

namespace wordperm {
namespace {

bool ascii_alnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string dictionary_key(const std::string& line, bool fold) {
    std::string key;
    for (const char byte : line) {
        const auto c = static_cast<unsigned char>(byte);
        if (ascii_alnum(c) || c == ' ' || c == '\t')
            key += static_cast<char>(fold && c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    return key;
}

std::string accents_key(const std::string& line) {
    // The second byte of C3 xx for each Latin-1 letter, and what it folds to.
    static const std::map<unsigned char, std::string> kLatin1 = {
        {0x80, "a"}, {0x81, "a"}, {0x82, "a"},  {0x83, "a"}, {0x84, "a"}, {0x85, "a"}, {0x86, "ae"},
        {0x87, "c"}, {0x88, "e"}, {0x89, "e"},  {0x8A, "e"}, {0x8B, "e"}, {0x8C, "i"}, {0x8D, "i"},
        {0x8E, "i"}, {0x8F, "i"}, {0x90, "d"},  {0x91, "n"}, {0x92, "o"}, {0x93, "o"}, {0x94, "o"},
        {0x95, "o"}, {0x96, "o"}, {0x98, "o"},  {0x99, "u"}, {0x9A, "u"}, {0x9B, "u"}, {0x9C, "u"},
        {0x9D, "y"}, {0x9E, "t"}, {0x9F, "ss"}, {0xA0, "a"}, {0xA1, "a"}, {0xA2, "a"}, {0xA3, "a"},
        {0xA4, "a"}, {0xA5, "a"}, {0xA6, "ae"}, {0xA7, "c"}, {0xA8, "e"}, {0xA9, "e"}, {0xAA, "e"},
        {0xAB, "e"}, {0xAC, "i"}, {0xAD, "i"},  {0xAE, "i"}, {0xAF, "i"}, {0xB0, "d"}, {0xB1, "n"},
        {0xB2, "o"}, {0xB3, "o"}, {0xB4, "o"},  {0xB5, "o"}, {0xB6, "o"}, {0xB8, "o"}, {0xB9, "u"},
        {0xBA, "u"}, {0xBB, "u"}, {0xBC, "u"},  {0xBD, "y"}, {0xBE, "t"}, {0xBF, "y"}};
    std::string key;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        const unsigned char next =
            i + 1 < line.size() ? static_cast<unsigned char>(line[i + 1]) : 0;
        if (c == 0xC3 && kLatin1.count(next)) {
            key += kLatin1.at(next);
            ++i;
        } else if (c == 0xC5 && (next == 0x92 || next == 0x93)) {
            key += "oe";
            ++i;
        } else if (ascii_alnum(c) || c >= 0x80) {
            key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        }
    }
    return key;
}

// A line as pieces, the last one its end: each run of digits as one piece (its digits without
// leading zeros), each other byte as one piece. Pieces rank as `sort -V` ranks them: a tilde,
// the end, numbers (by digit count, then digits), letters, other bytes (each by its byte).
struct Piece {
    int rank;            // 0 tilde, 1 end, 2 number, 3 letter, 4 other byte
    std::string digits;  // a number's digits, or the byte
    bool operator<(const Piece& other) const {
        if (rank != other.rank) return rank < other.rank;
        if (digits.size() != other.digits.size()) return digits.size() < other.digits.size();
        return digits < other.digits;
    }
};

std::vector<Piece> numeric_key(const std::string& line) {
    std::vector<Piece> key;
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] < '0' || line[i] > '9') {
            const char c = line[i++];
            const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
            key.push_back({c == '~' ? 0 : letter ? 3 : 4, std::string(1, c)});
            continue;
        }
        std::size_t end = i;
        while (end < line.size() && line[end] >= '0' && line[end] <= '9')
            ++end;
        const std::string run = line.substr(i, end - i);
        key.push_back({2, run.substr(std::min(run.find_first_not_of('0'), run.size()))});
        i = end;
    }
    key.push_back({1, ""});
    return key;
}

// `order`, straight and reversed, must rank the words as a stable sort by `less` of their byte
// order does: lines whose keys are equal (01 and 1) keep byte order, as in every order.
template <typename Less>
void expect_ranks(std::vector<std::string> words, ReferenceOrder order, Less less,
                  bool two_threads = false) {
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    const std::string list = testing::join_lines(words);
    const LineSet set = split_list(std::vector<std::uint8_t>(list.begin(), list.end())).set;
    ASSERT_EQ(set.distinct(), words.size());
    std::vector<std::string> expected = words;
    std::stable_sort(expected.begin(), expected.end(), less);
    for (const bool reversed : {false, true}) {
        const std::vector<std::uint32_t> rank = reference_ranks(set, order, reversed, two_threads);
        std::vector<std::string> got(words.size());
        for (std::size_t k = 0; k < words.size(); ++k)
            got[reversed ? words.size() - 1 - rank[k] : rank[k]] = words[k];
        EXPECT_EQ(got, expected) << (reversed ? "reversed" : "");
    }
}

TEST(ReferenceOrder, NumericIsRunsOfDigitsAsNumbers) {
    const std::string long_run(40, '9');
    std::vector<std::string> words = {
        "", "0", "00", "000", "1", "01", "001", "2", "9", "10", "010", "11", "99", "100",
        "a", "a0", "a00", "a1", "a01", "a2", "a10", "a9b", "a10b", "a09c", "a9c", "a10a",
        "1a", "01a", "1b", "10a", "2a",                          // digits at the start
        "x1", "x01", "x1y", "x1.2", "x1.10", "x1.9", "x1-2",     // and at the end
        "1.2.3", "1.2.10", "1.10.2", "10.0.0.1", "9.255.255.255", "192.168.0.1", "192.168.0.10",
        "libfoo-1.9", "libfoo-1.10.2", "libfoo-1.10", "libfoo-2", "libfoo", "libfoo-",
        "a/", "a:", "a.", "a!", "a~", "a~1", "1~", "1~~", "1.0~rc1", "1.0", "1.0-1", "1.0a",
        "1.0A", "1.0_", "a-b", "ab", "a_b", "aB", "a\x7f", "a\x80", "a\xff", "a5\xff", "a5/", "a5:",
        "\xff", "\xff" "1", "\xff" "2", "\xc3\xa9" "10", "\xc3\xa9" "9",
        long_run, "1" + long_run, "0" + long_run, "00" + long_run + "0", long_run + "8",
        "v" + long_run + long_run + "1", "v" + long_run + long_run + "2", "v1" + long_run,
        std::string(30, '0') + "7", "7" + std::string(30, '0'),
        "x" + std::string(300, '1'), "x" + std::string(300, '2'), "x" + std::string(299, '9'),
        "x" + std::string(50, '9'),
        "x" + std::string(300, '1') + "a", "x" + std::string(300, '1') + "-",
        "18446744073709551615", "18446744073709551616", "18446744073709551617x",
        " 1", " 10", " 9", "	1",
    };
    const auto by_key = [](const std::string& a, const std::string& b) {
        return numeric_key(a) < numeric_key(b);
    };
    for (const bool two_threads : {false, true})
        expect_ranks(words, ReferenceOrder::numeric, by_key, two_threads);
    for (const std::string& a : words)
        for (const std::string& b : words) {
            const int c = numeric_compare(a, b);
            EXPECT_EQ(c < 0, numeric_key(a) < numeric_key(b)) << a << " " << b;
            EXPECT_EQ(c > 0, numeric_key(b) < numeric_key(a)) << a << " " << b;
        }
}

TEST(ReferenceOrder, EachOrderIsItsKeysThenTheBytes) {
    std::vector<std::string> words = {"a-b",
                                      "ab",
                                      "Ab",
                                      "AB",
                                      "a b",
                                      "a\tb",
                                      "a.b",
                                      "",
                                      " ",
                                      "zebra",
                                      "Zebra",
                                      "3x",
                                      "x3",
                                      "\xc3\xa9t\xc3\xa9",
                                      "ete",
                                      "\xc3\x89t\xc3\xa9",
                                      "\xc3\x97"
                                      "2",
                                      "x",
                                      "\xc3\xb7",
                                      "stra\xc3\x9f"
                                      "e",
                                      "strasse",
                                      "\xc3\xa6on",
                                      "aeon",
                                      "\xc5\x93uf",
                                      "oeuf",
                                      "\xc5\x82\xc3\xb3"
                                      "d\xc5\xba",
                                      "lodz",
                                      "\xc3",
                                      "\xc3\x41",
                                      "\xff",
                                      "caf\xc3\xa9",
                                      "cafe",
                                      "Cafe",
                                      "na\xc3\xafve"};
    const std::pair<ReferenceOrder, std::string (*)(const std::string&)> orders[] = {
        {ReferenceOrder::byte, [](const std::string& w) { return w; }},
        {ReferenceOrder::dictionary, [](const std::string& w) { return dictionary_key(w, false); }},
        {ReferenceOrder::dictionary_folded,
         [](const std::string& w) { return dictionary_key(w, true); }},
        {ReferenceOrder::accents_folded, accents_key},
    };
    for (const auto& [order, key_of] : orders) {
        const auto key = key_of;  // a lambda cannot capture a structured binding
        SCOPED_TRACE(static_cast<int>(order));
        expect_ranks(words, order,
                     [&](const std::string& a, const std::string& b) { return key(a) < key(b); });
    }
}

}  // namespace
}  // namespace wordperm
