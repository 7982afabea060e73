// wordpack's exit statuses, and the failure record that carries one to the report.
//
// Every failure prints one line on standard error, "wordpack: <file>: <reason>", and the run goes
// on with the next file; the program ends with the status of the first failure.
#pragma once

#include <string>

namespace wordperm {

enum class PackExit : int {
    success = 0,
    usage = 1,         // the command line, or a file name it cannot work with
    unopened = 2,      // an input cannot be opened or read, or an output cannot be created
    damaged = 3,       // an archive that is damaged, truncated or not one of ours
    write_failed = 4,  // an output cannot be written
    out_of_memory = 5,
};

struct PackFailure {
    PackExit status = PackExit::success;
    std::string file;    // as named on the command line, or (stdin) / (stdout)
    std::string reason;  // what went wrong
};

}  // namespace wordperm
