// File descriptors behind ByteReader and ByteWriter: retries on EINTR and short transfers, and
// errno's text kept for the message the program ends with.
#include "io/byte_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace wordperm {

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

std::string InputFile::error() const {
    return std::strerror(error_number_);
}

OutputFile::~OutputFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

bool OutputFile::write(const std::uint8_t* bytes, std::size_t size) {
    while (size != 0) {
        ssize_t put = ::write(descriptor_, bytes, size);
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

bool OutputFile::close() {
    int descriptor = descriptor_;
    descriptor_ = -1;
    if (::close(descriptor) == 0) return true;
    error_number_ = errno;
    return false;
}

std::string OutputFile::error() const {
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
