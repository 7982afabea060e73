// Each directory opened once, ordered by its identity, then locked in that order.
#include "io/directory_locks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <tuple>

#include "io/path_names.h"

namespace wordperm {
namespace {

struct OpenDirectory {
    dev_t device;
    ino_t inode;
    int descriptor;
};

}  // namespace

DirectoryLocks::DirectoryLocks(std::span<const std::string> paths, Kind kind) {
    std::vector<OpenDirectory> directories;
    for (const std::string& path : paths) {
        std::string followed = path;
        int named_descriptor = -1;
        int error_number = 0;
        if (!follow_links(followed, named_descriptor, error_number) || named_descriptor >= 0)
            continue;
        const std::string directory = directory_name_of(followed);
        const int descriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (descriptor < 0) continue;
        struct stat status;
        if (::fstat(descriptor, &status) != 0) {
            ::close(descriptor);
            continue;
        }
        directories.push_back({status.st_dev, status.st_ino, descriptor});
    }
    const auto identity = [](const OpenDirectory& d) { return std::tie(d.device, d.inode); };
    std::sort(
        directories.begin(), directories.end(),
        [&](const OpenDirectory& a, const OpenDirectory& b) { return identity(a) < identity(b); });
    const int operation = kind == Kind::exclusive ? LOCK_EX : LOCK_SH;
    for (std::size_t k = 0; k < directories.size(); ++k) {
        const int descriptor = directories[k].descriptor;
        // Two locks of one process on one directory through two descriptors would exclude each
        // other: a directory named twice is locked once.
        if (k > 0 && identity(directories[k]) == identity(directories[k - 1])) {
            ::close(descriptor);
            continue;
        }
        int locked;
        do {
            locked = ::flock(descriptor, operation);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            ::close(descriptor);
            continue;
        }
        descriptors_.push_back(descriptor);
    }
}

DirectoryLocks::~DirectoryLocks() {
    for (const int descriptor : descriptors_)
        ::close(descriptor);
}

}  // namespace wordperm
