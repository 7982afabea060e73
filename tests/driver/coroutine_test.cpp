// The coroutine keeps a body's state across suspensions and reports each yield code.
#include "driver/coroutine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace wordperm {
namespace {

struct Counters {
    Coroutine* coroutine = nullptr;
    int suspensions = 0;
    std::uint64_t checksum = 0;  // computed by the body from its locals
    double average = 0;
};

std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
    return (h ^ v) * 0x9E3779B97F4A7C15u;
}

void body_with_locals(void* argument) {
    auto& counters = *static_cast<Counters*>(argument);
    std::uint64_t hash = 0x0123456789ABCDEFu;
    double sum = 0;
    volatile std::uint32_t spill[64];  // keeps some state in memory, not only in registers
    for (int i = 0; i < counters.suspensions; ++i) {
        spill[i & 63] = static_cast<std::uint32_t>(i);
        hash = mix(hash, static_cast<std::uint64_t>(i) + spill[(i * 7) & 63] * 0u);
        sum += 0.5;
        coro_yield(*counters.coroutine, YIELD_OUTPUT_FULL);
    }
    counters.checksum = hash;
    counters.average = sum / counters.suspensions;
}

TEST(Coroutine, BodyReturningAtOnceGivesDone) {
    Coroutine coroutine;
    Counters counters{&coroutine, 0};
    EXPECT_EQ(coro_call(coroutine, body_with_locals, &counters), YIELD_DONE);
}

TEST(Coroutine, LocalsSurviveManySuspensions) {
    Coroutine coroutine;
    Counters counters{&coroutine, 100000};
    int yields = 0;
    while (coro_call(coroutine, body_with_locals, &counters) == YIELD_OUTPUT_FULL)
        ++yields;
    EXPECT_EQ(yields, 100000);
    std::uint64_t expected = 0x0123456789ABCDEFu;
    for (int i = 0; i < 100000; ++i)
        expected = mix(expected, static_cast<std::uint64_t>(i));
    EXPECT_EQ(counters.checksum, expected);
    EXPECT_DOUBLE_EQ(counters.average, 0.5);
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

TEST(Coroutine, CallReturnsEachYieldCodeThenDone) {
    Coroutine coroutine;
    Recorder recorder{&coroutine, {YIELD_NEED_INPUT, YIELD_OUTPUT_FULL, YIELD_NEED_INPUT}};
    std::vector<std::uint32_t> seen;
    for (;;) {
        std::uint32_t code = coro_call(coroutine, body_yielding_each_code, &recorder);
        seen.push_back(code);
        if (code == YIELD_DONE) break;
    }
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{YIELD_NEED_INPUT, YIELD_OUTPUT_FULL,
                                                YIELD_NEED_INPUT, YIELD_DONE}));
}

TEST(Coroutine, CallAfterDoneStartsTheBodyAfresh) {
    Coroutine coroutine;
    Counters counters{&coroutine, 3};
    for (int run = 0; run < 2; ++run) {
        counters.checksum = 0;
        int yields = 0;
        while (coro_call(coroutine, body_with_locals, &counters) != YIELD_DONE)
            ++yields;
        EXPECT_EQ(yields, 3);
        EXPECT_NE(counters.checksum, 0u);
    }
}

TEST(Coroutine, AbandonedSuspendedBodyIsReleased) {
    for (int i = 0; i < 50; ++i) {
        Coroutine coroutine;
        Counters counters{&coroutine, 10};
        EXPECT_EQ(coro_call(coroutine, body_with_locals, &counters), YIELD_OUTPUT_FULL);
    }
}

}  // namespace
}  // namespace wordperm
