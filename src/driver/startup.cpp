// Opening, preparing and closing: every step checked, every failure with its status and text.
#include "driver/startup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace wordperm {
namespace {

int open_for_reading(const char* path) {
    return ::open(path, O_RDONLY | O_CLOEXEC);
}

int open_for_writing(const char* path) {
    return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

struct Identity {
    dev_t device;
    ino_t inode;
    bool regular;
};

std::optional<Identity> identity_of_path(const char* path) {
    struct stat status;
    if (::stat(path, &status) != 0) return std::nullopt;
    return Identity{status.st_dev, status.st_ino, S_ISREG(status.st_mode)};
}

Identity identity_of(int descriptor, bool& is_directory) {
    struct stat status {};
    ::fstat(descriptor, &status);
    is_directory = S_ISDIR(status.st_mode);
    return {status.st_dev, status.st_ino, S_ISREG(status.st_mode)};
}

// Devices and pipes can be named twice harmlessly (/dev/null as both outputs); truncating a
// regular file that is also read, or written twice, destroys it.
bool same_file(const std::optional<Identity>& a, const std::optional<Identity>& b) {
    return a && b && a->regular && b->regular && a->device == b->device && a->inode == b->inode;
}

Failure same_file_failure(ExitStatus status, const char* output, const char* other) {
    return {status, output, std::string("is the same file as ") + other};
}

}  // namespace

bool open_run_files(RunFiles& files, Mode mode, const char* list, const char* out, const char* code,
                    Failure& failure) {
    int descriptor = open_for_reading(list);
    if (descriptor < 0) {
        failure = {ExitStatus::list_unopened, list, std::strerror(errno)};
        return false;
    }
    files.list = std::make_unique<InputFile>(descriptor, list);
    bool is_directory = false;
    std::optional<Identity> list_identity = identity_of(descriptor, is_directory);
    if (is_directory) {
        failure = {ExitStatus::list_unopened, list, std::strerror(EISDIR)};
        return false;
    }

    const std::optional<Identity> out_identity = identity_of_path(out);
    const std::optional<Identity> code_identity = identity_of_path(code);
    if (same_file(out_identity, list_identity)) {
        failure = same_file_failure(ExitStatus::out_unopened, out, list);
        return false;
    }
    if (mode == Mode::decode && same_file(out_identity, code_identity)) {
        failure = same_file_failure(ExitStatus::out_unopened, out, code);
        return false;
    }
    if (mode == Mode::encode && same_file(code_identity, list_identity)) {
        failure = same_file_failure(ExitStatus::code_unopened, code, list);
        return false;
    }
    if (mode == Mode::encode && same_file(code_identity, out_identity)) {
        failure = same_file_failure(ExitStatus::code_unopened, code, out);
        return false;
    }

    descriptor = open_for_writing(out);
    if (descriptor < 0) {
        failure = {ExitStatus::out_unopened, out, std::strerror(errno)};
        return false;
    }
    files.out = std::make_unique<OutputFile>(descriptor, out);
    const Identity opened_out = identity_of(descriptor, is_directory);
    files.out_is_regular = opened_out.regular;

    if (mode == Mode::encode) {
        // Two names for one output that did not exist yet: only now can they be compared.
        if (!out_identity && same_file(identity_of_path(code), opened_out)) {
            ::unlink(out);
            failure = same_file_failure(ExitStatus::code_unopened, code, out);
            return false;
        }
        descriptor = open_for_writing(code);
        if (descriptor < 0) {
            failure = {ExitStatus::code_unopened, code, std::strerror(errno)};
            return false;
        }
        files.code_out = std::make_unique<OutputFile>(descriptor, code);
        files.code_out_is_regular = identity_of(descriptor, is_directory).regular;
        return true;
    }
    descriptor = open_for_reading(code);
    if (descriptor < 0) {
        failure = {ExitStatus::code_unopened, code, std::strerror(errno)};
        return false;
    }
    files.code_in = std::make_unique<InputFile>(descriptor, code);
    identity_of(descriptor, is_directory);
    if (is_directory) {
        failure = {ExitStatus::code_unopened, code, std::strerror(EISDIR)};
        return false;
    }
    return true;
}

bool close_outputs(RunFiles& files, Failure& failure) {
    for (OutputFile* output : {files.out.get(), files.code_out.get()}) {
        if (output && !output->close()) {
            failure = {ExitStatus::write_failed, output->name(), output->error()};
            return false;
        }
    }
    return true;
}

void discard_outputs(RunFiles& files) {
    if (files.out && files.out_is_regular) ::unlink(files.out->name().c_str());
    if (files.code_out && files.code_out_is_regular) ::unlink(files.code_out->name().c_str());
}

void report_failure(const Failure& failure) {
    std::fprintf(stderr, "wordperm: %s: %s\n", failure.file.c_str(), failure.reason.c_str());
}

}  // namespace wordperm
