// Start-up and shut-down of a run: the three files, the context the body needs, the closes,
// and the one-line report of a failure.
//
// The files are opened in a fixed order (list, out, code), and the exit status of a failed
// open names the argument: 2, 3 or 4. Status 2 leaves argument 3 uncreated; status 4 leaves it
// created (or truncated) and empty. Before any output is created or truncated it is compared
// (device and inode, so links count) with every input and with the other output: writing one
// would destroy the other before it was read, so such a run is refused, changing no file. A
// directory as an input is refused at once rather than read. Every later failure (5 to 9) stops
// the run with its own status, and the outputs it had created or truncated are removed where
// they are regular files, so that no partial file is mistaken for a whole one.
#pragma once

#include <memory>

#include "driver/exit_status.h"
#include "io/byte_io.h"

namespace wordperm {

enum class Mode { encode, decode };

inline constexpr const char* kUsage = "usage: wordperm d|x <list> <out> <code>";

// Only the first byte of the mode argument counts: d (encode) or anything else (decode).
inline Mode mode_of(const char* argument) {
    return static_cast<unsigned char>(argument[0]) == 'd' ? Mode::encode : Mode::decode;
}

struct RunFiles {
    std::unique_ptr<InputFile> list;       // argument 2
    std::unique_ptr<OutputFile> out;       // argument 3: sorted list or restored output
    std::unique_ptr<InputFile> code_in;    // argument 4 in decode mode
    std::unique_ptr<OutputFile> code_out;  // argument 4 in encode mode
    bool out_is_regular = false;           // out is a regular file this run truncated or created
    bool code_out_is_regular = false;      // likewise for code_out
};

bool open_run_files(RunFiles& files, Mode mode, const char* list, const char* out, const char* code,
                    Failure& failure);

// Closes the outputs and checks the closes (a deferred write error shows up here).
bool close_outputs(RunFiles& files, Failure& failure);

// Removes the outputs that are regular files; called after a failure with status 5 to 9.
void discard_outputs(RunFiles& files);

// Prints "wordperm: <file>: <reason>" on standard error.
void report_failure(const Failure& failure);

}  // namespace wordperm
