// The fault matrix through the built binary: every way a run can fail (each open, a read error,
// a write error and a full disk on each output, a damaged code file, an interrupt) ends with its
// status and one stderr line, and leaves the scratch directory exactly as it was: no existing
// file changed, no file created, no temporary file left behind (except after SIGKILL, whose
// leftovers must say what they are).
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "run_wordperm.h"

namespace wordperm {
namespace {

using testing::changes_between;
using testing::CliResult;
using testing::count_unfinished;
using testing::DirectoryState;
using testing::Launch;
using testing::numbered_words;
using testing::only_the_owner_may_read;
using testing::read_file;
using testing::run_cli;
using testing::run_wordperm;
using testing::ScratchDirectory;
using testing::StandardOutput;
using testing::state_of;
using testing::wait_for;
using testing::write_file;
namespace fs = std::filesystem;

constexpr const char* kUnfinished = ".wordperm-unfinished-";

struct Fault {
    std::vector<std::string> args;  // names in the scratch directory, or absolute paths
    int status;
    std::string failing;  // the file the message names, as given in args
    std::string reason;
    Launch launch = {};  // everything but args
};

class Faults : public ::testing::Test {
  protected:
    void SetUp() override {
        write_file(dir / "words", numbered_words(3000));
        ASSERT_EQ(run_cli({"d", dir / "words", dir / "sorted", dir / "code"}).status, 0);
        write_file(dir / "old-out", "precious sorted list\n");
        write_file(dir / "old-code", "precious code file");
        write_file(dir / "old-restored", "precious restored file\n");
        fs::permissions(dir / "words", fs::perms(0644));  // readable by an unprivileged run
        write_file(dir / "zeros", std::string(16, '\0'));
        write_file(dir / "empty-lines", std::string(20000, '\n'));
        fs::create_hard_link(dir / "words", dir / "words-link");
        fs::create_symlink("old-out", dir / "link");
        fs::create_symlink("link-target", dir / "dangling");
        fs::create_symlink("/dev/full", dir / "full");
        fs::create_symlink("/dev/null", dir / "null");
        fs::create_symlink("/dev/stdout", dir / "stdout-link");
        write_file(dir / "log", "log\n");
        fs::create_directory(dir / "folder");
        // A directory in which an unprivileged run may write one file but create none.
        fs::create_directory(dir / "locked");
        write_file(dir / "locked/writable", "writable\n");
        write_file(dir / "locked/read-only", "read-only\n");
        fs::permissions(dir / "locked/writable", fs::perms(0666));
        fs::permissions(dir / "locked/read-only", fs::perms(0444));
        fs::permissions(dir / "locked", fs::perms(0555));
        for (const char* readable : {"sorted", "code"})
            fs::permissions(dir / readable, fs::perms(0644));
        fs::permissions(dir.path(), fs::perms(0755));
    }

    std::string path_of(const std::string& name) const {
        return name.starts_with('/') ? name : dir / name;
    }

    // Runs every fault and checks its status, its message and that nothing changed.
    void expect_each_changes_nothing(const std::vector<Fault>& faults) {
        for (const Fault& fault : faults) {
            std::string trace;
            for (const std::string& argument : fault.args)
                trace += argument + " ";
            SCOPED_TRACE(trace);
            Launch launch = fault.launch;
            launch.args = {fault.args[0]};
            for (std::size_t i = 1; i < fault.args.size(); ++i)
                launch.args.push_back(path_of(fault.args[i]));
            const DirectoryState before = state_of(dir.path());
            const CliResult result = run_wordperm(launch);
            EXPECT_EQ(result.status, fault.status);
            EXPECT_EQ(result.err,
                      "wordperm: " + path_of(fault.failing) + ": " + fault.reason + "\n");
            EXPECT_EQ(changes_between(before, state_of(dir.path())), std::vector<std::string>{});
        }
    }

