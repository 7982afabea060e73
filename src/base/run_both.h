// Two independent pieces of work on the machine's two cores.
#pragma once

#include <cstddef>
#include <system_error>
#include <thread>

namespace wordperm {

// Below this many items (lines, entries) a second thread costs more than it saves.
inline constexpr std::size_t kTwoThreadsFromItems = std::size_t{1} << 16;

// How many CPUs this process may run on (its affinity mask, which taskset sets, not just the
// machine's count); found once.
unsigned usable_cpus();

// True when this process may run on more than one CPU.
bool several_cpus_usable();

// Whether run_both will try a second thread for this many items: work that must be split
// differently to be shared can stay whole when it will not be shared.
inline bool two_threads_for(std::size_t items) {
    return items >= kTwoThreadsFromItems && several_cpus_usable();
}

// Runs first() and second() and returns when both are done: first() on a second thread when
// two_threads_for(items) and a thread can be started, otherwise one after the other on this
// thread. Neither may throw.
template <typename First, typename Second>
void run_both(std::size_t items, First&& first, Second&& second) {
    std::thread helper;
    if (two_threads_for(items)) {
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
