// The standard streams of a program that writes files, made safe at start-up.
//
// A descriptor among 0, 1 and 2 that the program was started without (`>&-`) would be handed to
// the next file it opens, and whatever it printed on standard output would then land in that
// file. prepare_standard_streams opens each closed one on /dev/null instead, and remembers that
// it was closed: a name for it (/dev/stdin, /dev/stdout, /dev/fd/1, ...) is then refused by the
// open helpers rather than read as empty or written to nowhere.
//
// SIGPIPE and SIGXFSZ are ignored, so a reader that has gone away or a file-size limit makes a
// write fail (EPIPE, EFBIG) rather than kill the process before it can remove its temporary
// files and say why. A message that cannot be written is dropped; an output that cannot be
// written fails like any other.
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

}  // namespace wordperm
