// The list of temporary files in static storage, and the handler that removes them.
#include "io/temporary_files.h"

#include <limits.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace wordperm {
namespace {

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct Slot {
    std::atomic<bool> listed{false};  // path names a file of this process that is still there
    char path[PATH_MAX];              // NUL-terminated; set before listed, kept while it is
};
static_assert(std::atomic<bool>::is_always_lock_free);

Slot slots[kTemporaryFileSlots];

sigset_t cleanup_signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal_number : kCleanupSignals)
        sigaddset(&set, signal_number);
    return set;
}

void remove_listed_files() {
    for (Slot& slot : slots)
        if (slot.listed.load(std::memory_order_acquire)) ::unlink(slot.path);
}

void restore_default_action(int signal_number) {
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    ::sigaction(signal_number, &default_action, nullptr);
}

void remove_files_and_end(int signal_number) {
    remove_listed_files();
    restore_default_action(signal_number);
    // The signal is held while its handler runs, so this one is delivered, with the default
    // action that ends the process, as soon as the handler returns.
    ::raise(signal_number);
}

}  // namespace

void install_interrupt_cleanup() {
    struct sigaction action {};
    action.sa_handler = remove_files_and_end;
    action.sa_mask = cleanup_signal_set();
    for (int signal_number : kCleanupSignals) {
        struct sigaction current;
        if (::sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal_number, &action, nullptr);
    }
}

InterruptHold::InterruptHold() {
    const sigset_t set = cleanup_signal_set();
    ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

InterruptHold::~InterruptHold() {
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

int list_temporary_file(const char* path) {
    const std::size_t length = std::strlen(path);
    if (length >= PATH_MAX) return -1;
    for (std::size_t i = 0; i < kTemporaryFileSlots; ++i) {
        Slot& slot = slots[i];
        if (slot.listed.load(std::memory_order_relaxed)) continue;
        std::memcpy(slot.path, path, length + 1);
        slot.listed.store(true, std::memory_order_release);
        return static_cast<int>(i);
    }
    return -1;
}

void unlist_temporary_file(int slot) {
    slots[slot].listed.store(false, std::memory_order_release);
}

void end_by_signal(int signal_number) {
    InterruptHold hold;
    remove_listed_files();
    restore_default_action(signal_number);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal_number);
    ::_exit(128 + signal_number);  // not reached: the default action ends the process
}

}  // namespace wordperm
