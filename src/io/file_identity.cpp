// File identity from stat and fstat.
#include "io/file_identity.h"

#include <sys/stat.h>

namespace wordperm {
namespace {

FileIdentity identity_of_status(const struct stat& status) {
    return {status.st_dev, status.st_ino, static_cast<mode_t>(status.st_mode & S_IFMT)};
}

}  // namespace

bool FileIdentity::regular() const {
    return type == S_IFREG;
}

bool FileIdentity::character_device() const {
    return type == S_IFCHR;
}

std::optional<FileIdentity> identity_of_path(const char* path) {
    struct stat status;
    if (::stat(path, &status) != 0) return std::nullopt;
    return identity_of_status(status);
}

std::optional<FileIdentity> identity_of_descriptor(int descriptor) {
    struct stat status;
    if (::fstat(descriptor, &status) != 0) return std::nullopt;
    return identity_of_status(status);
}

bool same_file(const std::optional<FileIdentity>& a, const std::optional<FileIdentity>& b) {
    return a && b && a->device == b->device && a->inode == b->inode;
}

}  // namespace wordperm
