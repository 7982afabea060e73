// The start of a program that writes files, the same for each: its standard streams made safe
// (standard_streams.h) and its interrupts set to remove its temporary files
// (temporary_files.h), before anything else is done.
#pragma once

namespace wordperm {

// False, having printed "<program>: /dev/null: <reason>" on standard error, when a closed
// standard stream cannot be reopened on /dev/null; the program then ends with its status for
// an output that cannot be written.
bool start_program(const char* program);

}  // namespace wordperm
