// The temporary files of a run, and their removal when SIGINT, SIGTERM or SIGHUP ends it.
//
// An interrupted run must not leave its unfinished outputs behind. The handler installed here
// removes every listed file and then ends the process by the same signal with its default action
// restored, so the shell sees 128 + the signal as if no handler had been there (as careful
// compressors do). A signal the process was started with ignored (nohup) stays ignored.
//
// The handler may run at any moment and on any thread, so the list lives in static storage: a
// fixed number of slots, each a name of PATH_MAX bytes and a flag, and the handler calls only
// unlink, sigaction and raise, which are safe in a signal handler. The list changes only under an
// InterruptHold taken while no other thread runs, so the handler never sees a half-written name;
// and a file is listed in the same held step that creates it, so the handler never removes a
// file this process did not make.
//
// After SIGKILL or a power cut nothing runs: the files stay, under names that say what they are
// (see output_file.h).
#pragma once

#include <signal.h>

#include <cstddef>

namespace wordperm {

inline constexpr std::size_t kTemporaryFileSlots = 8;

// Installs the handler for SIGINT, SIGTERM and SIGHUP. Call once, early in main, before any
// temporary file exists.
void install_interrupt_cleanup();

// Holds SIGINT, SIGTERM and SIGHUP on the calling thread while it lives: one that arrives
// meanwhile is handled when the hold ends. Take it only while no other thread runs (other
// threads keep their own masks), around every change to the list and around steps that no
// interrupt may split, such as the renames of a run's outputs.
class InterruptHold {
  public:
    InterruptHold();
    ~InterruptHold();
    InterruptHold(const InterruptHold&) = delete;
    InterruptHold& operator=(const InterruptHold&) = delete;

  private:
    sigset_t previous_;  // the mask to restore
};

// Lists `path`, a file this process has just created, for removal on an interrupt. Returns its
// slot, or -1 when every slot is taken or the path is longer than a slot (the caller then removes
// the file itself). Only under an InterruptHold.
int list_temporary_file(const char* path);

// Takes the file in `slot` off the list, once it has been renamed or removed. Only under an
// InterruptHold.
void unlist_temporary_file(int slot);

// Removes every listed file and ends the process by `signal_number` with its default action, as
// the handler does: for a signal the process ignores so that it can clean up first (SIGPIPE).
[[noreturn]] void end_by_signal(int signal_number);

}  // namespace wordperm
