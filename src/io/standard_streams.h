// The standard streams of a program that writes files, made safe at start-up.
//
// A descriptor among 0, 1 and 2 that the program was started without (`>&-`) would be handed to
// the next file it opens, and whatever it printed on standard output would then land in that
// file. prepare_standard_streams opens each closed one on /dev/null instead, and ignores SIGPIPE:
// a reader of standard output that has gone away then makes a write fail with EPIPE rather than
// kill the process before it can clean up. A message that cannot be written is dropped; an
// output that cannot be written fails like any other.
#pragma once

namespace wordperm {

// Call first in main. False when /dev/null cannot be opened for a closed descriptor.
bool prepare_standard_streams();

// Points standard output at /dev/null, so that nothing printed there can mix with an output
// file that standard output also reaches (an output written through a duplicate of descriptor
// 1 keeps its own). False when /dev/null cannot be opened.
bool silence_standard_output();

}  // namespace wordperm
