// The line writer against a plain statement of what it writes: every line with its line feed,
// except the line that comes out last from a bare-ended list, whatever the order, the room in the
// output's buffer (so that lines go the fast way, the slow way, or both) and the width of the
// word table's line starts.
#include "perm/line_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "support/lines.h"
#include "support/word_tables.h"

namespace wordperm {
namespace {

// An output whose free part is `room` bytes at a time; append() keeps what was written, then
// the line, and starts a fresh free part.
struct RoomedOutput {
    explicit RoomedOutput(std::size_t room) : buffer(room) { restart(); }
    bool append(const std::uint8_t* bytes, std::size_t size) {
        keep();
        written.append(reinterpret_cast<const char*>(bytes), size);
        restart();
        return true;
    }
    void keep() {
        written.append(reinterpret_cast<const char*>(buffer.data()),
                       static_cast<std::size_t>(cursor - buffer.data()));
    }
    void restart() {
        cursor = buffer.data();
        end = buffer.data() + buffer.size();
    }
    std::vector<std::uint8_t> buffer;
    std::uint8_t* cursor;
    std::uint8_t* end;
    std::string written;
};

TEST(LineOutput, EveryLineWithItsLineFeedButTheLastOfABareList) {
    const std::string files[] = {
        "a\nbb\n\nccc\n",
        "a\nbb\n\nccc",
        "only",
        "\n\n\nx",
        "a line longer than sixteen bytes\nand another one, longer still than that\nz",
    };
    std::mt19937_64 random(5);
    for (const std::string& file : files) {
        const std::vector<std::string> lines = testing::closed_lines(file);
        const bool bare = file.back() != '\n';
        std::vector<std::uint32_t> order(lines.size());
        std::iota(order.begin(), order.end(), 0u);
        for (int shuffle = 0; shuffle < 4;
             ++shuffle, std::shuffle(order.begin(), order.end(), random)) {
            std::string expected;
            for (const std::uint32_t line : order)
                expected += lines[line];
            if (bare) expected.pop_back();
            for (const bool wide : {false, true}) {
                const WordTable table = make_word_table(file, {.wide_offsets = wide});
                for (const std::size_t room : {1u, 16u, 17u, 40u, 4096u}) {
                    SCOPED_TRACE(file + ", room " + std::to_string(room) + (wide ? ", wide" : ""));
                    RoomedOutput output(room);
                    ASSERT_TRUE(write_lines_in_order(table, order, output));
                    output.keep();
                    EXPECT_EQ(output.written, expected);
                }
            }
        }
    }
}

}  // namespace
}  // namespace wordperm
