// The run loop: when it reads, what it writes, and how it ends, seen through test bodies.
#include "driver/run_loop.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/memory_io.h"

namespace wordperm {
namespace {

using testing::MemoryReader;
using testing::MemoryWriter;

// What the test bodies do and what they saw; bodies are plain functions, so they share this.
struct Script {
    std::size_t bytes_to_read = 0;
    std::size_t bytes_to_write = 0;
    MemoryReader* reader = nullptr;
    std::vector<std::uint8_t> bytes_read;
    std::vector<std::uint64_t> past_end_reads;  // the stream's count after each read
    std::vector<std::size_t> read_calls;        // the reader's calls after each read
} script;

void set_script(std::size_t bytes_to_read, std::size_t bytes_to_write,
                MemoryReader* reader = nullptr) {
    script = Script{};
    script.bytes_to_read = bytes_to_read;
    script.bytes_to_write = bytes_to_write;
    script.reader = reader;
}

// The bodies run on the RunState they are given as their argument.
void scripted_body(void* argument) {
    RunState& run = *static_cast<RunState*>(argument);
    for (std::size_t i = 0; i < script.bytes_to_read; ++i) {
        script.bytes_read.push_back(get_byte(run.stream));
        script.past_end_reads.push_back(run.stream.past_end_reads);
        if (script.reader) script.read_calls.push_back(script.reader->read_calls);
    }
    for (std::size_t i = 0; i < script.bytes_to_write; ++i)
        put_byte(run.stream, static_cast<std::uint8_t>(i));
}

void failing_body(void* argument) {
    RunState& run = *static_cast<RunState*>(argument);
    put_byte(run.stream, 1);
    run.failure.error = RunError::refused;
}

class RunLoop : public ::testing::Test {
  protected:
    void SetUp() override { script = Script{}; }
    std::unique_ptr<RunState> state = std::make_unique<RunState>();
};

TEST_F(RunLoop, FiveByteCodeFileAndTenByteOutput) {
    MemoryReader code("\x01\x02\x03\x04\x05");
    MemoryWriter out;
    set_script(8, 10, &code);
    ASSERT_TRUE(run_loop(*state, scripted_body, state.get(), &code, out));
    EXPECT_EQ(code.read_calls, 2u);  // the 5 bytes, then the end: no third read
    EXPECT_EQ(script.bytes_read, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(out.write_sizes, std::vector<std::size_t>{10});
}

TEST_F(RunLoop, EmptyCodeFileGivesPaddingThenCountedBytes) {
    MemoryReader code("");
    MemoryWriter out;
    set_script(10, 0, &code);
    ASSERT_TRUE(run_loop(*state, scripted_body, state.get(), &code, out));
    EXPECT_EQ(code.read_calls, 1u);
    EXPECT_EQ(script.bytes_read, std::vector<std::uint8_t>(10, 0xFF));
    EXPECT_EQ(script.past_end_reads, (std::vector<std::uint64_t>{0, 0, 0, 0, 0, 0, 0, 0, 1, 2}));
    EXPECT_TRUE(out.write_sizes.empty());  // nothing to write, no write call
}

TEST_F(RunLoop, ThreeByteCodeFileThenPaddingThenCountedBytes) {
    MemoryReader code("abc");
    MemoryWriter out;
    set_script(12, 0, &code);
    ASSERT_TRUE(run_loop(*state, scripted_body, state.get(), &code, out));
    std::vector<std::uint8_t> expected{'a', 'b', 'c'};
    expected.resize(12, 0xFF);
    EXPECT_EQ(script.bytes_read, expected);
    EXPECT_EQ(script.past_end_reads.back(), 1u);
    EXPECT_EQ(script.past_end_reads[10], 0u);
}

TEST_F(RunLoop, InputIsReadOnlyWhenTheBlockIsUsedUp) {
    MemoryReader code("0123456789");
    MemoryWriter out;
    set_script(10, 0, &code);
    ASSERT_TRUE(run_loop(*state, scripted_body, state.get(), &code, out, /*in_block_bytes=*/4));
    EXPECT_EQ(script.read_calls, (std::vector<std::size_t>{1, 1, 1, 1, 2, 2, 2, 2, 3, 3}));
}

TEST_F(RunLoop, OutputSizesAroundOneBlock) {
    struct Case {
        std::size_t output_bytes;
        std::vector<std::size_t> writes;
    };
    const Case cases[] = {
        {0, {}},
        {100, {100}},
        {65536, {65536}},
        {65537, {65536, 1}},
        {3 * 65536 + 5, {65536, 65536, 65536, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output_bytes);
        set_script(0, c.output_bytes);
        auto fresh = std::make_unique<RunState>();
        MemoryWriter out;
        ASSERT_TRUE(run_loop(*fresh, scripted_body, fresh.get(), nullptr, out));
        EXPECT_EQ(out.write_sizes, c.writes);
        ASSERT_EQ(out.contents.size(), c.output_bytes);
        for (std::size_t i = 0; i < c.output_bytes; ++i)
            ASSERT_EQ(static_cast<std::uint8_t>(out.contents[i]), static_cast<std::uint8_t>(i));
    }
}

TEST_F(RunLoop, ReadErrorStopsTheRun) {
    MemoryReader code("abcdef", 2);
    code.fail_at_offset = 2;
    MemoryWriter out;
    set_script(4, 0);
    EXPECT_FALSE(run_loop(*state, scripted_body, state.get(), &code, out));
    EXPECT_EQ(state->failure.error, RunError::read_failed);
    EXPECT_EQ(state->failure.file, "input");
}

TEST_F(RunLoop, WriteErrorStopsTheRun) {
    for (std::size_t size : {std::size_t{10}, std::size_t{200000}}) {
        SCOPED_TRACE(size);
        auto fresh = std::make_unique<RunState>();
        MemoryWriter out;
        out.fail = true;
        set_script(0, size);
        EXPECT_FALSE(run_loop(*fresh, scripted_body, fresh.get(), nullptr, out));
        EXPECT_EQ(fresh->failure.error, RunError::write_failed);
        EXPECT_EQ(out.write_sizes.size(), 1u);  // stops at the first failed write
    }
}

TEST_F(RunLoop, FailingBodyWritesNothing) {
    MemoryWriter out;
    EXPECT_FALSE(run_loop(*state, failing_body, state.get(), nullptr, out));
    EXPECT_EQ(state->failure.error, RunError::refused);
    EXPECT_TRUE(out.write_sizes.empty());
}

}  // namespace
}  // namespace wordperm
