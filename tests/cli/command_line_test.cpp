// The command line through the built binary: usage, help, the mode byte, the sorted order, and
// how outputs reach their names: replaced (links and permission bits kept), or through standard
// output however the shell set it up.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "run_wordperm.h"

namespace wordperm {
namespace {

using testing::CliResult;
using testing::Launch;
using testing::names_in;
using testing::numbered_words;
using testing::read_file;
using testing::run_cli;
using testing::run_wordperm;
using testing::ScratchDirectory;
using testing::StandardOutput;
using testing::write_file;
namespace fs = std::filesystem;

constexpr const char* kProgress = "Sorting 20000 words...\b\b Done\n";

TEST(CommandLine, FewerThanFourArgumentsPrintUsageUnlessAskingForHelpOrVersion) {
    ScratchDirectory dir;
    write_file(dir / "words", "b\na\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out_starts;
        std::string err;
    };
    const std::string usage = "usage: wordperm d|x <list> <out> <code>\n";
    const Case cases[] = {
        {{"--help"}, 0, usage + "\n  wordperm d <word file>", ""},
        {{"--version"}, 0, "wordperm 1.0.0\n", ""},
        {{}, 1, "", usage},
        {{"--help", "x"}, 1, "", usage},
        {{"-h"}, 1, "", usage},
        {{"d", dir / "words", dir / "sorted"}, 1, "", usage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
        CliResult result = run_cli(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(result.out.starts_with(c.out_starts)) << result.out;
        EXPECT_EQ(result.out.empty(), c.out_starts.empty());
        EXPECT_EQ(result.err, c.err);
    }
    EXPECT_FALSE(fs::exists(dir / "sorted"));
}

// The help and the version are the run's result: one that cannot be written fails with status
// 6 and its line, except when the reader has gone away, which ends the run quietly by SIGPIPE.
TEST(CommandLine, HelpAndVersionThatCannotBeWrittenFail) {
    for (const char* argument : {"--help", "--version"}) {
        SCOPED_TRACE(argument);
        const CliResult full = run_wordperm(
            {.args = {argument}, .out = StandardOutput::append_to_file, .out_file = "/dev/full"});
        EXPECT_EQ(full.status, 6);
        EXPECT_EQ(full.err, "wordperm: (stdout): No space left on device\n");
        const CliResult gone =
            run_wordperm({.args = {argument}, .out = StandardOutput::broken_pipe});
        EXPECT_EQ(gone.status, 128 + SIGPIPE);
        EXPECT_EQ(gone.err, "");
    }
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

// A bare last line compares equal to every line that starts with all of its bytes, so it lands
// among them where the sort leaves it, not where byte order would put it (the README's example).
TEST(CommandLine, BareLastLineSortsAmongTheLinesItStarts) {
    ScratchDirectory dir;
    struct Case {
        std::string words;
        std::string sorted;
    };
    const Case cases[] = {{"bz\nba\nb", "ba\nb\nbz"}, {"ba\nbz\nb", "b\nba\nbz"}};
    for (const Case& c : cases) {
        write_file(dir / "words", c.words);
        ASSERT_EQ(run_cli({"d", dir / "words", dir / "sorted", dir / "code"}).status, 0);
        EXPECT_EQ(read_file(dir / "sorted"), c.sorted);
        ASSERT_EQ(run_cli({"x", dir / "sorted", dir / "restored", dir / "code"}).status, 0);
        EXPECT_EQ(read_file(dir / "restored"), c.words);
    }
}

class Outputs : public ::testing::Test {
  protected:
    void SetUp() override {
        write_file(dir / "words", words);
        ASSERT_EQ(run_cli({"d", dir / "words", dir / "sorted", dir / "code"}).status, 0);
        sorted = read_file(dir / "sorted");
        code = read_file(dir / "code");
    }
    ScratchDirectory dir;
    const std::string words = numbered_words(20000);
    std::string sorted;
    std::string code;
};

// Read through /dev/stdin, the list gives what it gives read by its name.
TEST_F(Outputs, ListFileOnStandardInputIsReadToItsEnd) {
    auto result = run_wordperm(
        {.args = {"d", "/dev/stdin", dir / "s", dir / "c"}, .stdin_file = dir / "words"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kProgress);
    EXPECT_TRUE(read_file(dir / "s") == sorted);
    EXPECT_TRUE(read_file(dir / "c") == code);
}

TEST_F(Outputs, ReplacedOutputKeepsItsLinkAndPermissionBits) {
    write_file(dir / "target", "old");
    write_file(dir / "new-code", "old");
    fs::permissions(dir / "target", fs::perms(0640));
    fs::permissions(dir / "new-code", fs::perms(0600));
    fs::create_symlink("target", dir / "link");
    auto result = run_cli({"d", dir / "words", dir / "link", dir / "new-code"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_TRUE(read_file(dir / "target") == sorted);
    EXPECT_TRUE(read_file(dir / "new-code") == code);
    EXPECT_EQ(fs::status(dir / "target").permissions(), fs::perms(0640));
    EXPECT_EQ(fs::status(dir / "new-code").permissions(), fs::perms(0600));
    // A new file gets what any program gives one: 0666 less the umask.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(fs::status(dir / "code").permissions(), fs::perms(0666 & ~mask));
    EXPECT_EQ(names_in(dir),
              (std::vector<std::string>{"code", "link", "new-code", "sorted", "target", "words"}));
}

// Standard output never mixes with an output: the progress text appears only when standard
// output is none of them, /dev/stdout is written as the shell set it up, and a reader that has
// gone away costs only the progress text.
TEST_F(Outputs, StandardOutputHoweverTheShellSetItUp) {
    struct Case {
        const char* what;
        std::string out;  // argument 3
        Launch launch;
        std::string expected_out;     // on the pipe
        std::string expected_sorted;  // in the sorted list's file
        std::string sorted_file;
    };
    write_file(dir / "appended", "head\n");
    write_file(dir / "itself", "old\n");
    fs::create_symlink("/dev/stdout", dir / "stdout-link");
    const Case cases[] = {
        {"on a pipe", dir / "s", {}, kProgress, sorted, dir / "s"},
        {"the sorted list, on a pipe", "/dev/stdout", {}, sorted, "", ""},
        {"the sorted list, appended to a file",
         "/dev/stdout",
         {.out = StandardOutput::append_to_file, .out_file = dir / "appended"},
         "",
         "head\n" + sorted,
         dir / "appended"},
        {"the sorted list, through a link to /dev/stdout",
         dir / "stdout-link",
         {.out = StandardOutput::append_to_file, .out_file = dir / "appended"},
         "",
         "head\n" + sorted + sorted,
         dir / "appended"},
        {"the sorted list's own file",
         dir / "itself",
         {.out = StandardOutput::append_to_file, .out_file = dir / "itself"},
         "",
         sorted,
         dir / "itself"},
        {"closed, with standard input",
         dir / "s",
         {.out = StandardOutput::closed, .stdin_file = ""},
         "",
         sorted,
         dir / "s"},
        {"a reader that has gone",
         dir / "s",
         {.out = StandardOutput::broken_pipe},
         "",
         sorted,
         dir / "s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(dir / "c");
        Launch launch = c.launch;
        launch.args = {"d", dir / "words", c.out, dir / "c"};
        auto result = run_wordperm(launch);
        ASSERT_EQ(result.status, 0) << result.err;
        // Whole lists compared as one value: a diff of them would take longer than the test.
        EXPECT_TRUE(result.out == c.expected_out) << result.out.substr(0, 100);
        if (!c.sorted_file.empty()) {
            EXPECT_TRUE(read_file(c.sorted_file) == c.expected_sorted);
        }
        EXPECT_TRUE(read_file(dir / "c") == code);
    }
}

}  // namespace
}  // namespace wordperm
