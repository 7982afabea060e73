// A whole run of wordperm, from its command line to its exit status: the files opened, the
// mode's coder body run, the outputs committed, or one line on standard error saying what went
// wrong (exit_status.h). main hands it the arguments and returns what it returns.
#pragma once

#include <string>

#include "driver/run_loop.h"
#include "list/word_table.h"
#include "perm/coder_context.h"
#include "wordperm/exit_status.h"

namespace wordperm {

ExitStatus run_wordperm(int argc, char** argv);

// What a list that could not be loaded is to the user: its status and its one line.
Failure load_failure(const LoadFailure& failure, const ByteReader& list);

// What a run that ended early is to the user, naming the list and the code file as given.
Failure run_failure(const CoderContext& ctx, const std::string& list, const std::string& code);

}  // namespace wordperm
