// The coroutine keeps a body's state across suspensions and reports each yield code.
#include "driver/coroutine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace wordperm {
namespace {

struct Counters {
    Coroutine* coroutine = nullptr;  // null: the body runs as a plain call, never suspending
    int suspensions = 0;
    std::uint64_t checksum = 0;  // computed by the body from its locals
    double average = 0;
};

std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
    return (h ^ v) * 0x9E3779B97F4A7C15u;
}

// Every step reads back what an earlier step left in memory and in registers, so a suspension
// that lost or moved any of it changes the checksum.
void body_with_locals(void* argument) {
    auto& counters = *static_cast<Counters*>(argument);
    std::uint64_t hash = 0x0123456789ABCDEFu;
    double sum = 0;
    volatile std::uint32_t spill[64];  // keeps some state in memory, not only in registers
    for (std::uint32_t k = 0; k < 64; ++k)
        spill[k] = k;
    for (int i = 0; i < counters.suspensions; ++i) {
        spill[i & 63] = spill[i & 63] + static_cast<std::uint32_t>(hash);
        hash = mix(hash, static_cast<std::uint64_t>(i) + spill[(i * 7) & 63]);
        sum += 0.5;
        if (counters.coroutine) coro_yield(*counters.coroutine, YIELD_OUTPUT_FULL);
    }
    counters.checksum = hash;
    counters.average = sum / counters.suspensions;
}

// The checksum of the same steps without a coroutine.
std::uint64_t plain_checksum(int steps) {
    Counters counters{nullptr, steps};
    body_with_locals(&counters);
    return counters.checksum;
}

// Run twice on one coroutine: a call after the body has ended starts it afresh.
TEST(Coroutine, LocalsSurviveManySuspensionsRunAfterRun) {
    Coroutine coroutine;
    Counters counters{&coroutine, 100000};
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        counters.checksum = 0;
        int yields = 0;
        while (coro_call(coroutine, body_with_locals, &counters) == YIELD_OUTPUT_FULL)
            ++yields;
        EXPECT_EQ(yields, 100000);
        EXPECT_EQ(counters.checksum, plain_checksum(100000));
        EXPECT_DOUBLE_EQ(counters.average, 0.5);
    }
}

struct Recorder {
    Coroutine* coroutine;
    std::vector<std::uint32_t> codes;
};

void body_yielding_each_code(void* argument) {
    auto& recorder = *static_cast<Recorder*>(argument);
    for (std::uint32_t code : recorder.codes)
        coro_yield(*recorder.coroutine, code);
}

// A body that never yields gives done at once.
TEST(Coroutine, CallReturnsEachYieldCodeThenDone) {
    const std::vector<std::uint32_t> sequences[] = {
        {}, {YIELD_NEED_INPUT, YIELD_OUTPUT_FULL, YIELD_NEED_INPUT}};
    for (const std::vector<std::uint32_t>& codes : sequences) {
        SCOPED_TRACE(codes.size());
        Coroutine coroutine;
        Recorder recorder{&coroutine, codes};
        std::vector<std::uint32_t> seen;
        do
            seen.push_back(coro_call(coroutine, body_yielding_each_code, &recorder));
        while (seen.back() != YIELD_DONE);
        std::vector<std::uint32_t> expected = codes;
        expected.push_back(YIELD_DONE);
        EXPECT_EQ(seen, expected);
    }
}

// How many bytes of [begin, begin + size) lie in the process's mappings.
std::size_t mapped_bytes(const std::byte* begin, std::size_t size) {
    const auto first = reinterpret_cast<std::uintptr_t>(begin);
    const std::uintptr_t last = first + size;
    std::ifstream maps("/proc/self/maps");
    std::size_t mapped = 0;
    std::string line;
    while (std::getline(maps, line)) {
        std::uintptr_t start = 0, end = 0;
        char dash = 0;
        std::istringstream(line) >> std::hex >> start >> dash >> end;
        if (start < last && end > first) mapped += std::min(end, last) - std::max(start, first);
    }
    return mapped;
}

// The run loop gives up on a body that is suspended when a write fails; the body never resumes,
// and its coroutine must still hand back the stack.
TEST(Coroutine, AbandonedSuspendedBodyIsReleased) {
    const std::byte* stack = nullptr;
    std::size_t stack_bytes = 0;
    {
        Coroutine coroutine;
        Counters counters{&coroutine, 10};
        EXPECT_EQ(coro_call(coroutine, body_with_locals, &counters), YIELD_OUTPUT_FULL);
        stack = coroutine.stack_base;
        stack_bytes = coroutine.stack_bytes;
        ASSERT_EQ(mapped_bytes(stack, stack_bytes), stack_bytes);
    }
    EXPECT_EQ(mapped_bytes(stack, stack_bytes), 0u);
}

}  // namespace
}  // namespace wordperm
