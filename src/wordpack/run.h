// A whole run of wordpack, from its command line to its exit status: the options parsed, the
// help or the version printed, or each file packed, unpacked, tested or listed (file_runs.h).
// main hands it the arguments and returns what it returns.
#pragma once

#include "wordpack/exit_status.h"

namespace wordperm {

PackExit run_wordpack(int argc, char** argv);

}  // namespace wordperm
