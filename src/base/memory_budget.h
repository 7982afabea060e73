// How much more memory this process can take before it runs out: the least of the system's
// available memory (MemAvailable, which counts reclaimable caches) and the room left under the
// address-space and data-segment limits (RLIMIT_AS, RLIMIT_DATA).
//
// A list whose arrays do not fit is better refused before they are allocated, with the amount it
// needs, than met by an allocation that fails halfway or, with overcommitted memory, by the
// system killing the process while it writes.
#pragma once

#include <cstdint>

namespace wordperm {

// Bytes that can still be allocated; UINT64_MAX when no measure can be read (no /proc, no
// limits). Reads /proc each time: call it once per decision, not per allocation.
std::uint64_t memory_available();

// "N MiB", rounded up, for messages.
std::uint64_t mebibytes_rounded_up(std::uint64_t bytes);

}  // namespace wordperm
