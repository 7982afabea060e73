// The three measures of memory_available, each left out when it cannot be read.
#include "base/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace wordperm {
namespace {

constexpr std::uint64_t kUnknown = UINT64_MAX;

// MemAvailable from /proc/meminfo, in bytes.
std::uint64_t system_available() {
    std::FILE* meminfo = std::fopen("/proc/meminfo", "r");
    if (!meminfo) return kUnknown;
    std::uint64_t kib = 0;
    bool found = false;
    char line[256];
    while (!found && std::fgets(line, sizeof line, meminfo))
        found = std::sscanf(line, "MemAvailable: %lu kB", &kib) == 1;
    std::fclose(meminfo);
    return found ? kib * 1024 : kUnknown;
}

// The room left under a limit, given what the process holds against it now.
std::uint64_t room_under(int resource, std::uint64_t used) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnknown;
    return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

}  // namespace

std::uint64_t memory_available() {
    std::uint64_t available = system_available();
    // /proc/self/statm: total program size first, data and stack sixth, in pages.
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm) return available;
    unsigned long size = 0, resident = 0, shared = 0, text = 0, library = 0, data = 0;
    const bool read = std::fscanf(statm, "%lu %lu %lu %lu %lu %lu", &size, &resident, &shared,
                                  &text, &library, &data) == 6;
    std::fclose(statm);
    if (!read) return available;
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    available = std::min(available, room_under(RLIMIT_AS, size * page));
    available = std::min(available, room_under(RLIMIT_DATA, data * page));
    return available;
}

std::uint64_t mebibytes_rounded_up(std::uint64_t bytes) {
    return bytes / (1 << 20) + (bytes % (1 << 20) != 0);
}

}  // namespace wordperm
