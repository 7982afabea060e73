// Exit statuses of the program, and the failure record that carries one up to main.
//
// Every failure ends the run with one of these statuses and one line on standard error,
// "wordperm: <file>: <reason>" (a usage line for ExitStatus::usage).
#pragma once

#include <string>

namespace wordperm {

enum class ExitStatus : int {
    success = 0,
    usage = 1,           // fewer than four arguments
    list_unopened = 2,   // argument 2 cannot be opened
    out_unopened = 3,    // argument 3 cannot be opened
    code_unopened = 4,   // argument 4 cannot be opened
    code_misfit = 5,     // the code file does not fit the sorted list (decode)
    write_failed = 6,    // an output cannot be written, flushed or closed
    read_failed = 7,     // an input cannot be read (an error, not the end of the file)
    list_too_large = 8,  // the list file has more than 2^32 - 1 lines
    out_of_memory = 9,
};

// The first failure of a run; `status` stays success while there is none.
struct Failure {
    ExitStatus status = ExitStatus::success;
    std::string file;    // the file the failure concerns, as named on the command line
    std::string reason;  // what went wrong, e.g. strerror's text
};

}  // namespace wordperm
