// Start-up and shut-down of a run: the three files, the commit of the outputs, and the one-line
// report of a failure.
//
// The files are opened in a fixed order (list, out, code), and the exit status of a failed open
// names the argument: 2, 3 or 4. No open changes a file: each output is written beside its final
// name and replaces it only once the whole run has succeeded (io/output_file.h), so a run that
// fails, at an open or later, leaves every existing file as it was and no new file under an
// output's name. An output that is the same file as an input or as the other output (links
// included) is refused before it is opened: replacing it would destroy the input, or the other
// output. Devices and pipes may be named twice (/dev/null as both outputs). A directory as an
// input is refused at once rather than read. A decode whose code file is the sorted list itself
// (or the same pipe) is refused with status 5: one file is never a code for itself. A decode
// opens its two inputs under a shared lock on their directories (io/directory_locks.h), so that
// it never reads half of one run's pair and half of another's.
//
// Standard output carries the encoder's two progress messages only when it is none of the
// outputs (the same file, device or pipe); otherwise it is pointed at /dev/null, so the messages
// can never land inside the sorted list.
#pragma once

#include <memory>

#include "io/byte_io.h"
#include "io/output_file.h"
#include "perm/coder_context.h"
#include "wordperm/exit_status.h"

namespace wordperm {

inline constexpr const char* kUsage = "usage: wordperm d|x <list> <out> <code>";

inline constexpr const char* kHelp =
    "usage: wordperm d|x <list> <out> <code>\n"
    "\n"
    "  wordperm d <word file> <sorted list> <code file>      encode: sort, and code the order\n"
    "  wordperm x <sorted list> <restored file> <code file>  decode: restore the original order\n"
    "\n"
    "Only the first byte of the mode counts: d encodes, anything else decodes, so \"decode\"\n"
    "encodes and replaces the code file. Outputs are replaced only when the whole run succeeds.\n"
    "\n"
    "Exit status: 0 success; 1 usage; 2, 3, 4 argument 2, 3 or 4 cannot be opened; 5 the code\n"
    "file cannot be a code of the sorted list; 6 an output cannot be written; 7 an input cannot\n"
    "be read; 8 the list file is too large; 9 out of memory.\n";

// Only the first byte of the mode argument counts: d (encode) or anything else (decode).
inline Mode mode_of(const char* argument) {
    return static_cast<unsigned char>(argument[0]) == 'd' ? Mode::encode : Mode::decode;
}

struct RunFiles {
    std::unique_ptr<InputFile> list;       // argument 2
    std::unique_ptr<OutputFile> out;       // argument 3: sorted list or restored output
    std::unique_ptr<InputFile> code_in;    // argument 4 in decode mode
    std::unique_ptr<OutputFile> code_out;  // argument 4 in encode mode
};

bool open_run_files(RunFiles& files, Mode mode, const char* list, const char* out, const char* code,
                    Failure& failure);

// Ends a successful run: the outputs go to the disk and replace their final names, the sorted
// list before the code file. A write error found only now (a deferred one, or a full disk at the
// flush) fails the run with status 6 before anything is replaced.
bool commit_run_outputs(RunFiles& files, Failure& failure);

// After a failure: removes the run's temporary files, leaving every final name as it was.
void discard_outputs(RunFiles& files);

// Prints "wordperm: <file>: <reason>" on standard error.
void report_failure(const Failure& failure);

}  // namespace wordperm
