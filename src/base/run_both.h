// Two independent pieces of work on the machine's two cores.
#pragma once

#include <cstddef>
#include <system_error>
#include <thread>

namespace wordperm {

// Below this many items (lines, entries) a second thread costs more than it saves.
inline constexpr std::size_t kTwoThreadsFromItems = std::size_t{1} << 16;

// Runs first() and second() and returns when both are done: first() on a second thread when
// there are `items` >= kTwoThreadsFromItems to work on and a thread can be started, otherwise
// one after the other on this thread. Neither may throw.
template <typename First, typename Second>
void run_both(std::size_t items, First&& first, Second&& second) {
    std::thread helper;
    if (items >= kTwoThreadsFromItems) {
        try {
            helper = std::thread(first);
        } catch (const std::system_error&) {
        }
    }
    if (!helper.joinable()) first();
    second();
    if (helper.joinable()) helper.join();
}

}  // namespace wordperm
