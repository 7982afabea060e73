// The archive end to end: byte-exact round trips of every kind of list and of the edge cases,
// the choice of order model on lists whose order is known, and refusal of every damaged or
// truncated archive.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "pack/container.h"
#include "pack/order_models.h"
#include "pack/pack.h"
#include "support/random_words.h"

namespace wordperm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::random_word_file;
using testing::WordFileShape;

Bytes bytes_of(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes pack_list(const Bytes& list, bool library_stages = true) {
    Bytes archive;
    EXPECT_EQ(pack(list, archive, PackOptions{library_stages}), PackStatus::ok);
    return archive;
}

void expect_round_trip(const Bytes& list, bool with_library_stages = true) {
    for (const bool library_stages : {false, true}) {
        if (library_stages && !with_library_stages) continue;
        const Bytes archive = pack_list(list, library_stages);
        Bytes restored;
        ASSERT_EQ(unpack(archive, restored), UnpackStatus::ok);
        ASSERT_EQ(restored, list);
        EXPECT_EQ(pack_list(list, library_stages), archive) << "packing is not deterministic";
    }
}

std::string lines_of(std::vector<std::string> words, const char* tail = "\n") {
    std::string list;
    for (std::size_t i = 0; i < words.size(); ++i)
        list += words[i] + (i + 1 < words.size() ? "\n" : tail);
    return list;
}

TEST(Pack, EdgeCasesRoundTrip) {
    std::string every_byte;
    for (int b = 255; b >= 0; --b)
        every_byte += static_cast<char>(b);
    const std::string long_prefix(700, 'x');
    const std::vector<std::string> cases = {
        "",
        "\n",
        "\n\n\n",
        "a",
        "a\n",
        "abc\nabc",                        // a bare last line equal to another line
        "b\na\nb",                         // ... and repeating the first
        "\r\n\r\n\r",                      // carriage returns are ordinary bytes
        "a\n\nb\n\n",                      // empty lines
        every_byte,                        // every byte value, line feed included, in lines
        "\xff\n\xff\x01\n\xfe\xff\xff\n",  // 0xFF where the next line would need a byte above it
        lines_of({long_prefix + "b", long_prefix + "a", long_prefix, long_prefix + "ab"}),
        lines_of({"zeta", "eta", "theta", "iota"}, ""),
        lines_of({"x", "x", "x", "x", "x"}),
        lines_of({"Apple", "apple", "a-b", "ab", "Zoo", "zoo", "é", "e", "f"}),
    };
    for (const std::string& list : cases) {
        SCOPED_TRACE(::testing::PrintToString(list));
        expect_round_trip(bytes_of(list));
    }
}

TEST(Pack, RandomListsRoundTrip) {
    const WordFileShape shapes[] = {
        {.lines = 800},
        {.lines = 1500, .distinct = 40},
        {.lines = 600, .alphabet = 256, .max_length = 12},
        {.lines = 200, .alphabet = 3, .max_length = 300, .final_line_feed = false},
        {.lines = 500, .alphabet = 256, .max_length = 4, .distinct = 30, .final_line_feed = false},
    };
    for (std::uint64_t seed = 1; seed <= 2; ++seed)
        for (const WordFileShape& shape : shapes) {
            SCOPED_TRACE(seed);
            SCOPED_TRACE(shape.lines + shape.alphabet);
            // The library stages have their own tests; one list in all tries them here.
            expect_round_trip(bytes_of(random_word_file(seed, shape)),
                              seed == 1 && shape.distinct != 0);
        }
}

// The keys of the reference orders, written plainly: the lines are sorted by key, then by
// their bytes. Only the accented letters the test uses are folded.
std::string dictionary_key(const std::string& line, bool fold) {
    std::string key;
    for (const char c : line)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '\t')
            key += fold ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    return key;
}

