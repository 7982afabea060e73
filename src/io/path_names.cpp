// Names parsed as the kernel would resolve them, one link at a time.
#include "io/path_names.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace wordperm {
namespace {

constexpr int kMostLinksFollowed = 40;  // the kernel's own limit for one path

}  // namespace

int descriptor_named_by(std::string_view path) {
    if (path == "/dev/stdin") return 0;
    if (path == "/dev/stdout") return 1;
    if (path == "/dev/stderr") return 2;
    for (std::string_view prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (!path.starts_with(prefix)) continue;
        const std::string_view digits = path.substr(prefix.size());
        if (digits.empty() || digits.size() > 9) return -1;
        int descriptor = 0;
        for (char digit : digits) {
            if (digit < '0' || digit > '9') return -1;
            descriptor = descriptor * 10 + (digit - '0');
        }
        return descriptor;
    }
    return -1;
}

bool follow_links(std::string& path, int& descriptor, int& error_number) {
    for (int followed = 0;; ++followed) {
        descriptor = descriptor_named_by(path);
        if (descriptor >= 0) return true;
        struct stat status;
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return true;
        if (followed == kMostLinksFollowed) {
            error_number = ELOOP;
            return false;
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length < 0 || length == static_cast<ssize_t>(sizeof target)) {
            error_number = length < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        const std::string_view link(target, static_cast<std::size_t>(length));
        path = link.starts_with('/') ? std::string(link)
                                     : std::string(directory_of(path)).append(link);
    }
}

std::string_view directory_of(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view{} : path.substr(0, slash + 1);
}

std::string directory_name_of(std::string_view path) {
    std::string_view directory = directory_of(path);
    if (directory.empty()) return ".";
    while (directory.size() > 1 && directory.ends_with('/'))
        directory.remove_suffix(1);
    return std::string(directory);
}

std::string_view base_name_of(std::string_view path) {
    return path.substr(directory_of(path).size());
}

}  // namespace wordperm
