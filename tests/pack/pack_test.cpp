// The archive end to end: byte-exact round trips of every kind of list and of the edge cases,
// whatever the blocks and threads; concatenations; the choice of order model on lists whose order
// is known; and refusal of every damaged or truncated archive.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "pack/checksums.h"
#include "pack/frame.h"
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

Bytes pack_list(const Bytes& list, const PackSettings& settings = {}) {
    Bytes archive;
    EXPECT_EQ(pack(list, archive, settings), PackStatus::ok);
    return archive;
}

void expect_round_trip(const Bytes& list, const PackSettings& settings = {}) {
    const Bytes archive = pack_list(list, settings);
    Bytes restored;
    ASSERT_EQ(unpack(archive, restored), UnpackStatus::ok);
    ASSERT_EQ(restored, list);
    EXPECT_EQ(pack_list(list, settings), archive) << "packing is not deterministic";
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
        // The smallest blocks cut the longer lists, some lines among them.
        expect_round_trip(bytes_of(list), {.block_bytes = kSmallestBlockBytes, .threads = 3});
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
            expect_round_trip(bytes_of(random_word_file(seed, shape)));
        }
}

// Blocks cut at line feeds, in the middle of lines longer than a block, and with a last block of
// one line or one byte; each block's list comes back in its place whatever the number of threads,
// and the archive is the same for every number.
TEST(Pack, BlocksComeBackInOrderWhateverTheThreads) {
    std::string list;
    std::mt19937_64 random(6);
    for (int i = 0; i < 3000; ++i)
        list += std::string(1 + random() % (i % 500 == 0 ? 3000 : 12),
                            static_cast<char>('a' + random() % 26)) +
                "\n";
    const std::string lists[] = {list, list + "x", list + "last line\n",
                                 list.substr(0, kSmallestBlockBytes * 7)};
    for (const std::string& each : lists) {
        SCOPED_TRACE(each.size());
        const Bytes original = bytes_of(each);
        const Bytes one = pack_list(original, {.block_bytes = kSmallestBlockBytes, .threads = 1});
        ArchiveInfo info;
        ASSERT_EQ(describe(one, info), UnpackStatus::ok);
        EXPECT_GE(info.blocks.size(), 7u);
        std::uint64_t bytes = 0, lines = 0;
        for (const BlockInfo& block : info.blocks) {
            EXPECT_LE(block.header.list_bytes, kSmallestBlockBytes);
            bytes += block.header.list_bytes;
            lines += block.header.lines;
        }
        EXPECT_EQ(bytes, original.size());
        EXPECT_EQ(info.list_bytes, original.size());
        // A line cut by a block's edge counts in both blocks.
        EXPECT_GE(lines, static_cast<std::uint64_t>(std::count(each.begin(), each.end(), '\n')));
        for (const unsigned threads : {2u, 8u}) {
            EXPECT_EQ(pack_list(original, {.block_bytes = kSmallestBlockBytes, .threads = threads}),
                      one);
            Bytes restored;
            ASSERT_EQ(unpack(one, restored, {.threads = threads}), UnpackStatus::ok);
            EXPECT_EQ(restored, original);
        }
    }
}

// Archives joined end to end are one archive of the lists joined end to end, a version 1 archive
// and an empty list's among them; a bare last line runs into the next list's first, as the bytes
// do when the lists themselves are joined.
TEST(Pack, ConcatenatedArchivesGiveTheConcatenatedLists) {
    const std::string lists[] = {"b\na\nc", "", "d\nd\ne\n", "\n", "f"};
    // A version 1 archive of "b\na\n".
    const Bytes version1 = {0x89, 0x57, 0x50, 0x4B, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x37, 0x7F,
                            0x28, 0x36, 0xF9, 0xB4, 0xC5, 0x77, 0x01, 0x0C, 0x04, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0xB2, 0x7A, 0xCE, 0x72, 0xEB, 0xDD, 0xE6, 0x9D};
    Bytes joined_archive, joined_list;
    for (const std::string& list : lists) {
        const Bytes archive = pack_list(bytes_of(list));
        joined_archive.insert(joined_archive.end(), archive.begin(), archive.end());
        joined_list.insert(joined_list.end(), list.begin(), list.end());
        if (list.empty()) {
            joined_archive.insert(joined_archive.end(), version1.begin(), version1.end());
            joined_list.insert(joined_list.end(), {'b', '\n', 'a', '\n'});
        }
    }
    Bytes restored;
    ASSERT_EQ(unpack(joined_archive, restored, {.threads = 2}), UnpackStatus::ok);
    EXPECT_EQ(restored, joined_list);
    ArchiveInfo info;
    ASSERT_EQ(describe(joined_archive, info), UnpackStatus::ok);
    EXPECT_EQ(info.frames, 6u);
    EXPECT_EQ(info.list_bytes, joined_list.size());
    // Bytes after the last archive that are not an archive make the whole a damaged one.
    for (const Bytes& tail : {Bytes{0}, Bytes{0x89, 0x57}, bytes_of("more")}) {
        Bytes spoiled = joined_archive;
        spoiled.insert(spoiled.end(), tail.begin(), tail.end());
        EXPECT_EQ(unpack(spoiled, restored), UnpackStatus::damaged);
    }
}

