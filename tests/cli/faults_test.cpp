// Faults through the built binary: each ends with its status and one stderr line, leaves the
// inputs untouched, and removes the outputs it had begun (regular files only).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/cli.h"

namespace wordperm {
namespace {

using testing::read_file;
using testing::run_cli;
using testing::ScratchDirectory;
using testing::write_file;
namespace fs = std::filesystem;

std::string some_words(int n) {
    std::string words;
    for (int i = 0; i < n; ++i)
        words += "w" + std::to_string(i * 7919 % n) + "\n";
    return words;
}

class Faults : public ::testing::Test {
  protected:
    void SetUp() override {
        write_file(dir / "words", some_words(3000));
        ASSERT_EQ(run_cli({"d", dir / "words", dir / "sorted", dir / "code"}).status, 0);
        sorted = read_file(dir / "sorted");
        code = read_file(dir / "code");
    }
    void expect_inputs_untouched() {
        EXPECT_EQ(read_file(dir / "words"), some_words(3000));
        EXPECT_EQ(read_file(dir / "sorted"), sorted);
        EXPECT_EQ(read_file(dir / "code"), code);
    }
    ScratchDirectory dir;
    std::string sorted;
    std::string code;
};

TEST_F(Faults, OutputThatIsAnInputIsRefusedChangingNothing) {
    fs::create_hard_link(dir / "words", dir / "words-link");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"d", dir / "words", dir / "words", dir / "new-code"},
         3,
         dir / "words" + ": is the same file as " + dir / "words"},
        {{"d", dir / "words", dir / "words-link", dir / "new-code"},
         3,
         dir / "words-link" + ": is the same file as " + dir / "words"},
        {{"d", dir / "words", dir / "new-sorted", dir / "words"},
         4,
         dir / "words" + ": is the same file as " + dir / "words"},
        {{"d", dir / "words", dir / "sorted", dir / "sorted"},
         4,
         dir / "sorted" + ": is the same file as " + dir / "sorted"},
        {{"x", dir / "sorted", dir / "code", dir / "code"},
         3,
         dir / "code" + ": is the same file as " + dir / "code"},
        {{"x", dir / "sorted", dir / "sorted", dir / "code"},
         3,
         dir / "sorted" + ": is the same file as " + dir / "sorted"},
        {{"d", dir / "words", dir / "both", dir / "both"},
         4,
         dir / "both" + ": is the same file as " + dir / "both"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[2] + " " + c.args[3]);
        auto result = run_cli(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, "wordperm: " + c.message + "\n");
        expect_inputs_untouched();
        EXPECT_FALSE(fs::exists(dir / "new-code"));
        EXPECT_FALSE(fs::exists(dir / "new-sorted"));
        EXPECT_FALSE(fs::exists(dir / "both"));
    }
}

TEST_F(Faults, DevicesMayBeNamedTwice) {
    auto result = run_cli({"d", dir / "words", "/dev/null", "/dev/null"});
    EXPECT_EQ(result.status, 0) << result.err;
}

TEST_F(Faults, DirectoryAsAnInputIsRefusedAtOnce) {
    fs::create_directory(dir / "folder");
    auto list = run_cli({"d", dir / "folder", dir / "out", dir / "out-code"});
    EXPECT_EQ(list.status, 2);
    EXPECT_EQ(list.err, "wordperm: " + dir / "folder" + ": Is a directory\n");
    EXPECT_FALSE(fs::exists(dir / "out"));
    auto code_file = run_cli({"x", dir / "sorted", dir / "out", dir / "folder"});
    EXPECT_EQ(code_file.status, 4);
    EXPECT_EQ(code_file.err, "wordperm: " + dir / "folder" + ": Is a directory\n");
}

