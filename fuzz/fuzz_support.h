// What the fuzz targets share beyond the tests' in-memory runs: the block sizes an input picks
// from, and how a finding ends the run.
//
// A finding ends the process with abort(), which libFuzzer records as a crash and saves the
// input for.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "support/in_memory.h"

namespace wordperm::fuzzing {

// Sizes a fuzz input picks from; kBufferBytes first, so that a zero selector means the defaults.
inline constexpr std::size_t kBlockChoices[8] = {kBufferBytes, 1, 2, 3, 7, 8, 9, 4096};

[[noreturn]] inline void report_finding(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

inline void require(bool holds, const char* what) {
    if (!holds) report_finding(what);
}

}  // namespace wordperm::fuzzing
