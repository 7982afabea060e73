// The ticker thread. It is started with SIGINT, SIGTERM and SIGHUP held, so their handler, which
// removes the run's temporary files, always runs on the main thread.
#include "wordpack/progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "io/temporary_files.h"

namespace wordperm {

Progress::Progress(std::string file, const char* doing, bool show)
    : file_(std::move(file)), doing_(doing), terminal_(::isatty(2) == 1) {
    if (!show) return;
    InterruptHold hold;
    ticker_ = std::thread([this] { run(); });
}

Progress::~Progress() {
    stop();
}

void Progress::stop() {
    if (!ticker_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    ticker_.join();
}

void Progress::run() {
    std::unique_lock lock(mutex_);
    bool shown = false;
    for (int seconds = 1;; ++seconds) {
        if (wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; })) break;
        if (terminal_) {
            std::fprintf(stderr, "\rwordpack: %s: %s, %d s\x1b[K", file_.c_str(), doing_, seconds);
        } else if (!shown) {
            std::fprintf(stderr, "wordpack: %s: %s...\n", file_.c_str(), doing_);
        }
        std::fflush(stderr);
        shown = true;
    }
    if (shown && terminal_) std::fputs("\r\x1b[K", stderr);
}

}  // namespace wordperm
