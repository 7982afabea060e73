// What wordpack does with the files of its command line, one after another.
//
// Packing reads FILE and writes FILE.wpk; unpacking reads FILE.wpk and writes FILE; -c
// writes to standard output, -o to the file it names, and "-" reads standard input and writes
// standard output. An input is never changed or removed. Outputs follow the rules of
// io/output_file.h: written beside their final name and renamed over it only when complete, so a
// failed or interrupted run leaves every existing file as it was and no new file under an
// output's name. Without -f an existing output of any kind is not replaced, an archive is not
// written to a terminal or read from one, and a file that already has the archive suffix is not
// packed again; even with -f only a regular file is replaced, never a FIFO or a device. Names
// for the process's descriptors (/dev/stdout, /dev/fd/N) are written like standard output, and
// refused when the program was started without them. A failure ends only its own file: it is
// reported, and the next file is taken. A reader of standard output that has gone away ends the
// whole run, quietly, by SIGPIPE.
#pragma once

#include "wordpack/command_line.h"
#include "wordpack/exit_status.h"

namespace wordperm {

inline constexpr const char* kArchiveSuffix = ".wpk";

// Runs `command` over its files and returns the status of the first failure, or success.
PackExit run_files(const PackCommand& command);

// Prints "wordpack: <file>: <reason>" on standard error.
void report_pack_failure(const PackFailure& failure);

}  // namespace wordperm
