// Archives that released builds wrote: each must unpack, in this build and every later one, on
// every machine, to the list it was made from, which is pinned by its size and SHA-256.
//
// The version 1 archives below were written once by the version 1 writer and are never made
// again. Their lists were chosen to reach every path of every decoder: each order model
// (uniform over distinct lines, uniform over repeated ones, cursor, cursor with distances)
// against each reference order and its reversal, repeated lines with a count above 2^16 and
// thousands of counts in one context (the frequency tables rescale), shared prefixes of 255 bytes
// and more, the largest model tables (a front-coded form over 1 MiB, which also runs the mixers'
// learning rates far down their schedule), bare last lines, and the set coded by each library
// stage. A change to any constant of a decoder makes one of them fail to unpack.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pack/library_stages.h"
#include "pack/pack.h"
#include "support/sha256.h"

namespace wordperm {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::filesystem::path kGoldenDirectory = WORDPERM_GOLDEN_DIR;

Bytes read_golden(const std::filesystem::path& name) {
    std::ifstream file(kGoldenDirectory / name, std::ios::binary);
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

}  // namespace
}  // namespace wordperm
