// The standard streams of a program that writes files, made safe at start-up and checked at the
// end.
//
// A descriptor among 0, 1 and 2 that the program was started without (`>&-`) would be handed to
// the next file it opens, and whatever it printed on standard output would then land in that
// file. prepare_standard_streams opens each closed one on /dev/null instead, and remembers that
// it was closed: a name for it (/dev/stdin, /dev/stdout, /dev/fd/1, ...) is then refused by the
// open helpers rather than read as empty or written to nowhere.
//
// SIGPIPE and SIGXFSZ are ignored, so a reader that has gone away or a file-size limit makes a
// write fail (EPIPE, EFBIG) rather than kill the process before it can remove its temporary
// files and say why. What a program prints on standard output as its result (a help text, a
// listing) must reach it: finish_standard_output reports a failed write or close, except a
// broken pipe, after which the reader wants nothing more: the program then ends by SIGPIPE, as
// it would have without the signal ignored (status 141 in the shell), quietly.
#pragma once

#include <string>

namespace wordperm {

// Call first in main. False when /dev/null cannot be opened for a closed descriptor.
bool prepare_standard_streams();

// True when `descriptor` is 0, 1 or 2 and the program was started with it closed.
bool started_closed(int descriptor);

// The reason a name for such a descriptor is refused: "standard input is closed", "standard
// output is closed" or "standard error is closed".
std::string closed_stream_reason(int descriptor);

// Points standard output at /dev/null, so that nothing printed there can mix with an output
// file that standard output also reaches (an output written through a duplicate of descriptor
// 1 keeps its own). False when /dev/null cannot be opened.
bool silence_standard_output();

// Flushes and closes standard output, after the last thing printed there. False, with errno's
// value in `error_number`, when a write or the close failed; on a broken pipe it removes the
// run's temporary files and ends the process by SIGPIPE instead of returning.
bool finish_standard_output(int& error_number);

// Ends the process by SIGPIPE with the temporary files removed: for a write to standard output
// that failed with EPIPE.
[[noreturn]] void end_by_broken_pipe();

}  // namespace wordperm
