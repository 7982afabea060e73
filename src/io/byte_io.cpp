// The input file behind ByteReader and the block gatherer: retries on EINTR, and errno's text kept
// for the message the program ends with.
#include "io/byte_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "io/path_names.h"
#include "io/standard_streams.h"

namespace wordperm {

std::unique_ptr<InputFile> InputFile::open(const std::string& path, std::string& reason) {
    std::string followed = path;
    int named_descriptor = -1;
    int error_number = 0;
    if (!follow_links(followed, named_descriptor, error_number)) {
        reason = std::strerror(error_number);
        return nullptr;
    }
    if (started_closed(named_descriptor)) {
        reason = closed_stream_reason(named_descriptor);
        return nullptr;
    }
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        reason = std::strerror(errno);
        return nullptr;
    }
    auto input = std::make_unique<InputFile>(descriptor, path);
    struct stat status;
    if (::fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
        reason = std::strerror(EISDIR);
        return nullptr;
    }
    return input;
}

InputFile::~InputFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

std::ptrdiff_t InputFile::read(std::uint8_t* buffer, std::size_t size) {
    for (;;) {
        ssize_t got = ::read(descriptor_, buffer, size);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        error_number_ = errno;
        return -1;
    }
}

std::optional<std::uint64_t> InputFile::known_size() const {
    struct stat status;
    if (::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
}

bool ByteReader::skip(std::uint64_t size) {
    std::uint8_t scratch[1 << 14];
    while (size != 0) {
        const std::ptrdiff_t got = read(scratch, std::min<std::uint64_t>(size, sizeof scratch));
        if (got <= 0) return false;
        size -= static_cast<std::uint64_t>(got);
    }
    return true;
}

// A regular file is skipped by moving its offset, which reads nothing; anything else is read
// through. Moving past the end is allowed by the system, so the length is checked first.
bool InputFile::skip(std::uint64_t size) {
    if (!known_size()) return ByteReader::skip(size);
    const off_t here = ::lseek(descriptor_, 0, SEEK_CUR);
    if (here < 0 || static_cast<std::uint64_t>(here) + size > *known_size()) {
        error_number_ = here < 0 ? errno : 0;
        return false;
    }
    if (::lseek(descriptor_, static_cast<off_t>(size), SEEK_CUR) < 0) {
        error_number_ = errno;
        return false;
    }
    return true;
}

std::ptrdiff_t InputFile::read_at(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
    if (!known_size()) return -1;
    for (;;) {
        const ssize_t got = ::pread(descriptor_, buffer, size, static_cast<off_t>(offset));
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        error_number_ = errno;
        return -1;
    }
}

std::string InputFile::error() const {
    return std::strerror(error_number_);
}

BlockWriter::BlockWriter(ByteWriter& sink)
    : sink_(sink),
      block_(std::make_unique_for_overwrite<std::uint8_t[]>(kBlockBytes)),
      next_(block_.get()),
      limit_(block_.get() + kBlockBytes) {}

bool BlockWriter::flush() {
    std::size_t size = static_cast<std::size_t>(next_ - block_.get());
    next_ = block_.get();
    return size == 0 || sink_.write(block_.get(), size);
}

bool BlockWriter::append_beyond_block(const std::uint8_t* bytes, std::size_t size) {
    if (!flush()) return false;
    if (size >= kBlockBytes) return sink_.write(bytes, size);
    std::memcpy(next_, bytes, size);
    next_ += size;
    return true;
}

}  // namespace wordperm
