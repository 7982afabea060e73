// Descriptors 0 to 2, SIGPIPE and SIGXFSZ.
#include "io/standard_streams.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "io/temporary_files.h"

namespace wordperm {
namespace {

bool closed_at_start[3] = {false, false, false};

bool open_null_on(int descriptor) {
    const int null = ::open("/dev/null", O_RDWR);
    if (null < 0) return false;
    if (null == descriptor) return true;
    const bool moved = ::dup2(null, descriptor) == descriptor;
    ::close(null);
    return moved;
}

}  // namespace

bool prepare_standard_streams() {
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) >= 0 || errno != EBADF) continue;
        closed_at_start[descriptor] = true;
        if (!open_null_on(descriptor)) return false;
    }
    return true;
}

bool started_closed(int descriptor) {
    return descriptor >= 0 && descriptor <= 2 && closed_at_start[descriptor];
}

std::string closed_stream_reason(int descriptor) {
    static const char* const kStreams[] = {"input", "output", "error"};
    return std::string("standard ") + kStreams[descriptor] + " is closed";
}

bool silence_standard_output() {
    return open_null_on(1);
}

bool finish_standard_output(int& error_number) {
    errno = 0;
    bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    // A write that failed in an earlier flush leaves no errno behind: EIO stands in for it.
    int cause = errno != 0 ? errno : EIO;
    if (std::fclose(stdout) != 0 && !failed) {
        failed = true;
        cause = errno;
    }
    if (!failed) return true;
    if (cause == EPIPE) end_by_broken_pipe();
    error_number = cause;
    return false;
}

void end_by_broken_pipe() {
    end_by_signal(SIGPIPE);
}

}  // namespace wordperm