// The keys of the reference orders, written plainly: the lines are sorted by key, then by
// their bytes. Only the accented letters the test uses are folded.
std::string sample_dictionary_key(const std::string& line, bool fold) {
    std::string key;
    for (const char c : line)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '\t')
            key += fold ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    return key;
}

std::string sample_accents_key(std::string line) {
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

// A list in a reference order's sequence packs as one block whose order is coded against that
// order, in a few bytes, in a frame of the version that order needs (3 for numeric order only),
// and comes back.
void expect_coded_against(const std::vector<std::string>& lines, ReferenceOrder reference,
                          bool reversed) {
    const Bytes list = bytes_of(lines_of(lines));
    const Bytes archive = pack_list(list);
    ArchiveInfo info;
    ASSERT_EQ(describe(archive, info), UnpackStatus::ok);
    ASSERT_EQ(info.blocks.size(), 1u);
    const SectionEntry& order = info.blocks[0].header.sections[2];
    EXPECT_NE(order.stage, static_cast<std::uint8_t>(OrderModel::uniform));
    EXPECT_EQ(order.variant / 2, static_cast<std::uint8_t>(reference));
    EXPECT_EQ(order.variant % 2 != 0, reversed);
    EXPECT_LT(order.bytes, 16u);
    Bytes restored;
    ASSERT_EQ(unpack(archive, restored, {.threads = 2}), UnpackStatus::ok);
    EXPECT_EQ(restored, list);
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
        {sorted_by([](const std::string& w) { return sample_dictionary_key(w, false); }),
         ReferenceOrder::dictionary, false},
        {sorted_by([](const std::string& w) { return sample_dictionary_key(w, true); }),
         ReferenceOrder::dictionary_folded, false},
        {sorted_by(sample_accents_key), ReferenceOrder::accents_folded, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.reference));
        expect_coded_against(c.list, c.reference, c.reversed);
    }
}