TEST_F(Faults, EachOutputOnAFullDevice) {
    struct Case {
        std::vector<std::string> args;
        std::string begun;  // the regular output the run had begun, removed afterwards
    };
    const Case cases[] = {
        {{"d", dir / "words", "/dev/full", dir / "new-code"}, dir / "new-code"},
        {{"d", dir / "words", dir / "new-sorted", "/dev/full"}, dir / "new-sorted"},
        {{"x", dir / "sorted", "/dev/full", dir / "code"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[2] + " " + c.args[3]);
        auto result = run_cli(c.args);
        EXPECT_EQ(result.status, 6);
        EXPECT_EQ(result.err, "wordperm: /dev/full: No space left on device\n");
        if (!c.begun.empty()) {
            EXPECT_FALSE(fs::exists(c.begun));
        }
        EXPECT_TRUE(fs::exists("/dev/full"));
        expect_inputs_untouched();
    }
}

// Reading /proc/self/mem at offset 0 fails with EIO: an input that opens but cannot be read.
TEST_F(Faults, UnreadableInputIsStatusSevenNotTheEndOfTheFile) {
    auto list = run_cli({"d", "/proc/self/mem", dir / "new-sorted", dir / "new-code"});
    EXPECT_EQ(list.status, 7);
    EXPECT_EQ(list.err, "wordperm: /proc/self/mem: Input/output error\n");
    EXPECT_FALSE(fs::exists(dir / "new-sorted"));
    EXPECT_FALSE(fs::exists(dir / "new-code"));
    auto code_file = run_cli({"x", dir / "sorted", dir / "restored", "/proc/self/mem"});
    EXPECT_EQ(code_file.status, 7);
    EXPECT_EQ(code_file.err, "wordperm: /proc/self/mem: Input/output error\n");
    EXPECT_FALSE(fs::exists(dir / "restored"));
    expect_inputs_untouched();
}

#if !defined(WORDPERM_SANITIZED)
// A list larger than the memory left under an address-space limit is refused before a byte of
// it is read, with the memory it needs.
TEST_F(Faults, ListLargerThanMemoryIsStatusNineBeforeReading) {
    { std::ofstream(dir / "huge") << ""; }
    fs::resize_file(dir / "huge", std::uintmax_t{1} << 31);  // sparse: nothing is written
    auto result = run_cli({"d", dir / "huge", dir / "new-sorted", dir / "new-code"}, "",
                          std::size_t{1} << 30);
    EXPECT_EQ(result.status, 9);
    const std::string start = "wordperm: " + dir / "huge" + ": out of memory (needs 2049 MiB, ";
    EXPECT_EQ(result.err.substr(0, start.size()), start) << result.err;
    EXPECT_TRUE(result.err.ends_with(" MiB available)\n")) << result.err;
    EXPECT_FALSE(fs::exists(dir / "new-sorted"));
    EXPECT_FALSE(fs::exists(dir / "new-code"));
}
#endif

TEST_F(Faults, CodeThatDoesNotFitIsStatusFiveAndLeavesNoOutput) {
    write_file(dir / "zeros", std::string(16, '\0'));
    auto result = run_cli({"x", dir / "sorted", dir / "restored", dir / "zeros"});
    EXPECT_EQ(result.status, 5);
    EXPECT_EQ(result.err, "wordperm: " + dir / "zeros" + ": does not fit " + dir / "sorted" + "\n");
    EXPECT_FALSE(fs::exists(dir / "restored"));
    auto to_null = run_cli({"x", dir / "sorted", "/dev/null", dir / "zeros"});
    EXPECT_EQ(to_null.status, 5);
    EXPECT_TRUE(fs::exists("/dev/null"));
    expect_inputs_untouched();
}

#if !defined(WORDPERM_SANITIZED)
// An address-space limit makes the large allocations fail (a sanitized binary reserves far
// more address space than any such limit at start-up, so this runs in the plain build only).
TEST_F(Faults, OutOfMemoryIsStatusNine) {
    write_file(dir / "big", std::string(1 << 24, '\n'));  // 16 Mi empty lines
    auto result = run_cli({"d", dir / "big", dir / "new-sorted", dir / "new-code"}, "",
                          std::size_t{96} << 20);
    EXPECT_EQ(result.status, 9) << result.err;
    const std::string start = "wordperm: " + dir / "big" + ": out of memory (needs ";
    EXPECT_EQ(result.err.substr(0, start.size()), start) << result.err;
    EXPECT_FALSE(fs::exists(dir / "new-sorted"));
    EXPECT_FALSE(fs::exists(dir / "new-code"));
}
#endif

}  // namespace
}  // namespace wordperm
