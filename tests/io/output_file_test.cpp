// OutputFile's contract beyond what wordperm's command line reaches: a final name too long for
// its temporary's suffix, and a commit whose second rename fails.
#include "io/output_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cli/run_wordperm.h"

namespace wordperm {
namespace {

using testing::names_in;
using testing::read_file;
using testing::ScratchDirectory;
using testing::write_file;
namespace fs = std::filesystem;

std::unique_ptr<OutputFile> open_output(const std::string& path) {
    std::string reason;
    auto output = OutputFile::open(path, "test", reason);
    EXPECT_NE(output, nullptr) << path << ": " << reason;
    return output;
}

bool write_text(OutputFile& output, const std::string& text) {
    return output.write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(OutputFile, FinalNameOfTheLongestLengthStillGetsATemporaryBesideIt) {
    ScratchDirectory dir;
    const std::string name(255, 'n');
    auto output = open_output(dir / name);
    ASSERT_TRUE(output);
    EXPECT_EQ(output->method(), OutputFile::Method::replace);
    ASSERT_TRUE(write_text(*output, "whole\n"));
    OutputFile* outputs[] = {output.get()};
    OutputFile* failed = nullptr;
    ASSERT_TRUE(commit_outputs(outputs, failed));
    EXPECT_EQ(read_file(dir / name), "whole\n");
    EXPECT_EQ(names_in(dir), std::vector<std::string>{name});
}

// Renames cannot be undone: a failed one reports its output, leaves those before it in place
// and its own temporary file to be removed, as every unfinished output's is.
TEST(OutputFile, FailedRenameLeavesTheOutputsBeforeItInPlace) {
    ScratchDirectory dir;
    auto first = open_output(dir / "first");
    auto second = open_output(dir / "second");
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(write_text(*first, "1") && write_text(*second, "2"));
    fs::create_directory(dir / "second");  // a directory cannot be renamed over
    OutputFile* outputs[] = {first.get(), second.get()};
    OutputFile* failed = nullptr;
    EXPECT_FALSE(commit_outputs(outputs, failed));
    EXPECT_EQ(failed, second.get());
    EXPECT_EQ(second->error(), std::strerror(EISDIR));
    second.reset();
    EXPECT_EQ(read_file(dir / "first"), "1");
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"first", "second"}));
}

}  // namespace
}  // namespace wordperm
