// The CPUs a process may use: its affinity mask where the system has one.
#include "base/run_both.h"

#if defined(__linux__)
#include <sched.h>
#endif

namespace wordperm {

bool several_cpus_usable() {
    static const bool several = [] {
#if defined(__linux__)
        cpu_set_t usable;
        if (::sched_getaffinity(0, sizeof usable, &usable) == 0) return CPU_COUNT(&usable) > 1;
#endif
        return std::thread::hardware_concurrency() != 1;
    }();
    return several;
}

}  // namespace wordperm
