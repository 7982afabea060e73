// wordpack's option parsing: each row an argument list and what it must come to.
#include "wordpack/command_line.h"

#include <gtest/gtest.h>

namespace wordperm {
namespace {

using Action = ParsedCommandLine::Action;

struct ArgumentsRow {
    std::vector<std::string> arguments;
    Action action;
    Operation operation = Operation::pack;
    bool to_stdout = false;
    std::optional<std::string> output = std::nullopt;
    bool force = false;
    int verbosity = 1;
    std::vector<std::string> files = {"-"};
};

TEST(PackCommandLine, ArgumentsGiveTheirOptions) {
    const ArgumentsRow rows[] = {
        {{}, Action::run},
        {{"words"}, Action::run, Operation::pack, false, {}, false, 1, {"words"}},
        {{"-dc", "a.wpk"}, Action::run, Operation::unpack, true, {}, false, 1, {"a.wpk"}},
        {{"-d", "-c", "a.wpk"}, Action::run, Operation::unpack, true, {}, false, 1, {"a.wpk"}},
        {{"-oout.wpk", "a"}, Action::run, Operation::pack, false, "out.wpk", false, 1, {"a"}},
        {{"-fo", "out", "a"}, Action::run, Operation::pack, false, "out", true, 1, {"a"}},
        {{"--output=x", "a"}, Action::run, Operation::pack, false, "x", false, 1, {"a"}},
        {{"--output", "x", "a"}, Action::run, Operation::pack, false, "x", false, 1, {"a"}},
        {{"-t", "-v", "a", "b"}, Action::run, Operation::test, false, {}, false, 2, {"a", "b"}},
        {{"--list", "-q", "a"}, Action::run, Operation::list, false, {}, false, 0, {"a"}},
        {{"-vq"}, Action::run, Operation::pack, false, {}, false, 0},
        {{"-", "-k"}, Action::run},
        {{"--", "-d", "-"}, Action::run, Operation::pack, false, {}, false, 1, {"-d", "-"}},
        {{"-d", "-t"}, Action::run, Operation::test},  // the last operation counts
        {{"-h", "--bogus"}, Action::usage_error},
        {{"a", "--help"}, Action::help, Operation::pack, false, {}, false, 1, {"a"}},
        {{"-V", "-h"}, Action::version},  // the first of the two counts
        {{"-x"}, Action::usage_error},
        {{"--decompress=yes"}, Action::usage_error},
        {{"-o"}, Action::usage_error},
        {{"-o", "x", "-c", "a"}, Action::usage_error},
        {{"-o", "x", "a", "b"}, Action::usage_error},
        {{"-t", "-o", "x", "a"}, Action::usage_error},
        // Archives joined are an archive of the lists joined.
        {{"-c", "a", "b"}, Action::run, Operation::pack, true, {}, false, 1, {"a", "b"}},
        {{"-dc", "a", "b"}, Action::run, Operation::unpack, true, {}, false, 1, {"a", "b"}},
    };
    for (const ArgumentsRow& row : rows) {
        std::string joined;
        for (const std::string& argument : row.arguments)
            joined += argument + ' ';
        SCOPED_TRACE(joined);
        const ParsedCommandLine parsed = parse_command_line(row.arguments);
        ASSERT_EQ(parsed.action, row.action) << parsed.error;
        if (row.action == Action::usage_error) {
            EXPECT_FALSE(parsed.error.empty());
            continue;
        }
        EXPECT_EQ(parsed.options.operation, row.operation);
        EXPECT_EQ(parsed.options.to_stdout, row.to_stdout);
        EXPECT_EQ(parsed.options.output, row.output);
        EXPECT_EQ(parsed.options.force, row.force);
        EXPECT_EQ(parsed.options.verbosity, row.verbosity);
        EXPECT_EQ(parsed.options.files, row.files);
    }
}

TEST(PackCommandLine, LevelsThreadsAndSizes) {
    struct SizeRow {
        std::vector<std::string> arguments;
        bool accepted;
        int level = 0;
        unsigned threads = 0;
        std::uint64_t block_bytes = 0;
        std::optional<std::uint64_t> memory_limit = std::nullopt;
    };
    const SizeRow rows[] = {
        {{"-9"}, true, 9},
        {{"-3v", "--fast"}, true, 1},
        {{"--best"}, true, 9},
        {{"-T2"}, true, 0, 2},
        {{"-T", "0"}, true, 0, 0},
        {{"--threads=8", "-d"}, true, 0, 8},
        {{"--block-size=1M"}, true, 0, 0, 1 << 20},
        {{"--block-size", "2048k"}, true, 0, 0, 2 << 20},
        {{"-M", "100MiB"}, true, 0, 0, 0, std::uint64_t{100} << 20},
        {{"--memlimit=0"}, true, 0, 0, 0, 0},
        {{"-M2G"}, true, 0, 0, 0, std::uint64_t{2} << 30},
        {{"-T", "x"}, false},
        {{"-T-1"}, false},
        {{"-T5000"}, false},
        {{"--block-size=100"}, false},
        {{"--block-size=2G"}, false},
        {{"-M", "5Q"}, false},
        {{"-M", "99999999999999999999"}, false},
        {{"-B", "1M"}, false},
        {{"--memlimit"}, false},
    };
    for (const SizeRow& row : rows) {
        SCOPED_TRACE(row.arguments[0]);
        const ParsedCommandLine parsed = parse_command_line(row.arguments);
        ASSERT_EQ(parsed.action == Action::run, row.accepted) << parsed.error;
        if (!row.accepted) continue;
        EXPECT_EQ(parsed.options.level, row.level);
        EXPECT_EQ(parsed.options.threads, row.threads);
        EXPECT_EQ(parsed.options.block_bytes, row.block_bytes);
        EXPECT_EQ(parsed.options.memory_limit, row.memory_limit);
    }
}

}  // namespace
}  // namespace wordperm
