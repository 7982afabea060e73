// wordpack through its binary: round trips by every route a file can take, and the refusals
// and failures that must leave every file as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "cli/run_wordperm.h"

namespace wordperm {
namespace {

using namespace ::wordperm::testing;
namespace fs = std::filesystem;

constexpr const char* kWordpackUnfinished = ".wordpack-unfinished-";

CliResult wordpack(std::vector<std::string> args, std::string stdin_file = "/dev/null") {
    Launch launch;
    launch.binary = WORDPACK_BINARY;
    launch.args = std::move(args);
    launch.stdin_file = std::move(stdin_file);
    return run_wordperm(launch);
}

std::string every_byte_value() {
    std::string list;
    for (int byte = 0; byte < 256; ++byte)
        if (byte != '\n')
            list +=
                std::string(static_cast<std::size_t>(1 + byte % 3), static_cast<char>(byte)) + '\n';
    return list;
}

class PackFiles : public ::testing::Test {
  protected:
    ScratchDirectory dir;
};

TEST_F(PackFiles, EveryRouteRestoresTheListByteForByte) {
    const std::string lists[] = {
        "",
        "\n",
        "bare last line",
        "pear\napple\r\nfig\n\napple\npear\npear",
        every_byte_value(),
        std::string(5000, 'x') + "\n" + std::string(5000, 'x') + "\nx\n",
    };
    for (const std::string& list : lists) {
        SCOPED_TRACE(list.substr(0, 40));
        write_file(dir / "words", list);
        // File to file, and back beside it.
        ASSERT_EQ(wordpack({"-f", dir / "words"}).status, 0);
        EXPECT_EQ(read_file(dir / "words"), list);  // the input is kept
        EXPECT_EQ(wordpack({"-t", dir / "words.wpk"}).status, 0);
        fs::rename(dir / "words", dir / "original");
        ASSERT_EQ(wordpack({"-d", dir / "words.wpk"}).status, 0);
        EXPECT_EQ(read_file(dir / "words"), list);
        // Standard input to standard output, both ways.
        const CliResult packed = wordpack({}, dir / "original");
        ASSERT_EQ(packed.status, 0) << packed.err;
        write_file(dir / "piped.wpk", packed.out);
        const CliResult unpacked = wordpack({"-dc"}, dir / "piped.wpk");
        ASSERT_EQ(unpacked.status, 0) << unpacked.err;
        EXPECT_EQ(unpacked.out, list);
        // -o names the output; -c writes standard output.
        ASSERT_EQ(wordpack({"-fo", dir / "named", "-d", dir / "piped.wpk"}).status, 0);
        EXPECT_EQ(read_file(dir / "named"), list);
        EXPECT_EQ(wordpack({"-dc", dir / "words.wpk"}).out, list);
    }
}

TEST_F(PackFiles, RefusalsAndFailuresChangeNothing) {
    write_file(dir / "words", "pear\napple\nfig\n");
    ASSERT_EQ(wordpack({dir / "words"}).status, 0);
    const std::string archive = read_file(dir / "words.wpk");
    write_file(dir / "copy.wpk", archive);
    write_file(dir / "copy", "an older copy\n");
    std::string flipped = archive;
    flipped[flipped.size() / 2] ^= 0x10;
    write_file(dir / "flipped.wpk", flipped);
    write_file(dir / "cut.wpk", archive.substr(0, archive.size() - 1));
    write_file(dir / "text.wpk", "pear\napple\nfig\n");
    fs::create_symlink("/dev/full", dir / "full");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    write_file(dir / "fifo.wpk", archive);
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string file;    // the file the one line of standard error names
        std::string reason;  // a part of what it says
        Launch launch = {};  // everything but the program and its arguments
    };
    const std::string not_regular = "is not a regular file, and only a regular file is replaced";
    const Row rows[] = {
        {{"words"}, 2, "words.wpk", "already exists"},
        {{"-d", "copy.wpk"}, 2, "copy", "already exists"},
        {{"missing"}, 2, "missing", "No such file or directory"},
        {{"-d", "words"}, 1, "words", "no .wpk suffix"},
        {{"words.wpk"}, 1, "words.wpk", "already has the .wpk suffix"},
        {{"-f", "-o", "words", "words"}, 2, "words", "is the input file itself"},
        {{"-d", "-f", "flipped.wpk"}, 3, "flipped.wpk", "damaged or truncated"},
        {{"-t", "cut.wpk"}, 3, "cut.wpk", "damaged or truncated"},
        {{"-l", "text.wpk"}, 3, "text.wpk", "not a wordpack archive"},
        // The need is rounded up and the limit down: never the same number.
        {{"-t", "--memlimit=6100k", "words.wpk"}, 5, "words.wpk",
         "a block needs 6.1 MiB, more than the limit of 5.9 MiB"},
        // Only a regular file is replaced: a FIFO or a device already exists without -f, and
        // is refused with it, rather than written into (a FIFO would hang the run).
        {{"-o", "full", "words"}, 2, "full", "already exists"},
        {{"-f", "-o", "full", "words"}, 2, "full", not_regular},
        {{"-d", "fifo.wpk"}, 2, "fifo", "already exists"},
        {{"-d", "-f", "fifo.wpk"}, 2, "fifo", not_regular},
        // A file-size limit fails the write, and the temporary file goes.
        {{"-f", "-o", "copy", "words"}, 4, "copy", "File too large", {.file_size_limit = 64}},
    };
    for (const Row& row : rows) {
        Launch launch = row.launch;
        launch.binary = WORDPACK_BINARY;
        for (const std::string& argument : row.args)
            launch.args.push_back(argument[0] == '-' ? argument : dir / argument);
        SCOPED_TRACE(row.args.back());
        const DirectoryState before = state_of(dir.path());
        const CliResult result = run_wordperm(launch);
        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(result.err.find("wordpack: " + dir / row.file + ": "), 0u) << result.err;
        EXPECT_NE(result.err.find(row.reason), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(changes_between(before, state_of(dir.path())), std::vector<std::string>{});
    }
}

// What -l, -lv, -v and -q print, and where: the listing on standard output, reports on standard
// error, nothing but errors with -q. A uniform or context order names no reference order; a
// cursor model names the one it follows.
TEST_F(PackFiles, ListingsAndReportsSayWhatWasDone) {
    std::vector<std::string> words;
    std::string shuffled, sorted, numbers;
    for (int i = 0; i < 400; ++i) {
        words.push_back("w" + std::to_string(1000 + i) + "\n");
        sorted += words.back();
        numbers += std::to_string(i + 1) + "\n";
    }
    std::shuffle(words.begin(), words.end(), std::mt19937_64(4));
    for (const std::string& word : words)
        shuffled += word;
    // A text that says the same few things over and over, which only the context model sees.
    std::string phrases;
    for (int i = 0; i < 300; ++i)
        phrases += words[static_cast<std::size_t>(i % 7)] + words[static_cast<std::size_t>(i % 11)];
    write_file(dir / "text", phrases);
    std::string forms;
    for (char a = 'a'; a <= 'p'; ++a)
        for (char b = 'a'; b <= 'z'; ++b)
            for (const char* ending : {"ar\n", "o\n", "as\n", "a\n", "amos\n", "ado\n"})
                forms += std::string{a, b} + ending;
    write_file(dir / "forms", forms);
    write_file(dir / "shuffled", shuffled);
    write_file(dir / "sorted", sorted);
    write_file(dir / "numbers", numbers);
    ASSERT_EQ(wordpack({"-q", dir / "shuffled", dir / "sorted", dir / "numbers", dir / "text",
                        dir / "forms"})
                  .status,
              0);
    struct Row {
        std::vector<std::string> args;
        std::vector<std::string> out;  // parts of standard output, in order
        std::vector<std::string> err;  // parts of standard error, in order
        std::vector<std::string> not_out = {};
    };
    const Row rows[] = {
        {{"-l", "shuffled.wpk"},
         {"Lines", "Original", "Packed", "Ratio", "Blocks", "400", "shuffled.wpk"},
         {},
         {"distinct"}},
        {{"-lv", "shuffled.wpk", "sorted.wpk"},
         {"shuffled.wpk", "400 distinct; set context-mixing", "order uniform (", "sorted.wpk",
          " of byte (", "800", "2 archives"},
         {},
         {"uniform of"}},
        {{"-lv", "numbers.wpk"}, {"numbers.wpk", "400 distinct", " of numeric ("}, {}},
        {{"-lv", "text.wpk"}, {"text.wpk", "11 distinct", "order context ("}, {}, {"context of"}},
        {{"-lv", "forms.wpk"}, {"forms.wpk", "order rewrite of reversed byte ("}, {}},
        {{"-v", "-f", "sorted"}, {}, {"wordpack: " + dir / "sorted" + ": 2400 -> ", " bytes ("}},
        {{"-tv", "sorted.wpk"}, {}, {"wordpack: " + dir / "sorted.wpk" + ": OK"}},
        {{"-q", "-t", "sorted.wpk"}, {}, {}},
        {{"-q", "-t", "missing.wpk"}, {}, {"wordpack: " + dir / "missing.wpk" + ": No such file"}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args;
        for (const std::string& argument : row.args)
            args.push_back(argument[0] == '-' ? argument : dir / argument);
        SCOPED_TRACE(row.args[0] + " " + row.args.back());
        const CliResult result = wordpack(args);
        auto expect_in_order = [](const std::string& text, const std::vector<std::string>& parts) {
            std::size_t at = 0;
            for (const std::string& part : parts) {
                at = text.find(part, at);
                ASSERT_NE(at, std::string::npos) << "'" << part << "' in:\n" << text;
            }
            if (parts.empty()) {
                EXPECT_EQ(text, "");
            }
        };
        expect_in_order(result.out, row.out);
        expect_in_order(result.err, row.err);
        for (const std::string& part : row.not_out)
            EXPECT_EQ(result.out.find(part), std::string::npos) << part;
    }
}

TEST_F(PackFiles, AFailingFileDoesNotStopTheOthers) {
    write_file(dir / "a", "one\n");
    write_file(dir / "b", "two\n");
    const CliResult result = wordpack({dir / "a", dir / "missing", dir / "b"});
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(fs::exists(dir / "a.wpk"));
    EXPECT_TRUE(fs::exists(dir / "b.wpk"));
    const CliResult listed = wordpack({"-l", dir / "a.wpk", dir / "b.wpk"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find("2 archives"), std::string::npos) << listed.out;
}

// A standard stream the run was started without is refused by every name, never read as an
// empty list or written to nowhere.
TEST_F(PackFiles, ClosedStandardStreamsAreRefused) {
    write_file(dir / "words", "one\n");
    ASSERT_EQ(wordpack({dir / "words"}).status, 0);
    struct Row {
        std::vector<std::string> args;
        bool input_closed;  // else standard output
        std::string message;
    };
    const Row rows[] = {
        {{"-c", dir / "words"}, false, "wordpack: (stdout): standard output is closed\n"},
        {{"-d", "-o", "/dev/stdout", dir / "words.wpk"},
         false,
         "wordpack: /dev/stdout: standard output is closed\n"},
        {{"-o", dir / "out.wpk"}, true, "wordpack: (stdin): standard input is closed\n"},
        {{"-f", "-o", dir / "out.wpk", "/dev/stdin"},
         true,
         "wordpack: /dev/stdin: standard input is closed\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        Launch launch{.args = row.args, .binary = WORDPACK_BINARY};
        if (row.input_closed) {
            launch.stdin_file = "";
        } else {
            launch.out = StandardOutput::closed;
        }
        const CliResult result = run_wordperm(launch);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err, row.message);
    }
    EXPECT_FALSE(fs::exists(dir / "out.wpk"));
}

// What goes to standard output, an archive or list as much as a listing, the help or the
// version, must get there: a write that fails is status 4 with its line; a reader that has gone
// away (`| head`) ends the run quietly by SIGPIPE.
TEST_F(PackFiles, StandardOutputThatFails) {
    write_file(dir / "words", "pear\napple\nfig\n");
    ASSERT_EQ(wordpack({dir / "words"}).status, 0);
    const std::vector<std::string> commands[] = {
        {"-l", dir / "words.wpk"},  {"-h"}, {"-V"}, {"-c", dir / "words"},
        {"-dc", dir / "words.wpk"},
    };
    for (const std::vector<std::string>& args : commands) {
        SCOPED_TRACE(args[0]);
        const CliResult full = run_wordperm({.args = args,
                                             .binary = WORDPACK_BINARY,
                                             .out = StandardOutput::append_to_file,
                                             .out_file = "/dev/full"});
        EXPECT_EQ(full.status, 4);
        EXPECT_EQ(full.err, "wordpack: (stdout): No space left on device\n");
        const CliResult gone = run_wordperm(
            {.args = args, .binary = WORDPACK_BINARY, .out = StandardOutput::broken_pipe});
        EXPECT_EQ(gone.status, 128 + SIGPIPE);
        EXPECT_EQ(gone.err, "");
    }
}

#if !defined(WORDPERM_SANITIZED)
// The model's tables do not fit under a 64 MiB address-space limit: status 5, and no output.
// (A sanitized binary reserves more address space than that at start-up.)
TEST_F(PackFiles, OutOfMemoryIsStatusFive) {
    std::string list;
    for (std::uint64_t i = 0; i < 300000; ++i)
        list += std::to_string(i * 7919 % 300000) + "-" + std::to_string(i % 977) + "\n";
    write_file(dir / "words", list);
    const DirectoryState before = state_of(dir.path());
    const CliResult result = run_wordperm({.args = {dir / "words"},
                                           .binary = WORDPACK_BINARY,
                                           .address_space_limit = std::uint64_t{64} << 20});
    EXPECT_EQ(result.status, 5);
    EXPECT_EQ(result.err, "wordpack: " + dir / "words" + ": out of memory\n");
    EXPECT_EQ(changes_between(before, state_of(dir.path())), std::vector<std::string>{});
}
#endif

TEST_F(PackFiles, InterruptRemovesTheTemporaryFile) {
    write_file(dir / "out", "kept as it was\n");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal_number));
        const DirectoryState before = state_of(dir.path());
        Launch launch;
        launch.binary = WORDPACK_BINARY;
        launch.args = {"-f", "-o", dir / "out", dir / "fifo"};
        launch.while_running = [&](pid_t child) {
            // The run waits in its read of the FIFO, its temporary file in place.
            const int fifo = ::open((dir / "fifo").c_str(), O_RDWR);
            EXPECT_TRUE(
                wait_for([&] { return count_unfinished(dir.path(), kWordpackUnfinished) == 1; }));
            // No other user may read what the run writes.
            EXPECT_TRUE(only_the_owner_may_read(dir.path(), kWordpackUnfinished));
            ::kill(child, signal_number);
            ::close(fifo);
        };
        EXPECT_EQ(run_wordperm(launch).status, 128 + signal_number);
        std::vector<std::string> changed = changes_between(before, state_of(dir.path()));
        std::erase(changed, "fifo");
        EXPECT_EQ(changed, std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace wordperm
