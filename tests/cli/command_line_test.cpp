// The command line through the built binary: statuses, file effects and the one stderr line.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli.h"

namespace wordperm {
namespace {

using testing::read_file;
using testing::run_cli;
using testing::ScratchDirectory;
using testing::write_file;
namespace fs = std::filesystem;

TEST(CommandLine, TooFewArgumentsPrintsUsageAndOpensNothing) {
    ScratchDirectory dir;
    write_file(dir / "words", "b\na\n");
    auto result = run_cli({"d", dir / "words", dir / "sorted"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "usage: wordperm d|x <list> <out> <code>\n");
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(fs::exists(dir / "sorted"));
}

TEST(CommandLine, MissingListFileIsStatusTwoAndCreatesNoOutput) {
    ScratchDirectory dir;
    for (const char* mode : {"d", "x"}) {
        auto result = run_cli({mode, dir / "missing", dir / "out", dir / "code"});
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err, "wordperm: " + dir / "missing" + ": No such file or directory\n");
        EXPECT_FALSE(fs::exists(dir / "out"));
        EXPECT_FALSE(fs::exists(dir / "code"));
    }
}

TEST(CommandLine, UnwritableOutputIsStatusThree) {
    ScratchDirectory dir;
    write_file(dir / "words", "a\n");
    auto result = run_cli({"d", dir / "words", dir / "no/such/dir", dir / "code"});
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.err, "wordperm: " + dir / "no/such/dir" + ": No such file or directory\n");
    EXPECT_FALSE(fs::exists(dir / "code"));
}

TEST(CommandLine, UnopenableCodeFileIsStatusFourAfterCreatingTheOutput) {
    ScratchDirectory dir;
    write_file(dir / "sorted", "a\n");
    write_file(dir / "restored", "old contents");
    auto decode = run_cli({"x", dir / "sorted", dir / "restored", dir / "missing"});
    EXPECT_EQ(decode.status, 4);
    EXPECT_EQ(decode.err, "wordperm: " + dir / "missing" + ": No such file or directory\n");
    EXPECT_TRUE(fs::exists(dir / "restored"));
    EXPECT_EQ(fs::file_size(dir / "restored"), 0u);

    auto encode = run_cli({"d", dir / "sorted", dir / "out", dir / "no/dir/code"});
    EXPECT_EQ(encode.status, 4);
    EXPECT_TRUE(fs::exists(dir / "out"));
}

TEST(CommandLine, OnlyTheFirstByteOfTheModeCounts) {
    ScratchDirectory dir;
    write_file(dir / "words", "b\na\n");
    for (const char* mode : {"d", "dx", "decode"}) {
        auto result = run_cli({mode, dir / "words", dir / "sorted", dir / "code"});
        EXPECT_EQ(result.status, 0) << mode;
        EXPECT_EQ(result.out, "Sorting 2 words...\b\b Done\n") << mode;
        EXPECT_EQ(read_file(dir / "sorted"), "a\nb\n") << mode;
    }
    for (const char* mode : {"x", "e", ""}) {
        auto result = run_cli({mode, dir / "sorted", dir / "restored", dir / "code"});
        EXPECT_EQ(result.status, 0) << mode;
        EXPECT_EQ(result.out, "") << mode;
        EXPECT_EQ(read_file(dir / "restored"), "b\na\n") << mode;
    }
}

TEST(CommandLine, ListFileFromAPipeIsReadToItsEnd) {
    ScratchDirectory dir;
    std::string words;
    for (int i = 0; i < 20000; ++i)
        words += std::to_string(i * 7919 % 20000) + "\n";
    write_file(dir / "words", words);
    auto result = run_cli({"d", "/dev/stdin", dir / "sorted", dir / "code"}, dir / "words");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Sorting 20000 words...\b\b Done\n");
    auto restored = run_cli({"x", dir / "sorted", dir / "restored", dir / "code"});
    ASSERT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(read_file(dir / "restored"), words);
}

TEST(CommandLine, FullDeviceAsAnOutputIsStatusSix) {
    ScratchDirectory dir;
    std::string words;
    for (int i = 0; i < 5000; ++i)
        words += std::to_string(i * 7919 % 5000) + "\n";
    write_file(dir / "words", words);
    ASSERT_EQ(run_cli({"d", dir / "words", dir / "sorted", dir / "code"}).status, 0);
    struct Case {
        std::vector<std::string> args;
        std::string failing;
    };
    const Case cases[] = {
        {{"d", dir / "words", "/dev/full", dir / "code2"}, "/dev/full"},
        {{"d", dir / "words", dir / "sorted2", "/dev/full"}, "/dev/full"},
        {{"x", dir / "sorted", "/dev/full", dir / "code"}, "/dev/full"},
    };
    for (const Case& c : cases) {
        auto result = run_cli(c.args);
        EXPECT_EQ(result.status, 6) << c.args[2] << " " << c.args[3];
        EXPECT_EQ(result.err, "wordperm: " + c.failing + ": No space left on device\n");
    }
}

}  // namespace
}  // namespace wordperm