std::string accents_key(std::string line) {
    for (const auto& [accented, base] : {std::pair<std::string, std::string>{"\xc3\xa9", "e"},
                                         {"\xc3\xa0", "a"},
                                         {"\xc5\x93", "oe"},
                                         {"\xc3\x89", "e"}})
        for (std::size_t at; (at = line.find(accented)) != std::string::npos;)
            line.replace(at, accented.size(), base);
    std::string key;
    for (const char c : line)
        if (std::isalnum(static_cast<unsigned char>(c)))
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

// Lists in a known order: each must find a reference order and model that make its order cost
// next to nothing, and round trip.
TEST(Pack, KnownOrdersCostNearlyNothing) {
    const char* const pieces[] = {"a",        "b", "e", "o", "\xc3\xa9", "\xc3\xa0",
                                  "\xc5\x93", "'", "-", "E", "\xc3\x89", "s"};
    std::vector<std::string> words;
    std::mt19937_64 random(5);
    for (int i = 0; i < 3000; ++i) {
        std::string w;
        for (std::uint64_t k = 1 + random() % 6; k != 0; --k)
            w += pieces[random() % std::size(pieces)];
        words.push_back(w);
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    auto sorted_by = [&](auto key) {
        auto list = words;
        std::stable_sort(list.begin(), list.end(), [&](const std::string& a, const std::string& b) {
            return key(a) < key(b);
        });
        return list;
    };
    struct Case {
        std::vector<std::string> list;
        ReferenceOrder reference;
        bool reversed;
    };
    const Case cases[] = {
        {words, ReferenceOrder::byte, false},
        {std::vector<std::string>(words.rbegin(), words.rend()), ReferenceOrder::byte, true},
        {sorted_by([](const std::string& w) { return dictionary_key(w, false); }),
         ReferenceOrder::dictionary, false},
        {sorted_by([](const std::string& w) { return dictionary_key(w, true); }),
         ReferenceOrder::dictionary_folded, false},
        {sorted_by(accents_key), ReferenceOrder::accents_folded, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.reference));
        const Bytes list = bytes_of(lines_of(c.list));
        const Bytes archive = pack_list(list, false);
        ArchiveInfo info;
        ASSERT_EQ(describe(archive, info), UnpackStatus::ok);
        // A descending list is also the uniform code's cheapest case: every line the largest.
        if (info.order_model != static_cast<std::uint8_t>(OrderModel::uniform)) {
            EXPECT_EQ(info.reference, c.reference);
            EXPECT_EQ(info.reversed, c.reversed);
        }
        EXPECT_LT(info.order_bytes, 16u);
        Bytes restored;
        ASSERT_EQ(unpack(archive, restored), UnpackStatus::ok);
        EXPECT_EQ(restored, list);
    }
}

TEST(Pack, EveryFlippedBitAndEveryTruncationIsRefused) {
    const Bytes lists[] = {
        bytes_of(random_word_file(9, {.lines = 60, .distinct = 20})),
        bytes_of(random_word_file(9, {.lines = 40, .alphabet = 256, .final_line_feed = false})),
    };
    for (const Bytes& list : lists) {
        for (const bool library_stages : {true, false}) {
            const Bytes archive = pack_list(list, library_stages);
            Bytes restored;
            for (std::size_t bit = 0; bit < archive.size() * 8; ++bit) {
                Bytes damaged = archive;
                damaged[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
                ASSERT_NE(unpack(damaged, restored), UnpackStatus::ok) << "bit " << bit;
            }
            for (std::size_t size = 0; size < archive.size(); ++size)
                ASSERT_NE(unpack(std::span(archive).first(size), restored), UnpackStatus::ok)
                    << "size " << size;
            // With the archive's checksum made right again the decoders meet the damage
            // themselves: they must refuse it, or give back the list unchanged.
            const std::size_t body = archive.size() - kTrailerBytes;
            for (std::size_t bit = 0; bit < body * 8; bit += 23) {
                Bytes damaged = archive;
                damaged[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
                const std::uint32_t crc = archive_checksum(std::span(damaged).first(body));
                for (std::size_t i = 0; i < kTrailerBytes; ++i)
                    damaged[body + i] = static_cast<std::uint8_t>(crc >> (8 * i));
                if (unpack(damaged, restored) == UnpackStatus::ok) {
                    ASSERT_EQ(restored, list) << "bit " << bit;
                }
            }
        }
    }
}

Bytes from_hex(const std::string& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Archives made by this version: they must unpack for as long as the version is read, and
// packing their lists again (library stages aside) must give the same bytes, so neither the
// format nor a model drifts unnoticed. Made again only on purpose; archives that no longer
// unpack need a new version number.
TEST(Pack, ArchivesByteForByte) {
    const struct {
        const char* list;
        const char* archive;  // hex
    } cases[] = {
        {"",  // no line: no section
         "8957504B0100000000000000000000000000000000000000"
         "0000000000000000000000000000000000000000000000000EB2E117"},
        {"b\na\n",  // uniform order, empty code
         "8957504B010004000000000000000200000002000000377F"
         "2836F9B4C577010C04000000000000000000010000000000B27ACE72EBDDE69D"},
        {"apple\napples\napply\nbanana\nband\nbandana\ncar\ncars\n",  // cursor, byte order
         "8957504B01003000000000000000080000000800000062F5"
         "9705F0392093010C1C000000000000000000020001000000"
         "B23909A979FF122F1C3C9827CE10A202F6DC8995E36C2C3834128082033CEB44CB"},
        {"x\ny\nx\nx\ny\nz\nx\nz\n",  // counts
         "8957504B01001000000000000000080000000300000058A9"
         "95A3D8F5DE80010C05000000010003000000010002000000"
         "9AD09D78031010503999A8F2663D"},
        {"Aaron\naback\nabacus\nAbbey\nabbey's\nabbot\nABC\nabc\n",  // cursor, sort -df
         "8957504B01002F000000000000000800000008000000CE80"
         "B2100274BCAF010C20000000000000000000020401000000"
         "CE2A5D480366391D219EDCC35269ED75C3C89FF799A09216DEA16F66C2B78EB20381C49342"},
        {"kiwi\nfig\nplum\napple\npear\ndate\nlime",  // bare last line
         "8957504B010122000000000000000700000007000000AF7E"
         "4BEB153779A5010C1D000000000000000000010002000000"
         "B23909A979FF7CD3FEBF6B4061405837300CF4103277AB236BD96B144D7F0270533AEA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        const Bytes archive = from_hex(c.archive);
        Bytes restored;
        ASSERT_EQ(unpack(archive, restored), UnpackStatus::ok);
        EXPECT_EQ(restored, bytes_of(c.list));
        EXPECT_EQ(pack_list(bytes_of(c.list), false), archive);
    }
}

TEST(Pack, RefusalsSayWhy) {
    const Bytes archive = pack_list(bytes_of("b\na\n"));
    Bytes restored;
    EXPECT_EQ(unpack(bytes_of("hello\n"), restored), UnpackStatus::not_an_archive);
    Bytes newer = archive;
    newer[4] = kArchiveVersion + 1;
    EXPECT_EQ(unpack(newer, restored), UnpackStatus::unsupported);
    EXPECT_EQ(unpack(archive, restored, 3), UnpackStatus::too_large);
    EXPECT_EQ(unpack(archive, restored, 4), UnpackStatus::ok);
}

}  // namespace
}  // namespace wordperm
