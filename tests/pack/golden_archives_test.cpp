// Archives that released builds wrote: each must unpack, in this build and every later one, on
// every machine, to the list it was made from, which is pinned by its size and SHA-256. The
// archives of versions 2 to 6 are also what this build writes: packing the list again, for
// readers of the archive's version, gives the same bytes.
//
// The version 1 archives below were written once by the version 1 writer and are never made
// again. Their lists were chosen to reach every path of every decoder: each order model
// (uniform over distinct lines, uniform over repeated ones, cursor, cursor with distances)
// against each reference order and its reversal, repeated lines with a count above 2^16 and
// thousands of counts in one context (the frequency tables rescale), shared prefixes of 255 bytes
// and more, the largest model tables (a front-coded form over 1 MiB, which also runs the mixers'
// learning rates far down their schedule), bare last lines, and the set coded by each library
// stage. A change to any constant of a decoder makes one of them fail to unpack. The version 2
// archives reach the same paths of version 2's models, and block edges; the version 3 ones the
// numeric order, and a version 2 frame followed by a version 3 one; the version 6 ones the set's
// match model under every order model.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "pack/library_stages.h"
#include "pack/order_models.h"
#include "pack/pack.h"
#include "support/sha256.h"

namespace wordperm {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::filesystem::path kGoldenArchiveDirectory = WORDPERM_GOLDEN_DIR;

Bytes read_golden(const std::filesystem::path& name) {
    std::ifstream file(kGoldenArchiveDirectory / name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct GoldenArchive {
    const char* file;    // under tests/golden
    std::size_t size;    // the list's size in bytes
    const char* sha256;  // the list's digest
};

void expect_unpacks(const GoldenArchive& golden) {
    SCOPED_TRACE(golden.file);
    Bytes list;
    ASSERT_EQ(unpack(read_golden(golden.file), list), UnpackStatus::ok);
    EXPECT_EQ(list.size(), golden.size);
    EXPECT_EQ(testing::sha256_hex({reinterpret_cast<const char*>(list.data()), list.size()}),
              golden.sha256);
}

TEST(GoldenArchives, VersionOneUnpacks) {
    const GoldenArchive archives[] = {
        // Cursor model against each reference order, straight and reversed: lines in that order,
        // each second one followed by one of six heavily repeated lines, which escapes cost
        // little uniformly.
        {"wordpack-1/cursor-0.wpk", 6149,
         "4c27c567eba4f24deb57394561e61eff33aeb3584632c9c4ffecb46237798b32"},
        {"wordpack-1/cursor-0r.wpk", 6434,
         "274d6345b3c70e6edcaf4b8b31c2a0d0b7ef6e23d7aafdb5709843494bbc33c2"},
        {"wordpack-1/cursor-1.wpk", 5836,
         "b19a262aae885d50c9d9d8c069fe8359ebde32f5cd9c5ed3bb5b9e903fabd8a5"},
        {"wordpack-1/cursor-1r.wpk", 6076,
         "221258abd4150c35c522809c299e1fd11533767e63bc094538f353142cac71cd"},
        {"wordpack-1/cursor-2.wpk", 5970,
         "4ede0678737cc53cd98921dac028ca42840716d8694b0ef089712cbdcc007a9a"},
        {"wordpack-1/cursor-2r.wpk", 5984,
         "d426b898511c7e269761ddf80b39cd7819987b135e246c93531cb543a9a6a1f1"},
        {"wordpack-1/cursor-3.wpk", 6365,
         "ac3fe05d3b232ab612678189fca7c7e46fd26698661eb4986d93c3d7aff584ec"},
        {"wordpack-1/cursor-3r.wpk", 6405,
         "571478a4ba123355fea4e5bb0df4ed60310990da86d5d43d12d4e0d266127cb9"},
        // Cursor model with distances against each order: 1,500 distinct lines in that order,
        // a third of them moved by up to 40 places.
        {"wordpack-1/distance-0.wpk", 10593,
         "159cc8b6f85125d5719e2e4658c2841eb1cf4f8f1f89b961e449fd1a0c3be63f"},
        {"wordpack-1/distance-0r.wpk", 10638,
         "3c2e9e97320ba22d42cca45a84c29211e8a2986ef4af4fee71290836e4290c08"},
        {"wordpack-1/distance-1.wpk", 10536,
         "78c487addbb580a56639b4a12a200d0b19bcfa9e8fec4eb64fc254cf59cb5f2c"},
        {"wordpack-1/distance-1r.wpk", 10651,
         "4ef1a1fa330ef597acbfcdac4f023b57c4dc9ecf9dc99df8dbfcbd00ddb950c3"},
        {"wordpack-1/distance-2.wpk", 10583,
         "a473c5146ba7f310a9213559db49f048b0c51f8d5f1cf84bdb97bf535324c2e3"},
        {"wordpack-1/distance-2r.wpk", 10700,
         "2d834be261bda6bf023abca0ecc3317a4f16a8e2d51befa650fb27a64d9e8c09"},
        {"wordpack-1/distance-3.wpk", 10636,
         "0e33f78829d0b471edbfdbe234cecb4f7fb3ee41128046052136c2e48d44c7c5"},
        {"wordpack-1/distance-3r.wpk", 10552,
         "3f71ed45361553791c95163982f78118d705ad327a3271ea38e327a58a0cfd5d"},
        // Uniform order: 3,000 distinct shuffled words (wordperm's code), and 800 words of one
        // to four copies each, shuffled.
        {"wordpack-1/uniform-distinct.wpk", 19722,
         "bfeeefc24d549625c3197227bc397434c34c91de5de74a0a3efe6b7f831e2659"},
        {"wordpack-1/uniform-repeats.wpk", 12542,
         "abee6230ce5d002646365701083663b13c75b142a14e660d1e368d521188bba1"},
        // One line 70,000 times, 3,000 lines twice, 2,000 one to five times, shuffled, the last
        // line bare.
        {"wordpack-1/counts.wpk", 213294,
         "63c52ba27b593c6ea9836a0011ddb2545c961805526f7150a2dccd3f4c1576f4"},
        // 1,800 lines of about 600 bytes of repeated text and 250 sharing a 300-byte prefix,
        // shuffled, the last line bare: tables of 2^22 counters.
        {"wordpack-1/large-tables.wpk", 1167771,
         "4a534915b5d05e3cf8569af7cd6b294c462ab0fae054f952ec4b3d119d9cf8ae"},
    };
    for (const GoldenArchive& golden : archives)
        expect_unpacks(golden);
}

// The same list as uniform-repeats, its set coded by bzip2, xz, brotli and zlib. Their bytes
// depend on the libraries' versions, so these are pinned for unpacking only.
TEST(GoldenArchives, VersionOneLibraryStagesUnpack) {
    if (!library_stages_built()) GTEST_SKIP() << "built without the compression libraries";
    for (const char* file : {"wordpack-1/stage-2.wpk", "wordpack-1/stage-3.wpk",
                             "wordpack-1/stage-4.wpk", "wordpack-1/stage-5.wpk"})
        expect_unpacks(
            {file, 12542, "abee6230ce5d002646365701083663b13c75b142a14e660d1e368d521188bba1"});
}

struct WrittenArchive {
    GoldenArchive golden;
    // What it was packed with, at the default level.
    std::uint64_t block_bytes = kDefaultBlockBytes;
    FormatVersion newest_version = FormatVersion::v5;  // the version its writer wrote at most
};

// Under the sanitizers the archives are unpacked only: packing them again there takes minutes,
// and the plain build compares the bytes.
// The frames and blocks of a golden archive, as a listing reads them.
ArchiveInfo described(const char* file) {
    ArchiveInfo info;
    EXPECT_EQ(describe(read_golden(file), info), UnpackStatus::ok);
    return info;
}

void expect_unpacks_and_written_again(const WrittenArchive& written) {
    expect_unpacks(written.golden);
#if defined(WORDPERM_SANITIZED)
    return;
#endif
    SCOPED_TRACE(written.golden.file);
    const Bytes golden = read_golden(written.golden.file);
    Bytes list, archive;
    ASSERT_EQ(unpack(golden, list), UnpackStatus::ok);
    ASSERT_EQ(pack(list, archive,
                   {.block_bytes = written.block_bytes,
                    .threads = 2,
                    .newest_version = written.newest_version}),
              PackStatus::ok);
    EXPECT_TRUE(archive == golden);
}

TEST(GoldenArchives, VersionTwoUnpacksAndIsWhatPackingWrites) {
    const WrittenArchive archives[] = {
        // Cursor model against each reference order, straight and reversed: 700 words in that
        // order (upper and lower case, apostrophes, hyphens, blanks, accented letters, × and ÷),
        // each second one followed by one of six repeated lines.
        {{"wordpack-2/cursor-0.wpk", 8392,
          "b9efd4fca409366ba642b286afd93e0494e9ee558bd6233e260155f65401d1ed"}},
        {{"wordpack-2/cursor-0r.wpk", 9021,
          "211049088123ba6a70a188c4532b75b72c5dd5e8b2795a838167b55f4a388832"}},
        {{"wordpack-2/cursor-1.wpk", 8990,
          "e6778819f612ee53eebbb8e9ccb356e822c5b801be186aa61eb3da784194dd72"}},
        {{"wordpack-2/cursor-1r.wpk", 9558,
          "10aace3d9ed6b3a0a08ced6f25c0a8bf10a51a9d264b7e9102ea919dfb2699b8"}},
        {{"wordpack-2/cursor-2.wpk", 9129,
          "cb41a18ada7be0b883891e999993352e681173465f3ad1c5b133d301e360971c"}},
        {{"wordpack-2/cursor-2r.wpk", 9281,
          "9431e97a6225f75491c80a023f51e7beed0b6c3c8332128840ed31ef2b6e1b3c"}},
        {{"wordpack-2/cursor-3.wpk", 9530,
          "10941b03f7f7ef0306736842852c175847068b59193e700946c35af8b1dd0e57"}},
        {{"wordpack-2/cursor-3r.wpk", 9094,
          "597ba4960b0d44054842d6540bf1b0c3752bad2511eb4ef18bac73e8a5a72910"}},
        // Cursor model with distances against each order: 1,500 distinct words in that order,
        // a third of them moved by up to 40 places.
        {{"wordpack-2/distance-0.wpk", 13817,
          "daa322060e2c54c03482f6cddf96c057aea75f066d5904443a2fe90d1144a79a"}},
        {{"wordpack-2/distance-0r.wpk", 13515,
          "cce413f38c97039f690c892a5373e11d4d31865f6bdfc981473b5e0f7886078f"}},
        {{"wordpack-2/distance-1.wpk", 13609,
          "5a9b38f9bdabba8b5d21ea7f774de32b8f8e8933167c8ba07e0634f8788f80f3"}},
        {{"wordpack-2/distance-1r.wpk", 13471,
          "3f6fb21387c7190f1d97512c6e3011d992a9bba7599ef904b95a6e4bca6645ad"}},
        {{"wordpack-2/distance-2.wpk", 13291,
          "2b5b269b7b18f740fa9c60f59d5940987f5bca854ab44d067d29ddf6804b4e0a"}},
        {{"wordpack-2/distance-2r.wpk", 13474,
          "ac7175207b672b9055ef1b5e1046e2ae6a9cc23b57090f573314c8ffc5b12cec"}},
        {{"wordpack-2/distance-3.wpk", 13494,
          "4a5a502dcaefdbe6b13c7430721a9ae57895026490836ac8fa58e8f33c0e2a5d"}},
        {{"wordpack-2/distance-3r.wpk", 13531,
          "27039ea8ec7c98304a2e85b09f5ee7304fe0d00c3a75e4c9309202e960bfdac6"}},
        // Uniform order: 3,000 distinct shuffled words, and 800 words of one to four copies.
        {{"wordpack-2/uniform-distinct.wpk", 27755,
          "d8e44a8b411ac66a5f52a5eda863112bfc3a264a85ccb6034f01efedaed087b1"}},
        {{"wordpack-2/uniform-repeats.wpk", 17734,
          "d8285aa95476ac37185ea244aea39028551c9c963f7ca210bb9f94d6c8b44fb9"}},
        // One line 70,000 times, 3,000 lines twice, 2,000 one to five times, shuffled, the last
        // line bare: counts above 2^16 and the frequency tables rescaling.
        {{"wordpack-2/counts.wpk", 394831,
          "d7cf3d13d7d648fc378e0516f7a0bdb9bb5ffcf4c33a453c6eec5b289116acfb"}},
        // 1,800 lines of 500 to 700 bytes cut from one text and 250 sharing a 300-byte prefix,
        // shuffled, the last line bare: a front-coded form over 1 MiB, so tables of 2^22
        // counters, and the mixers' learning rates far down their schedule.
        {{"wordpack-2/large-tables.wpk", 1171769,
          "5953000ed86d5bd949702cb1f8a081b62366ecdfd3b15b96824f19a198838905"}},
        // 2,000 words in byte order and one line of 9 KB, in blocks of 4 KiB: block edges inside a
        // line and at line ends, a block of one line, the frame's last line bare.
        {{"wordpack-2/blocks.wpk", 25635,
          "62def4d816cc2e8514c0ffc6a7de2e90c270b895f9f44997e0099c7068fd6aa1"},
         4 << 10},
        // The empty list (a frame of no blocks) and one empty line.
        {{"wordpack-2/empty.wpk", 0,
          "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"}},
        {{"wordpack-2/empty-line.wpk", 1,
          "01ba4719c80b6fe911b091a7c05124b64eeece964e09c058ef8f9805daca546b"}},
    };
    for (const WrittenArchive& written : archives)
        expect_unpacks_and_written_again(written);
}

TEST(GoldenArchives, VersionThreeUnpacksAndIsWhatPackingWrites) {
    const WrittenArchive archives[] = {
        // Cursor model against the numeric order, straight and reversed: 700 lines in that order
        // (names with versions, addresses, numbers; leading zeros, runs of 21 to 300 digits,
        // tildes, letters and other bytes between numbers, an empty line), each second one
        // followed by one of six repeated lines.
        {{"wordpack-3/cursor-4.wpk", 20191,
          "c197741bcca76d0f7688fa32e3f62ed31deb2c23cce6778427add182d319782d"}},
        {{"wordpack-3/cursor-4r.wpk", 22927,
          "c20a8d275b6ad6b7537364b6a5fb120472ae88fb03f9c3486cddab3e40375767"}},
        // 1,000 words in byte order, then the numbers 1 to 1,500, in blocks of 4 KiB: a version 2
        // frame of one block, then a version 3 frame from the first block that needs the numeric
        // order, holding the blocks after it whatever their orders.
        {{"wordpack-3/frames.wpk", 13093,
          "9ed378d3c2ada478ff93dda3216c36c9275587d56f4e8ad771b5f30a1ea7ae88"},
         4 << 10},
    };
    for (const WrittenArchive& written : archives)
        expect_unpacks_and_written_again(written);
    EXPECT_EQ(described("wordpack-3/frames.wpk").frames, 2u);
    EXPECT_EQ(read_golden("wordpack-3/frames.wpk").at(4), 2);
}

TEST(GoldenArchives, VersionFourUnpacksAndIsWhatPackingWrites) {
    const WrittenArchive archives[] = {
        // Context model: a text of 30,000 words over 774, phrases with words replaced, and runs
        // that fill a line's list, a pair's list, and a pair's count past their bounds.
        {{"wordpack-4/context.wpk", 147737,
          "fb456870c194ba145f8ca50ad925026108ff0a3064ad40ef5f7726718d9d8a24"}},
        // 800 words in byte order, the numbers 1 to 900, a text of 3,000 words over 40, then
        // 800 words in byte order again, in blocks of 4 KiB: a version 2 frame, a version 3
        // frame, and a version 4 frame from the first block that takes the context model, which
        // holds the blocks after it whatever their models.
        {{"wordpack-4/frames.wpk", 26951,
          "a894e139164b2c82725d0e8fb0c104da4077d40b6be9552310f9fad239891551"},
         4 << 10},
    };
    for (const WrittenArchive& written : archives)
        expect_unpacks_and_written_again(written);
    const ArchiveInfo info = described("wordpack-4/frames.wpk");
    ASSERT_FALSE(info.blocks.empty());
    EXPECT_EQ(info.frames, 3u);
    EXPECT_EQ(info.blocks.back().header.version, FormatVersion::v4);
    EXPECT_EQ(least_frame_version(info.blocks.back().header), FormatVersion::v2);
}

TEST(GoldenArchives, VersionFiveUnpacksAndIsWhatPackingWrites) {
    const WrittenArchive archives[] = {
        // Rewrite model: 1,500 stems with the forms of three paradigms, some missing, some twice;
        // an ending followed by 30 rewrites, a count past 1,023, rewrites that cut or put on
        // more than 255 bytes, lines shorter than an ending, an empty line.
        {{"wordpack-5/rewrite.wpk", 151408,
          "afef6aaff8b9999e75e7228e6cecb6ea631d9970663827d2b2b6f0f17286e617"}},
        // 600 words in byte order, the forms of 300 stems, a text of 1,500 words over 30, the
        // numbers 1 to 900 and the forms of 300 stems in descending order, in blocks of 4 KiB:
        // a version 2 frame, then a version 5 frame from the first block that takes the rewrite
        // model, which holds the context model's and the numeric order's blocks after it, and a
        // rewrite against the accents-folded order.
        {{"wordpack-5/frames.wpk", 70663,
          "2c3e259eed603e8c3656e03df5f883a54a255b133e136f195b6650a995917eb8"},
         4 << 10},
    };
    for (const WrittenArchive& written : archives)
        expect_unpacks_and_written_again(written);
    const ArchiveInfo info = described("wordpack-5/frames.wpk");
    ASSERT_FALSE(info.blocks.empty());
    EXPECT_EQ(info.frames, 2u);
    EXPECT_EQ(info.blocks.back().header.version, FormatVersion::v5);
    std::set<std::uint8_t> variants;
    for (const auto& block : info.blocks)
        if (block.header.sections[2].stage == static_cast<std::uint8_t>(OrderModel::rewrite))
            variants.insert(block.header.sections[2].variant);
    EXPECT_EQ(variants, (std::set<std::uint8_t>{0, 6}));
}

TEST(GoldenArchives, VersionSixUnpacksAndIsWhatPackingWrites) {
    const WrittenArchive archives[] = {
        // The set's match model: paths whose names come again under other parents, e-mail
        // addresses, names repeated far apart longer than the bytes a match checks, lines of
        // 300 bytes, bytes above 127, an empty line, the last line bare.
        {{"wordpack-6/matches.wpk", 94698,
          "4f4701099f6783e5f88c34ee7f6f71ce206849b0ca6810455f90c7ede88c7241"},
         kDefaultBlockBytes,
         FormatVersion::v6},
        // Words in byte order, shuffled, moved a little, in case-folded order, numbers, a text
        // and the forms of stems, in blocks of 4 KiB: every order model and reference order
        // but one, in blocks whose sets have the match model with tables of 2^12.
        {{"wordpack-6/frames.wpk", 61476,
          "5143ccf19845d005afe700221b90e9d68967cb607554954917304aeb4986a488"},
         4 << 10,
         FormatVersion::v6},
    };
    for (const WrittenArchive& written : archives)
        expect_unpacks_and_written_again(written);
    const ArchiveInfo info = described("wordpack-6/frames.wpk");
    EXPECT_EQ(info.frames, 1u);
    std::set<std::uint8_t> order_stages;
    for (const auto& block : info.blocks) {
        EXPECT_EQ(block.header.sections[0].stage,
                  static_cast<std::uint8_t>(SetStage::context_mixing_match));
        order_stages.insert(block.header.sections[2].stage);
    }
    EXPECT_EQ(order_stages.size(), 5u);
}

// The lists below are made here, from std::mt19937 (whose output the C++ standard fixes), so that
// their archives' sizes are an alarm for a change that moves how well lists pack without
// breaking a golden archive: a writer's choice, a level's tables, a block size.
std::vector<std::string> made_words(std::uint32_t seed, std::size_t count) {
    static constexpr const char* kSyllables[] = {
        "an", "ber", "ch",  "de", "el", "fi", "gor",  "ha", "in", "ka", "lo", "mu",
        "ne", "or",  "pra", "qu", "ri", "s",  "tion", "u",  "ve", "wa", "x",  "zy"};
    std::mt19937 random(seed);
    std::vector<std::string> words(count);
    for (std::string& word : words)
        for (std::uint32_t n = 1 + random() % 4; n > 0; --n)
            word += kSyllables[random() % std::size(kSyllables)];
    return words;
}

std::vector<std::string> sorted_distinct(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

// A tree of directories and files, listed depth first.
std::vector<std::string> made_paths(std::uint32_t seed, std::size_t count) {
    const std::vector<std::string> names = made_words(seed, 500);
    std::mt19937 random(seed);
    std::vector<std::string> paths(count);
    for (std::string& path : paths)
        path = "/usr/" + names[random() % 8] + "/" + names[8 + random() % 60] + "/" +
               names[random() % names.size()] + ".txt";
    return sorted_distinct(paths);
}

Bytes as_list(const std::vector<std::string>& lines) {
    Bytes list;
    for (const std::string& line : lines) {
        list.insert(list.end(), line.begin(), line.end());
        list.push_back('\n');
    }
    return list;
}

TEST(GoldenArchives, SizesOfMadeListsDoNotDrift) {
#if defined(WORDPERM_SANITIZED)
    GTEST_SKIP() << "an alarm for sizes, which the plain build raises";
#endif
    const struct {
        const char* name;
        Bytes list;
        std::size_t archive_bytes;
    } lists[] = {
        {"sorted distinct words", as_list(sorted_distinct(made_words(1, 60000))), 16123},
        {"words in the order drawn, repeats among them", as_list(made_words(2, 60000)), 106047},
        {"paths", as_list(made_paths(3, 40000)), 21003},
    };
    for (const auto& made : lists) {
        SCOPED_TRACE(made.name);
        Bytes archive;
        ASSERT_EQ(pack(made.list, archive), PackStatus::ok);
        EXPECT_NEAR(static_cast<double>(archive.size()), static_cast<double>(made.archive_bytes),
                    0.005 * static_cast<double>(made.archive_bytes));
    }
}

}  // namespace
}  // namespace wordperm
