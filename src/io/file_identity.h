// Which file a name or a descriptor stands for, so that two names for one file (hard links,
// symbolic links, /dev/stdout and the file the shell opened for it) are seen to be one.
//
// A file is its device and inode; its name is only a way to reach it. Pipes have an identity
// too, so a pipe named twice (standard output, and /dev/stdout given as an output) compares
// equal to itself.
#pragma once

#include <sys/types.h>

#include <optional>

namespace wordperm {

struct FileIdentity {
    dev_t device;  // the file system that holds the file
    ino_t inode;   // the file within that file system
    mode_t type;   // its S_IFMT bits: regular file, directory, pipe, device, ...

    bool regular() const;
    bool character_device() const;
};

// The file `path` names, symbolic links followed; nothing when it cannot be reached.
std::optional<FileIdentity> identity_of_path(const char* path);

// The file an open descriptor refers to; nothing when the descriptor is not open.
std::optional<FileIdentity> identity_of_descriptor(int descriptor);

// Both known and the same device and inode, whatever the file's type.
bool same_file(const std::optional<FileIdentity>& a, const std::optional<FileIdentity>& b);

}  // namespace wordperm
