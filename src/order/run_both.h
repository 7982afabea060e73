// Two independent pieces of work on the machine's two cores.
#pragma once

#include <system_error>
#include <thread>

namespace wordperm {

// Runs first() on a second thread and second() on this one, and returns when both are done.
// Where no thread can be started, runs them one after the other. Neither may throw.
template <typename First, typename Second>
void run_both(First&& first, Second&& second) {
    std::thread helper;
    try {
        helper = std::thread(first);
    } catch (const std::system_error&) {
        first();
    }
    second();
    if (helper.joinable()) helper.join();
}

}  // namespace wordperm