    ScratchDirectory dir;
};

TEST_F(Faults, FailedOpenChangesNothing) {
    const std::string no_file = "No such file or directory";
    const std::string is_directory = "Is a directory";
    const Launch stdin_closed{.stdin_file = ""};
    const Launch stdout_closed{.out = StandardOutput::closed};
    expect_each_changes_nothing({
        {{"d", "missing", "old-out", "old-code"}, 2, "missing", no_file},
        {{"x", "missing", "old-restored", "old-code"}, 2, "missing", no_file},
        {{"d", "folder", "old-out", "old-code"}, 2, "folder", is_directory},
        {{"d", "words", "no/dir/out", "old-code"},
         3,
         "no/dir/out",
         "cannot create a file in " + dir / "no/dir" + ": " + no_file},
        {{"d", "words", "folder", "old-code"}, 3, "folder", is_directory},
        // A mistyped or unusable code file never costs argument 3 its content.
        {{"x", "sorted", "old-restored", "code.bni"}, 4, "code.bni", no_file},
        {{"x", "sorted", "old-restored", "folder"}, 4, "folder", is_directory},
        {{"d", "words", "old-out", "no/dir/code"},
         4,
         "no/dir/code",
         "cannot create a file in " + dir / "no/dir" + ": " + no_file},
        {{"d", "words", "old-out", "folder"}, 4, "folder", is_directory},
        {{"d", "/dev/stdin", "old-out", "/dev/fd/9"}, 4, "/dev/fd/9", "Bad file descriptor"},
        // A standard stream the run was started without is neither read as empty nor written
        // to nowhere, whatever names it.
        {{"d", "/dev/stdin", "old-out", "old-code"},
         2,
         "/dev/stdin",
         "standard input is closed",
         stdin_closed},
        {{"x", "sorted", "old-restored", "/dev/fd/0"},
         4,
         "/dev/fd/0",
         "standard input is closed",
         stdin_closed},
        {{"x", "sorted", "/dev/stdout", "code"},
         3,
         "/dev/stdout",
         "standard output is closed",
         stdout_closed},
        {{"d", "words", "old-out", "stdout-link"},
         4,
         "stdout-link",
         "standard output is closed",
         stdout_closed},
    });
}

// An output whose directory takes no new file is refused before anything is written, naming the
// directory: it is never rewritten in place, so a limit or a failure later cannot cost it its
// content. A file that may not be written is refused too, though its directory would let it be
// replaced. Only a user without privileges meets these directories.
TEST_F(Faults, DirectoryThatTakesNoNewFileIsRefused) {
    std::string why;
    if (!testing::unprivileged_runs_possible(dir.path(), why)) GTEST_SKIP() << why;
    const std::string no_new_file =
        "cannot create a file in " + dir / "locked" + ": Permission denied";
    const Launch unprivileged{.unprivileged = true};
    const Launch limited{.unprivileged = true, .file_size_limit = 4096};
    expect_each_changes_nothing({
        {{"d", "words", "locked/new", "old-code"}, 3, "locked/new", no_new_file, unprivileged},
        {{"d", "words", "locked/writable", "old-code"},
         3,
         "locked/writable",
         no_new_file,
         unprivileged},
        {{"d", "words", "locked/writable", "old-code"}, 3, "locked/writable", no_new_file, limited},
        {{"x", "sorted", "locked/writable", "code"}, 3, "locked/writable", no_new_file, limited},
        {{"d", "words", "/dev/null", "locked/writable"},
         4,
         "locked/writable",
         no_new_file,
         unprivileged},
        {{"d", "words", "locked/read-only", "old-code"},
         3,
         "locked/read-only",
         "Permission denied",
         unprivileged},
    });
}

TEST_F(Faults, OutputThatIsAnotherArgumentIsRefused) {
    const std::string list_out = "the word file and the sorted list are the same file";
    const std::string list_code = "the word file and the code file are the same file";
    const std::string out_code = "the sorted list and the code file are the same file";
    expect_each_changes_nothing({
        {{"d", "words", "words", "new-code"}, 3, "words", list_out},
        {{"d", "words", "words-link", "new-code"}, 3, "words-link", list_out},
        {{"d", "words", "new-sorted", "words"}, 4, "words", list_code},
        {{"d", "words", "old-out", "old-out"}, 4, "old-out", out_code},
        {{"d", "words", "link", "old-out"}, 4, "old-out", out_code},
        {{"d", "words", "both", "both"}, 4, "both", out_code},
        {{"d", "words", "dangling", "link-target"}, 4, "link-target", out_code},
        {{"x", "sorted", "sorted", "code"},
         3,
         "sorted",
         "the sorted list and the restored file are the same file"},
        {{"x", "sorted", "code", "code"},
         3,
         "code",
         "the restored file and the code file are the same file"},
    });
}

TEST_F(Faults, FailureInTheRunChangesNothing) {
    fs::create_hard_link(dir / "sorted", dir / "sorted-link");
    write_file(dir / "long-code", read_file(dir / "code") + std::string(8, '\0'));
    // The word file's fourth line, w2757, sorts before its third, w838.
    const std::string out_of_order = "not a sorted list: line 4 sorts before line 3";
    const std::string full = "No space left on device";
    const std::string too_large = "File too large";  // a file-size limit: a disk that fills up
    expect_each_changes_nothing({
        {{"d", "/proc/self/mem", "old-out", "old-code"}, 7, "/proc/self/mem", "Input/output error"},
        {{"x", "sorted", "old-restored", "/proc/self/mem"},
         7,
         "/proc/self/mem",
         "Input/output error"},
        // What can never be a code for the list is refused, each check by its own message: the
        // list itself (arguments 3 and 4 swapped), a list out of order (the word file, or a mode
        // word other than d), a code longer than any code of the list, a rank beyond the lines.
        {{"x", "sorted", "code", "sorted"},
         5,
         "sorted",
         "the sorted list and the code file are the same file"},
        {{"x", "sorted", "old-restored", "sorted-link"},
         5,
         "sorted-link",
         "the sorted list and the code file are the same file"},
        {{"x", "words", "old-restored", "code"}, 5, "words", out_of_order},
        {{"encode", "words", "old-out", "code"}, 5, "words", out_of_order},
        {{"x", "sorted", "old-restored", "long-code"},
         5,
         "long-code",
         "longer than any code for the 3000 lines of " + dir / "sorted"},
        {{"x", "sorted", "old-restored", "zeros"}, 5, "zeros", "does not fit " + dir / "sorted"},
        {{"x", "sorted", "null", "zeros"}, 5, "zeros", "does not fit " + dir / "sorted"},
        // Nothing is removed by name: not a link's target, not /dev/stdout.
        {{"x", "sorted", "link", "zeros"}, 5, "zeros", "does not fit " + dir / "sorted"},
        {{"x", "sorted", "/dev/stdout", "zeros"},
         5,
         "zeros",
         "does not fit " + dir / "sorted",
         {.out = StandardOutput::append_to_file, .out_file = dir / "log"}},
        {{"x", "sorted", "stdout-link", "zeros"},
         5,
         "zeros",
         "does not fit " + dir / "sorted",
         {.out = StandardOutput::append_to_file, .out_file = dir / "log"}},
        {{"d", "words", "link", "full"}, 6, "full", full},
        {{"d", "words", "full", "old-code"}, 6, "full", full},
        {{"d", "words", "old-out", "full"}, 6, "full", full},
        {{"x", "sorted", "full", "code"}, 6, "full", full},
        {{"d", "words", "old-out", "old-code"}, 6, "old-out", too_large, {.file_size_limit = 8192}},
        {{"d", "empty-lines", "old-out", "old-code"},
         6,
         "old-code",
         too_large,
         {.file_size_limit = 24576}},
        {{"x", "sorted", "old-restored", "code"},
         6,
         "old-restored",
         too_large,
         {.file_size_limit = 8192}},
        {{"d", "words", "/dev/stdout", "old-code"},
         6,
         "/dev/stdout",
         "Broken pipe",
         {.out = StandardOutput::broken_pipe}},
    });
}

#if !defined(WORDPERM_SANITIZED)
// Lists that do not fit in the memory left under an address-space limit are refused with status
// 9 and the memory they need (what is available varies, so only the start is compared): a list
// larger than the memory before a byte of it is read, 16 Mi empty lines before their arrays are
// allocated. (A sanitized binary reserves far more address space than any such limit at
// start-up, so this runs in the plain build only.)
TEST_F(Faults, OutOfMemoryIsStatusNine) {
    { std::ofstream(dir / "huge") << ""; }
    fs::resize_file(dir / "huge", std::uintmax_t{1} << 31);  // sparse: nothing is written
    write_file(dir / "big", std::string(1 << 24, '\n'));
    const std::pair<std::string, std::uint64_t> cases[] = {{"huge", std::uint64_t{1} << 30},
                                                           {"big", std::uint64_t{96} << 20}};
    for (const auto& [list, limit] : cases) {
        SCOPED_TRACE(list);
        const DirectoryState before = state_of(dir.path());
        const CliResult result =
            run_wordperm({.args = {"d", dir / list, dir / "old-out", dir / "old-code"},
                          .address_space_limit = limit});
        EXPECT_EQ(result.status, 9);
        const std::string start = "wordperm: " + dir / list + ": out of memory (needs ";
        EXPECT_EQ(result.err.substr(0, start.size()), start) << result.err;
        EXPECT_TRUE(result.err.ends_with(" MiB available)\n")) << result.err;
        EXPECT_EQ(changes_between(before, state_of(dir.path())), std::vector<std::string>{});
    }
}
#endif

// A failing output while the sorted list is being written on a second thread (65,536 lines or
// more): the run must still end cleanly, with that thread joined before anything it uses is
// freed. The lines are long so that the thread is still writing when the code file fails; the
// sanitizer build catches any access to freed memory.
TEST_F(Faults, FailingOutputDuringTheTwoThreadStep) {
    write_file(dir / "long", numbered_words(70000, 1000));
    expect_each_changes_nothing({
        {{"d", "long", "old-out", "full"}, 6, "full", "No space left on device"},
        {{"d", "long", "full", "old-code"}, 6, "full", "No space left on device"},
    });
}

// Runs that write one pair at the same time leave the pair of one of them, never the sorted
// list of one beside the code of the other, and a decode beside them reads one pair: each run
// renames its outputs, and a decode opens its inputs, under locks on their directory.
TEST_F(Faults, ConcurrentRunsNeverMixAPair) {
    const std::string lists[] = {numbered_words(20000), numbered_words(20000, 3)};
    write_file(dir / "a", lists[0]);
    write_file(dir / "b", lists[1]);
    ASSERT_EQ(run_cli({"d", dir / "a", dir / "s", dir / "c"}).status, 0);
    const auto is_one_of_the_lists = [&](const std::string& restored) {
        return restored == lists[0] || restored == lists[1];
    };
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        CliResult encodes[2];
        std::thread first([&] { encodes[0] = run_cli({"d", dir / "a", dir / "s", dir / "c"}); });
        std::thread second([&] { encodes[1] = run_cli({"d", dir / "b", dir / "s", dir / "c"}); });
        const CliResult beside = run_cli({"x", dir / "s", dir / "r", dir / "c"});
        first.join();
        second.join();
        EXPECT_EQ(encodes[0].status, 0) << encodes[0].err;
        EXPECT_EQ(encodes[1].status, 0) << encodes[1].err;
        EXPECT_EQ(beside.status, 0) << beside.err;
        EXPECT_TRUE(is_one_of_the_lists(read_file(dir / "r")));
        ASSERT_EQ(run_cli({"x", dir / "s", dir / "r", dir / "c"}).status, 0);
        ASSERT_TRUE(is_one_of_the_lists(read_file(dir / "r")));
    }
}

// True once process `pid` waits for a flock: /proc/locks lists a waiter with "->".
bool waits_for_a_lock(pid_t pid) {
    std::ifstream locks("/proc/locks");
    const std::string owner = " " + std::to_string(pid) + " ";
    for (std::string line; std::getline(locks, line);)
        if (line.find("->") != std::string::npos && line.find(owner) != std::string::npos)
            return true;
    return false;
}

// The locks step by step, the test holding the other side: a run's renames wait while a reader
// holds its shared lock on the directory, and a decode's opens wait while a writer holds its
// exclusive one, here between the renames of a pair.
TEST_F(Faults, RenamesAndOpensOfAPairWaitForEachOther) {
    const std::string lists[] = {numbered_words(2000), numbered_words(2000, 3)};
    write_file(dir / "a", lists[0]);
    write_file(dir / "b", lists[1]);
    ASSERT_EQ(run_cli({"d", dir / "a", dir / "s", dir / "c"}).status, 0);
    ASSERT_EQ(run_cli({"d", dir / "a", dir / "s-a", dir / "c-a"}).status, 0);
    const std::string pair_a = read_file(dir / "s") + read_file(dir / "c");
    const int directory = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(directory, LOCK_SH), 0);
    Launch encode{.args = {"d", dir / "b", dir / "s", dir / "c"}};
    encode.while_running = [&](pid_t child) {
        EXPECT_TRUE(wait_for([&] { return waits_for_a_lock(child); }));
        EXPECT_TRUE(read_file(dir / "s") + read_file(dir / "c") == pair_a);
        ::flock(directory, LOCK_UN);
    };
    EXPECT_EQ(run_wordperm(encode).status, 0);

