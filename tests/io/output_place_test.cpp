// Where outputs would land, decided before any file is created: links followed to their targets,
// free names compared by directory and name, devices never colliding.
#include "io/output_place.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/run_wordperm.h"

namespace wordperm {
namespace {

using testing::names_in;
using testing::ScratchDirectory;
using testing::write_file;
namespace fs = std::filesystem;

TEST(OutputPlace, CollidesOnlyWhereBothWouldEndAsOneRegularFile) {
    ScratchDirectory dir;
    write_file(dir / "old", "old");
    fs::create_symlink("old", dir / "link-to-old");
    fs::create_symlink("new", dir / "link-to-new");
    fs::create_directory(dir / "sub");
    struct Case {
        std::string first;
        std::string second;
        bool collide;
    };
    const Case cases[] = {
        {dir / "old", dir / "link-to-old", true}, {dir / "new", dir / "sub/../new", true},
        {dir / "new", dir / "link-to-new", true}, {dir / "new", dir / "other", false},
        {dir / "new", dir / "sub/new", false},    {dir / "old", dir / "new", false},
        {"/dev/null", "/dev/null", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first + " " + c.second);
        const OutputPlace first = output_place(c.first);
        const OutputPlace second = output_place(c.second);
        EXPECT_EQ(same_place(first, second), c.collide);
        EXPECT_EQ(same_place(second, first), c.collide);
    }
    EXPECT_EQ(names_in(dir),
              (std::vector<std::string>{"link-to-new", "link-to-old", "old", "sub"}));
}

TEST(OutputPlace, ReplacesARegularInputThroughAnyNameForIt) {
    ScratchDirectory dir;
    write_file(dir / "old", "old");
    fs::create_symlink("old", dir / "link-to-old");
    const auto old_file = identity_of_path((dir / "old").c_str());
    const auto null_device = identity_of_path("/dev/null");
    struct Case {
        std::string output;
        std::optional<FileIdentity> input;
        bool replaced;
    };
    const Case cases[] = {
        {dir / "old", old_file, true},         {dir / "link-to-old", old_file, true},
        {dir / "sub/../old", old_file, false},  // no such directory: the open fails instead
        {dir / "new", old_file, false},        {"/dev/null", null_device, false},
        {dir / "old", std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        EXPECT_EQ(replaces(output_place(c.output), c.input), c.replaced);
    }
}

}  // namespace
}  // namespace wordperm
