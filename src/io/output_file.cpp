// Outputs written beside their final names and renamed over them, or written where they are.
#include "io/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "io/directory_locks.h"
#include "io/path_names.h"
#include "io/standard_streams.h"
#include "io/temporary_files.h"

namespace wordperm {
namespace {

constexpr std::size_t kRandomLetters = 6;
constexpr int kMostNameAttempts = 100;
// Only the owner may read a temporary file: it holds the user's data before its final mode is
// known to be safe to give.
constexpr mode_t kTemporaryMode = 0600;

// The permission bits a new file gets from the process: 0666 less the umask, as any program that
// creates a file gives it. Read at an open, while no other thread runs.
mode_t mode_of_new_file() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Letters for temporary names: different in every process and at every call, and nothing more
// is asked of them (O_EXCL settles any clash).
std::string random_letters() {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::uint64_t state = [] {
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        return (static_cast<std::uint64_t>(::getpid()) << 32) ^
               static_cast<std::uint64_t>(now.tv_nsec) ^
               (static_cast<std::uint64_t>(now.tv_sec) << 20);
    }();
    state += 0x9E3779B97F4A7C15u;  // splitmix64
    std::uint64_t mixed = state;
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9u;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBu;
    mixed ^= mixed >> 31;
    std::string letters(kRandomLetters, ' ');
    for (char& letter : letters) {
        letter = kLetters[mixed % (sizeof kLetters - 1)];
        mixed /= sizeof kLetters - 1;
    }
    return letters;
}

// Creates "<final name>.<program>-unfinished-XXXXXX" beside `final_path` (the final name cut
// short if the whole would be too long a name), readable by its owner alone, and lists it for
// the interrupt clean-up in the same held step. Returns its descriptor, or -1 with
// `error_number` set.
int create_temporary(const std::string& final_path, const char* program, std::string& path,
                     int& slot, int& error_number) {
    const std::string suffix = std::string(".") + program + "-unfinished-";
    std::string_view base = base_name_of(final_path);
    const std::size_t room = NAME_MAX - suffix.size() - kRandomLetters;
    if (base.size() > room) base = base.substr(0, room);
    const std::string stem = std::string(directory_of(final_path)).append(base).append(suffix);
    for (int attempt = 0; attempt < kMostNameAttempts; ++attempt) {
        path = stem + random_letters();
        InterruptHold hold;
        const int descriptor = ::open(
            path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, kTemporaryMode);
        if (descriptor < 0) {
            if (errno == EEXIST) continue;
            error_number = errno;
            return -1;
        }
        slot = list_temporary_file(path.c_str());
        if (slot < 0) {
            ::unlink(path.c_str());
            ::close(descriptor);
            error_number = EMFILE;
            return -1;
        }
        return descriptor;
    }
    error_number = EEXIST;
    return -1;
}

}  // namespace

OutputFile::OutputFile(std::string name, Method method, int descriptor)
    : ByteWriter(std::move(name)), method_(method), descriptor_(descriptor) {}

std::unique_ptr<OutputFile> OutputFile::open_descriptor(int descriptor, std::string name,
                                                        std::string& reason) {
    if (started_closed(descriptor)) {
        reason = closed_stream_reason(descriptor);
        return nullptr;
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
        reason = std::strerror(flags < 0 ? errno : EBADF);
        return nullptr;
    }
    const int copy = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
    if (copy < 0) {
        reason = std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<OutputFile> output(new OutputFile(std::move(name), Method::direct, copy));
    output->previous_ = identity_of_descriptor(copy);
    return output;
}

std::unique_ptr<OutputFile> OutputFile::open(const std::string& path, const char* program,
                                             std::string& reason) {
    std::string final_path = path;
    int named_descriptor = -1;
    int error_number = 0;
    if (!follow_links(final_path, named_descriptor, error_number)) {
        reason = std::strerror(error_number);
        return nullptr;
    }
    if (named_descriptor >= 0) return open_descriptor(named_descriptor, path, reason);

    struct stat previous;
    const bool exists = ::stat(path.c_str(), &previous) == 0;
    if (!exists && errno != ENOENT) {
        reason = std::strerror(errno);
        return nullptr;
    }
    if (exists && !S_ISREG(previous.st_mode)) {
        // A pipe, a terminal or a device is written as it is; a directory fails here (EISDIR).
        const int descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (descriptor < 0) {
            reason = std::strerror(errno);
            return nullptr;
        }
        std::unique_ptr<OutputFile> output(new OutputFile(path, Method::direct, descriptor));
        output->previous_ = identity_of_descriptor(descriptor);
        return output;
    }

    // An existing file must be one the process may write, as when outputs were truncated in
    // place, although it is replaced rather than written.
    if (exists) {
        const int existing = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (existing < 0) {
            reason = std::strerror(errno);
            return nullptr;
        }
        ::close(existing);
    }

    std::string temporary_path;
    int slot = -1;
    const int descriptor =
        create_temporary(final_path, program, temporary_path, slot, error_number);
    if (descriptor < 0) {
        reason = "cannot create a file in " + directory_name_of(final_path) + ": " +
                 std::strerror(error_number);
        return nullptr;
    }
    std::unique_ptr<OutputFile> output(new OutputFile(path, Method::replace, descriptor));
    output->temporary_path_ = std::move(temporary_path);
    output->temporary_slot_ = slot;
    if (exists) {
        output->previous_ = FileIdentity{previous.st_dev, previous.st_ino,
                                         static_cast<mode_t>(previous.st_mode & S_IFMT)};
        output->final_mode_ = previous.st_mode & 07777;
        output->previous_owner_ = Owner{previous.st_uid, previous.st_gid};
    } else {
        output->final_mode_ = mode_of_new_file();
    }
    output->final_path_ = std::move(final_path);
    return output;
}

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::write(const std::uint8_t* bytes, std::size_t size) {
    while (size != 0) {
        const ssize_t put = ::write(descriptor_, bytes, size);
        if (put < 0) {
            if (errno == EINTR) continue;
            error_number_ = errno;
            return false;
        }
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

std::string OutputFile::error() const {
    return std::strerror(error_number_);
}

// A replaced file's owner and group where the process may set them (root may set both, a member
// of the group the group; otherwise the new file stays the process's own), then its permission
// bits, which a change of owner may have cleared. Then the file goes to the disk before its
// rename, so that after a power cut the final name holds the old content or the whole new one,
// never a file whose blocks were not written.
bool OutputFile::finish() {
    bool finished = true;
    if (method_ == Method::replace) {
        if (previous_owner_ &&
            ::fchown(descriptor_, previous_owner_->user, previous_owner_->group) != 0 &&
            ::fchown(descriptor_, static_cast<uid_t>(-1), previous_owner_->group) != 0) {
            // Neither may be set: the file stays the process's own.
        }
        finished = ::fchmod(descriptor_, final_mode_) == 0 && ::fsync(descriptor_) == 0;
    }
    if (!finished) error_number_ = errno;
    const int descriptor = descriptor_;
    descriptor_ = -1;
    if (::close(descriptor) != 0 && finished) {
        error_number_ = errno;
        finished = false;
    }
    return finished;
}

bool OutputFile::publish() {
    if (method_ == Method::replace) {
        if (::rename(temporary_path_.c_str(), final_path_.c_str()) != 0) {
            error_number_ = errno;
            return false;
        }
        unlist_temporary_file(temporary_slot_);
        temporary_slot_ = -1;
    }
    committed_ = true;
    return true;
}

void OutputFile::discard() {
    if (committed_) return;
    if (temporary_slot_ >= 0) {
        InterruptHold hold;
        ::unlink(temporary_path_.c_str());
        unlist_temporary_file(temporary_slot_);
        temporary_slot_ = -1;
    }
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

bool commit_outputs(std::span<OutputFile* const> outputs, OutputFile*& failed) {
    for (OutputFile* output : outputs) {
        if (!output->finish()) {
            failed = output;
            return false;
        }
    }
    std::vector<std::string> replaced;
    for (const OutputFile* output : outputs)
        if (output->method_ == OutputFile::Method::replace) replaced.push_back(output->final_path_);
    // The locks are taken before the interrupts are held, so that a run waiting for another
    // run's renames can still be interrupted.
    const DirectoryLocks locks(replaced, DirectoryLocks::Kind::exclusive);
    InterruptHold hold;
    for (OutputFile* output : outputs) {
        if (!output->publish()) {
            failed = output;
            return false;
        }
    }
    return true;
}

}  // namespace wordperm