    ASSERT_EQ(::flock(directory, LOCK_EX), 0);
    fs::rename(dir / "s-a", dir / "s");
    Launch decode{.args = {"x", dir / "s", dir / "r", dir / "c"}};
    decode.while_running = [&](pid_t child) {
        EXPECT_TRUE(wait_for([&] { return waits_for_a_lock(child); }));
        fs::rename(dir / "c-a", dir / "c");
        ::flock(directory, LOCK_UN);
    };
    EXPECT_EQ(run_wordperm(decode).status, 0);
    EXPECT_TRUE(read_file(dir / "r") == lists[0]);
    ::close(directory);
}

// The list (encode) or the code file (decode) is a FIFO that the test holds open: the run reads
// what the test has written and then waits for more, its temporary files in place, and the
// signal arrives there, deterministically.
TEST_F(Faults, InterruptRemovesTheTemporaryFiles) {
    const std::string many = numbered_words(70000);
    write_file(dir / "many", many);
    ASSERT_EQ(run_cli({"d", dir / "many", dir / "many-sorted", dir / "many-code"}).status, 0);
    const std::string many_code = read_file(dir / "many-code");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    struct Case {
        bool encode;
        int signal_number;
    };
    const Case cases[] = {{true, SIGINT},   {true, SIGTERM}, {true, SIGHUP}, {false, SIGINT},
                          {false, SIGTERM}, {false, SIGHUP}, {true, SIGKILL}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.encode ? "encode, " : "decode, ") + strsignal(c.signal_number));
        const DirectoryState before = state_of(dir.path());
        const std::string fed = c.encode ? many : many_code.substr(0, 4096);
        Launch launch;
        launch.args = c.encode ? std::vector<std::string>{"d", dir / "fifo", dir / "old-out",
                                                          dir / "old-code"}
                               : std::vector<std::string>{"x", dir / "many-sorted",
                                                          dir / "old-restored", dir / "fifo"};
        launch.while_running = [&](pid_t child) {
            const int fifo = ::open((dir / "fifo").c_str(), O_RDWR);
            ASSERT_EQ(::write(fifo, fed.data(), fed.size()), static_cast<ssize_t>(fed.size()));
            const int outputs = c.encode ? 2 : 1;
            EXPECT_TRUE(wait_for([&] {
                int unread = 0;
                ::ioctl(fifo, FIONREAD, &unread);
                return unread == 0 && count_unfinished(dir.path(), kUnfinished) == outputs;
            }));
            // No other user may read what the run writes, whatever the outputs' modes will be.
            EXPECT_TRUE(only_the_owner_may_read(dir.path(), kUnfinished));
            ::kill(child, c.signal_number);
            ::close(fifo);
        };
        const CliResult result = run_wordperm(launch);
        EXPECT_EQ(result.status, 128 + c.signal_number);
        EXPECT_EQ(result.err, "");
        std::vector<std::string> changed = changes_between(before, state_of(dir.path()));
        std::erase(changed, "fifo");  // its times change as the test writes to it
        if (c.signal_number == SIGKILL) {
            // Nothing runs after SIGKILL: the final names are untouched, and what is left over
            // says what it is.
            EXPECT_EQ(changed.size(), 2u);
            for (const std::string& name : changed) {
                EXPECT_NE(name.find(kUnfinished), std::string::npos) << name;
                fs::remove(dir / name);
            }
        } else {
            EXPECT_EQ(changed, std::vector<std::string>{});
        }
    }
}

}  // namespace
}  // namespace wordperm
