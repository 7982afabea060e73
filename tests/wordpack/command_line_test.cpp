// wordpack's option parsing: each row an argument list and what it must come to.
#include "wordpack/command_line.h"

#include <gtest/gtest.h>

namespace wordperm {
namespace {

using Action = ParsedCommandLine::Action;

struct Row {
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
    const Row rows[] = {
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
        {{"-c", "a", "b"}, Action::usage_error},
        {{"-dc", "a", "b"}, Action::run, Operation::unpack, true, {}, false, 1, {"a", "b"}},
    };
    for (const Row& row : rows) {
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

}  // namespace
}  // namespace wordperm