// Lists whose runs of digits are in numeric order, as seq, sort -n and sort -V make them, each
// built in its order: the numeric order makes them cost next to nothing, in a version 3 frame.
TEST(Pack, NumericOrdersCostNearlyNothing) {
    std::mt19937_64 random(11);
    std::vector<std::string> seq, numbers, versions, addresses;
    for (int i = 1; i <= 4000; ++i)
        seq.push_back(std::to_string(i));
    for (int i = 0; i < 3000; ++i)
        numbers.push_back(std::to_string(random() % (std::uint64_t{1} << (random() % 40))));
    std::sort(numbers.begin(), numbers.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    for (const char* stem : {"libab", "libaz", "libqq", "libxy"})
        for (int major = 0; major < 12; ++major)
            for (int minor = 0; minor < 25; ++minor)
                if (random() % 3 == 0)
                    versions.push_back(std::string(stem) + "-" + std::to_string(major) + "." +
                                       std::to_string(minor) + "." +
                                       std::to_string(random() % 300));
    for (int a = 1; a < 256; a += 1 + static_cast<int>(random() % 40))
        for (int b = 0; b < 256; b += 1 + static_cast<int>(random() % 20))
            for (int d = 0; d < 256; d += 1 + static_cast<int>(random() % 60))
                addresses.push_back(std::to_string(a) + "." + std::to_string(b) + ".0." +
                                    std::to_string(d));
    struct Case {
        const char* name;
        std::vector<std::string> list;
        bool reversed;
    };
    const Case cases[] = {
        {"seq", seq, false},
        {"seq, reversed", std::vector<std::string>(seq.rbegin(), seq.rend()), true},
        {"sort -n, with repeats", numbers, false},
        {"sort -V of versions", versions, false},
        {"addresses", addresses, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expect_coded_against(c.list, ReferenceOrder::numeric, c.reversed);
    }
}

// Blocks that need version 3 among blocks that do not: the first one ends the version 2 frame
// and starts a version 3 one, which takes the rest; the same bytes for any number of threads.
TEST(Pack, NumericBlocksStartAVersion3Frame) {
    std::string words, numbers;
    for (std::size_t i = 0; i < 800; ++i)
        words += std::string(1 + i % 7, static_cast<char>('a' + i * 7 % 26)) + "\n";
    for (int i = 1; i <= 600; ++i)
        numbers += std::to_string(i) + "\n";
    const Bytes list = bytes_of(words + numbers + words + numbers);
    // Without the set's match model, which every block of version 6 has.
    const auto packed = [&](unsigned threads) {
        return pack_list(list, {.block_bytes = kSmallestBlockBytes,
                                .threads = threads,
                                .newest_version = FormatVersion::v5});
    };
    const Bytes archive = packed(1);
    for (const unsigned threads : {2u, 5u})
        EXPECT_EQ(packed(threads), archive);
    ArchiveInfo info;
    ASSERT_EQ(describe(archive, info), UnpackStatus::ok);
    EXPECT_EQ(info.frames, 2u);
    EXPECT_EQ(archive[4], 2);
    std::size_t version2_blocks = 0;
    while (info.blocks[version2_blocks].header.version == FormatVersion::v2)
        ++version2_blocks;
    EXPECT_GE(version2_blocks, 2u);
    EXPECT_EQ(least_frame_version(info.blocks[version2_blocks].header), FormatVersion::v3);
    for (std::size_t b = version2_blocks; b < info.blocks.size(); ++b)
        EXPECT_EQ(info.blocks[b].header.version, FormatVersion::v3);
    Bytes restored;
    ASSERT_EQ(unpack(archive, restored, {.threads = 3}), UnpackStatus::ok);
    EXPECT_EQ(restored, list);
}

// Every header and section is under a CRC-32, and every section is the one code of what it
// holds: a flipped bit is refused by the checksums, and with the sections' checksum made right
// again, by the decoders themselves, which accept no other code for the same lines.
TEST(Pack, EveryFlippedBitAndEveryTruncationIsRefused) {
    const Bytes lists[] = {
        bytes_of(random_word_file(9, {.lines = 60, .distinct = 20})),
        bytes_of(random_word_file(9, {.lines = 40, .alphabet = 256, .final_line_feed = false})),
    };
    for (const Bytes& list : lists) {
        const Bytes archive = pack_list(list);
        Bytes restored;
        for (std::size_t bit = 0; bit < archive.size() * 8; ++bit) {
            Bytes damaged = archive;
            damaged[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
            ASSERT_NE(unpack(damaged, restored), UnpackStatus::ok) << "bit " << bit;
        }
        for (std::size_t size = 0; size < archive.size(); ++size)
            ASSERT_NE(unpack(std::span(archive).first(size), restored), UnpackStatus::ok)
                << "size " << size;
        ArchiveInfo info;
        ASSERT_EQ(describe(archive, info), UnpackStatus::ok);
        const BlockHeader& header = info.blocks[0].header;
        const std::size_t first = kFrameHeaderBytes + block_header_bytes(header).size();
        const std::size_t end =
            first + header.sections[0].bytes + header.sections[1].bytes + header.sections[2].bytes;
        for (std::size_t bit = first * 8; bit < end * 8; ++bit) {
            Bytes damaged = archive;
            damaged[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
            const std::uint32_t crc = crc32(std::span(damaged).subspan(first, end - first));
            for (std::size_t i = 0; i < kBlockTrailerBytes; ++i)
                damaged[end + i] = static_cast<std::uint8_t>(crc >> (8 * i));
            ASSERT_NE(unpack(damaged, restored), UnpackStatus::ok) << "bit " << bit;
        }
    }
}

TEST(Pack, RefusalsSayWhy) {
    const Bytes archive = pack_list(bytes_of("b\na\n"));
    Bytes restored;
    EXPECT_EQ(unpack(bytes_of("hello\n"), restored), UnpackStatus::not_an_archive);
    EXPECT_EQ(unpack({}, restored), UnpackStatus::not_an_archive);
    Bytes newer = archive;
    newer[4] = 7;
    EXPECT_EQ(unpack(newer, restored), UnpackStatus::unsupported);
    Bytes flagged = archive;
    flagged[5] = 1;
    EXPECT_EQ(unpack(flagged, restored), UnpackStatus::unsupported);
    EXPECT_EQ(unpack(archive, restored, {.memory_limit = 1 << 20}), UnpackStatus::memory_limit);
    EXPECT_EQ(unpack(archive, restored, {.memory_limit = 0}), UnpackStatus::ok);
}

// Packing for the readers of an earlier version uses only that version's models: a list that
// takes the numeric order, one that takes the context model and one that takes the rewrite model
// are packed in frames of that version or before, and come back.
TEST(Pack, PackingForAnEarlierVersionUsesOnlyItsModels) {
    std::string numbers, text, forms;
    for (int i = 1; i <= 300; ++i)
        numbers += std::to_string(i) + "\n";
    for (int i = 0; i < 3000; ++i)
        text += "w" + std::to_string(i * 7 % 30) + " w" + std::to_string(i % 30 * 11 % 30) + "\n";
    for (int i = 0; i < 200; ++i)
        for (const char* ending : {"ar", "o", "as", "a", "amos", "ais", "am", "ei", "ou", "ado"})
            forms += "cant" + std::string(1, static_cast<char>('a' + i / 26)) +
                     static_cast<char>('a' + i % 26) + ending + "\n";
    const struct {
        std::string list;
        std::uint8_t needs;  // the version its order model needs
    } lists[] = {{numbers, 3}, {text, 4}, {forms, 5}};
    for (const auto& [list, needs] : lists) {
        for (std::uint8_t newest = 2; newest <= 6; ++newest) {
            SCOPED_TRACE(::testing::Message() << "needs " << static_cast<int>(needs)
                                              << ", newest " << static_cast<int>(newest));
            const auto version = static_cast<FormatVersion>(newest);
            const Bytes archive = pack_list(bytes_of(list), {.newest_version = version});
            ArchiveInfo info;
            ASSERT_EQ(describe(archive, info), UnpackStatus::ok);
            ASSERT_EQ(info.blocks.size(), 1u);
            const FormatVersion got = info.blocks[0].header.version;
            if (newest == 6)
                EXPECT_EQ(got, FormatVersion::v6);
            else if (newest >= needs)
                EXPECT_EQ(got, static_cast<FormatVersion>(needs));
            else
                EXPECT_LT(got, static_cast<FormatVersion>(newest + 1));
            Bytes restored;
            ASSERT_EQ(unpack(archive, restored), UnpackStatus::ok);
            EXPECT_EQ(restored, bytes_of(list));
        }
    }
}

// A frame's version byte is part of what it says: the numeric order in a version 2 frame, a
// version 3 frame whose first block does not need it, an empty version 3 frame, the set's match
// model in a version 5 frame and a version 6 frame without it are damaged.
TEST(Pack, FrameVersionsHoldTheirOwnOrders) {
    std::string numbers;
    for (int i = 1; i <= 300; ++i)
        numbers += std::to_string(i) + "\n";
    const PackSettings before_matches{.newest_version = FormatVersion::v5};
    const struct {
        Bytes archive;
        std::uint8_t version, other;
    } cases[] = {
        {pack_list(bytes_of(numbers), before_matches), 3, 2},
        {pack_list(bytes_of("b\na\nc\n"), before_matches), 2, 3},
        {pack_list({}), 2, 3},
        {pack_list(bytes_of(numbers)), 6, 5},
        {pack_list(bytes_of("b\na\nc\n"), before_matches), 2, 6},
    };
    for (const auto& [archive, version, other] : cases) {
        SCOPED_TRACE(::testing::Message()
                     << static_cast<int>(version) << " as " << static_cast<int>(other));
        ASSERT_EQ(archive[4], version);
        Bytes restored;
        EXPECT_EQ(unpack(archive, restored), UnpackStatus::ok);
        Bytes changed = archive;
        changed[4] = other;
        EXPECT_EQ(unpack(changed, restored), UnpackStatus::damaged);
    }
}

}  // namespace
}  // namespace wordperm
