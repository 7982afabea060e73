// The CPUs a process may use: its affinity mask where the system has one.
#include "base/run_both.h"

#if defined(__linux__)
#include <sched.h>
#endif

namespace wordperm {

unsigned usable_cpus() {
    static const unsigned count = [] {
#if defined(__linux__)
        cpu_set_t usable;
        if (::sched_getaffinity(0, sizeof usable, &usable) == 0)
            return static_cast<unsigned>(CPU_COUNT(&usable));
#endif
        const unsigned cores = std::thread::hardware_concurrency();
        return cores == 0 ? 1u : cores;
    }();
    return count;
}

bool several_cpus_usable() {
    return usable_cpus() > 1;
}

}  // namespace wordperm
